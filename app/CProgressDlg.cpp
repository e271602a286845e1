#include "CProgressDlg.h"

#include "DialogFont.h"
#include "TarvoStrings.h"
#include "mailing/RunJournal.h"

#include <zplatform/UiServices.h>

#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <thread>

namespace {

using tarvo::Put;
using tarvo::Text;

// Four refreshes a second at least, whatever the run does.
constexpr int kRefreshMs = 200;

QLabel* AddLabel(QVBoxLayout* layout, const char* name) {
  auto* label = new QLabel;  // owned by the dialog through the layout
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  layout->addWidget(label);
  return label;
}

QPushButton* AddButton(QHBoxLayout* layout, UINT text, const char* name) {
  auto* button = new QPushButton(QString::fromStdString(Text(text)));  // owned through the layout
  button->setObjectName(QString::fromLatin1(name));
  layout->addWidget(button);
  return button;
}

}  // namespace

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QString::fromStdString(Text(tarvo::IDS_PROGRESS_TITLE)));
  setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  m_status = AddLabel(layout, "status");
  m_address = AddLabel(layout, "address");
  m_times = AddLabel(layout, "times");
  m_outcome = AddLabel(layout, "outcome");
  m_reportPath = AddLabel(layout, "reportPath");
  m_reportPath->setWordWrap(true);
  m_reportPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  m_cancelButton = AddButton(buttons, tarvo::IDS_PROGRESS_CANCEL, "cancel");
  m_openReport = AddButton(buttons, tarvo::IDS_PROGRESS_OPEN_REPORT, "openReport");
  m_close = AddButton(buttons, tarvo::IDS_PROGRESS_CLOSE, "close");
  layout->addLayout(buttons);
  for (QWidget* endOnly : {static_cast<QWidget*>(m_outcome), static_cast<QWidget*>(m_reportPath),
                           static_cast<QWidget*>(m_openReport), static_cast<QWidget*>(m_close)})
    endOnly->hide();

  connect(m_cancelButton, &QPushButton::clicked, this, &CProgressDlg::OnCancel);
  connect(m_openReport, &QPushButton::clicked, this, [this] { zplatform::ShellOpen(m_path); });
  connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
  m_timer = new QTimer(this);  // owned by the dialog
  connect(m_timer, &QTimer::timeout, this, &CProgressDlg::Refresh);
}

CProgressDlg::~CProgressDlg() = default;

void CProgressDlg::Run(const std::function<void()>& work) {
  m_start = std::chrono::steady_clock::now();
  m_running = true;
  Refresh();
  setWindowModality(Qt::ApplicationModal);
  show();
  m_timer->start(kRefreshMs);
  // A loop of its own rather than exec(): the window stays shown after the run.
  QEventLoop loop;
  std::thread worker([&work, &loop] {
    work();
    // Posted: handled once loop runs, even when work was quick.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  m_timer->stop();
  m_running = false;
}

void CProgressDlg::Progress(int index, int total, const std::string& address) {
  const std::lock_guard hold(m_lock);
  m_index = index, m_total = total, m_current = address;
  ++m_started;
}

std::string CProgressDlg::Duration(std::chrono::seconds time) {
  const long long all = time.count(), hours = all / 3600, minutes = all / 60 % 60, seconds = all % 60;
  char text[32] = {};
  if (hours > 0) std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, seconds);
  else std::snprintf(text, sizeof text, "%lld:%02lld", minutes, seconds);
  return text;
}

void CProgressDlg::Refresh() {
  int index, total, started;
  std::string address;
  {
    const std::lock_guard hold(m_lock);
    index = m_index, total = m_total, started = m_started, address = m_current;
  }
  const auto elapsed = std::chrono::steady_clock::now() - m_start;
  const std::string elapsedText = Duration(std::chrono::duration_cast<std::chrono::seconds>(elapsed));
  // The messages finished by this run so far give the pace of the rest (a
  // resumed run skips those done before, so the table's place would not).
  const int finished = started - 1;
  if (finished > 0 && index < total) {
    // In seconds of a double: nanoseconds times a large table would overflow.
    const double rest = std::chrono::duration<double>(elapsed).count() / finished * (total - index);
    const std::string restText = Duration(std::chrono::seconds(static_cast<long long>(rest)));
    m_times->setText(
        QString::fromStdString(Put(Put(Text(tarvo::IDS_PROGRESS_TIMES), "%1", elapsedText), "%2", restText)));
  } else {
    m_times->setText(QString::fromStdString(Put(Text(tarvo::IDS_PROGRESS_ESTIMATING), "%1", elapsedText)));
  }
  if (index < 0) return;
  m_status->setText(QString::fromStdString(
      Put(Put(Text(tarvo::IDS_PROGRESS_SENDING), "%1", GroupedNumber(index + 1)), "%2", GroupedNumber(total))));
  m_address->setText(QString::fromStdString(address));
}

void CProgressDlg::OnCancel() {
  m_cancel = true;
  m_cancelButton->setEnabled(false);
  m_status->setText(QString::fromStdString(Text(tarvo::IDS_PROGRESS_CANCELLING)));
  m_timer->stop();  // the status now says what comes; the run ends with its message in flight
}

void CProgressDlg::ShowEnd(const std::string& outcome, const std::string& reportPath) {
  m_path = reportPath;
  m_status->hide(), m_address->hide(), m_times->hide(), m_cancelButton->hide();
  m_outcome->setText(QString::fromStdString(outcome));
  m_reportPath->setText(QString::fromStdString(
      reportPath.empty() ? Text(tarvo::IDS_PROGRESS_NO_REPORT) : Put(Text(tarvo::IDS_PROGRESS_REPORT), "%1", reportPath)));
  m_outcome->show(), m_reportPath->show(), m_close->show();
  m_openReport->setVisible(!reportPath.empty());
  m_close->setDefault(true);
  m_close->setFocus();
  setAttribute(Qt::WA_DeleteOnClose);
}

void CProgressDlg::reject() {
  if (m_running) return OnCancel();
  QDialog::reject();
}
