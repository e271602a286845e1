// Message box, file-open dialog, shell "open" and modal blocking calls in Qt,
// each behind the test seam of UiHooks.
#include <zplatform/UiServices.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <cstdio>

namespace zplatform {

namespace {

std::atomic<const UiHooks*> g_hooks{nullptr};

bool HaveWidgetApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

QString FromLocal8Bit(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// "*.*" means every file on Windows; on Linux many files have no dot.
QString QtPatterns(QString patterns) {
  QStringList out;
  for (const QString& p : patterns.split(';', Qt::SkipEmptyParts)) {
    const QString trimmed = p.trimmed();
    out << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
  }
  return out.join(' ');
}

// The description without a trailing "(...)" that Windows shows but Qt would
// take for the pattern list.
QString Describe(QString description) {
  description = description.trimmed();
  if (description.endsWith(')')) {
    const auto open = description.lastIndexOf('(');
    if (open > 0) description = description.left(open).trimmed();
  }
  return description;
}

}  // namespace

void SetUiHooks(const UiHooks* hooks) { g_hooks.store(hooks); }

int MessageBox(const std::string& text, const std::string& caption, UINT type) {
  const UiHooks* hooks = g_hooks.load();
  if (hooks && hooks->messageBox) return hooks->messageBox(text, caption, type);

  const bool okCancel = (type & 0xF) == MB_OKCANCEL;
  if (!HaveWidgetApplication()) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return okCancel ? IDCANCEL : IDOK;
  }
  QMessageBox box(QMessageBox::NoIcon, FromLocal8Bit(caption), FromLocal8Bit(text),
                  okCancel ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok,
                  QApplication::activeWindow());
  if ((type & 0xF0) == MB_ICONEXCLAMATION) box.setIcon(QMessageBox::Warning);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(okCancel ? QMessageBox::Cancel : QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
}

QString QtFilterFromWindows(const std::string& filter) {
  const QStringList parts = FromLocal8Bit(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "|"
    filters << QStringLiteral("%1 (%2)").arg(Describe(parts[i]), QtPatterns(parts[i + 1]));
  }
  return filters.join(QStringLiteral(";;"));
}

std::optional<std::string> GetOpenFileName(const std::string& filter) {
  const UiHooks* hooks = g_hooks.load();
  if (hooks && hooks->openFile) return hooks->openFile(filter);
  if (!HaveWidgetApplication()) return std::nullopt;

  const QString path = QFileDialog::getOpenFileName(nullptr, QString(), QString(), QtFilterFromWindows(filter));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

bool ShellOpen(const std::string& target) {
  const UiHooks* hooks = g_hooks.load();
  if (hooks && hooks->shellOpen) return hooks->shellOpen(target);
  if (target.empty()) return false;

  const QString text = FromLocal8Bit(target);
  const bool hasScheme = text.contains(QLatin1String("://")) || text.startsWith(QLatin1String("mailto:"));
  const QUrl url = hasScheme ? QUrl(text) : QUrl::fromLocalFile(text);
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return QDesktopServices::openUrl(url);
  // Without a GUI application, hand the target to the desktop's opener directly.
  return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
}

ModalCallScope::ModalCallScope() {
  // Widgets belong to the application's thread. A call made on another one,
  // such as a mailing run's, is made modal by the window its starter shows.
  if (!HaveWidgetApplication() || QThread::currentThread() != QCoreApplication::instance()->thread()) return;
  m_active = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);

  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  if (!owner) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isVisible() && w->isWindow()) {
        owner = w;
        break;
      }
    }
  }
  if (owner) {
    owner = owner->window();
    m_ownerId = static_cast<ULONG_PTR>(owner->winId());
    // The mail layer may run its own dialogs; the owner takes no input meanwhile.
    if (owner->isEnabled()) {
      owner->clearFocus();
      owner->setEnabled(false);
      m_owner = owner;
    }
  }
}

ModalCallScope::~ModalCallScope() {
  if (!m_active) return;
  if (m_owner) {
    m_owner->setEnabled(true);
    m_owner->activateWindow();
    m_owner->setFocus();
  }
  QApplication::restoreOverrideCursor();
}

}  // namespace zplatform
