// CSMTP against the SMTP server of the "smtp_server" fixture (aiosmtpd on
// loopback), its listeners that misbehave on purpose included.
#include <zerth/CMIMEMessage.h>
#include <zerth/CSMTP.h>

#include "MailDump.h"
#include "SmtpTestServer.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using providertest::ReadEnvelope;
using providertest::UniqueAddress;

class CSMTPTest : public ::testing::Test {
protected:
  unsigned Port(const char* key = "SMTP_PLAIN_PORT") const {
    return static_cast<unsigned>(std::stoul("0" + m_server.value(key)));
  }

  // The one message the server stored for address (empty when not exactly one).
  std::string OnlyMessageFor(const std::string& address) const {
    const auto messages = m_server.messagesFor(address);
    EXPECT_EQ(messages.size(), 1u) << address;
    return messages.size() == 1 ? testenv::ReadFile(messages[0]) : std::string();
  }
  bool NothingFor(const std::string& address) const { return m_server.messagesFor(address).empty(); }

  static CMailMessage MessageTo(const std::string& address, const std::string& body = "body") {
    CMailMessage message;
    message.m_sFrom = "sender@example.org";
    message.m_sSubject = "Test";
    message.m_sBody = body;
    message.AddRecipient(address.c_str(), "Ann");
    return message;
  }
  // As formatted, with the empty line that the end-of-data line leaves.
  static std::string AsStored(const CMailMessage& message) { return message.m_sHeader + message.m_sBody + "\r\n"; }

  // Sends a message to a new address and expects it stored as formatted:
  // the session is still in step.
  void ExpectDelivered(CSMTP& smtp) {
    const std::string to = UniqueAddress("ok");
    CMailMessage message = MessageTo(to);
    EXPECT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
    EXPECT_EQ(OnlyMessageFor(to), AsStored(message));
  }

  providertest::SmtpTestServer m_server;
};

// A refused recipient does not stop the transaction; a second message goes
// on the same connection.
TEST_F(CSMTPTest, SessionDeliversAsFormattedAndARefusedRecipientStopsNothing) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  EXPECT_TRUE(smtp.Connect());  // already connected: nothing more to do
  const std::string refused = UniqueAddress("refuse"), to = UniqueAddress("full"), second = UniqueAddress("second");
  CMailMessage message = MessageTo(refused, "Hello\r\nWorld");
  message.AddRecipient(to.c_str(), "");
  message.AddRecipient(second.c_str(), "");
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "550:SMTP server error");
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));
  const auto envelope = ReadEnvelope(m_server.messagesFor(to).at(0));
  EXPECT_EQ(envelope.mailFrom, "sender@example.org");
  EXPECT_EQ(envelope.rcptTos, (std::vector<std::string>{to, second}));
  EXPECT_TRUE(NothingFor(refused));
  ExpectDelivered(smtp);
  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_TRUE(smtp.Disconnect());  // no session: nothing to do
}

TEST_F(CSMTPTest, BodyLinesWithLeadingDotsAndHeaderTextArriveAsWritten) {
  // Lone line breaks become CR LF, so a dot after them is a line start too.
  const std::pair<std::string, std::string> cases[] = {
      {".\r\n.abc\r\n..\r\nend", ".\r\n.abc\r\n..\r\nend\r\n"},
      {".abc", ".abc\r\n"},
      {" .x\r\na.\r\nb . c", " .x\r\na.\r\nb . c\r\n"},
      {"a\n.b\n.", "a\r\n.b\r\n.\r\n"},
      {"a\r.\rb\n\r.", "a\r\n.\r\nb\r\n\r\n.\r\n"},
  };
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  for (const auto& [body, stored] : cases) {
    const std::string to = UniqueAddress("dots");
    CMailMessage message = MessageTo(to, body);
    ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
    EXPECT_EQ(OnlyMessageFor(to), message.m_sHeader + stored + "\r\n");
  }
  // Line breaks in a subject or display name stay inside their header line:
  // they add no header line, end neither the header nor the data early.
  const std::string to = UniqueAddress("header"), injected = UniqueAddress("injected");
  CMailMessage message = MessageTo(to);
  message.m_sSubject = "x\r\n.\r\nMAIL From: <evil@example.org>\r\nRCPT TO: <" + injected + ">";
  message.AddRecipient(UniqueAddress("named").c_str(), ("Bob\r\nBcc: " + injected + "\n\r\nInjected text").c_str());
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  const std::string stored = OnlyMessageFor(to);
  EXPECT_EQ(stored, AsStored(message));
  EXPECT_NE(stored.find("\r\nSubject: x  .  MAIL From: <evil@example.org>  RCPT TO: <" + injected + ">\r\n"),
            std::string::npos) << stored;
  EXPECT_NE(stored.find(",Bob  Bcc: " + injected + "   Injected text<"), std::string::npos) << stored;
  EXPECT_EQ(stored.find("\r\n\r\n"), message.m_sHeader.size() - 4) << "the header ends where it was built";
  EXPECT_TRUE(NothingFor(injected));
}

// A line break would end the command and start another; '>' or a blank adds
// ESMTP parameters; a sender "Name <address>" would go out as
// "<Name <address>>". None of them leaves the client.
TEST_F(CSMTPTest, BadEnvelopeAddressIsRefusedAndNothingSent) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  const std::string injected = UniqueAddress("injected");
  const std::string lineBreak = " address contains a line break";
  const std::string forbidden = " address contains '<', '>', a blank or a control character";
  const struct {
    std::string from, to, error;
  } cases[] = {
      {"me@example.org\r\nRCPT TO: <" + injected + ">", UniqueAddress("a"), "Sender" + lineBreak},
      {"me@example.org", UniqueAddress("b") + ">\r\nRCPT TO: <" + injected, "Recipient" + lineBreak},
      {"me@example.org", UniqueAddress("c") + "\n", "Recipient" + lineBreak},
      {"me\r@example.org", UniqueAddress("d"), "Sender" + lineBreak},
      {"Me <me@example.org>", UniqueAddress("e"), "Sender" + forbidden},
      {"me@example.org> SIZE=10", UniqueAddress("f"), "Sender" + forbidden},
      {"me@example.org", UniqueAddress("g") + "> NOTIFY=NEVER", "Recipient" + forbidden},
      {"me@example.org", "<" + UniqueAddress("h"), "Recipient" + forbidden},
      {"me@exam\tple.org", UniqueAddress("i"), "Sender" + forbidden},
      {"me@example.org", UniqueAddress("j") + "\x7f", "Recipient" + forbidden},
  };
  for (const auto& c : cases) {
    const std::string clean = UniqueAddress("clean");
    CMailMessage message = MessageTo(clean);
    message.m_sFrom = c.from;
    message.AddRecipient(c.to.c_str(), "");
    EXPECT_FALSE(smtp.SendMessageA(&message)) << c.from << " / " << c.to;
    EXPECT_EQ(smtp.GetLastError(), c.error);
    EXPECT_TRUE(NothingFor(clean)) << c.from << " / " << c.to;
  }
  EXPECT_TRUE(NothingFor(injected));
  ExpectDelivered(smtp);  // had a command gone out, MAIL would meet a transaction in progress
}

// No server, a bad greeting or none: Connect fails and nothing can be sent.
TEST_F(CSMTPTest, ConnectAndSendFailBeforeAnythingIsSent) {
  const std::string unable = "Unable to connect to server", silent = "Server didn't respond.";
  const std::tuple<const char*, unsigned, std::string> cases[] = {
      {"no-such-host.invalid", Port(), unable}, {"", Port(), unable},
      {"127.0.0.1", Port("QUIRKS_GREET554_PORT"), silent}, {"127.0.0.1", Port("QUIRKS_SILENT_PORT"), silent}};
  for (const auto& [host, port, error] : cases) {
    CSMTP failing(host, port);
    failing.SetTimeout(1);
    EXPECT_FALSE(failing.Connect()) << host << ":" << port;
    EXPECT_EQ(failing.GetLastError(), error) << host << ":" << port;
    CMailMessage message = MessageTo("a@example.org");
    EXPECT_FALSE(failing.SendMessageA(&message));
    EXPECT_EQ(failing.GetLastError(), "Must be connected");
  }
  CSMTP smtp("127.0.0.1", 1);  // nothing listens there
  EXPECT_FALSE(smtp.Connect());
  EXPECT_EQ(smtp.GetLastError(), unable);
  EXPECT_TRUE(smtp.Disconnect()) << "left not connected";
  CMailMessage message = MessageTo(UniqueAddress("unsent"));
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  EXPECT_TRUE(message.m_sHeader.empty()) << "not even formatted";
  smtp.SetServerProperties(nullptr, Port());
  EXPECT_EQ(smtp.GetPort(), 1u) << "a null host changes nothing";

  smtp.SetServerProperties("localhost", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "Must be connected") << "a success does not reset the error text";
  CMailMessage nobody;
  nobody.m_sFrom = "me@example.org";
  EXPECT_FALSE(smtp.SendMessageA(&nobody));
  EXPECT_EQ(smtp.GetLastError(), "No Recipients");
  ExpectDelivered(smtp);  // no MAIL went out: the next transaction starts cleanly
  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
}

TEST_F(CSMTPTest, QuitNotAnsweredWith221FailsButDisconnects) {
  CSMTP smtp("127.0.0.1", Port("QUIRKS_QUIT500_PORT"));
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  CMailMessage message = MessageTo(UniqueAddress("quit"));
  EXPECT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_FALSE(smtp.Disconnect());
  EXPECT_EQ(smtp.GetLastError(), "500:SMTP server didn't terminate session");
  EXPECT_TRUE(smtp.Disconnect()) << "already disconnected";
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  ASSERT_TRUE(smtp.Connect()) << "connects again: " << smtp.GetLastError();
  EXPECT_FALSE(smtp.Disconnect());
}

// A reply not whole within the time-out (slow, an endless line or reply, each
// finished later with a 250), or DATA answered with 354 and 250 and a reset:
// the session is over, since what the server still sends would answer the next command.
TEST_F(CSMTPTest, MisbehavingServerFailsTheMessageAndEndsTheSession) {
  const std::pair<const char*, std::size_t> cases[] = {
      {"QUIRKS_SLOWREPLY_PORT", 4}, {"QUIRKS_ENDLESSLINE_PORT", 4}, {"QUIRKS_ENDLESSCONT_PORT", 4},
      {"QUIRKS_DATARESET_PORT", std::size_t{8} << 20},  // more than the connection holds unread
  };
  for (const auto& [quirk, bodySize] : cases) {
    SCOPED_TRACE(quirk);
    CSMTP smtp("127.0.0.1", Port(quirk));
    smtp.SetTimeout(1);
    ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
    CMailMessage message = MessageTo(UniqueAddress("quirk"), std::string(bodySize, 'x'));
    EXPECT_FALSE(smtp.SendMessageA(&message));
    EXPECT_EQ(smtp.GetLastError(), "Socket Error");
    EXPECT_FALSE(smtp.SendMessageA(&message));
    EXPECT_EQ(smtp.GetLastError(), "Must be connected");
    ASSERT_TRUE(smtp.Connect()) << "a new session: " << smtp.GetLastError();
    EXPECT_TRUE(smtp.Disconnect()) << smtp.GetLastError();
  }
}

// Every reply has continuation lines, one longer than the reply buffer, and
// arrives in pieces: each must be read whole, in step across two messages.
TEST_F(CSMTPTest, MultiLineRepliesInManySegmentsKeepTheSessionInStep) {
  CSMTP smtp("127.0.0.1", Port("QUIRKS_CHATTY_PORT"));
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  const std::string first = UniqueAddress("chatty"), second = UniqueAddress("chatty");
  CMailMessage one = MessageTo(first, "one"), two = MessageTo(second, ".two");
  ASSERT_TRUE(smtp.SendMessageA(&one)) << smtp.GetLastError();
  ASSERT_TRUE(smtp.SendMessageA(&two)) << smtp.GetLastError();
  EXPECT_TRUE(smtp.Disconnect()) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "OK");
  EXPECT_EQ(OnlyMessageFor(first), AsStored(one));
  EXPECT_EQ(OnlyMessageFor(second), two.m_sHeader + ".two\r\n\r\n");

  char host[256] = {};  // HELO names this host, as the system reports it, unpadded
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::filesystem::path json = m_server.messagesFor(first).at(0);
  const std::string envelope = testenv::ReadFile(json.replace_extension(".json"));
  EXPECT_NE(envelope.find("\"helo\": \"" + std::string(host) + "\""), std::string::npos) << envelope;
}

// Read back by Python's email package: each attachment with the file's bytes
// and its name, however odd, as one parameter of its own part headers.
TEST_F(CSMTPTest, MultipartMessageArrivesWithTheFilesBytesAndNames) {
  const testenv::TempDir dir;
  std::mt19937 rng(5);
  std::string bytes(5000, '\0');
  for (auto& b : bytes) b = static_cast<char>(rng());
  bytes[0] = '.';  // the data lines carry no dots, but the file may
  testenv::WriteFile(dir.path() / "figures.bin", bytes);
  // Line breaks in a name must not add part headers or end them early.
  const std::string oddName = "\xC3\x9C" "bersicht\r\nX-Injected: yes\r\n\r\nInjected text.txt";
  testenv::WriteFile(dir.path() / oddName, "odd");

  const std::string to = UniqueAddress("mime");
  CMIMEMessage message;
  message.m_sFrom = "sender@example.org";
  message.AddRecipient(to.c_str(), "Ann");
  message.m_sBody = "Hello Ann,\r\n.\r\nthe figures are attached.";
  message.AddMIMEPart((dir.path() / "figures.bin").c_str(), MIME_APP_OCTET_STREAM);
  message.AddMIMEPart((dir.path() / oddName).c_str(), MIME_APP_OCTET_STREAM);
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));

  const testmail::Dump dump = testmail::DumpMail(m_server.messagesFor(to).at(0), dir.path());
  EXPECT_EQ(dump.one("type"), "multipart/mixed");
  const std::string attachment = "application/octet-stream|Content-Type,Content-Transfer-Encoding,Content-Disposition|";
  EXPECT_EQ(dump.all("part"),
            (std::vector<std::string>{"text/plain|Content-Type,Content-Transfer-Encoding|", attachment + "figures.bin",
                                      attachment + "\xC3\x9C" "bersicht  X-Injected: yes    Injected text.txt"}));
  EXPECT_EQ(testenv::ReadFile(dir.path() / "0.bin"), bytes);
  EXPECT_EQ(testenv::ReadFile(dir.path() / "1.bin"), "odd");
  EXPECT_EQ(dump.one("body"), "Hello Ann,\r\n.\r\nthe figures are attached.");
}

}  // namespace
