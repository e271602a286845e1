// CMailMessage: recipient lists, the header block and its order, the Date
// line, body normalisation, and the virtual steps a derived message extends.
#include <zerth/CMailMessage.h>

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <regex>
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

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
  return lines;
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
  EXPECT_EQ(message.GetCharsPerLine(), 76u);
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

TEST(CMailMessageTest, HeaderIsFromToDateSubjectMailerAndEmptyLineRebuiltEachTime) {
  CMailMessage message;
  message.FormatMessageA();
  std::vector<std::string> lines = SplitCrLf(message.m_sHeader);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "To: ");
  EXPECT_EQ(message.m_sBody, "\r\n");

  message.m_sFrom = "Me <me@example.org>";
  message.m_sSubject = "Greetings";
  message.AddRecipient("a1", "Ann");
  message.AddRecipient("b2", "Bob");
  message.AddRecipient("c3", "");
  message.FormatMessageA();
  lines = SplitCrLf(message.m_sHeader);
  ASSERT_EQ(lines.size(), 6u) << message.m_sHeader;
  EXPECT_EQ(lines[0], "From: Me <me@example.org>");
  EXPECT_EQ(lines[1], "To: Ann<a1>,Bob<b2>,<c3>");
  EXPECT_TRUE(lines[2].starts_with("Date: ")) << lines[2];
  EXPECT_EQ(lines[3], "Subject: Greetings");
  EXPECT_EQ(lines[4], "X-Mailer: Zerth Mailer");
  EXPECT_EQ(lines[5], "");
}

// The Date line of a message formatted in a zone given as a POSIX TZ string
// (no zone database needed).
std::string DateLineIn(const std::string& zone, std::time_t* date = nullptr) {
  testenv::ScopedEnv tz("TZ", zone);
  tzset();
  CMailMessage message;
  message.FormatMessageA();
  tzset();
  if (date) *date = message.m_tDate;
  return SplitCrLf(message.m_sHeader).at(2);
}

TEST(CMailMessageTest, DateLineIsLocalTimeWithTwoDigitYearAndZoneNameUpTo127Characters) {
  std::time_t sent = 0;
  const std::string date = DateLineIn("XYZ-3", &sent);  // three hours east of UTC
  const std::regex pattern(R"(Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d\d \d\d:\d\d:\d\d XYZ)");
  ASSERT_TRUE(std::regex_match(date, pattern)) << date;
  std::tm parsed{};
  ASSERT_NE(strptime(date.c_str() + 6, "%a, %d %b %y %H:%M:%S", &parsed), nullptr);
  EXPECT_EQ(timegm(&parsed), sent + 3 * 3600) << date;
  EXPECT_LE(std::abs(std::time(nullptr) - sent), 5);
  // A zone name long enough to push the text past the limit leaves it empty.
  EXPECT_EQ(DateLineIn("<" + std::string(110, 'Z') + ">-3"), "Date: ");
}

TEST(CMailMessageTest, BodyIsMadeToEndWithCrLfAndOtherwiseKept) {
  const std::pair<const char*, const char*> cases[] = {
      {"Hello", "Hello\r\n"}, {"Hello\r\n", "Hello\r\n"}, {"", "\r\n"}, {"a\r", "a\r\r\n"}, {"a\n", "a\n\r\n"},
  };
  for (const auto& [body, expected] : cases) {
    CMailMessage message;
    message.m_sBody = body;
    message.FormatMessageA();
    EXPECT_EQ(message.m_sBody, expected);
  }
}

// A derived message as the MIME message builds one: the steps are virtual,
// called in order, and lines added after the base header come before the
// empty line.
class TracingMessage : public CMailMessage {
public:
  std::vector<std::string> calls;

protected:
  void start_header() override {
    calls.push_back("start_header");
    CMailMessage::start_header();
  }
  void prepare_header() override {
    calls.push_back("prepare_header");
    CMailMessage::prepare_header();
    add_header_line("MIME-Version: 1.0");
  }
  void end_header() override {
    calls.push_back("end_header");
    CMailMessage::end_header();
  }
  void prepare_body() override {
    calls.push_back("prepare_body");
    m_sBody = "replaced";
    CMailMessage::prepare_body();
  }
  void add_header_line(const char* line) override {
    calls.push_back(std::string(line).substr(0, 4));
    CMailMessage::add_header_line(line);
  }
};

TEST(CMailMessageTest, DerivedMessageExtendsTheVirtualStepsInOrder) {
  // Called and destroyed through the base.
  std::unique_ptr<CMailMessage> owner = std::make_unique<TracingMessage>();
  const auto& message = static_cast<const TracingMessage&>(*owner);
  CMailMessage& base = *owner;
  base.FormatMessageA();
  EXPECT_EQ(message.calls, (std::vector<std::string>{"start_header", "prepare_header", "From", "To: ", "Date",
                                                      "Subj", "X-Ma", "MIME", "end_header", "prepare_body"}));
  std::vector<std::string> lines = SplitCrLf(base.m_sHeader);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[5], "MIME-Version: 1.0");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(base.m_sBody, "replaced\r\n");
}

}  // namespace
