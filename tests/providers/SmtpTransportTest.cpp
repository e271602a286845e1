// The smtp transport against the real SMTP server of the "smtp_server"
// fixture: what arrives (envelope and bytes), and the code of every kind of
// refusal and failure.
#include "TransportFixture.h"

#include <zplatform/UniqueFd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>

namespace {

using namespace providertest;
using zplatform::UniqueFd;

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
  UniqueFd m_fd;
  int m_port = 0;
};

std::size_t BareLineFeeds(const std::string& raw) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < raw.size(); ++i) count += raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r');
  return count;
}

class SmtpTransportTest : public TransportTest {
protected:
  void usePlainServer() {
    useSmtp(m_server.plainUrl());
    SetAccountValue("StartTLS", "when offered");  // it offers none
  }
};

TEST_F(SmtpTransportTest, DeliversOneMessageToEveryRecipientWithBccOnlyInTheEnvelope) {
  usePlainServer();
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
    EXPECT_EQ(BareLineFeeds(raw), 0u) << "every line ends in CR LF";
    if (first.empty()) first = raw;
    EXPECT_EQ(raw, first) << "the same message for every recipient";
  }

  Dump dump = DumpMail(m_server.messagesFor(ann).front());
  EXPECT_EQ(dump.one("from"), "<" + m_from + ">");
  EXPECT_EQ(dump.one("to"), "Ann Example <" + ann + ">, <" + bob + ">");
  EXPECT_EQ(dump.one("cc"), "<" + carol + ">");
  EXPECT_EQ(dump.one("headers").find("bcc"), std::string::npos);
  EXPECT_EQ(dump.one("subject"), "Grüße");
  // Lines that are or start with a dot went through the transparency rule.
  EXPECT_EQ(dump.one("body"), "Hello\r\n.\r\n.dot\r\nend\r\n");
  EXPECT_EQ(dump.one("defects"), "");
}

TEST_F(SmtpTransportTest, RefusalsAndFailuresGiveTheirCodesAndNothingArrives) {
  LoopbackSocket closedPort(false);
  std::string bigAttachment(1200 * 1024, '\0');
  for (std::size_t i = 0; i < bigAttachment.size(); ++i) bigAttachment[i] = static_cast<char>((i * 7919) >> 3);
  testenv::WriteFile(m_home.path() / "big.bin", bigAttachment);

  struct Case {
    const char* what;
    std::function<void()> account;
    bool addRefused;
    bool big;
    MAPI_ULONG want;
  };
  const Case cases[] = {
      // One refused recipient fails the whole message: the others get nothing.
      {"refused recipient", [&] { usePlainServer(); }, true, false, MAPI_E_UNKNOWN_RECIPIENT},
      {"over the size limit", [&] { usePlainServer(); }, false, true, MAPI_E_TEXT_TOO_LARGE},
      {"nothing listens",
       [&] {
         usePlainServer();
         SetAccountValue("Server", closedPort.url());
       },
       false, false, MAPI_E_LOGIN_FAILURE},
      // Empty StartTLS means "required".
      {"STARTTLS required, not offered",
       [&] {
         usePlainServer();
         SetAccountValue("StartTLS", "");
       },
       false, false, MAPI_E_LOGIN_FAILURE},
      {"StartTLS value unknown",
       [&] {
         usePlainServer();
         SetAccountValue("StartTLS", "never");
       },
       false, false, MAPI_E_LOGIN_FAILURE},
      {"no server",
       [&] {
         usePlainServer();
         SetAccountValue("Server", "");
       },
       false, false, MAPI_E_LOGIN_FAILURE},
      {"not an SMTP URL",
       [&] {
         usePlainServer();
         SetAccountValue("Server", "http://127.0.0.1:" + m_server.value("SMTP_PLAIN_PORT"));
       },
       false, false, MAPI_E_LOGIN_FAILURE},
      {"AUTH required, no user",
       [&] {
         useSmtp(m_server.starttlsUrl());
         SetAccountValue("CaFile", m_server.value("SMTP_CA_FILE"));
       },
       false, false, MAPI_E_LOGIN_FAILURE},
  };
  for (const Case& c : cases) {
    c.account();
    const std::string good = UniqueAddress("good");
    TestMessage message;
    message.to(good).text("x");
    if (c.addRefused) message.cc(UniqueAddress("refuse"));
    if (c.big) message.attach(m_home.path() / "big.bin", std::nullopt, 0);
    EXPECT_EQ(message.send(sendMail()), c.want) << c.what;
    EXPECT_TRUE(m_server.messagesFor(good).empty()) << c.what;
  }
}

TEST_F(SmtpTransportTest, SilentServerFailsAtTheTimeoutInsteadOfHanging) {
  // The kernel accepts the connection; nobody ever greets.
  LoopbackSocket silent(true);
  useSmtp(silent.url());
  SetAccountValue("ConnectTimeout", "1");
  SetAccountValue("Timeout", "2");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sendTo(UniqueAddress("a")), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
  // Bounds a hang, not speed: the configured time-outs are 1 and 2 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(SmtpTransportTest, TlsAndLogonSucceedOnlyWithTrustedCertificateAndRightPassword) {
  const std::string password = m_server.value("SMTP_PASSWORD");
  const std::string printPassword = "printf '%s\\n' '" + password + "'";
  struct Case {
    const char* what;
    std::string url;
    std::string passwordCommand;
    bool trustCa;
    MAPI_ULONG want;
    const char* wantListener;
  };
  const Case cases[] = {
      {"STARTTLS", m_server.starttlsUrl(), printPassword, true, SUCCESS_SUCCESS, "starttls"},
      {"implicit TLS", m_server.smtpsUrl(), printPassword, true, SUCCESS_SUCCESS, "smtps"},
      {"first line only", m_server.starttlsUrl(), printPassword + "; echo second line", true, SUCCESS_SUCCESS,
       "starttls"},
      {"wrong password", m_server.starttlsUrl(), "echo wrong", true, MAPI_E_LOGIN_FAILURE, ""},
      {"certificate not trusted", m_server.starttlsUrl(), printPassword, false, MAPI_E_LOGIN_FAILURE, ""},
      {"implicit TLS not trusted", m_server.smtpsUrl(), printPassword, false, MAPI_E_LOGIN_FAILURE, ""},
      {"command fails", m_server.starttlsUrl(), printPassword + "; exit 3", true, MAPI_E_LOGIN_FAILURE, ""},
      {"command prints nothing", m_server.starttlsUrl(), "true", true, MAPI_E_LOGIN_FAILURE, ""},
  };
  for (const Case& c : cases) {
    useStarttlsAccount();
    SetAccountValue("Server", c.url);
    SetAccountValue("PasswordCommand", c.passwordCommand);
    SetAccountValue("CaFile", c.trustCa ? m_server.value("SMTP_CA_FILE") : "");
    const std::string rcpt = UniqueAddress("tls");
    // MAPI_LOGON_UI without a GUI: a refused password fails, nothing asks.
    EXPECT_EQ(sendTo(rcpt, MAPI_LOGON_UI), c.want) << c.what;
    std::vector<fs::path> files = m_server.messagesFor(rcpt);
    ASSERT_EQ(files.size(), c.want == SUCCESS_SUCCESS ? 1u : 0u) << c.what;
    if (files.empty()) continue;
    ReceivedEnvelope envelope = ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.listener, c.wantListener) << c.what;
    EXPECT_TRUE(envelope.tls) << c.what;
    EXPECT_EQ(envelope.authUser, m_server.value("SMTP_USER")) << c.what;
  }
}

}  // namespace
