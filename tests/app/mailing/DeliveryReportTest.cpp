// The result map's hash, and the delivery report built from the map.
#include "mailing/DeliveryReport.h"
#include "TestEnv.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

TEST(CResultMapTest, HashTakesBytesAsSignedAndWrapsModulo32Bits) {
  std::uint32_t z40 = 0;
  for (int i = 0; i < 40; ++i) z40 = z40 * 33u + 'z';
  const std::pair<std::string, std::uint32_t> cases[] = {
      {"", 0u}, {"ab", 97u * 33u + 98u}, {"\xE9", 0xFFFFFFE9u}, {"\xE9" "a", 0xFFFFFFE9u * 33u + 97u},
      {std::string(40, 'z'), z40}};
  for (const auto& [key, hash] : cases) EXPECT_EQ(CResultMap::HashKey(key), hash) << key;
}

// Rows in the map's order: buckets from 0 up, the newest of a bucket first, an overwrite in place.
TEST(DeliveryReportTest, RowsFollowTheMapEscapedWithColoursAndStatusTexts) {
  CResultMap map;
  map.SetAt("a", MAPI_E_FAILURE);            // bucket 12
  map.SetAt("q", 4);                         // bucket 11, an unknown code
  map.SetAt("b", MAPI_E_UNKNOWN_RECIPIENT);  // bucket 13
  map.SetAt("r", MAPI_E_TOO_MANY_FILES);     // bucket 12
  map.SetAt("<&\">", MAPI_E_LOGIN_FAILURE);  // bucket 6
  map.SetAt("a", SUCCESS_SUCCESS);
  const std::string red = "</td><td><font color=\"#ff0000\">", end = "</font></td></tr>\n";
  EXPECT_EQ(BuildDeliveryReport(map, "HEAD\n", "</table>\n</html>"),
            "HEAD\n<tr><td>&lt;&amp;&quot;&gt;" + red + "There was no default logon, and the user failed to log on "
            "successfully when the logon dialog box was displayed. No message was sent." + end +
            "<tr><td>q" + red + "Unknown error" + end +
            "<tr><td>r" + red + "There were too many file attachments. No message was sent." + end +
            "<tr><td>a</td><td><font color=\"#00ff00\">SUCCESS" + end +
            "<tr><td>b" + red + "A recipient did not appear in the address list. No message was sent." + end +
            "</table>\n</html>");
}

// html5lib sniffs the encoding as browsers do: it must read the UTF-8 address, not a legacy code page.
TEST(DeliveryReportTest, NonAsciiPagesBeginWithAByteOrderMarkThatReadersHonour) {
  CResultMap map;
  map.SetAt("m\xC3\xBCller@example.org", SUCCESS_SUCCESS);
  const std::string header = "<HTML><HEAD>\n<TITLE>T</TITLE>\n</HEAD><BODY><table>\n";
  const std::string page = BuildDeliveryReport(map, header, "</table>\n</html>");
  ASSERT_TRUE(page.starts_with(std::string(kUtf8ByteOrderMark) + header)) << page;
  testenv::TempDir dir;
  testenv::WriteFile(dir.path() / "report.html", page);
  EXPECT_EQ(testenv::RunCommand("/usr/bin/python3 -c 'import html5lib, sys\n"
                                "parser = html5lib.HTMLParser(namespaceHTMLElements=False)\n"
                                "tree = parser.parse(open(sys.argv[1], \"rb\").read())\n"
                                "print(parser.documentEncoding)\n"
                                "for cell in tree.iter(\"td\"): print(\"\".join(cell.itertext()))' " +
                                (dir.path() / "report.html").string()),
            "utf-8\nm\xC3\xBCller@example.org\nSUCCESS\n");
}
