// A small QDialog built in code: user, password field, remember box.
#include "LogonDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QThread>
#include <QVBoxLayout>

namespace mapi32 {

namespace {

QWidget* ParentWindow(MAPI_ULONG_PTR parentId) {
  if (parentId == 0) return nullptr;
  QWidget* widget = QWidget::find(static_cast<WId>(parentId));
  return widget ? widget->window() : nullptr;
}

class PasswordDialog : public QDialog {
public:
  PasswordDialog(const std::string& user, const std::string& server, const std::string& notice, QWidget* parent)
      : QDialog(parent) {
    setObjectName("mapi32LogonDialog");
    setWindowTitle(tr("Mail server logon"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The mail server %1 asks for a password.").arg(QString::fromStdString(server))));
    if (!notice.empty()) {
      auto* warning = new QLabel(QString::fromStdString(notice));
      warning->setObjectName("notice");
      layout->addWidget(warning);
    }
    auto* form = new QFormLayout;
    form->addRow(tr("User:"), new QLabel(QString::fromStdString(user)));
    m_password = new QLineEdit;
    m_password->setObjectName("password");
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(tr("Password:"), m_password);
    layout->addLayout(form);
    m_remember = new QCheckBox(tr("Remember password"));
    m_remember->setObjectName("remember");
    layout->addWidget(m_remember);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_password->setFocus();
  }

  LogonAnswer answer() const { return {m_password->text().toStdString(), m_remember->isChecked()}; }

private:
  QLineEdit* m_password;
  QCheckBox* m_remember;
};

}  // namespace

bool LogonDialog::Available() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

std::optional<LogonAnswer> LogonDialog::Ask(const std::string& user, const std::string& server,
                                            const std::string& notice, MAPI_ULONG_PTR parentId) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() != app->thread()) {
    // Widgets live on the application's thread only. The window that owns
    // this call is the application's modal one: the caller's thread cannot
    // name it, for it cannot touch widgets to learn their ids.
    std::optional<LogonAnswer> answer;
    QMetaObject::invokeMethod(
        app,
        [&] {
          QWidget* modal = QApplication::activeModalWidget();
          const MAPI_ULONG_PTR owner = parentId ? parentId : modal ? static_cast<MAPI_ULONG_PTR>(modal->winId()) : 0;
          answer = Ask(user, server, notice, owner);
        },
        Qt::BlockingQueuedConnection);
    return answer;
  }
  QPointer<PasswordDialog> dialog = new PasswordDialog(user, server, notice, ParentWindow(parentId));
  // The caller keeps its window disabled while mail is sent; a child window
  // would inherit that and take no input.
  dialog->setEnabled(true);
  int result = dialog->exec();
  if (!dialog) return std::nullopt;  // destroyed while it ran: its parent went away
  std::optional<LogonAnswer> answer;
  if (result == QDialog::Accepted) answer = dialog->answer();
  delete dialog.data();
  return answer;
}

}  // namespace mapi32
