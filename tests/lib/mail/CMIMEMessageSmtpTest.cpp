// A multipart message with attachments sent through CSMTP to the real SMTP
// server of the "smtp_server" fixture, and read back from its spool with
// Python's email package: each attachment arrives with the file's bytes, and
// with its name, however odd, as one parameter of its own part headers.
#include <zerth/CMIMEMessage.h>
#include <zerth/CSMTP.h>

#include "MailDump.h"
#include "SmtpTestServer.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

TEST(CMIMEMessageSmtp, AttachmentArrivesWithTheFilesBytes) {
  const providertest::SmtpTestServer server;
  const testenv::TempDir dir;
  std::mt19937 rng(5);
  std::string bytes(5000, '\0');
  for (auto& b : bytes) b = static_cast<char>(rng());
  bytes[0] = '.';  // the data lines carry no dots, but the file may
  const auto file = dir.path() / "figures.bin";
  testenv::WriteFile(file, bytes);
  // Line breaks in a name must not add part headers or end them early.
  const std::string oddName = "\xC3\x9C" "bersicht\r\nX-Injected: yes\r\n\r\nInjected text.txt";
  const std::string oddBytes = "odd";
  testenv::WriteFile(dir.path() / oddName, oddBytes);

  const std::string to = providertest::UniqueAddress("mime");
  CMIMEMessage message;
  message.m_sFrom = "sender@example.org";
  message.m_sSubject = "Figures";
  message.AddRecipient(to.c_str(), "Ann");
  message.m_sBody = "Hello Ann,\r\n.\r\nthe figures are attached.";
  message.AddMIMEPart(file.string().c_str(), MIME_APP_OCTET_STREAM);
  message.AddMIMEPart((dir.path() / oddName).string().c_str(), MIME_APP_OCTET_STREAM);

  CSMTP smtp("127.0.0.1", static_cast<unsigned>(std::stoul("0" + server.value("SMTP_PLAIN_PORT"))));
  ASSERT_TRUE(smtp.Connect()) << smtp.GetLastError();
  ASSERT_TRUE(smtp.SendMessageA(&message)) << smtp.GetLastError();
  smtp.Disconnect();

  const auto messages = server.messagesFor(to);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(testenv::ReadFile(messages[0]), message.m_sHeader + message.m_sBody + "\r\n");

  const auto out = dir.path() / "out";
  std::filesystem::create_directories(out);
  const testmail::Dump dump = testmail::DumpMail(messages[0], out);
  EXPECT_EQ(dump.one("type"), "multipart/mixed");
  EXPECT_EQ(dump.all("part"),
            (std::vector<std::string>{
                "text/plain|Content-Type,Content-Transfer-Encoding|",
                "application/octet-stream|Content-Type,Content-Transfer-Encoding,Content-Disposition|figures.bin",
                "application/octet-stream|Content-Type,Content-Transfer-Encoding,Content-Disposition|"
                "\xC3\x9C" "bersicht  X-Injected: yes    Injected text.txt"}));
  EXPECT_EQ(testenv::ReadFile(out / "0.bin"), bytes);
  EXPECT_EQ(testenv::ReadFile(out / "1.bin"), oddBytes);
  EXPECT_EQ(dump.one("body"), "Hello Ann,\r\n.\r\nthe figures are attached.");
}

}  // namespace
