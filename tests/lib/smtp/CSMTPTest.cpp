// CSMTP against the real SMTP server of the "smtp_server" fixture (aiosmtpd
// on loopback, plain listener): sessions, messages as stored byte for byte,
// refused recipients, transparency dots, refused line breaks and the
// failures that happen before anything is sent.
#include <zerth/CSMTP.h>

#include "SmtpTestServer.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using providertest::ReadEnvelope;
using providertest::UniqueAddress;

class CSMTPTest : public ::testing::Test {
protected:
  unsigned Port() const { return static_cast<unsigned>(std::stoul("0" + m_server.value("SMTP_PLAIN_PORT"))); }

  // The one message the server stored for address (empty when there is not
  // exactly one).
  std::string OnlyMessageFor(const std::string& address) const {
    auto messages = m_server.messagesFor(address);
    EXPECT_EQ(messages.size(), 1u) << address;
    return messages.size() == 1 ? testenv::ReadFile(messages[0]) : std::string();
  }
  bool NothingFor(const std::string& address) const { return m_server.messagesFor(address).empty(); }

  // A message to one new address with the given body.
  static CMailMessage MessageTo(const std::string& address, const std::string& body) {
    CMailMessage message;
    message.m_sFrom = "sender@example.org";
    message.m_sSubject = "Test";
    message.m_sBody = body;
    message.AddRecipient(address.c_str(), "Ann");
    return message;
  }

  // What the server stores: header and body as formatted, then the empty
  // line that the end-of-data line leaves.
  static std::string AsStored(const CMailMessage& message) { return message.m_sHeader + message.m_sBody + "\r\n"; }

  providertest::SmtpTestServer m_server;
};

TEST_F(CSMTPTest, FullSessionDeliversHeaderAndBodyAsFormatted) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  EXPECT_TRUE(smtp.Connect());  // already connected: nothing more to do

  std::string to = UniqueAddress("full");
  CMailMessage message = MessageTo(to, "Hello\r\nWorld");
  message.AddRecipient(UniqueAddress("second").c_str(), "");
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));
  EXPECT_TRUE(message.m_sBody.ends_with("World\r\n"));

  auto envelope = ReadEnvelope(m_server.messagesFor(to).at(0));
  EXPECT_EQ(envelope.mailFrom, "sender@example.org");
  ASSERT_EQ(envelope.rcptTos.size(), 2u);
  EXPECT_EQ(envelope.rcptTos[0], to);

  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_EQ(smtp.GetLastError(), "OK");
  EXPECT_TRUE(smtp.Disconnect());  // no session: nothing to do
}

// The sender is sent as stored, inside angle brackets of its own: one with
// a display name becomes "<Me <me@...>>", which the server refuses at MAIL.
// The session stays usable.
TEST_F(CSMTPTest, SenderWithDisplayNameIsRefusedAtMail) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  std::string to = UniqueAddress("named");
  CMailMessage named = MessageTo(to, "named");
  named.m_sFrom = "Me <me@example.org>";
  EXPECT_FALSE(smtp.SendMessageA(&named));
  EXPECT_EQ(smtp.GetLastError(), "501:SMTP server error");
  EXPECT_TRUE(NothingFor(to));
  CMailMessage plain = MessageTo(to, "plain");
  EXPECT_TRUE(smtp.SendMessageA(&plain)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(to), AsStored(plain));
}

TEST_F(CSMTPTest, TwoMessagesOnOneConnection) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  std::string first = UniqueAddress("first"), second = UniqueAddress("second");
  CMailMessage one = MessageTo(first, "one"), two = MessageTo(second, "two");
  ASSERT_TRUE(smtp.SendMessageA(&one)) << smtp.GetLastError();
  ASSERT_TRUE(smtp.SendMessageA(&two)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(first), AsStored(one));
  EXPECT_EQ(OnlyMessageFor(second), AsStored(two));
  EXPECT_TRUE(smtp.Disconnect());
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

  // The session is still in step: the next message goes through.
  std::string next = UniqueAddress("next");
  CMailMessage again = MessageTo(next, "again");
  EXPECT_TRUE(smtp.SendMessageA(&again)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(next), AsStored(again));
}

TEST_F(CSMTPTest, BodyLinesWithLeadingDotsArriveAsWritten) {
  const std::pair<std::string, std::string> cases[] = {
      {".\r\n.abc\r\n..\r\nend", ".\r\n.abc\r\n..\r\nend\r\n"},
      {".abc", ".abc\r\n"},
      {"...\r\n. \r\nx.\r\n.\r\n", "...\r\n. \r\nx.\r\n.\r\n"},
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
}

TEST_F(CSMTPTest, HeaderTextCannotEndTheDataEarly) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  std::string to = UniqueAddress("header"), injected = UniqueAddress("injected");
  CMailMessage message = MessageTo(to, "body");
  message.m_sSubject = "x\r\n.\r\nMAIL From: <evil@example.org>\r\nRCPT TO: <" + injected + ">";
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));
  EXPECT_TRUE(NothingFor(injected));
}

TEST_F(CSMTPTest, LineBreakInEnvelopeAddressIsRefusedAndNothingSent) {
  CSMTP smtp("127.0.0.1", Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  std::string injected = UniqueAddress("injected");
  struct Case {
    std::string from, to, error;
  } cases[] = {
      {"me@example.org\r\nRCPT TO: <" + injected + ">", UniqueAddress("a"), "Sender address contains a line break"},
      {"me@example.org", UniqueAddress("b") + ">\r\nRCPT TO: <" + injected, "Recipient address contains a line break"},
      {"me@example.org", UniqueAddress("c") + "\n", "Recipient address contains a line break"},
      {"me\r@example.org", UniqueAddress("d"), "Sender address contains a line break"},
  };
  for (const Case& c : cases) {
    CMailMessage message = MessageTo(UniqueAddress("clean"), "body");
    message.m_sFrom = c.from;
    message.AddRecipient(c.to.c_str(), "");
    EXPECT_FALSE(smtp.SendMessageA(&message));
    EXPECT_EQ(smtp.GetLastError(), c.error);
  }
  EXPECT_TRUE(NothingFor(injected));
  // Had any command gone out, this MAIL would meet a transaction in progress.
  std::string after = UniqueAddress("after");
  CMailMessage message = MessageTo(after, "after");
  EXPECT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(after), AsStored(message));
}

TEST_F(CSMTPTest, SendingNeedsASessionAndRecipients) {
  CSMTP smtp("127.0.0.1", Port());
  std::string to = UniqueAddress("unsent");
  CMailMessage message = MessageTo(to, "body");
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  EXPECT_TRUE(message.m_sHeader.empty()) << "not even formatted";

  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  CMailMessage nobody;
  nobody.m_sFrom = "me@example.org";
  EXPECT_FALSE(smtp.SendMessageA(&nobody));
  EXPECT_EQ(smtp.GetLastError(), "No Recipients");
  // No MAIL went out: the next transaction starts cleanly.
  EXPECT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));

  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_FALSE(smtp.SendMessageA(&message));
  EXPECT_EQ(smtp.GetLastError(), "Must be connected");
}

TEST_F(CSMTPTest, ConnectFailsWithoutAServer) {
  const std::pair<const char*, unsigned> unreachable[] = {
      {"127.0.0.1", 1},                   // nothing listens there
      {"no-such-host.invalid", Port()},  // the name does not resolve
      {"", Port()},
  };
  for (const auto& [host, port] : unreachable) {
    CSMTP smtp(host, port);
    EXPECT_FALSE(smtp.Connect()) << host;
    EXPECT_EQ(smtp.GetLastError(), "Unable to connect to server") << host;
    EXPECT_TRUE(smtp.Disconnect()) << "left not connected";
  }
}

TEST_F(CSMTPTest, ServerPropertiesTakeEffectAtTheNextConnect) {
  CSMTP smtp("127.0.0.1", 1);
  EXPECT_FALSE(smtp.Connect());
  smtp.SetServerProperties(nullptr, Port());
  EXPECT_EQ(smtp.GetServerHostName(), "127.0.0.1");
  EXPECT_EQ(smtp.GetPort(), 1u);

  smtp.SetServerProperties("localhost", Port());
  EXPECT_EQ(smtp.GetServerHostName(), "localhost");
  EXPECT_EQ(smtp.GetPort(), Port());
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "Unable to connect to server") << "a success does not reset the error text";
  std::string to = UniqueAddress("byname");
  CMailMessage message = MessageTo(to, "by name");
  EXPECT_TRUE(smtp.SendMessageA(&message));
  EXPECT_TRUE(smtp.Disconnect());
  EXPECT_EQ(OnlyMessageFor(to), AsStored(message));

  // And once more on the same object.
  ASSERT_TRUE(smtp.Connect());
  EXPECT_TRUE(smtp.Disconnect());
}

}  // namespace
