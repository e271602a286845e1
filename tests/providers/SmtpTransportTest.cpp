// The smtp transport against the real SMTP server of the "smtp_server"
// fixture: what arrives, and the code of every kind of refusal and failure.
#include "TransportFixture.h"

#include <zplatform/UniqueFd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <regex>

namespace {

using namespace providertest;

// A loopback socket bound to a free port; listening or not.
class LoopbackSocket {
public:
  explicit LoopbackSocket(bool listening) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(::bind(m_fd.get(), reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(::getsockname(m_fd.get(), reinterpret_cast<sockaddr*>(&address), &size), 0);
    m_port = ntohs(address.sin_port);
    if (listening) {
      EXPECT_EQ(::listen(m_fd.get(), 4), 0);
    }
  }
  std::string url() const { return "smtp://127.0.0.1:" + std::to_string(m_port); }

private:
  zplatform::UniqueFd m_fd;
  int m_port = 0;
};

using SmtpTransportTest = TransportTest;

TEST_F(SmtpTransportTest, DeliversOneMessageToEveryRecipientWithBccOnlyInTheEnvelope) {
  useSmtp(m_server.plainUrl());
  SetAccountValue("StartTLS", "when offered");  // it offers none
  const std::string ann = UniqueAddress("ann"), bob = UniqueAddress("Bob", "example.net");
  const std::string carol = UniqueAddress("carol"), eve = UniqueAddress("eve");
  TestMessage message;
  message.to("Ann Example", "SMTP:" + ann).to(bob).cc(carol).bcc(eve).subject("Grüße").text("Hello\n.\n.dot\nend");
  ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));

  std::string first;
  for (const std::string& rcpt : {ann, bob, carol, eve}) {
    std::vector<fs::path> files = m_server.messagesFor(rcpt);
    ASSERT_EQ(files.size(), 1u) << rcpt;
    ReceivedEnvelope envelope = ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.mailFrom, m_from);
    EXPECT_EQ(envelope.rcptTos, (std::vector<std::string>{ann, bob, carol, eve}));
    EXPECT_FALSE(envelope.tls);
    std::string raw = testenv::ReadFile(files[0]);
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

TEST_F(SmtpTransportTest, RefusalsAndFailuresGiveTheirCodesAndNothingArrives) {
  LoopbackSocket closedPort(false);
  std::string big(1200 * 1024, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  testenv::WriteFile(m_home.path() / "big.bin", big);
  const std::string plain = m_server.plainUrl();
  struct Case {
    const char* what;
    std::string url, startTls;
    bool addRefused, big;
    MAPI_ULONG want;
    const char* afterAddress = "";  // spoils the good address's text
  };
  const Case cases[] = {
      // One refused recipient fails the whole message: the others get nothing.
      {"refused recipient", plain, "when offered", true, false, MAPI_E_UNKNOWN_RECIPIENT},
      {"over the size limit", plain, "when offered", false, true, MAPI_E_TEXT_TOO_LARGE},
      {"nothing listens", closedPort.url(), "when offered", false, false, MAPI_E_LOGIN_FAILURE},
      {"STARTTLS required (empty value), not offered", plain, "", false, false, MAPI_E_LOGIN_FAILURE},
      {"StartTLS value unknown", plain, "never", false, false, MAPI_E_LOGIN_FAILURE},
      {"no server", "", "when offered", false, false, MAPI_E_LOGIN_FAILURE},
      {"not an SMTP URL", m_server.url("http", "SMTP_PLAIN_PORT"), "when offered", false, false, MAPI_E_LOGIN_FAILURE},
      {"AUTH required, no user", m_server.starttlsUrl(), "when offered", false, false, MAPI_E_LOGIN_FAILURE},
      // Texts that are not one address must not reach the server cut to one.
      {"second @", plain, "when offered", false, false, MAPI_E_UNKNOWN_RECIPIENT, "@c.org"},
      {"second address after ;", plain, "when offered", false, false, MAPI_E_UNKNOWN_RECIPIENT, ";b@y.example"},
      {"words after the address", plain, "when offered", false, false, MAPI_E_UNKNOWN_RECIPIENT, " garbage here"},
  };
  SetAccountValue("CaFile", m_server.value("SMTP_CA_FILE"));
  for (const Case& c : cases) {
    useSmtp(c.url);
    SetAccountValue("StartTLS", c.startTls);
    const std::string good = UniqueAddress("good");
    TestMessage message;
    message.to(good + c.afterAddress).text("x");
    if (c.addRefused) message.cc(UniqueAddress("refuse"));
    if (c.big) message.attach(m_home.path() / "big.bin", std::nullopt, 0);
    EXPECT_EQ(message.send(sendMail()), c.want) << c.what;
    EXPECT_TRUE(m_server.messagesFor(good).empty()) << c.what;
  }
}

TEST_F(SmtpTransportTest, SilentServerFailsAtTheTimeoutInsteadOfHanging) {
  LoopbackSocket silent(true);  // the kernel accepts; nobody ever greets
  useSmtp(silent.url());
  SetAccountValue("ConnectTimeout", "1");
  SetAccountValue("Timeout", "2");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sendTo(UniqueAddress("a")), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "bounds a hang, not speed";
}

TEST_F(SmtpTransportTest, TlsAndLogonSucceedOnlyWithTrustedCertificateAndRightPassword) {
  const std::string good = "printf '%s\\n' '" + m_server.value("SMTP_PASSWORD") + "'";
  const std::string starttls = m_server.starttlsUrl(), smtps = m_server.smtpsUrl();
  struct Case {
    const char* what;
    std::string url, passwordCommand;
    bool trustCa;
    const char* wantListener;  // empty: MAPI_E_LOGIN_FAILURE
    const char* startTls = "required";
    const char* wantReason = "";  // in the one line on stderr
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
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
    std::vector<fs::path> files = m_server.messagesFor(rcpt);
    ASSERT_EQ(files.size(), ok ? 1u : 0u) << c.what;
    if (!ok) continue;
    ReceivedEnvelope envelope = ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.listener, c.wantListener) << c.what;
    EXPECT_TRUE(envelope.tls) << c.what;
    EXPECT_EQ(envelope.authUser, m_server.value("SMTP_USER")) << c.what;
  }
}

}  // namespace
