// MAPI_LOGON_UI: the real logon dialog, answered through its named widgets.
#include "ProviderHarness.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <sys/stat.h>

#include <deque>
#include <memory>

namespace {

using namespace providertest;

struct Answer {
  std::optional<std::string> password;  // nothing: Cancel
  bool remember = false;
};

struct SeenDialog {
  QWidget* parent;
  bool enabled;
  std::string notice;
  bool showsUser;
};

// Answers each logon dialog that opens with the next answer (none left:
// Cancel), from a timer running inside the dialog's modal loop.
class DialogAnswerer {
public:
  DialogAnswerer(std::deque<Answer> answers, std::string user) : m_answers(std::move(answers)), m_user(std::move(user)) {
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start(10);
  }
  std::vector<SeenDialog> seen;

private:
  void poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != "mapi32LogonDialog" || !dialog->isVisible()) return;
    auto* notice = dialog->findChild<QLabel*>("notice");
    SeenDialog& s = seen.emplace_back(SeenDialog{dialog->parentWidget(), dialog->isEnabled(),
                                                 notice ? notice->text().toStdString() : "", false});
    for (auto* label : dialog->findChildren<QLabel*>()) s.showsUser |= label->text().toStdString() == m_user;
    if (m_answers.empty() || !m_answers.front().password) return dialog->reject();
    dialog->findChild<QLineEdit*>("password")->setText(QString::fromStdString(*m_answers.front().password));
    dialog->findChild<QCheckBox*>("remember")->setChecked(m_answers.front().remember);
    m_answers.pop_front();
    dialog->accept();
  }

  QTimer m_timer;
  std::deque<Answer> m_answers;
  std::string m_user;
};

class LogonTest : public TransportTest {
protected:
  void SetUp() override {
    TransportTest::SetUp();
    useStarttlsAccount();
  }
  void startGui() {
    static int argc = 1;
    static char name[] = "mapi32_transport_tests";
    static char* argv[] = {name, nullptr};
    m_app = std::make_unique<QApplication>(argc, argv);
    m_owner = std::make_unique<QWidget>();
    m_owner->show();
    m_owner->setEnabled(false);  // as CIMapi::Send leaves it while the provider runs
  }

  // The message must arrive exactly when the code is success.
  MAPI_ULONG sendAnswering(std::deque<Answer> answers, FLAGS flags = MAPI_LOGON_UI) {
    DialogAnswerer answerer(std::move(answers), m_server.value("SMTP_USER"));
    const std::string rcpt = UniqueAddress("logon");
    const MAPI_ULONG code = sendTo(rcpt, flags, static_cast<MAPI_ULONG_PTR>(m_owner->winId()));
    EXPECT_EQ(m_server.messagesFor(rcpt).size(), code == SUCCESS_SUCCESS ? 1u : 0u);
    m_seen = answerer.seen;
    return code;
  }

  static std::optional<std::string> StoredPassword() {
    HKEY key = nullptr;
    DWORD type = 0, size = 0;
    std::optional<std::string> value;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zerth\\Mail", 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    if (RegQueryValueEx(key, "Password", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_BINARY) {
      value.emplace(size, '\0');
      RegQueryValueEx(key, "Password", nullptr, &type, reinterpret_cast<BYTE*>(value->data()), &size);
    }
    RegCloseKey(key);
    return value;
  }

  const std::string m_password = m_server.value("SMTP_PASSWORD");
  std::vector<SeenDialog> m_seen;
  std::unique_ptr<QApplication> m_app;
  std::unique_ptr<QWidget> m_owner;
};

TEST_F(LogonTest, WithoutGuiOrWithoutLogonUiNobodyIsAskedAndLogonFails) {
  EXPECT_EQ(sendTo(UniqueAddress("a"), MAPI_LOGON_UI), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
  startGui();
  EXPECT_EQ(sendAnswering({{m_password}}, 0), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
  EXPECT_TRUE(m_seen.empty());
}

TEST_F(LogonTest, CancelIsUserAbortAndAPasswordNotRememberedServesTheRunOnly) {
  startGui();
  EXPECT_EQ(sendAnswering({{std::nullopt}}), static_cast<MAPI_ULONG>(MAPI_USER_ABORT));
  ASSERT_EQ(m_seen.size(), 1u);
  EXPECT_EQ(m_seen[0].parent, m_owner.get());
  EXPECT_TRUE(m_seen[0].enabled) << "usable although its owner is disabled";
  EXPECT_TRUE(m_seen[0].showsUser);
  EXPECT_EQ(m_seen[0].notice, "");

  EXPECT_EQ(sendAnswering({{m_password, false}}), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_EQ(m_seen.size(), 1u);
  EXPECT_FALSE(StoredPassword());
  // The next message of the run, without MAPI_LOGON_UI even.
  EXPECT_EQ(sendAnswering({}, 0), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_TRUE(m_seen.empty());
}

TEST_F(LogonTest, RefusedPasswordIsAskedForAgainWithTheReasonThreeTimesAtMost) {
  startGui();
  EXPECT_EQ(sendAnswering({{"a"}, {"b"}, {"c"}, {m_password}}), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
  EXPECT_EQ(m_seen.size(), 3u);

  EXPECT_EQ(sendAnswering({{"wrong", true}, {m_password, false}}), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  ASSERT_EQ(m_seen.size(), 2u);
  EXPECT_EQ(m_seen[0].notice, "");
  EXPECT_EQ(m_seen[1].notice, "The server did not accept the password.");
  EXPECT_FALSE(StoredPassword()) << "a refused password is not remembered";
}

TEST_F(LogonTest, RememberedPasswordIsStoredEncipheredAndUsedWithoutAsking) {
  startGui();
  EXPECT_EQ(sendAnswering({{m_password, true}}), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  const std::optional<std::string> stored = StoredPassword();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->find(m_password.substr(0, 4)), std::string::npos);
  EXPECT_EQ(stored->size() % 8, 0u);
  const fs::path keyFile = m_home.path() / "config/zerth/mail.key";
  EXPECT_EQ(fs::status(keyFile).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  // Read back and deciphered: no dialog needed, none allowed.
  EXPECT_EQ(sendAnswering({}, 0), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_TRUE(m_seen.empty());

  // Under another key the value does not read back; asked again, the new
  // password replaces it.
  testenv::WriteFile(keyFile, std::string(48, 'a') + "\n");
  EXPECT_EQ(sendAnswering({}, 0), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
  EXPECT_EQ(sendAnswering({{m_password, true}}), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_EQ(m_seen.size(), 1u);
  EXPECT_NE(StoredPassword(), stored);
  EXPECT_EQ(sendAnswering({}, 0), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));

  // A FIFO in the key's place is no key; reading it does not wait for a writer.
  ASSERT_TRUE(fs::remove(keyFile));
  ASSERT_EQ(::mkfifo(keyFile.c_str(), 0600), 0);
  EXPECT_EQ(sendAnswering({}, 0), static_cast<MAPI_ULONG>(MAPI_E_LOGIN_FAILURE));
}

}  // namespace
