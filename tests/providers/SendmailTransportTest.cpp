// The sendmail transport through msmtp, a real sendmail-compatible program,
// to the SMTP server of the "smtp_server" fixture; and the codes for
// programs that fail, cannot start or do not end.
#include "TransportFixture.h"

#include <chrono>

namespace {

using namespace providertest;

class SendmailTransportTest : public TransportTest {
protected:
  // msmtp without any configuration file of the machine or the user.
  std::string msmtp(const char* portKey, const std::string& extra = {}) const {
    return "/usr/bin/msmtp -C /dev/null --host=127.0.0.1 --port=" + m_server.value(portKey) + " " + extra;
  }
  void useSendmail(const std::string& command) {
    SetAccountValue("Transport", "sendmail");
    SetAccountValue("SendmailCommand", command);
  }
};

TEST_F(SendmailTransportTest, MsmtpDeliversToEveryRecipientWithBccOnlyInTheEnvelope) {
  useSendmail(msmtp("SMTP_PLAIN_PORT"));
  const std::string ann = UniqueAddress("ann"), carol = UniqueAddress("carol"), eve = UniqueAddress("eve");
  TestMessage message;
  message.to(ann).cc(carol).bcc(eve).subject("Grüße").text("Hello\n.\n.dot\nend");
  ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));

  for (const std::string& rcpt : {ann, carol, eve}) {
    std::vector<fs::path> files = m_server.messagesFor(rcpt);
    ASSERT_EQ(files.size(), 1u) << rcpt;
    ReceivedEnvelope envelope = ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.mailFrom, m_from);
    EXPECT_EQ(envelope.rcptTos, (std::vector<std::string>{ann, carol, eve}));
  }
  Dump dump = DumpMail(m_server.messagesFor(ann).front());
  EXPECT_EQ(dump.one("to"), "<" + ann + ">");
  EXPECT_EQ(dump.one("cc"), "<" + carol + ">");
  EXPECT_EQ(dump.one("headers").find("bcc"), std::string::npos);
  EXPECT_EQ(dump.one("subject"), "Grüße");
  EXPECT_EQ(dump.one("body"), "Hello\r\n.\r\n.dot\r\nend\r\n");
}

TEST_F(SendmailTransportTest, ExitStatusesGiveTheirCodesAndNothingArrives) {
  const std::string tls = "--tls=on --tls-starttls=on --tls-trust-file='" + m_server.value("SMTP_CA_FILE") +
                          "' --auth=on --user=" + m_server.value("SMTP_USER");
  struct Case {
    const char* what;
    std::string command;
    bool addRefused, big;
    MAPI_ULONG want;
  };
  const Case cases[] = {
      // msmtp exits 65 (EX_DATAERR); the good recipient gets nothing either.
      {"refused recipient", msmtp("SMTP_PLAIN_PORT"), true, false, MAPI_E_UNKNOWN_RECIPIENT},
      // msmtp exits 77 (EX_NOPERM), then 69 (EX_UNAVAILABLE).
      {"wrong password", msmtp("SMTP_STARTTLS_PORT", tls + " '--passwordeval=echo wrong'"), false, false,
       MAPI_E_LOGIN_FAILURE},
      {"certificate not trusted", msmtp("SMTP_STARTTLS_PORT", "--tls=on --tls-starttls=on --auth=on --user=x"), false,
       false, MAPI_E_FAILURE},
      {"program missing", "/nonexistent/sendmail -i", false, false, MAPI_E_FAILURE},
      {"program not on PATH", "no-such-sendmail-program -i", false, false, MAPI_E_FAILURE},
      {"program fails", "/bin/false", false, false, MAPI_E_FAILURE},
      {"killed by a signal", "/bin/sh -c 'kill -9 $$' sh", false, false, MAPI_E_FAILURE},
      {"unclosed quote", "/usr/bin/msmtp 'open", false, false, MAPI_E_FAILURE},
      // Status 0 without reading a message larger than the pipe is no
      // delivery; the write fails with EPIPE, not SIGPIPE.
      {"leaves early with status 0", "/bin/true", false, true, MAPI_E_FAILURE},
  };
  for (const Case& c : cases) {
    useSendmail(c.command);
    const std::string good = UniqueAddress("good");
    TestMessage message;
    message.to(good).text(c.big ? std::string(1024 * 1024, 'x') : "x");
    if (c.addRefused) message.to(UniqueAddress("refuse"));
    EXPECT_EQ(message.send(sendMail()), c.want) << c.what;
    EXPECT_TRUE(m_server.messagesFor(good).empty()) << c.what;
  }
}

TEST_F(SendmailTransportTest, ProgramThatNeverEndsIsStoppedAtTheTimeout) {
  useSendmail("/bin/sh -c 'exec sleep 60' sh");  // reads nothing: the message stays in the pipe
  SetAccountValue("Timeout", "1");
  TestMessage message;
  message.to(UniqueAddress("a")).text(std::string(256 * 1024, 'x'));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "bounds a hang, not speed";
}

}  // namespace
