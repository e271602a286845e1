// CProgressDlg: the window over the main dialog while a mailing run goes on,
// and after it. The run works on a thread of its own and tells the window of
// each message; the window shows the latest on a timer, so that the main
// dialog keeps repainting while it takes no input (the window is modal for
// the application). At the end the window stays open with the outcome, the
// report's path, "Open report" and "Close", and deletes itself when closed.
//
// Child names for tests: "status", "address", "times", "cancel", "outcome",
// "reportPath", "openReport", "close".
#pragma once

#include <QDialog>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

class CProgressDlg : public QDialog {
  Q_OBJECT

public:
  explicit CProgressDlg(QWidget* parent);
  ~CProgressDlg() override;

  // Shows the window and runs work on another thread; returns when work has
  // returned, with the window still shown.
  void Run(const std::function<void()>& work);
  // From the run's thread, before each message: its place in the table (from
  // 0), the table's size and the address.
  void Progress(int index, int total, const std::string& address);
  // Set by Cancel: the run stops before its next message.
  const std::atomic<bool>& CancelFlag() const { return m_cancel; }

  // The end: the outcome and the report's path (empty: none was written).
  void ShowEnd(const std::string& outcome, const std::string& reportPath);

  // 3725 seconds as "1:02:05", 65 as "1:05".
  static std::string Duration(std::chrono::seconds time);

protected:
  // Escape and the title bar's close: Cancel during the run, Close after it.
  void reject() override;

private:
  void Refresh();
  void OnCancel();

  QLabel* m_status;
  QLabel* m_address;
  QLabel* m_times;
  QLabel* m_outcome;
  QLabel* m_reportPath;
  QPushButton* m_cancelButton;
  QPushButton* m_openReport;
  QPushButton* m_close;
  QTimer* m_timer;

  std::atomic<bool> m_cancel{false};
  bool m_running = false;
  std::string m_path;  // the report's
  std::chrono::steady_clock::time_point m_start;

  // Written by the run's thread, read by the timer.
  std::mutex m_lock;
  int m_index = -1, m_total = 0;
  int m_started = 0;  // messages begun by this run
  std::string m_current;
};
