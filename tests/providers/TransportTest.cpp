// The smtp transport, and the sendmail transport through msmtp, against the
// SMTP test server: what arrives, and the code of every failure.
#include "ProviderHarness.h"

#include <chrono>
#include <regex>
#include <thread>

namespace {

using namespace providertest;

class DeliveryTest : public TransportTest {
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

TEST_F(DeliveryTest, SmtpAndMsmtpDeliverToEveryRecipientWithBccOnlyInTheEnvelope) {
  for (const bool smtp : {true, false}) {
    smtp ? useSmtp(m_server.plainUrl(), "when offered") : useSendmail(msmtp("SMTP_PLAIN_PORT"));  // offers no TLS
    const std::string ann = UniqueAddress("ann"), bob = UniqueAddress("Bob", "example.net");
    const std::string carol = UniqueAddress("carol"), eve = UniqueAddress("eve");
    TestMessage message;
    message.to("Ann Example", "SMTP:" + ann).to(bob).cc(carol).bcc(eve).subject("Grüße").text("Hello\n.\n.dot\nend");
    ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS)) << smtp;

    std::string first;
    for (const std::string& rcpt : {ann, bob, carol, eve}) {
      const std::vector<fs::path> files = m_server.messagesFor(rcpt);
      ASSERT_EQ(files.size(), 1u) << rcpt;
      const ReceivedEnvelope envelope = ReadEnvelope(files[0]);
      EXPECT_EQ(envelope.mailFrom, m_from);
      EXPECT_EQ(envelope.rcptTos, (std::vector<std::string>{ann, bob, carol, eve}));
      EXPECT_FALSE(envelope.tls);
      const std::string raw = testenv::ReadFile(files[0]);
      EXPECT_FALSE(std::regex_search(raw, std::regex("(^|[^\r])\n"))) << "a line end without CR";
      if (first.empty()) first = raw;
      EXPECT_EQ(raw, first) << "the same message for every recipient";
    }
    Dump dump = DumpMail(m_server.messagesFor(ann).front());
    EXPECT_EQ(dump.one("from"), "<" + m_from + ">");
    EXPECT_EQ(dump.one("to"), "Ann Example <" + ann + ">, <" + bob + ">");
    EXPECT_EQ(dump.one("cc"), "<" + carol + ">");
    EXPECT_EQ(dump.one("headers").find("bcc"), std::string::npos);
    EXPECT_EQ(dump.one("subject"), "Grüße");
    EXPECT_EQ(dump.one("body"), "Hello\r\n.\r\n.dot\r\nend\r\n");  // through the transparency rule
    EXPECT_EQ(dump.one("defects"), "");
  }
}

TEST_F(DeliveryTest, RefusalsAndFailuresGiveTheirCodesAndNothingArrives) {
  std::string big(1200 * 1024, '\0');  // over the server's limit and the pipe's size, also as base64
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  testenv::WriteFile(m_home.path() / "big.bin", big);
  const std::string plain = m_server.plainUrl(), tls = "--tls=on --tls-starttls=on --tls-trust-file='" +
                                                        m_server.value("SMTP_CA_FILE") + "' --auth=on --user=" +
                                                        m_server.value("SMTP_USER");
  enum Extra { kNone, kRefusedToo, kBig, kShortTimeouts };
  const struct {
    const char* what;
    std::string server;  // for smtp; sendmail: empty
    std::string command;  // for sendmail
    MAPI_ULONG want;
    Extra extra = kNone;
    const char* startTls = "when offered";
  } cases[] = {
      // One refused recipient fails the whole message: the others get nothing.
      {"refused recipient", plain, "", MAPI_E_UNKNOWN_RECIPIENT, kRefusedToo},
      {"over the size limit", plain, "", MAPI_E_TEXT_TOO_LARGE, kBig},
      {"nothing listens", "smtp://127.0.0.1:1", "", MAPI_E_LOGIN_FAILURE},
      {"silent server", m_server.url("smtp", "QUIRKS_SILENT_PORT"), "", MAPI_E_LOGIN_FAILURE, kShortTimeouts},
      {"STARTTLS required (empty value), not offered", plain, "", MAPI_E_LOGIN_FAILURE, kNone, ""},
      {"StartTLS value unknown", plain, "", MAPI_E_LOGIN_FAILURE, kNone, "never"},
      {"no server", "", "", MAPI_E_LOGIN_FAILURE},
      {"not an SMTP URL", m_server.url("http", "SMTP_PLAIN_PORT"), "", MAPI_E_LOGIN_FAILURE},
      {"AUTH required, no user", m_server.starttlsUrl(), "", MAPI_E_LOGIN_FAILURE},
      // msmtp exits 65 (EX_DATAERR); 77 (EX_NOPERM), then 69 (EX_UNAVAILABLE).
      {"msmtp: refused recipient", "", msmtp("SMTP_PLAIN_PORT"), MAPI_E_UNKNOWN_RECIPIENT, kRefusedToo},
      {"msmtp: wrong password", "", msmtp("SMTP_STARTTLS_PORT", tls + " '--passwordeval=echo wrong'"),
       MAPI_E_LOGIN_FAILURE},
      {"msmtp: certificate not trusted", "",
       msmtp("SMTP_STARTTLS_PORT", "--tls=on --tls-starttls=on --auth=on --user=x"), MAPI_E_FAILURE},
      {"program missing", "", "/nonexistent/sendmail -i", MAPI_E_FAILURE},
      {"program not on PATH", "", "no-such-sendmail-program -i", MAPI_E_FAILURE},
      {"program fails", "", "/bin/false", MAPI_E_FAILURE},
      {"killed by a signal", "", "/bin/sh -c 'kill -9 $$' sh", MAPI_E_FAILURE},
      {"unclosed quote", "", "/usr/bin/msmtp 'open", MAPI_E_FAILURE},
      // Status 0 without reading a message larger than the pipe is no
      // delivery; the write fails with EPIPE, not SIGPIPE.
      {"leaves early with status 0", "", "/bin/true", MAPI_E_FAILURE, kBig},
      // Reads nothing and never ends: the message stays in the pipe.
      {"never ends", "", "/bin/sh -c 'exec sleep 60' sh", MAPI_E_FAILURE, kShortTimeouts},
  };
  SetAccountValue("CaFile", m_server.value("SMTP_CA_FILE"));
  SetAccountValue("RetryTime", "0");  // "nothing listens" would be tried again for a minute
  for (const auto& c : cases) {
    useSmtp(c.server, c.startTls);
    if (!c.command.empty()) useSendmail(c.command);
    for (const char* timeout : {"ConnectTimeout", "Timeout"})
      if (c.extra == kShortTimeouts) SetAccountValue(timeout, "1");
    const std::string good = UniqueAddress("good");
    TestMessage message;
    message.to(good).text("x");
    if (c.extra == kRefusedToo) message.cc(UniqueAddress("refuse"));
    if (c.extra == kBig) message.attach(m_home.path() / "big.bin");
    EXPECT_EQ(message.send(sendMail()), c.want) << c.what;
    EXPECT_TRUE(m_server.messagesFor(good).empty()) << c.what;
  }
}

TEST_F(DeliveryTest, TlsAndLogonSucceedOnlyWithTrustedCertificateAndRightPassword) {
  const std::string good = "printf '%s\\n' '" + m_server.value("SMTP_PASSWORD") + "'";
  const std::string starttls = m_server.starttlsUrl(), smtps = m_server.smtpsUrl();
  const struct {
    const char* what;
    std::string url, passwordCommand;
    bool trustCa;
    const char* wantListener;  // empty: MAPI_E_LOGIN_FAILURE
    const char* startTls = "required";
    const char* wantReason = "";  // in the one line on stderr
  } cases[] = {
      {"STARTTLS", starttls, good, true, "starttls"},
      {"STARTTLS when offered", starttls, good, true, "starttls", "when offered"},
      {"implicit TLS", smtps, good, true, "smtps"},
      {"first line only", starttls, good + "; echo second line", true, "starttls"},
      {"wrong password", starttls, "echo wrong", true, ""},
      {"certificate not trusted", starttls, good, false, ""},
      {"implicit TLS not trusted", smtps, good, false, ""},
      {"command fails", starttls, good + "; exit 3", true, ""},
      {"command prints nothing", starttls, "true", true, ""},
      // The password never goes in clear, not even to a server that takes it.
      {"AUTH offered without TLS", m_server.url("smtp", "SMTP_PLAINAUTH_PORT"), good, true, "", "when offered",
       "password is never sent without TLS"},
  };
  useStarttlsAccount();
  for (const auto& c : cases) {
    SetAccountValue("Server", c.url);
    SetAccountValue("StartTLS", c.startTls);
    SetAccountValue("PasswordCommand", c.passwordCommand);
    SetAccountValue("CaFile", c.trustCa ? m_server.value("SMTP_CA_FILE") : "");
    const std::string rcpt = UniqueAddress("tls");
    const bool ok = *c.wantListener != '\0';
    // MAPI_LOGON_UI without a GUI: a refused password fails, nothing asks.
    testing::internal::CaptureStderr();
    EXPECT_EQ(sendTo(rcpt, MAPI_LOGON_UI), static_cast<MAPI_ULONG>(ok ? SUCCESS_SUCCESS : MAPI_E_LOGIN_FAILURE))
        << c.what;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.wantReason), std::string::npos) << c.what << ": " << said;
    const std::vector<fs::path> files = m_server.messagesFor(rcpt);
    ASSERT_EQ(files.size(), ok ? 1u : 0u) << c.what;
    if (!ok) continue;
    const ReceivedEnvelope envelope = ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.listener, c.wantListener) << c.what;
    EXPECT_TRUE(envelope.tls) << c.what;
    EXPECT_EQ(envelope.authUser, m_server.value("SMTP_USER")) << c.what;
  }
}

// RetryTime 0 throughout: a new connection must come without the retries' help.
TEST_F(DeliveryTest, OneConnectionCarriesARunAndIsOpenedAgainWhenClosedOrUsedUp) {
  const fs::path asked = m_home.path() / "asked";
  useStarttlsAccount();
  SetAccountValue("Server", m_server.url("smtp", "QUIRKS_IDLE_PORT"));
  SetAccountValue("PasswordCommand",
                  "echo >> '" + asked.string() + "'; printf '%s\\n' '" + m_server.value("SMTP_PASSWORD") + "'");
  SetAccountValue("RetryTime", "0");
  std::vector<std::string> rcpts;
  const auto sendSome = [&](int count) {
    for (int i = 0; i < count; ++i) {
      rcpts.push_back(UniqueAddress("run"));
      EXPECT_EQ(sendTo(rcpts.back()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS)) << rcpts.size();
    }
  };
  sendSome(3);
  std::this_thread::sleep_for(std::chrono::seconds(5));  // the server drops a client idle for 3 s
  sendSome(1);
  EXPECT_EQ(testenv::ReadFile(asked), "\n\n") << "the password is asked once per connection";
  useSmtp(m_server.url("smtp", "QUIRKS_PERCONN_PORT"), "when offered");  // 451 at MAIL FROM after 2 messages
  SetAccountValue("User", "");
  sendSome(5);

  std::vector<int> onConnection;
  for (const std::string& rcpt : rcpts) {
    const std::vector<fs::path> files = m_server.messagesFor(rcpt);
    ASSERT_EQ(files.size(), 1u) << rcpt;
    onConnection.push_back(ReadEnvelope(files[0]).onConnection);
  }
  EXPECT_EQ(onConnection, (std::vector<int>{1, 2, 3, 1, 1, 2, 1, 2, 1}));
}

TEST_F(DeliveryTest, TemporaryFailuresAreTriedAgainWithinRetryTimeAndNoMessageTwice) {
  const std::string tempfail = m_server.url("smtp", "QUIRKS_TEMPFAIL_PORT");
  const struct {
    const char* what;
    std::string server, local;
    const char* retryTime;
    MAPI_ULONG want;
    int attempts;       // at TEMPFAIL; -1: not counted there
    int waitedAtLeast;  // seconds of back-off
  } cases[] = {
      {"451, then 421 and a close, then taken", tempfail, "fail2-x", "60", SUCCESS_SUCCESS, 3, 3},
      {"still failing when RetryTime is over", tempfail, "fail9-x", "3", MAPI_E_FAILURE, 2, 1},
      {"RetryTime 0: no second try", tempfail, "fail1-x", "0", MAPI_E_FAILURE, 1, 0},
      {"5xx: no second try", tempfail, "refuse-x", "60", MAPI_E_UNKNOWN_RECIPIENT, 1, 0},
      // The server took the message; its reply was lost on the way.
      {"reply to the message lost", m_server.url("smtp", "QUIRKS_LOSTREPLY_PORT"), "lost", "3", MAPI_E_FAILURE, -1, 0},
  };
  for (const auto& c : cases) {
    useSmtp(c.server, "when offered");
    SetAccountValue("RetryTime", c.retryTime);
    const std::string rcpt = UniqueAddress(c.local);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sendTo(rcpt), c.want) << c.what;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(c.waitedAtLeast)) << c.what;
    EXPECT_EQ(c.attempts < 0 ? -1 : m_server.attempts(rcpt), c.attempts) << c.what;
    const bool arrived = c.want == SUCCESS_SUCCESS || c.attempts < 0;
    EXPECT_EQ(m_server.messagesFor(rcpt).size(), arrived ? 1u : 0u) << c.what;
  }

  // A server out of reach through a whole RetryTime is not waited for again
  // by the next message: a run to it must not take days.
  useSmtp("smtp://127.0.0.1:1", "when offered");
  SetAccountValue("RetryTime", "3");
  const auto timedSend = [this] {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sendTo(UniqueAddress("unreachable")), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
    return std::chrono::steady_clock::now() - start;
  };
  EXPECT_GE(timedSend(), std::chrono::seconds(1)) << "tried again after a second";
  EXPECT_LT(timedSend(), std::chrono::seconds(1)) << "no waiting for a server known out of reach";

  // At most 60 a minute: three messages start a second apart.
  useSmtp(m_server.plainUrl(), "when offered");
  SetAccountValue("MessagesPerMinute", "60");
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(sendTo(UniqueAddress("paced")), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
