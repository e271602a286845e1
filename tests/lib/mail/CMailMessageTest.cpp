// CMailMessage: recipient lists, the header block and its Date line, and
// body normalisation.
#include <zerth/CMailMessage.h>

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <time.h>
#include <utility>
#include <vector>

namespace {

using Recipients = std::vector<std::pair<std::string, std::string>>;  // address, name

Recipients AllRecipients(const CMailMessage& message) {
  Recipients all;
  for (int i = 0; i < message.GetNumRecipients(); ++i) {
    std::string address, name;
    EXPECT_TRUE(message.GetRecipient(address, name, i));
    all.emplace_back(address, name);
  }
  return all;
}

// The header's Date line, without its CR LF.
std::string DateLine(const CMailMessage& message) {
  const std::string& header = message.m_sHeader;
  const std::size_t at = header.find("\r\nDate: ") + 2;
  return at < 2 ? "<none>" : header.substr(at, header.find("\r\n", at) - at);
}

TEST(CMailMessageTest, AddMultipleRecipientsParsesEntriesUntrimmed) {
  const struct {
    const char* list;
    bool result;
    Recipients recipients;
  } cases[] = {
      {"a1; b2", true, {{"a1", ""}, {" b2", ""}}},
      {"Ann <a1> trailing text", true, {{"a1", "Ann "}}},
      {"Ann<a1>;Bob<b2>", true, {{"a1", "Ann"}, {"b2", "Bob"}}},
      {"Ann <>", true, {{"", "Ann "}}},
      {"", true, {{"", ""}}},
      {";;", true, {{"", ""}, {"", ""}, {"", ""}}},
      {"Lee, Ann <a1>,b2", true, {{"a1", "Lee, Ann "}}},
      {"a1 > b2", true, {{"a1 > b2", ""}}},
      {"Ann <<a1>>", true, {{"<a1", "Ann "}}},
      // Malformed: the entries before the bad one stay.
      {"a1;x>y <b2>;c3", false, {{"a1", ""}}},
      {"a1;Bob <b2;c3>", false, {{"a1", ""}}},
  };
  for (const auto& c : cases) {
    CMailMessage message;
    EXPECT_EQ(message.AddMultipleRecipients(c.list) != 0, c.result) << '"' << c.list << '"';
    EXPECT_EQ(AllRecipients(message), c.recipients) << '"' << c.list << '"';
  }
}

TEST(CMailMessageTest, RecipientsAccumulateAndOutOfRangeLeavesOutputsUntouched) {
  CMailMessage message;
  EXPECT_TRUE(message.AddRecipient("a0", "Zero"));
  EXPECT_TRUE(message.AddMultipleRecipients("a1"));
  EXPECT_FALSE(message.AddMultipleRecipients("b<"));
  EXPECT_EQ(AllRecipients(message), (Recipients{{"a0", "Zero"}, {"a1", ""}}));
  for (int index : {-1, 2}) {
    std::string address = "keep", name = "me";
    EXPECT_FALSE(message.GetRecipient(address, name, index)) << index;
    EXPECT_EQ(address + name, "keepme");
  }
}

// The header is built anew by each call, and the body made to end with CR LF.
TEST(CMailMessageTest, HeaderRebuiltEachTimeAndBodyEndsWithCrLf) {
  CMailMessage message;
  message.FormatMessageA();
  EXPECT_TRUE(message.m_sHeader.starts_with("From: \r\nTo: \r\nDate: ")) << message.m_sHeader;
  message.m_sFrom = "Me <me@example.org>";
  message.AddRecipient("a1", "Ann");
  message.AddRecipient("c3", "");
  message.FormatMessageA();
  EXPECT_EQ(message.m_sHeader, "From: Me <me@example.org>\r\nTo: Ann<a1>,<c3>\r\n" + DateLine(message) +
                                   "\r\nSubject: \r\nX-Mailer: Zerth Mailer\r\n\r\n");

  const std::pair<const char*, const char*> bodies[] = {
      {"Hello", "Hello\r\n"}, {"Hello\r\n", "Hello\r\n"}, {"", "\r\n"}, {"a\r", "a\r\r\n"}, {"a\n", "a\n\r\n"},
  };
  for (const auto& [body, expected] : bodies) {
    message.m_sBody = body;
    message.FormatMessageA();
    EXPECT_EQ(message.m_sBody, expected);
  }
}

// The Date line in a zone given as a POSIX TZ string (no zone database needed).
std::string DateLineIn(const std::string& zone, std::time_t* date = nullptr) {
  testenv::ScopedEnv tz("TZ", zone);
  tzset();
  CMailMessage message;
  message.FormatMessageA();
  tzset();
  if (date) *date = message.m_tDate;
  return DateLine(message);
}

// Local time, two-digit year, the zone's name if the whole text stays within 127 characters.
TEST(CMailMessageTest, DateLineIsLocalTimeWithTwoDigitYearAndZoneName) {
  std::time_t sent = 0;
  const std::string date = DateLineIn("XYZ-3", &sent);  // three hours east of UTC
  std::tm parsed{};
  const char* zone = strptime(date.c_str(), "Date: %a, %d %b %y %H:%M:%S", &parsed);
  ASSERT_NE(zone, nullptr) << date;
  EXPECT_STREQ(zone, " XYZ");
  EXPECT_EQ(timegm(&parsed), sent + 3 * 3600) << date;
  EXPECT_LE(std::abs(std::time(nullptr) - sent), 5);
  EXPECT_EQ(DateLineIn("<" + std::string(110, 'Z') + ">-3"), "Date: ");
}

}  // namespace
