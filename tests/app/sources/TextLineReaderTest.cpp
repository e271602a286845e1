// The text-mode line reader: the same lines come out whatever the chunk
// size, so a CR LF, a NUL or a line end split across two reads changes nothing.
#include "sources/CTextLineReader.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

struct LinesCase {
  const char* name;
  std::string content;
  Lines expected;
};

void PrintTo(const LinesCase& c, std::ostream* os) { *os << c.name; }

class TextLineReaderTest : public ::testing::TestWithParam<LinesCase> {};

// The lines read, with "<too long>" for each line over the limit.
Lines ReadAll(const std::string& path, std::size_t chunkSize, CTextLineReader::Next& last,
              std::size_t limit = CTextLineReader::kDefaultMaxLineLength) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  Lines lines;
  if (fd < 0) return lines;
  CTextLineReader reader(fd, chunkSize, limit);
  std::string line;
  while ((last = reader.ReadLine(line)) == CTextLineReader::Next::Line || last == CTextLineReader::Next::TooLong)
    lines.push_back(last == CTextLineReader::Next::Line ? line : "<too long>");
  ::close(fd);
  return lines;
}

TEST_P(TextLineReaderTest, GivesTheSameLinesForEveryChunkSize) {
  const LinesCase& c = GetParam();
  testenv::TempDir dir;
  const auto path = dir.path() / "lines.txt";
  testenv::WriteFile(path, c.content);
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, CTextLineReader::kDefaultChunkSize}) {
    SCOPED_TRACE(chunk);
    CTextLineReader::Next last = CTextLineReader::Next::Line;
    EXPECT_EQ(ReadAll(path.string(), chunk, last), c.expected);
    EXPECT_EQ(last, CTextLineReader::Next::End);
  }
}

const LinesCase kCases[] = {
    {"Empty", "", {}},
    {"LineFeeds", "\nab\ncd\n", {"", "ab", "cd"}},
    {"CarriageReturnLineFeeds", "ab\r\ncd\r\n", {"ab", "cd"}},
    {"LastLineWithoutEnd", "ab\r\ncd", {"ab", "cd"}},
    {"OnlyTheCarriageReturnBeforeTheLineFeedGoes", "a\r\r\nb\rc\r", {"a\r", "b\rc\r"}},
    {"NulSkipsToTheLineEnd", Bytes("ab\0cd\r\nef\0\ngh"), {"ab", "ef", "gh"}},
    {"NulAsLastByte", Bytes("ab\0"), {"ab"}},
    {"LinesStartingWithNulAreEmpty", Bytes("\0ab\n\0\0"), {"", ""}},
    {"EightBitBytesKept", "\xFF\x80\xC3\r\n\x01", {"\xFF\x80\xC3", "\x01"}},
};

INSTANTIATE_TEST_SUITE_P(Contents, TextLineReaderTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextLineReaderLimit, LinesOverTheLimitAreSkippedToTheirEnd) {
  testenv::TempDir dir;
  const auto path = dir.path() / "lines.txt";
  testenv::WriteFile(path, Bytes("abcd\nabcde\nabcd\r\nabcd\r\r\nab\0cdefgh\nabcdefgh\0\nx\nabcde"));
  for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, CTextLineReader::kDefaultChunkSize}) {
    SCOPED_TRACE(chunk);
    CTextLineReader::Next last = CTextLineReader::Next::Line;
    EXPECT_EQ(ReadAll(path.string(), chunk, last, 4),
              (Lines{"abcd", "<too long>", "abcd", "<too long>", "ab", "<too long>", "x", "<too long>"}));
    EXPECT_EQ(last, CTextLineReader::Next::End);
  }
}

TEST(TextLineReaderErrors, ReadErrorIsReportedAndStays) {
  const int fd = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "/proc/self/mem cannot be opened here";
  CTextLineReader reader(fd);
  std::string line = "old";
  EXPECT_EQ(reader.ReadLine(line), CTextLineReader::Next::Error);
  EXPECT_EQ(reader.ReadLine(line), CTextLineReader::Next::Error);  // and stays
  EXPECT_TRUE(line.empty());
  ::close(fd);
}

}  // namespace
