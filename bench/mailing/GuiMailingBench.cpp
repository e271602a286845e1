// A mailing run through the main dialog on the offscreen platform, timed as
// a user starts it: the recipients in the table, title and message source
// typed, Send pressed and confirmed, until the run is over and its report
// written. Beside the rate it measures how late the program's event loop
// ran a 20 ms timer at worst during the run: the windows are on time when
// that stays near 20 ms, and frozen for as long as it shows otherwise.
//
//   mailing_gui_bench COUNT MESSAGE_FILE
//
// The mail account, XDG folders and key.sig are the caller's (see
// scripts/bench-mailing). Prints "key value" lines; exit status 0 when every
// message was sent.
#include "BenchContacts.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"

#include <zerth/CZerthUtility.h>
#include <zplatform/UiServices.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

std::set<fs::path> ReportsIn(const fs::path& folder) {
  std::set<fs::path> reports;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().filename().string().starts_with("SubmissionResults")) reports.insert(entry.path());
  return reports;
}

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s COUNT MESSAGE_FILE\n", argv[0]);
    return 2;
  }
  const int count = std::atoi(argv[1]);
  if (count <= 0) return 2;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tarvo::RegisterStrings();

  // The confirmation answered with OK, any other message shown on stderr;
  // the report is not handed to a browser.
  zplatform::UiHooks hooks;
  hooks.messageBox = [](const std::string& text, const std::string&, UINT type) {
    if (type != MB_OKCANCEL) std::fprintf(stderr, "%s\n", text.c_str());
    return IDOK;
  };
  hooks.shellOpen = [](const std::string&) { return true; };
  zplatform::SetUiHooks(&hooks);

  CTarvoDlg dlg;
  dlg.m_aSelected = bench::NumberedContacts(0, count);
  dlg.RefreshContactList();
  qobject_cast<QLineEdit*>(dlg.GetDlgItem(tarvo::IDC_TITLE))->setText("Monthly letter");
  qobject_cast<QLineEdit*>(dlg.GetDlgItem(tarvo::IDC_SOURCE))->setText(QString::fromLocal8Bit(argv[2]));
  dlg.show();
  QApplication::processEvents();

  const fs::path appDir = CZerthUtility::GetAppDir();
  const std::set<fs::path> reportsBefore = ReportsIn(appDir);

  // The event loop's punctuality: the longest time between two ticks.
  constexpr int kTickMs = 20;
  QElapsedTimer sinceTick;
  qint64 worstGap = 0;
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    worstGap = std::max(worstGap, sinceTick.restart());
    ++ticks;
  });

  const auto start = std::chrono::steady_clock::now();
  sinceTick.start();
  tick.start(kTickMs);
  dlg.OnSend();
  worstGap = std::max(worstGap, sinceTick.elapsed());
  tick.stop();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // The run's report, read for its count of delivered messages, then removed
  // so that benchmarks do not fill the program's folder.
  int sent = 0;
  for (const fs::path& report : ReportsIn(appDir)) {
    if (reportsBefore.contains(report)) continue;
    std::ifstream in(report, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    sent += CountOf(page, "SUCCESS");
    fs::remove(report);
  }

  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("messages %d\nsent %d\nseconds %.3f\nrate %.1f\npeak_rss_kib %ld\nworst_gap_ms %lld\nticks %d\n", count,
              sent, seconds, count / seconds, usage.ru_maxrss, static_cast<long long>(worstGap), ticks);
  zplatform::SetUiHooks(nullptr);
  return sent == count ? 0 : 1;
}
