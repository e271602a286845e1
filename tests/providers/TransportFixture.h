// The fixture of the transport tests: private config and data folders, the
// provider loaded, the fixture's SMTP server known, and an account whose
// sender is unique to the test.
#pragma once

#include "ProviderHarness.h"
#include "SmtpTestServer.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <string>

namespace providertest {

class TransportTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::create_directory(m_home.path() / "runtime");
    std::filesystem::permissions(m_home.path() / "runtime", std::filesystem::perms::owner_all);
    ASSERT_NE(m_provider.send(), nullptr) << ::dlerror();
    SetAccountValue("From", m_from);
  }

  LPMAPISENDMAIL sendMail() const { return m_provider.send(); }

  // Generous time-outs for a loaded machine that still end a hang.
  void useSmtp(const std::string& url) {
    SetAccountValue("Transport", "smtp");
    SetAccountValue("Server", url);
    SetAccountValue("ConnectTimeout", "30");
    SetAccountValue("Timeout", "20");
  }
  void useStarttlsAccount() {
    useSmtp(m_server.starttlsUrl());
    SetAccountValue("User", m_server.value("SMTP_USER"));
    SetAccountValue("CaFile", m_server.value("SMTP_CA_FILE"));
  }

  MAPI_ULONG sendTo(const std::string& address, FLAGS flags = 0, MAPI_ULONG_PTR window = 0) {
    TestMessage message;
    message.to(address).subject("Test").text("Hello");
    return message.send(sendMail(), flags, {}, window);
  }

  testenv::TempDir m_home;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.str() + "/config"};
  testenv::ScopedEnv m_data{"XDG_DATA_HOME", m_home.str() + "/data"};
  testenv::ScopedEnv m_runtime{"XDG_RUNTIME_DIR", m_home.str() + "/runtime"};
  Provider m_provider;
  SmtpTestServer m_server;
  std::string m_from = UniqueAddress("sender");
};

}  // namespace providertest
