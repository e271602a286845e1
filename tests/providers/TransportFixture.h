// The provider, the fixture's SMTP server, and a sender unique to the test.
#pragma once

#include "ProviderHarness.h"
#include "SmtpTestServer.h"

namespace providertest {

class TransportTest : public ProviderTest {
protected:
  void SetUp() override {
    ProviderTest::SetUp();
    SetAccountValue("From", m_from);
  }

  // Generous time-outs for a loaded machine that still end a hang.
  void useSmtp(const std::string& url, const std::string& startTls = "required") {
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"Transport", "smtp"}, {"Server", url},
                                      {"StartTLS", startTls}, {"ConnectTimeout", "30"}, {"Timeout", "20"}})
      SetAccountValue(name, value);
  }
  void useStarttlsAccount() {
    useSmtp(m_server.starttlsUrl());
    SetAccountValue("User", m_server.value("SMTP_USER"));
    SetAccountValue("CaFile", m_server.value("SMTP_CA_FILE"));
  }
  MAPI_ULONG sendTo(const std::string& address, FLAGS flags = 0, MAPI_ULONG_PTR window = 0) {
    return TestMessage().to(address).subject("Test").text("Hello").send(sendMail(), flags, {}, window);
  }

  SmtpTestServer m_server;
  std::string m_from = UniqueAddress("sender");
};

}  // namespace providertest
