// CMailMessage: recipient lists, the header block and its Date line, body
// normalisation. CMIMEMessage and its content agents: the wire layout byte
// for byte (all but the date), text wrapping, and files that cannot or must
// not be read.
#include <zerth/CAppOctetStream.h>
#include <zerth/CMIMEMessage.h>
#include <zerth/CMailMessage.h>
#include <zerth/CTextPlain.h>

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
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

TEST(CMailMessageTest, RecipientListsParsedUntrimmedAndAddedToTheOthers) {
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
  // Lists add to the recipients there are; an index out of range leaves the outputs alone.
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



const std::string kBoundaryLine = "--BRAKO_MAILER_CREATED_ON_06201999\r\n";
const std::string kEndLine = "--BRAKO_MAILER_CREATED_ON_06201999--\r\n";
const std::string kPreamble = "This is a multi-part message in MIME format.\r\n\r\n";
const std::string kTextPart = kBoundaryLine + "Content-Type: text/plain\r\nContent-Transfer-Encoding: 7Bit\r\n\r\n";

std::string AttachmentPart(const std::string& name) {
  return kBoundaryLine + "Content-Type: application/octet-stream; file=" + name +
         "\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=" + name + "\r\n\r\n";
}

std::string FormattedBody(CMIMEMessage& message) {
  message.FormatMessageA();
  return message.m_sBody;
}

// The lengths of the CR LF lines of text; the last is what follows the last CR LF.
std::vector<std::size_t> LineLengths(const std::string& text) {
  std::vector<std::size_t> lengths;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lengths.push_back(end - at);
  lengths.push_back(text.size() - at);
  return lengths;
}

class CMIMEMessageTest : public ::testing::Test {
protected:
  std::string File(const std::string& name, const std::string& bytes) {
    testenv::WriteFile(m_dir.path() / name, bytes);
    return (m_dir.path() / name).string();
  }
  testenv::TempDir m_dir;
};

TEST_F(CMIMEMessageTest, WireLayoutOfATextBodyAndAnAttachment) {
  std::string bytes;
  for (int b = 0; b < 60; ++b) bytes += static_cast<char>(b);
  CMIMEMessage message;
  message.m_sFrom = "sender@example.org";
  message.m_sSubject = "Figures";
  message.AddRecipient("a1@example.org", "Ann");
  message.AddRecipient("b2@example.org", "");
  message.m_sBody = "\r\nHello Ann,\r\nthe figures are attached.\r\n\r\n";
  message.AddMIMEPart(File("sub dir/my report.tar.gz", bytes).c_str(), MIME_APP_OCTET_STREAM, "", 0, 1);
  message.FormatMessageA();

  EXPECT_EQ(message.m_sHeader,
            "From: sender@example.org\r\n"
            "To: Ann<a1@example.org>,<b2@example.org>\r\n" + DateLine(message) + "\r\n"
            "Subject: Figures\r\n"
            "X-Mailer: Zerth Mailer\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=BRAKO_MAILER_CREATED_ON_06201999\r\n"
            "\r\n");
  EXPECT_EQ(message.m_sBody, kPreamble + kTextPart + "Hello Ann,\r\nthe figures are attached.\r\n" +
                                AttachmentPart("my report.tar.gz") +
                                "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1\r\n"
                                "Njc4OTo7\r\n\r\n" + kEndLine);
}

// Text parts lead, newest first, then attachments in order; white space
// around a part goes, an empty part stays, a type no agent handles is left out.
TEST_F(CMIMEMessageTest, PartsInOrderTrimmedAndUnhandledOnesLeftOut) {
  CMIMEMessage empty, message;
  EXPECT_EQ(FormattedBody(empty), kPreamble + kEndLine);
  message.m_sBody = " \t\r\nBody\r\n\r\n";
  message.AddMIMEPart("  A  ", MIME_TEXT_PLAIN);
  message.AddMIMEPart(File("x.bin", "x").c_str(), MIME_APP_OCTET_STREAM);
  message.AddMIMEPart("\v\f\r\n", MIME_TEXT_PLAIN);
  message.AddMIMEPart(File("y.bin", "yy").c_str(), MIME_APP_OCTET_STREAM);
  message.AddMIMEPart("lost", 7);
  message.AddMIMEPart("C", MIME_TEXT_PLAIN, "; charset=us-ascii");
  EXPECT_EQ(FormattedBody(message),
            kPreamble + kTextPart + "Body\r\n" + kBoundaryLine +
                "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7Bit\r\n\r\nC\r\n" +
                kTextPart + kTextPart + "A\r\n" + AttachmentPart("x.bin") + "eA==\r\n\r\n" +
                AttachmentPart("y.bin") + "eXk=\r\n\r\n" + kEndLine);
}

// Missing, a folder, locked by a writer, no path; and what must never be
// read: a device without end, a FIFO (whose open would wait for a writer),
// a file over the size limit (sparse, so it costs no disk).
TEST_F(CMIMEMessageTest, UnreadableAttachmentsLeaveEmptyParts) {
  const std::string locked = File("locked.bin", "data"), huge = File("huge.bin", "");
  std::filesystem::resize_file(huge, CAppOctetStream::kMaxAttachmentBytes + 1);
  const std::string fifo = m_dir.str() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  CMIMEMessage message;
  for (const std::string& path : {m_dir.str() + "/missing.bin", m_dir.str(), locked, std::string(),
                                 std::string("/dev/zero"), fifo, huge})
    message.AddMIMEPart(path.c_str(), MIME_APP_OCTET_STREAM);

  // A writer holds the file: shared reading is refused, as on Windows.
  const int writer = ::open(locked.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  const std::string body = FormattedBody(message);
  ::close(writer);
  std::string emptyParts;
  for (int i = 0; i < 7; ++i) emptyParts += kBoundaryLine;
  EXPECT_EQ(body, kPreamble + emptyParts + kEndLine);

  std::string destination = "kept";
  EXPECT_EQ(CAppOctetStream(MIME_APP_OCTET_STREAM).AppendPart(nullptr, "", 0, 1, destination), 0);
  EXPECT_EQ(destination, "kept");
}

// 72 characters for each 54 bytes, a last line for the rest (empty for a
// multiple of 54), then an empty line. (The bytes themselves: CSMTPTest.)
TEST_F(CMIMEMessageTest, AttachmentsAre54BytesALineWithAnEmptyLineAtTheEnd) {
  const std::pair<std::size_t, std::vector<std::size_t>> cases[] = {
      {0, {0, 0, 0}}, {1, {4, 0, 0}}, {53, {72, 0, 0}}, {54, {72, 0, 0, 0}}, {55, {72, 4, 0, 0}},
  };
  for (const auto& [size, lineLengths] : cases) {
    SCOPED_TRACE(size);
    CMIMEMessage message;
    message.AddMIMEPart(File("data.bin", std::string(size, 'x')).c_str(), MIME_APP_OCTET_STREAM);
    const std::string body = FormattedBody(message), head = kPreamble + AttachmentPart("data.bin");
    ASSERT_TRUE(body.starts_with(head) && body.ends_with(kEndLine)) << body;
    EXPECT_EQ(LineLengths(body.substr(head.size(), body.size() - head.size() - kEndLine.size())), lineLengths);
  }
}

// wrap_text reached from outside.
class OpenTextPlain : public CTextPlain {
public:
  using CTextPlain::CTextPlain;
  using CTextPlain::wrap_text;
};

TEST(CTextPlainWrap, BreaksAsTheCounterRulesSay) {
  const std::string letters77(77, 'q');
  const struct {
    const char* name;
    std::string text;
    std::string wrapped;
  } cases[] = {
      {"77 characters stay on one line", std::string(77, 'a'), std::string(77, 'a')},
      {"78 without a blank get CR LF in front", std::string(78, 'a'), "\r\n" + std::string(78, 'a')},
      {"a long line without blanks is put behind CR LF once only", std::string(300, 'a'),
       "\r\n" + std::string(300, 'a')},
      {"the blank of an earlier line serves the break", "ab cd\r\n" + letters77 + " x",
       "ab\r\ncd\r\n" + letters77 + " x"},
      {"a line after CR LF breaks at 76", "a\r\n" + std::string(70, 'x') + " yyyyy",
       "a\r\n" + std::string(70, 'x') + "\r\nyyyyy"},
      {"a line after CR LF of 75 stays", "a\r\n" + std::string(70, 'x') + " yyyy",
       "a\r\n" + std::string(70, 'x') + " yyyy"},
      {"blanks at a break vanish", std::string(60, 'a') + "   " + std::string(20, 'b'),
       std::string(60, 'a') + "\r\n" + std::string(20, 'b')},
      {"line ends next to a break vanish too", "ab \r\n\r\n" + letters77, "ab\r\n" + letters77},
      {"empty text", "", ""},
  };
  const OpenTextPlain agent(MIME_TEXT_PLAIN, 76);
  for (const auto& c : cases) EXPECT_EQ(agent.wrap_text(c.text.c_str()), c.wrapped) << c.name;
  EXPECT_EQ(agent.wrap_text(nullptr), "");
}

// Forty words come out as lines of 74, 79 and 44 characters.
TEST_F(CMIMEMessageTest, TextPartsWrapAt76WhateverTheLineWidthIsSetTo) {
  CMIMEMessage message;
  message.SetCharsPerLine(20);
  for (int i = 0; i < 40; ++i) message.m_sBody += i ? " word" : "word";
  const std::string body = FormattedBody(message), head = kPreamble + kTextPart;
  ASSERT_TRUE(body.starts_with(head) && body.ends_with("\r\n" + kEndLine)) << body;
  const std::string text = body.substr(head.size(), body.size() - head.size() - 2 - kEndLine.size());
  EXPECT_EQ(LineLengths(text), (std::vector<std::size_t>{74, 79, 44}));  // no blank left at a break
}

}  // namespace
