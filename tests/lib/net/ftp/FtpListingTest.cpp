// The listing parsers through the client's own entry points (the line in
// m_szBuf): DOS lines of Windows servers, UNIX lines of "ls -l".
#include <zerth/CUT_FTPClient.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>

namespace {

// name, size, day, month, year, hour, minute, isDir
using Entry = std::tuple<std::string, long, int, int, int, int, int, int>;

struct ListingLine : CUT_FTPClient {
  Entry Parse(const char* line, bool dos) {
    std::strncpy(m_szBuf, line, sizeof m_szBuf - 1);
    CUT_DIRINFOTag e;
    std::memset(&e, 0x5A, sizeof e);  // every field must be set, also when the line lacks it
    dos ? GetInfoInDOSFormat(&e) : GetInfoInUNIXFormat(&e);
    return {e.fileName, e.fileSize, e.day, e.month, e.year, e.hour, e.minute, e.isDir};
  }
};

}  // namespace

TEST(FtpListingTest, DosAndUnixLinesWithTheirYearRulesAndDefaults) {
  const std::time_t now = std::time(nullptr);
  const int year = std::localtime(&now)->tm_year + 1900;
  const struct {
    bool dos;
    const char* line;
    Entry entry;
  } cases[] = {
      {true, "12-25-99  10:30AM       <DIR>          Windows", {"Windows", 0, 25, 12, 1999, 10, 30, 1}},
      {true, "01-02-69  09:05PM              1234567 setup.exe", {"setup.exe", 1234567, 2, 1, 2069, 9, 5, 0}},
      {true, "01-02-70  11:59AM                   17 read me.txt", {"read", 17, 2, 1, 1970, 11, 59, 0}},
      {true, "07-04-2023  01:15PM      <dir> Four digit year", {"Four", 0, 4, 7, 2023, 1, 15, 1}},
      {true, "3-9-24 9:15PM 5 short.txt", {"short.txt", 5, 9, 3, 1900, 9, 15, 0}},
      {true, "12-31-99", {"", 0, 31, 12, 1999, 12, 0, 0}},
      {true, "5", {"", 0, 1, 5, 1900, 12, 0, 0}},
      {true, "01-01-00 10:00AM 99999999999999999999999 huge", {"huge", LONG_MAX, 1, 1, 2000, 10, 0, 0}},
      {false, "-rw-r--r--   1 ann  ann  4096 Dec 25 10:30 notes.txt", {"notes.txt", 4096, 25, 12, year, 10, 30, 0}},
      {false, "drwxr-xr-x   2 ann  ann  4096 dec 25  1999 old dir", {"old", 4096, 25, 12, 1999, 0, 0, 1}},
      {false, "Drwx------ 1 a b 0 Foo 07 07:05 x", {"x", 0, 7, 1, year, 7, 5, 1}},
      {false, "lrwxrwxrwx 1 a b 3 Mar 01 2020 link -> target", {"link", 3, 1, 3, 2020, 0, 0, 0}},
      {false, "-rw-r--r-- 1 a b 12 Jun", {"", 12, 1, 6, 1900, 0, 0, 0}},
      {false, "", {"", 0, 1, 1, 1900, 0, 0, 0}},
  };
  ListingLine parser;
  for (const auto& c : cases) EXPECT_EQ(parser.Parse(c.line, c.dos), c.entry) << c.line;
}
