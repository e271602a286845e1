// A whole mailing run as a user makes it (import, title, message, Send), checked at the real SMTP
// server and in the report: through SMTP, STARTTLS with AUTH, and msmtp as the sendmail program.
#include "../AppTestKit.h"
#include "MailAccountValues.h"
#include "MailDump.h"
#include "SmtpTestServer.h"
#include "sources/CWabDlg.h"

#include <zerth/CZerthUtility.h>

#include <gtest/gtest.h>

#include <QListWidget>

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace apptest;
using providertest::UniqueAddress;

namespace {

class EndToEndTest : public ::testing::TestWithParam<const char*> {
protected:
  void SetUp() override {
    fs::copy_file(TARVO_RUNTIME_DIR "/key.sig", m_report.parent_path() / "key.sig", fs::copy_options::overwrite_existing);
    fs::remove(m_report);
    tarvo::RegisterStrings();
    const std::string transport = GetParam();
    std::vector<std::pair<const char*, std::string>> values = {
        {"From", "Tarvo Tester <tester@example.org>"}, {"ConnectTimeout", "30"}, {"Timeout", "30"},
        {"Transport", transport == "sendmail" ? "sendmail" : "smtp"}};
    if (transport == "smtp") values.insert(values.end(), {{"Server", m_server.plainUrl()}, {"StartTLS", "when offered"}});
    if (transport == "smtp-starttls-auth")
      values.insert(values.end(), {{"Server", m_server.starttlsUrl()}, {"User", m_server.value("SMTP_USER")},
                                   {"PasswordCommand", "printf '%s\\n' '" + m_server.value("SMTP_PASSWORD") + "'"},
                                   {"CaFile", m_server.value("SMTP_CA_FILE")}});
    if (transport == "sendmail")
      values.emplace_back("SendmailCommand", "/usr/bin/msmtp --host=127.0.0.1 --port=" + m_server.value("SMTP_PLAIN_PORT"));
    for (const auto& [name, value] : values) testaccount::SetAccountValue(name, value);
  }
  void TearDown() override {
    fs::remove(m_report.parent_path() / "key.sig");
    fs::remove(m_report);
  }

  PrivateHome m_home;
  const fs::path m_report = fs::path(CZerthUtility::GetAppDir()) / "SubmissionResults0.html";
  providertest::SmtpTestServer m_server;
  testui::UiRecorder m_ui;  // OK to the import summary and the confirmation
};

TEST_P(EndToEndTest, ImportedContactsAreMailedAndReported) {
  const std::string transport = GetParam();
  const std::string ann = UniqueAddress("ann-" + transport), bob = UniqueAddress("refuse-bob"),
                    cy = UniqueAddress("cy-" + transport);
  const std::string contacts = WriteIn(m_home.path(), "contacts.csv", "Ann Berg; " + ann + "\r\nBob Refused;" + bob +
                                        "\n\nno address here;x\nCy Ökland;" + cy + "\n" + "Ann Again;" + ann + "\n");
  // The source ends at its first zero byte; "<name>" is not the placeholder.
  const std::string message =
      WriteIn(m_home.path(), "message.txt", "Dear <NAME>,\n\nthe <name> lanterns are lit on Friday.\n\0after the zero"s);

  CTarvoDlg dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  // Names and addresses separated by ";".
  PickThrough<CImportDlg>(dlg, tarvo::IDC_ADD_TEXT_FILE, [&](CImportDlg& p) { ImportFile(p, contacts, 2, ";"); });
  ASSERT_EQ(dlg.m_aSelected.GetSize(), 3);  // the repeated address is merged away; a blank line counts as ignored
  ASSERT_EQ(m_ui.texts(), std::vector<std::string>{"Import completed.\nContacts imported:\t4\t\nEntries ignored:\t2\t"});

  QTest::keyClicks(Item<QLineEdit>(dlg, tarvo::IDC_TITLE), "Lanterns for <NAME>");
  Item<QLineEdit>(dlg, tarvo::IDC_SOURCE)->setText(QString::fromStdString(message));
  Click(dlg, tarvo::IDC_SEND);
  ASSERT_EQ(m_ui.texts().size(), 2u);
  EXPECT_EQ(m_ui.texts()[1], "You are about to send 3 e-mail messages. Press OK to continue.");

  for (const auto& [address, name] : {std::pair{ann, "Ann Berg"s}, std::pair{cy, "Cy Ökland"s}}) {
    const auto files = m_server.messagesFor(address);
    ASSERT_EQ(files.size(), 1u) << address;
    const testmail::Dump dump = testmail::DumpMail(files[0]);
    EXPECT_EQ(dump.one("to"), "<" + address + ">");
    EXPECT_EQ(dump.one("from"), "Tarvo Tester <tester@example.org>");
    EXPECT_EQ(dump.one("subject"), "Lanterns for <NAME>");
    std::string body = dump.one("body");
    std::erase(body, '\r');
    EXPECT_TRUE(body.starts_with("Dear " + name + ",\n\nthe <name> lanterns are lit on Friday.\n--\nSent to " + name +
                                 " with Tarvo")) << body;
    const auto envelope = providertest::ReadEnvelope(files[0]);
    EXPECT_EQ(envelope.mailFrom, "tester@example.org");
    EXPECT_EQ(envelope.tls, transport == "smtp-starttls-auth");
  }
  EXPECT_TRUE(m_server.messagesFor(bob).empty());

  // The page: its header, then a row per recipient in the result map's order.
  ASSERT_EQ(m_ui.opened, std::vector<std::string>{m_report.string()});
  const std::string page = testenv::ReadFile(m_report);
  EXPECT_TRUE(page.starts_with("<HTML><HEAD>\n<TITLE>\n  Tarvo mail delivery results\n</TITLE>\n")) << page;
  EXPECT_TRUE(page.ends_with("<th>Recipient Name</th><th>Mail Delivery Status</th>\n</tr>\n" +
                             ReportRows({{ann, 0}, {bob, 14}, {cy, 0}}) + "</table>\n</html>")) << page;
}

// Names picked in the address-book picker go out as names: the mail provider
// resolves one listed once in the default book to its address; a name of
// another book (unknown) gives 14, a name of two addresses (ambiguous) 21.
using AddressBookEndToEndTest = EndToEndTest;
TEST_P(AddressBookEndToEndTest, PickedNamesAreResolvedByTheMailProvider) {
  const std::string dana = UniqueAddress("dana");
  auto card = [](const std::string& name, const std::string& address) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nEMAIL:" + address + "\r\nEND:VCARD\r\n";
  };
  testenv::WriteFile(m_home.path() / "data/zerth/addressbook.vcf",
                     card("Dana Qu\xC3\xACll", dana) + card("Twin Name", UniqueAddress("twin1")) +
                         card("Twin Name", UniqueAddress("twin2")));
  m_ui.fileAnswer = WriteIn(m_home.path(), "other.vcf", card("Zora Elsewhere", UniqueAddress("zora")));
  const std::string message = WriteIn(m_home.path(), "message.txt", "Dear <NAME>,\nhello.\n");

  CTarvoDlg dlg;
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  for (bool otherBook : {false, true})  // not by the button: an earlier case may have turned it off
    PickThrough<CWabDlg>(dlg, tarvo::IDC_ADD_WAB, [otherBook](CWabDlg& picker) {
      if (otherBook) Click(picker, CWabDlg::IDC_OPEN_WAB);
      Item<QListWidget>(picker, CWabDlg::IDC_CONTACTS)->selectAll();
      Click(picker, CWabDlg::IDC_OK);
    });
  ASSERT_EQ(dlg.m_aSelected.GetSize(), 3);  // the twins' one name once
  Item<QLineEdit>(dlg, tarvo::IDC_TITLE)->setText("Hello");
  Item<QLineEdit>(dlg, tarvo::IDC_SOURCE)->setText(QString::fromStdString(message));
  Click(dlg, tarvo::IDC_SEND);
  EXPECT_EQ(m_ui.texts(), std::vector<std::string>{"You are about to send 3 e-mail messages. Press OK to continue."});

  const auto files = m_server.messagesFor(dana);
  ASSERT_EQ(files.size(), 1u);
  std::string body = testmail::DumpMail(files[0]).one("body");
  EXPECT_TRUE(body.starts_with("Dear Dana Qu\xC3\xACll,")) << body;
  const std::string page = testenv::ReadFile(m_report),
                    rows = ReportRows({{"Dana Qu\xC3\xACll", 0}, {"Twin Name", 21}, {"Zora Elsewhere", 14}});
  EXPECT_NE(page.find(rows.substr(kUtf8ByteOrderMark.size())), std::string::npos) << page;  // both begin with it
}
INSTANTIATE_TEST_SUITE_P(Smtp, AddressBookEndToEndTest, ::testing::Values("smtp"));

INSTANTIATE_TEST_SUITE_P(Transports, EndToEndTest, ::testing::Values("smtp", "smtp-starttls-auth", "sendmail"),
                         [](const auto& info) { return QString(info.param).replace('-', '_').toStdString(); });

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
