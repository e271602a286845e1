// CSMTP against servers that misbehave on purpose (smtp_quirks_server.py of
// the "smtp_quirks" fixture): a 554 greeting, a QUIT answered with 500,
// replies in many lines, segments and over-long lines, and silence.
#include <zerth/CSMTP.h>

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

class QuirksServer {
public:
  QuirksServer() {
    std::ifstream in(SMTP_QUIRKS_SERVER_ENV);
    for (std::string line; std::getline(in, line);) {
      auto equals = line.find('=');
      if (equals != std::string::npos) m_values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    EXPECT_FALSE(m_values.empty()) << SMTP_QUIRKS_SERVER_ENV " is missing: run the tests with ctest";
  }
  unsigned Port(const std::string& name) const {
    auto found = m_values.find("QUIRKS_" + name + "_PORT");
    return found == m_values.end() ? 0u : static_cast<unsigned>(std::stoul(found->second));
  }
  // The one stored file of the given extension (.eml or .json) for address.
  std::string Message(const std::string& address, const char* extension) const {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(m_values.at("QUIRKS_SPOOL")) / address))
      if (entry.path().extension() == extension) return testenv::ReadFile(entry.path());
    return {};
  }

private:
  std::map<std::string, std::string> m_values;
};

std::string UniqueAddress(const std::string& local) {
  static int counter = 0;
  return local + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + "@example.org";
}

CMailMessage MessageTo(const std::string& address, const std::string& body) {
  CMailMessage message;
  message.m_sFrom = "sender@example.org";
  message.m_sBody = body;
  message.AddRecipient(address.c_str(), "");
  return message;
}

TEST(CSMTPQuirksTest, BadGreetingOrSilenceFailsConnect) {
  QuirksServer server;
  for (const char* quirk : {"GREET554", "SILENT"}) {
    CSMTP smtp("127.0.0.1", server.Port(quirk));
    smtp.SetTimeout(1);
    EXPECT_FALSE(smtp.Connect()) << quirk;
    EXPECT_EQ(smtp.GetLastError(), "Server didn't respond.") << quirk;
    CMailMessage message = MessageTo("a@example.org", "body");
    EXPECT_FALSE(smtp.SendMessageA(&message));
    EXPECT_EQ(smtp.GetLastError(), "Must be connected");
  }
}

TEST(CSMTPQuirksTest, QuitNotAnsweredWith221FailsButDisconnects) {
  QuirksServer server;
  CSMTP smtp("127.0.0.1", server.Port("QUIT500"));
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

// Every reply has continuation lines, one longer than the reply buffer, and
// arrives in pieces: each must be read whole, in step across two messages.
TEST(CSMTPQuirksTest, MultiLineRepliesInManySegmentsKeepTheSessionInStep) {
  QuirksServer server;
  CSMTP smtp("127.0.0.1", server.Port("CHATTY"));
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  std::string first = UniqueAddress("chatty"), second = UniqueAddress("chatty");
  CMailMessage one = MessageTo(first, "one"), two = MessageTo(second, ".two");
  ASSERT_TRUE(smtp.SendMessageA(&one)) << smtp.GetLastError();
  ASSERT_TRUE(smtp.SendMessageA(&two)) << smtp.GetLastError();
  EXPECT_TRUE(smtp.Disconnect()) << smtp.GetLastError();
  EXPECT_EQ(smtp.GetLastError(), "OK");
  EXPECT_EQ(server.Message(first, ".eml"), one.m_sHeader + one.m_sBody + "\r\n");
  EXPECT_EQ(server.Message(second, ".eml"), two.m_sHeader + ".two\r\n\r\n");

  char host[256] = {};  // HELO names this host, as the system reports it
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  EXPECT_NE(server.Message(first, ".json").find("\"helo\": \"" + std::string(host) + "\""), std::string::npos);
}

}  // namespace
