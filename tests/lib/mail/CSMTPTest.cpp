// CSMTP against the SMTP server of the "smtp_server" fixture (aiosmtpd on
// loopback): sessions, messages as stored byte for byte, refused recipients,
// transparency dots, header texts kept to their lines, refused envelope
// addresses, the failures before anything is sent, and the listeners that
// misbehave on purpose.
#include <zerth/CSMTP.h>

#include "SmtpTestServer.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstddef>
#include <string>
#include <utility>
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
    auto messages = m_server.messagesFor(address);
    EXPECT_EQ(messages.size(), 1u) << address;
    return messages.size() == 1 ? testenv::ReadFile(messages[0]) : std::string();
  }
  bool NothingFor(const std::string& address) const { return m_server.messagesFor(address).empty(); }

  static CMailMessage MessageTo(const std::string& address, const std::string& body) {
    CMailMessage message;
    message.m_sFrom = "sender@example.org";
    message.m_sSubject = "Test";
    message.m_sBody = body;
    message.AddRecipient(address.c_str(), "Ann");
    return message;
  }

  // Sends a message to a new address and expects it stored as formatted,
  // with the empty line that the end-of-data line leaves.
  void ExpectDelivered(CSMTP& smtp, const std::string& body = "body") {
    const std::string to = UniqueAddress("ok");
    CMailMessage message = MessageTo(to, body);
    EXPECT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
    EXPECT_EQ(OnlyMessageFor(to), AsStored(message));
  }
  static std::string AsStored(const CMailMessage& message) { return message.m_sHeader + message.m_sBody + "\r\n"; }

  providertest::SmtpTestServer m_server;
};

TEST_F(CSMTPTest, FullSessionWithTwoMessagesDeliversThemAsFormatted) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  EXPECT_TRUE(smtp.Connect());  // already connected: nothing more to do

  std::string to = UniqueAddress("full");
  CMailMessage message = MessageTo(to, "Hello\r\nWorld");
  message.AddRecipient(UniqueAddress("second").c_str(), "");
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));
  auto envelope = ReadEnvelope(m_server.messagesFor(to).at(0));
  EXPECT_EQ(envelope.mailFrom, "sender@example.org");
  ASSERT_EQ(envelope.rcptTos.size(), 2u);
  EXPECT_EQ(envelope.rcptTos[0], to);
  ExpectDelivered(smtp);  // the second on the same connection

  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_EQ(smtp.GetLastError(), "OK");
  EXPECT_TRUE(smtp.Disconnect());  // no session: nothing to do
}

TEST_F(CSMTPTest, RefusedRecipientDoesNotStopTheTransaction) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  std::string refused = UniqueAddress("refuse"), accepted = UniqueAddress("accepted");
  CMailMessage message = MessageTo(refused, "body");
  message.AddRecipient(accepted.c_str(), "");
  EXPECT_TRUE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "550:SMTP server error");
  EXPECT_EQ(OnlyMessageFor(accepted), AsStored(message));
  EXPECT_EQ(ReadEnvelope(m_server.messagesFor(accepted).at(0)).rcptTos, std::vector<std::string>{accepted});
  EXPECT_TRUE(NothingFor(refused));
  ExpectDelivered(smtp);  // still in step
}

TEST_F(CSMTPTest, BodyLinesWithLeadingDotsAndHeaderTextArriveAsWritten) {
  const std::pair<std::string, std::string> cases[] = {
      {".\r\n.abc\r\n..\r\nend", ".\r\n.abc\r\n..\r\nend\r\n"},
      {".abc", ".abc\r\n"},
      // Lone line breaks become CR LF, so a dot after them is a line start too.
      {"a\n.b\n.", "a\r\n.b\r\n.\r\n"},
  };
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  for (const auto& [body, stored] : cases) {
    std::string to = UniqueAddress("dots");
    CMailMessage message = MessageTo(to, body);
    ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
    EXPECT_EQ(OnlyMessageFor(to), message.m_sHeader + stored + "\r\n");
  }
  // Line breaks in a subject or display name stay inside their header line:
  // they add no header line, end neither the header nor the data early.
  std::string to = UniqueAddress("header"), injected = UniqueAddress("injected");
  CMailMessage message = MessageTo(to, "body");
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
  std::string injected = UniqueAddress("injected");
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
    CMailMessage message = MessageTo(clean, "body");
    message.m_sFrom = c.from;
    message.AddRecipient(c.to.c_str(), "");
    EXPECT_FALSE(smtp.SendMessageA(&message)) << c.from << " / " << c.to;
    EXPECT_EQ(smtp.GetLastError(), c.error);
    EXPECT_TRUE(NothingFor(clean)) << c.from << " / " << c.to;
  }
  EXPECT_TRUE(NothingFor(injected));
  ExpectDelivered(smtp);  // had a command gone out, MAIL would meet a transaction in progress
}

TEST_F(CSMTPTest, SendingNeedsASessionAndRecipients) {
  CSMTP smtp("127.0.0.1", Port());
  CMailMessage message = MessageTo(UniqueAddress("unsent"), "body");
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  EXPECT_TRUE(message.m_sHeader.empty()) << "not even formatted";

  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  CMailMessage nobody;
  nobody.m_sFrom = "me@example.org";
  EXPECT_FALSE(smtp.SendMessageA(&nobody));
  EXPECT_EQ(smtp.GetLastError(), "No Recipients");
  ExpectDelivered(smtp);  // no MAIL went out: the next transaction starts cleanly

  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
}

TEST_F(CSMTPTest, ConnectFailsWithoutAServerAndServerPropertiesApplyAtTheNextConnect) {
  for (const char* host : {"no-such-host.invalid", ""}) {
    CSMTP smtp(host, Port());
    EXPECT_FALSE(smtp.Connect()) << host;
    EXPECT_EQ(smtp.GetLastError(), "Unable to connect to server") << host;
  }
  CSMTP smtp("127.0.0.1", 1);  // nothing listens there
  EXPECT_FALSE(smtp.Connect());
  EXPECT_EQ(smtp.GetLastError(), "Unable to connect to server");
  EXPECT_TRUE(smtp.Disconnect()) << "left not connected";
  smtp.SetServerProperties(nullptr, Port());
  EXPECT_EQ(smtp.GetPort(), 1u) << "a null host changes nothing";

  smtp.SetServerProperties("localhost", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "Unable to connect to server") << "a success does not reset the error text";
  ExpectDelivered(smtp);
  EXPECT_TRUE(smtp.Disconnect());
}

TEST_F(CSMTPTest, BadGreetingOrSilenceFailsConnect) {
  for (const char* quirk : {"QUIRKS_GREET554_PORT", "QUIRKS_SILENT_PORT"}) {
    CSMTP smtp("127.0.0.1", Port(quirk));
    smtp.SetTimeout(1);
    EXPECT_FALSE(smtp.Connect()) << quirk;
    EXPECT_EQ(smtp.GetLastError(), "Server didn't respond.") << quirk;
    CMailMessage message = MessageTo("a@example.org", "body");
    EXPECT_FALSE(smtp.SendMessageA(&message));
    EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  }
}

TEST_F(CSMTPTest, QuitNotAnsweredWith221FailsButDisconnects) {
  CSMTP smtp("127.0.0.1", Port("QUIRKS_QUIT500_PORT"));
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  CMailMessage message = MessageTo(UniqueAddress("quit"), "body");
  EXPECT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_FALSE(smtp.Disconnect());
  EXPECT_EQ(smtp.GetLastError(), "500:SMTP server didn't terminate session");
  EXPECT_TRUE(smtp.Disconnect()) << "already disconnected";
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  ASSERT_TRUE(smtp.Connect()) << "connects again: " << smtp.GetLastError();
  EXPECT_FALSE(smtp.Disconnect());
}

// A reply not whole within the time-out (one byte every half second, a line
// or a reply without end, each of which the listener would finish after
// some seconds with a 250), and a message that could not be sent because the
// server reset the connection after answering DATA with 354 and 250 at once:
// the message fails, and the session is over, since whatever the server still
// sends would answer the next command.
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
  std::string first = UniqueAddress("chatty"), second = UniqueAddress("chatty");
  CMailMessage one = MessageTo(first, "one"), two = MessageTo(second, ".two");
  ASSERT_TRUE(smtp.SendMessageA(&one)) << smtp.GetLastError();
  ASSERT_TRUE(smtp.SendMessageA(&two)) << smtp.GetLastError();
  EXPECT_TRUE(smtp.Disconnect()) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "OK");
  EXPECT_EQ(OnlyMessageFor(first), AsStored(one));
  EXPECT_EQ(OnlyMessageFor(second), two.m_sHeader + ".two\r\n\r\n");

  char host[256] = {};  // HELO names this host, as the system reports it
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::filesystem::path json = m_server.messagesFor(first).at(0);
  const std::string envelope = testenv::ReadFile(json.replace_extension(".json"));
  EXPECT_NE(envelope.find("\"helo\": \"" + std::string(host) + "\""), std::string::npos) << envelope;
}

}  // namespace
