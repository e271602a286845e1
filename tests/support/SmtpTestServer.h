// The "smtp_server" fixture's server.env and spool.
#pragma once

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace providertest {

class SmtpTestServer {
public:
  // Reads server.env (values maybe in shlex.quote's quotes); fails the test without it.
  SmtpTestServer() {
    std::ifstream in(TARVO_SMTP_SERVER_ENV);
    for (std::string line; std::getline(in, line);) {
      const auto equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::string value = line.substr(equals + 1);
      if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') value = value.substr(1, value.size() - 2);
      m_values[line.substr(0, equals)] = value;
    }
    EXPECT_FALSE(m_values.empty()) << TARVO_SMTP_SERVER_ENV " is missing: run the tests with ctest";
  }

  std::string value(const std::string& key) const {
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::string() : found->second;
  }
  std::string url(const char* scheme, const char* portKey) const {
    return std::string(scheme) + "://127.0.0.1:" + value(portKey);
  }
  std::string plainUrl() const { return url("smtp", "SMTP_PLAIN_PORT"); }
  std::string starttlsUrl() const { return url("smtp", "SMTP_STARTTLS_PORT"); }
  std::string smtpsUrl() const { return url("smtps", "SMTP_SMTPS_PORT"); }

  // The .eml files accepted for a recipient, oldest first.
  std::vector<std::filesystem::path> messagesFor(std::string address) const {
    for (char& c : address) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(value("SMTP_SPOOL")) / address;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      if (entry.path().extension() == ".eml") found.push_back(entry.path());
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return std::stoi(a.stem().string()) < std::stoi(b.stem().string()); });
    return found;
  }

  // How often TEMPFAIL saw RCPT TO for the address; 0: never.
  int attempts(std::string address) const {
    for (char& c : address) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string text = testenv::ReadFile(std::filesystem::path(value("SMTP_SPOOL")) / address / "attempts");
    return text.empty() ? 0 : std::stoi(text);
  }

private:
  std::map<std::string, std::string> m_values;
};

// The envelope the server recorded beside a message file.
struct ReceivedEnvelope {
  std::string listener;  // "plain", "starttls", "smtps", ...
  std::string mailFrom;
  std::vector<std::string> rcptTos;
  bool tls = false;
  std::string authUser;  // empty without AUTH
  int onConnection = 0;  // 1 for the first message on its connection, 2 for the next...
};

inline ReceivedEnvelope ReadEnvelope(std::filesystem::path eml) {
  const std::string text = testenv::ReadFile(eml.replace_extension(".json"));
  const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
  ReceivedEnvelope envelope{json["listener"].toString().toStdString(), json["mail_from"].toString().toStdString(),
                            {}, json["tls"].toBool(), json["auth_user"].toString().toStdString(),
                            json["on_connection"].toInt()};
  for (const auto& rcpt : json["rcpt_tos"].toArray()) envelope.rcptTos.push_back(rcpt.toString().toStdString());
  return envelope;
}

// An address no other test uses: "<local>.<pid>.<n>@<domain>".
inline std::string UniqueAddress(const std::string& local, const std::string& domain = "example.org") {
  static std::atomic<int> counter{0};
  return local + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + "@" + domain;
}

}  // namespace providertest
