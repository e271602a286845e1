// The contact file reader and its text-mode line reader on real files.
#include "../AppTestKit.h"
#include "sources/CContactFileReader.h"
#include "sources/CTextLineReader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace std::string_literals;
using apptest::Contacts;
using apptest::ContactsOf;
using enum CContactFileReader::Layout;
using Status = CContactFileReader::Status;

namespace {

class ContactFileReaderTest : public ::testing::Test {
protected:
  CContactFileReader::Result Read(const std::string& content, int layout, const std::string& separator = "|") {
    testenv::WriteFile(m_dir.path() / "contacts.txt", content);
    return CContactFileReader(layout, separator).Read((m_dir.path() / "contacts.txt").string());
  }
  testenv::TempDir m_dir;
};

TEST_F(ContactFileReaderTest, TakesTheContactsTheLayoutFindsAndCountsTheRest) {
  const std::tuple<const char*, int, std::string, std::string, Contacts, int> cases[] = {  // ..., lines read
      {"address only: name is address, duplicates kept", kAddressOnly, "|", "a@x\n\nword\na@x\n",
       {{"a@x", "a@x"}, {"a@x", "a@x"}}, 4},
      {"address only: separator ignored, inner spaces kept", kAddressOnly, "|", "  a @x|Ann  \n",
       {{"a @x|Ann", "a @x|Ann"}}, 1},
      {"both parts trimmed", kAddressThenName, "|", "   joe@x.org   |   Joe Bloggs   \n", {{"joe@x.org", "Joe Bloggs"}}, 1},
      {"split at the first separator", kNameThenAddress, ",", "Ann,ann@x.org,extra\n", {{"ann@x.org,extra", "Ann"}}, 1},
      {"separator matched whole, not trimmed", kAddressThenName, " ;", "a@x ;Ann\nb@y;Bob\n", {{"a@x", "Ann"}}, 2},
      {"no separator", kNameThenAddress, "|", "ann@x.org\n", {}, 1},
      {"no @ in the address part", kAddressThenName, "|", "Ann|ann@x.org\n", {}, 1},
      {"empty separator, address first", kAddressThenName, "", "a@x.org\n", {}, 1},
      {"empty separator, name first", kNameThenAddress, "", "  a@x.org Ann \n", {{"a@x.org Ann", ""}}, 1},
      {"empty name stays empty", kAddressThenName, "|", "a@x|   \n", {{"a@x", ""}}, 1},
      {"every white space trimmed", kAddressOnly, "|", " \n\t\v\f a@x \t\r\n \r\n", {{"a@x", "a@x"}}, 3},
      {"multi-byte text kept whole", kNameThenAddress, "\xE2\x86\x92",  // "→", and a no-break space
       "J\xC3\xBCrgen Gro\xC3\x9F \xE2\x86\x92 jg@x.de\xC2\xA0\n", {{"jg@x.de\xC2\xA0", "J\xC3\xBCrgen Gro\xC3\x9F"}}, 1},
      {"a NUL ends the line's text", kAddressThenName, "|", "a@x\0|Ann\nb@y|Bob"s, {{"b@y", "Bob"}}, 2},
  };
  for (const auto& [what, layout, separator, content, expected, lines] : cases) {
    const auto result = Read(content, layout, separator);
    EXPECT_EQ(result.status, Status::Completed) << what;
    EXPECT_EQ(ContactsOf(result.contacts), expected) << what;
    EXPECT_EQ(result.lineCount, lines) << what;
  }
}

// A line over the limit is an ignored entry; one at the limit is read whole; text after a NUL does not count.
TEST_F(ContactFileReaderTest, LinesOverTheLimitAreIgnoredEntries) {
  const std::string atLimit = std::string(CTextLineReader::kDefaultMaxLineLength - 2, 'a') + "@x";
  const std::string overLimit = std::string(6 * 1024 * 1024, 'a') + "@x|" + std::string(1024, 'n');
  const auto result = Read(overLimit + "\n" + atLimit + "\r\nb@y|\0"s + std::string(5 * 1024 * 1024, '|') + "\r\n" +
                               atLimit + "x\nc@z|C", kAddressThenName);
  EXPECT_EQ(result.status, Status::Completed);
  EXPECT_EQ(ContactsOf(result.contacts), (Contacts{{"b@y", ""}, {"c@z", "C"}}));
  EXPECT_EQ(result.lineCount, 5);
  const auto alone = Read(atLimit + "\r\n" + atLimit + "x", kAddressOnly);
  EXPECT_EQ(ContactsOf(alone.contacts), (Contacts{{atLimit, atLimit}}));
  EXPECT_EQ(alone.IgnoredCount(), 1);
}

// With a layout the list does not have, the first non-empty line stops the read; blank lines count.
TEST_F(ContactFileReaderTest, LayoutOutOfRangeStopsAtTheFirstNonEmptyLine) {
  for (int layout : {-1, 3}) {
    const auto stopped = Read("\n  \na@x\nb@y\n", layout);
    EXPECT_TRUE(stopped.status == Status::BadLayout && stopped.lineCount == 3) << layout;
    EXPECT_EQ(Read("\n \t\n", layout).status, Status::Completed) << layout;
  }
}

// A FIFO, and a path cut by a NUL, are not opened (the picker's test has no file, an empty path and a folder).
TEST_F(ContactFileReaderTest, FilesThatCannotBeOpenedAreReported) {
  const auto fifo = m_dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  testenv::WriteFile(m_dir.path() / "a.txt", "a@x\n");
  for (const std::string& path : {fifo.string(), (m_dir.path() / "a.txt").string() + "\0x"s}) {
    const auto result = CContactFileReader(kAddressOnly, "|").Read(path);
    EXPECT_TRUE(result.status == Status::CannotOpen && result.contacts.empty()) << path;
  }
}

// The same lines at every chunk size: a CR LF, a NUL or a line end split across two reads changes nothing.
TEST(TextLineReaderTest, GivesTheSameLinesForEveryChunkSize) {
  using Lines = std::vector<std::string>;
  const std::size_t kDefault = CTextLineReader::kDefaultMaxLineLength;
  const std::tuple<std::string, std::size_t, Lines> cases[] = {
      {"", kDefault, {}},
      {"\nab\r\ncd\nef", kDefault, {"", "ab", "cd", "ef"}},
      {"a\r\r\nb\rc\r", kDefault, {"a\r", "b\rc\r"}},  // only the CR before the LF goes
      {"ab\0cd\r\nef\0\ngh\n\0ab\n\0\0"s, kDefault, {"ab", "ef", "gh", "", ""}},
      {"ab\0"s, kDefault, {"ab"}},
      {"\xFF\x80\xC3\r\n\x01", kDefault, {"\xFF\x80\xC3", "\x01"}},
      {"abcd\nabcde\nabcd\r\nabcd\r\r\nab\0cdefgh\nabcdefgh\0\nx\nabcde"s, 4,
       {"abcd", "<too long>", "abcd", "<too long>", "ab", "<too long>", "x", "<too long>"}},
  };
  testenv::TempDir dir;
  const auto path = dir.path() / "lines.txt";
  for (const auto& [content, limit, expected] : cases) {
    testenv::WriteFile(path, content);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, CTextLineReader::kDefaultChunkSize}) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      CTextLineReader reader(fd, chunk, limit);
      Lines lines;
      std::string line;
      CTextLineReader::Next next;
      while ((next = reader.ReadLine(line)) == CTextLineReader::Next::Line || next == CTextLineReader::Next::TooLong)
        lines.push_back(next == CTextLineReader::Next::Line ? line : "<too long>");
      ::close(fd);
      EXPECT_EQ(lines, expected) << "chunk " << chunk;
      EXPECT_EQ(next, CTextLineReader::Next::End);
    }
  }
}

}  // namespace
