#include "mailing/DeliveryReport.h"
#include "TestEnv.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

TEST(DeliveryReportTest, RowsFollowTheMapWithColoursAndStatusTexts) {
  CResultMap map;
  map.SetAt("a", SUCCESS_SUCCESS);  // bucket 12
  map.SetAt("q", 4);                // bucket 11: unknown code
  map.SetAt("b", MAPI_E_UNKNOWN_RECIPIENT);  // bucket 13
  EXPECT_EQ(BuildDeliveryReport(map, "HEAD\n", "</table>\n</html>"),
            "HEAD\n"
            "<tr><td>q</td><td><font color=\"#ff0000\">Unknown error</font></td></tr>\n"
            "<tr><td>a</td><td><font color=\"#00ff00\">SUCCESS</font></td></tr>\n"
            "<tr><td>b</td><td><font color=\"#ff0000\">A recipient did not appear in the address list. No message "
            "was sent.</font></td></tr>\n"
            "</table>\n</html>");
}

TEST(DeliveryReportTest, MarkupInAddressesIsEscaped) {
  CResultMap map;
  map.SetAt("<script>alert(\"x&y\")</script>@evil", MAPI_E_FAILURE);
  EXPECT_EQ(BuildDeliveryReport(map, "", ""),
            "<tr><td>&lt;script&gt;alert(&quot;x&amp;y&quot;)&lt;/script&gt;@evil</td><td><font color=\"#ff0000\">"
            "One or more unspecified errors occurred. No message was sent.</font></td></tr>\n");
}

TEST(DeliveryReportTest, StatusTextsByCode) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, "SUCCESS"},
      {1, "The user canceled one of the dialog boxes. No message was sent."},
      {3, "There was no default logon, and the user failed to log on successfully when the logon dialog box was "
          "displayed. No message was sent."},
      {5, "There was insufficient memory to proceed. No message was sent."},
      {9, "There were too many file attachments. No message was sent."},
      {10, "There were too many recipients. No message was sent."},
      {11, "The specified attachment was not found. No message was sent."},
      {12, "The specified attachment could not be opened. No message was sent."},
      {18, "The text in the message was too large. No message was sent."},
      {21, "A recipient name matched more than one of the recipient addresses in the address book. No message was "
           "sent."},
      {25, "Recipient name was invalid or did not resolve to any address."},
      {4, "Unknown error"}, {61840, "Unknown error"},
  };
  for (const auto& [code, text] : cases) EXPECT_STREQ(DeliveryStatusText(code), text) << code;
}

// A reader that sniffs the encoding as browsers do (html5lib) must see the
// UTF-8 address, not its bytes in a legacy code page.
TEST(DeliveryReportTest, NonAsciiPagesBeginWithAByteOrderMarkThatReadersHonour) {
  CResultMap map;
  map.SetAt("m\xC3\xBCller@example.org", SUCCESS_SUCCESS);
  const std::string header = "<HTML><HEAD>\n<TITLE>T</TITLE>\n</HEAD><BODY><table>\n";
  const std::string page = BuildDeliveryReport(map, header, "</table>\n</html>");
  ASSERT_TRUE(page.starts_with(std::string(kUtf8ByteOrderMark) + header)) << page;

  testenv::TempDir dir;
  const auto file = dir.path() / "report.html";
  testenv::WriteFile(file, page);
  const std::string command =
      "/usr/bin/python3 " TARVO_SOURCE_DIR "/tests/app/mailing/report_text.py '" + file.string() + "'";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  ASSERT_TRUE(pipe);
  std::string out;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, pipe.get())) out += chunk;
  EXPECT_EQ(out, "utf-8\nm\xC3\xBCller@example.org\nSUCCESS\n");
}
