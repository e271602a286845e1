// A whole mailing run as a user makes it (import, title, message, Send),
// checked at the real SMTP server of the smtp_server fixture and in the
// report: through SMTP, SMTP with STARTTLS and AUTH against the server's
// self-signed certificate, and msmtp as the sendmail program.
#include "mailing/CResultMap.h"
#include "CTarvoDlg.h"
#include "mailing/DeliveryReport.h"
#include "MailAccountValues.h"
#include "MailDump.h"
#include "ResourceIds.h"
#include "SmtpTestServer.h"
#include "TarvoStrings.h"
#include "TestEnv.h"
#include "sources/CImportDlg.h"

#include <zerth/CZerthUtility.h>
#include <zplatform/Registry.h>
#include <zplatform/UiServices.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using namespace tarvo;
using providertest::SmtpTestServer;
using testaccount::SetAccountValue;
using providertest::UniqueAddress;

namespace {

struct UiRecord {
  std::vector<std::string> messages, opened;
} g_ui;

const zplatform::UiHooks g_hooks{
    [](const std::string& text, const std::string&, UINT) {
      g_ui.messages.push_back(text);
      return IDOK;  // the import summary and the confirmation
    },
    {},
    [](const std::string& target) {
      g_ui.opened.push_back(target);
      return true;
    },
};

// Imports names and addresses separated by ";" through button 1020.
void ImportThroughThePicker(CTarvoDlg& dlg, const std::string& path) {
  QTimer::singleShot(0, &dlg, [path] {
    auto* picker = qobject_cast<CImportDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(picker, nullptr);
    qobject_cast<QComboBox*>(picker->GetDlgItem(CImportDlg::IDC_FILE_TYPE))->setCurrentIndex(2);
    qobject_cast<QLineEdit*>(picker->GetDlgItem(CImportDlg::IDC_SOURCE_FILE))->setText(QString::fromStdString(path));
    qobject_cast<QLineEdit*>(picker->GetDlgItem(CImportDlg::IDC_SEPARATOR))->setText(";");
    QTest::mouseClick(qobject_cast<QPushButton*>(picker->GetDlgItem(CImportDlg::IDC_IMPORT)), Qt::LeftButton);
  });
  QTest::mouseClick(qobject_cast<QPushButton*>(dlg.GetDlgItem(IDC_ADD_TEXT_FILE)), Qt::LeftButton);
}

class EndToEndTest : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    m_config = std::make_unique<testenv::ScopedEnv>("XDG_CONFIG_HOME", (m_home.path() / "config").string());
    m_data = std::make_unique<testenv::ScopedEnv>("XDG_DATA_HOME", (m_home.path() / "data").string());
    m_path = std::make_unique<testenv::ScopedEnv>("PATH", std::string(TARVO_RUNTIME_DIR ":") + std::getenv("PATH"));
    fs::copy_file(fs::path(TARVO_RUNTIME_DIR) / "key.sig", m_programDir / "key.sig",
                  fs::copy_options::overwrite_existing);
    fs::remove(m_programDir / "SubmissionResults0.html");
    g_ui = {};
    zplatform::SetUiHooks(&g_hooks);
    RegisterStrings();
  }
  void TearDown() override {
    zplatform::SetUiHooks(nullptr);
    fs::remove(m_programDir / "key.sig");
    fs::remove(m_programDir / "SubmissionResults0.html");
  }

  void configure(const std::string& transport) {
    SetAccountValue("From", "Tarvo Tester <tester@example.org>");
    SetAccountValue("ConnectTimeout", "30");
    SetAccountValue("Timeout", "30");
    if (transport == "smtp") {
      SetAccountValue("Transport", "smtp");
      SetAccountValue("Server", m_server.plainUrl());
      SetAccountValue("StartTLS", "when offered");
    } else if (transport == "smtp-starttls-auth") {
      SetAccountValue("Transport", "smtp");
      SetAccountValue("Server", m_server.starttlsUrl());
      SetAccountValue("User", m_server.value("SMTP_USER"));
      SetAccountValue("PasswordCommand", "printf '%s\\n' '" + m_server.value("SMTP_PASSWORD") + "'");
      SetAccountValue("CaFile", m_server.value("SMTP_CA_FILE"));
    } else {
      SetAccountValue("Transport", "sendmail");
      SetAccountValue("SendmailCommand", "/usr/bin/msmtp --host=127.0.0.1 --port=" + m_server.value("SMTP_PLAIN_PORT"));
    }
  }

  testenv::TempDir m_home;
  fs::path m_programDir = CZerthUtility::GetAppDir();
  SmtpTestServer m_server;
  std::unique_ptr<testenv::ScopedEnv> m_config, m_data, m_path;
};

TEST_P(EndToEndTest, ImportedContactsAreMailedAndReported) {
  const std::string transport = GetParam();
  configure(transport);
  const std::string ann = UniqueAddress("ann-" + transport), bob = UniqueAddress("refuse-bob"),
                    cy = UniqueAddress("cy-" + transport);
  const fs::path contacts = m_home.path() / "contacts.csv";
  testenv::WriteFile(contacts, "Ann Berg; " + ann + "\r\nBob Refused;" + bob + "\n\nno address here;x\nCy Ökland;" +
                                   cy + "\n" + "Ann Again;" + ann + "\n");
  const fs::path message = m_home.path() / "message.txt";
  testenv::WriteFile(message, "Dear <NAME>,\n\nthe lanterns are lit on Friday.\n");

  CTarvoDlg dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  ImportThroughThePicker(dlg, contacts.string());
  ASSERT_EQ(dlg.m_aSelected.GetSize(), 3);  // the repeated address is merged away
  ASSERT_EQ(g_ui.messages, std::vector<std::string>{"Import completed.\nContacts imported:\t4\t\nEntries ignored:\t2\t"});  // a blank line counts as ignored

  QTest::keyClicks(qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_TITLE)), "Lanterns for <NAME>");
  qobject_cast<QLineEdit*>(dlg.GetDlgItem(IDC_SOURCE))->setText(QString::fromStdString(message.string()));
  QTest::mouseClick(qobject_cast<QPushButton*>(dlg.GetDlgItem(IDC_SEND)), Qt::LeftButton);
  ASSERT_EQ(g_ui.messages.size(), 2u);
  EXPECT_EQ(g_ui.messages[1], "You are about to send 3 e-mail messages. Press OK to continue.");

  const std::pair<std::string, std::string> delivered[] = {{ann, "Ann Berg"}, {cy, "Cy Ökland"}};
  for (const auto& [address, name] : delivered) {
    const auto files = m_server.messagesFor(address);
    ASSERT_EQ(files.size(), 1u) << address;
    const testmail::Dump dump = testmail::DumpMail(files[0]);
    EXPECT_EQ(dump.one("to"), "<" + address + ">");
    EXPECT_EQ(dump.one("from"), "Tarvo Tester <tester@example.org>");
    EXPECT_EQ(dump.one("subject"), "Lanterns for <NAME>");
    std::string body = dump.one("body");
    std::erase(body, '\r');
    EXPECT_TRUE(body.starts_with("Dear " + name + ",\n\nthe lanterns are lit on Friday.\n--\nSent to " + name + " with Tarvo"))
        << body;
    const auto envelope = providertest::ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.mailFrom, "tester@example.org");
    EXPECT_EQ(envelope.tls, transport == "smtp-starttls-auth");
  }
  EXPECT_TRUE(m_server.messagesFor(bob).empty());

  const fs::path report = m_programDir / "SubmissionResults0.html";
  ASSERT_EQ(g_ui.opened, std::vector<std::string>{report.string()});
  CResultMap expected;
  expected.SetAt(ann, 0);
  expected.SetAt(bob, 14);
  expected.SetAt(cy, 0);
  const std::string page = testenv::ReadFile(report);
  std::string rows;
  expected.ForEach([&rows](const std::string& address, std::uint32_t code) {
    rows += "<tr><td>" + address + "</td><td><font color=\"" + (code ? "#ff0000" : "#00ff00") + "\">" +
            DeliveryStatusText(code) + "</font></td></tr>\n";
  });
  EXPECT_NE(page.find("<th>Recipient Name</th><th>Mail Delivery Status</th>\n</tr>\n" + rows + "</table>\n</html>"),
            std::string::npos)
      << page;
}

INSTANTIATE_TEST_SUITE_P(Transports, EndToEndTest, ::testing::Values("smtp", "smtp-starttls-auth", "sendmail"),
                         [](const auto& info) { return QString(info.param).replace('-', '_').toStdString(); });

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
