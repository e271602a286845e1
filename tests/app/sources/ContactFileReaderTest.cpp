// The contact file reader on real files: the three layouts, the separator
// rules, trimming, the "@" test, the counts, line ends, bytes that are not
// text, files that cannot be opened or read, and a layout index out of range.
#include "sources/CContactFileReader.h"
#include "sources/CTextLineReader.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Contacts = std::vector<std::pair<std::string, std::string>>;  // address, name
using Status = CContactFileReader::Status;

constexpr int kAddressOnly = CContactFileReader::kAddressOnly;
constexpr int kAddressThenName = CContactFileReader::kAddressThenName;
constexpr int kNameThenAddress = CContactFileReader::kNameThenAddress;

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

Contacts ContactsOf(const CContactFileReader::Result& result) {
  Contacts out;
  for (const CContact& c : result.contacts) out.emplace_back(c.m_sAddress, c.m_sName);
  return out;
}

struct ImportCase {
  const char* name;
  int layout;
  std::string separator;
  std::string content;
  Contacts expected;
  std::int64_t lines;
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.name; }

class ContactFileReaderTest : public ::testing::TestWithParam<ImportCase> {
protected:
  CContactFileReader::Result ReadContent(const std::string& content, int layout, const std::string& separator) {
    const auto path = m_dir.path() / "contacts.txt";
    testenv::WriteFile(path, content);
    return CContactFileReader(layout, separator).Read(path.string());
  }

  testenv::TempDir m_dir;
};

TEST_P(ContactFileReaderTest, TakesTheContactsTheLayoutFindsAndCountsTheRest) {
  const ImportCase& c = GetParam();
  const auto result = ReadContent(c.content, c.layout, c.separator);
  EXPECT_EQ(result.status, Status::Completed);
  EXPECT_EQ(ContactsOf(result), c.expected);
  EXPECT_EQ(result.lineCount, c.lines);
  EXPECT_EQ(result.ImportedCount(), static_cast<std::int64_t>(c.expected.size()));
  EXPECT_EQ(result.IgnoredCount(), c.lines - static_cast<std::int64_t>(c.expected.size()));
}

const ImportCase kLayoutCases[] = {
    {"AddressOnlyNameIsAddress", kAddressOnly, "|", "a@x.org\n\nword\n", {{"a@x.org", "a@x.org"}}, 3},
    {"AddressOnlyIgnoresSeparator", kAddressOnly, "|", "a@x.org|Ann\n", {{"a@x.org|Ann", "a@x.org|Ann"}}, 1},
    {"AddressOnlyKeepsInnerSpaces", kAddressOnly, "|", "  a @x.org  \n", {{"a @x.org", "a @x.org"}}, 1},
    {"AddressThenNameTrimsBothParts", kAddressThenName, "|", "   joe@x.org   |   Joe Bloggs   \n",
     {{"joe@x.org", "Joe Bloggs"}}, 1},
    {"NameThenAddressSplitsAtFirstSeparator", kNameThenAddress, ",", "Ann,ann@x.org,extra\n",
     {{"ann@x.org,extra", "Ann"}}, 1},
    {"AddressThenNameKeepsLaterSeparatorsInName", kAddressThenName, "|", "a@x|B|C\n", {{"a@x", "B|C"}}, 1},
    {"MultiCharacterSeparatorMustMatchWhole", kAddressThenName, "::", "a@x::Ann\nb@y:Bob\n", {{"a@x", "Ann"}}, 2},
    {"SeparatorIsNotTrimmed", kAddressThenName, " ;", "a@x ;Ann\nb@y;Bob\n", {{"a@x", "Ann"}}, 2},
    {"LineWithoutSeparatorIsIgnored", kNameThenAddress, "|", "ann@x.org\n", {}, 1},
    {"NameFirstLineInAddressFirstLayoutIsIgnored", kAddressThenName, "|", "Ann|ann@x.org\n", {}, 1},
    {"EmptySeparatorLeavesAddressEmptyInAddressFirstLayout", kAddressThenName, "", "a@x.org\n", {}, 1},
    {"EmptySeparatorMakesWholeLineTheAddressInNameFirstLayout", kNameThenAddress, "", "  a@x.org Ann \n",
     {{"a@x.org Ann", ""}}, 1},
    {"EmptyNamePartStaysEmpty", kAddressThenName, "|", "a@x|   \n", {{"a@x", ""}}, 1},
    {"EmptyAddressPartIsIgnored", kNameThenAddress, "|", "Ann|  \n", {}, 1},
    {"DuplicatesAreAllKept", kAddressOnly, "|", "a@x\na@x\n", {{"a@x", "a@x"}, {"a@x", "a@x"}}, 2},
    {"EveryWhiteSpaceIsTrimmedAndBlankLinesCount", kAddressOnly, "|", " \n\t\v\f a@x \t\r\n \r\n", {{"a@x", "a@x"}}, 3},
    {"MultiByteTextIsKeptWhole", kNameThenAddress, "\xE2\x86\x92",  // "→"
     "J\xC3\xBCrgen Gro\xC3\x9F \xE2\x86\x92 jg@x.de\xC2\xA0\n", {{"jg@x.de\xC2\xA0", "J\xC3\xBCrgen Gro\xC3\x9F"}},
     1},
};

INSTANTIATE_TEST_SUITE_P(Layouts, ContactFileReaderTest, ::testing::ValuesIn(kLayoutCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Line ends, and files that are not text.
const ImportCase kLineCases[] = {
    {"EmptyFile", kAddressOnly, "|", "", {}, 0},
    {"CarriageReturnLineFeedsAndLastLineWithoutEnd", kAddressThenName, "|", "a@x|A\r\nb@y|B\nc@z|C",
     {{"a@x", "A"}, {"b@y", "B"}, {"c@z", "C"}}, 3},
    {"NulDropsTheSeparatorAfterIt", kAddressThenName, "|", Bytes("a@x\0|Ann\nb@y|Bob"), {{"b@y", "Bob"}}, 2},
    {"InvalidUtf8IsKeptAsItIs", kAddressThenName, "|", "\xFF\xFE@\x80|\xC3\n", {{"\xFF\xFE@\x80", "\xC3"}}, 1},
};

INSTANTIATE_TEST_SUITE_P(Lines, ContactFileReaderTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A line over the reader's limit is an ignored entry, whatever it holds; a
// line at the limit is read whole, and text after a NUL does not count.
TEST_F(ContactFileReaderTest, LinesOverTheLimitAreIgnoredEntries) {
  const std::size_t limit = CTextLineReader::kDefaultMaxLineLength;
  const std::string atLimit = std::string(limit - 2, 'a') + "@x";
  const std::string overLimit = std::string(6 * 1024 * 1024, 'a') + "@x|" + std::string(1024, 'n');
  const std::string afterNul(5 * 1024 * 1024, '|');
  const std::string content = overLimit + "\n" + atLimit + "\r\n" + "b@y|" + std::string(1, '\0') + afterNul +
                              "\r\n" + atLimit + "x\n" + "c@z|C";
  const auto result = ReadContent(content, kAddressThenName, "|");
  EXPECT_EQ(result.status, Status::Completed);
  EXPECT_EQ(ContactsOf(result), (Contacts{{"b@y", ""}, {"c@z", "C"}}));
  EXPECT_EQ(result.lineCount, 5);

  const auto alone = ReadContent(atLimit + "\r\n" + atLimit + "x", kAddressOnly, "|");
  EXPECT_EQ(ContactsOf(alone), (Contacts{{atLimit, atLimit}}));
  EXPECT_EQ(alone.IgnoredCount(), 1);
}

// Any non-empty line is an error with a layout the list does not have; blank
// lines before it are counted, and a file without such a line completes.
TEST_F(ContactFileReaderTest, LayoutOutOfRangeStopsAtTheFirstNonEmptyLine) {
  for (int layout : {-1, 3}) {
    SCOPED_TRACE(layout);
    const auto stopped = ReadContent("\n  \na@x\nb@y\n", layout, "|");
    EXPECT_EQ(stopped.status, Status::BadLayout);
    EXPECT_EQ(stopped.lineCount, 3);

    const auto blank = ReadContent("\n \t\n", layout, "|");
    EXPECT_EQ(blank.status, Status::Completed);
  }
}

TEST_F(ContactFileReaderTest, FilesThatCannotBeOpenedAreReported) {
  const auto fifo = m_dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto locked = m_dir.path() / "locked.txt";
  testenv::WriteFile(locked, "a@x\n");
  ::chmod(locked.c_str(), 0);
  testenv::WriteFile(m_dir.path() / "a.txt", "a@x\n");

  std::vector<std::pair<const char*, std::string>> paths = {
      {"empty path", ""},
      {"missing file", (m_dir.path() / "missing.txt").string()},
      {"directory", m_dir.str()},
      {"pipe without a writer", fifo.string()},
      {"name with a NUL before an existing name", (m_dir.path() / "a.txt").string() + std::string(1, '\0') + "x"},
  };
  if (::geteuid() != 0) paths.emplace_back("no permission", locked.string());  // root reads anything
  for (const auto& [what, path] : paths) {
    SCOPED_TRACE(what);
    const auto result = CContactFileReader(kAddressOnly, "|").Read(path);
    EXPECT_EQ(result.status, Status::CannotOpen);
    EXPECT_TRUE(result.contacts.empty());
  }
}

// /proc/self/mem opens as a regular file, but reading its first page (never
// mapped) fails: a real read error from the file system.
TEST_F(ContactFileReaderTest, ReadErrorIsNotACompletedImport) {
  const auto result = CContactFileReader(kAddressOnly, "|").Read("/proc/self/mem");
  EXPECT_EQ(result.status, Status::ReadError);
}

}  // namespace
