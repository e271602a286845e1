// What the provider tests share: the provider loaded, Simple MAPI messages
// built by hand, account values, messages read back by dump_mail.py, and the
// fixture's SMTP server for the transports.
#pragma once

#include "MailAccountValues.h"
#include "MailDump.h"
#include "SmtpTestServer.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <list>
#include <memory>

namespace providertest {

namespace fs = std::filesystem;
using testaccount::SetAccountValue;
using testmail::Dump;
using testmail::DumpMail;

// A Simple MAPI message built by hand; owns every text its descriptors point at.
class TestMessage {
public:
  using Address = std::optional<std::string>;
  TestMessage& to(const std::string& name, Address address = {}) { return recipient(MAPI_TO, name, address); }
  TestMessage& cc(const std::string& name, Address address = {}) { return recipient(MAPI_CC, name, address); }
  TestMessage& bcc(const std::string& address) { return recipient(MAPI_BCC, address, {}); }
  TestMessage& recipient(MAPI_ULONG recipClass, const std::string& name, Address address) {
    m_recips.push_back({0, recipClass, keep(name), address ? keep(*address) : nullptr, 0, nullptr});
    return *this;
  }
  TestMessage& subject(const std::string& text) { return m_message.lpszSubject = keep(text), *this; }
  TestMessage& text(const std::string& text) { return m_message.lpszNoteText = keep(text), *this; }
  TestMessage& originator(const std::string& name) {
    m_originator.lpszName = keep(name);
    m_message.lpOriginator = &m_originator;
    return *this;
  }
  TestMessage& attach(const fs::path& path, Address name = {}, MAPI_ULONG position = 0) {
    m_files.push_back({0, 0, position, keep(path.string()), name ? keep(*name) : nullptr, nullptr});
    return *this;
  }

  // Calls MAPISendMail over the given window; tweak may spoil the finished
  // structure first.
  MAPI_ULONG send(LPMAPISENDMAIL sendMail, FLAGS flags = 0, const std::function<void(MapiMessage&)>& tweak = {},
                  MAPI_ULONG_PTR window = 0) {
    MapiMessage message = m_message;
    message.nRecipCount = static_cast<MAPI_ULONG>(m_recips.size());
    message.lpRecips = m_recips.empty() ? nullptr : m_recips.data();
    message.nFileCount = static_cast<MAPI_ULONG>(m_files.size());
    message.lpFiles = m_files.empty() ? nullptr : m_files.data();
    if (tweak) tweak(message);
    return sendMail(0, window, &message, flags, 0);
  }

private:
  char* keep(const std::string& text) { return m_texts.emplace_back(text).data(); }

  std::list<std::string> m_texts;  // stable addresses
  MapiMessage m_message{};
  MapiRecipDesc m_originator{0, MAPI_ORIG, nullptr, nullptr, 0, nullptr};
  std::vector<MapiRecipDesc> m_recips;
  std::vector<MapiFileDesc> m_files;
};

inline std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) files.push_back(entry.path());
  return files;
}

// Private config, data and runtime folders, and the provider loaded as the
// program loads it (dlopen, unloaded with dlclose).
class ProviderTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_provider) << ::dlerror();
    m_send = reinterpret_cast<LPMAPISENDMAIL>(::dlsym(m_provider.get(), "MAPISendMail"));
    ASSERT_NE(m_send, nullptr) << ::dlerror();
  }
  LPMAPISENDMAIL sendMail() const { return m_send; }

  testenv::TempDir m_home;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.str() + "/config"};
  testenv::ScopedEnv m_data{"XDG_DATA_HOME", m_home.str() + "/data"};
  testenv::ScopedEnv m_runtime{"XDG_RUNTIME_DIR", m_home.str()};
  std::unique_ptr<void, int (*)(void*)> m_provider{::dlopen(TARVO_RUNTIME_DIR "/libmapi32.so", RTLD_NOW), ::dlclose};
  LPMAPISENDMAIL m_send = nullptr;
};

// A sender unique to the test.
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
