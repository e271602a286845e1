// The pickers filled as the user opens them: the address-book picker over a
// default book of 100,000 cards (read through libwab32.so, sorted once and
// added at once), the sort alone, and the contacts and folders pickers over a
// tree of 10,000 contact files read through the contacts provider.
#include "TarvoStrings.h"
#include "TestEnv.h"
#include "sources/COutlookContactsDlg.h"
#include "sources/COutlookFoldersDlg.h"
#include "sources/CWabDlg.h"

#include <zplatform/Com.h>
#include <zplatform/UiServices.h>

#include <QListWidget>
#include <QString>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kBookCards = 100000;
constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 1000;

// Private XDG folders for the run, with the environment pointing at them
// until the end of the scope; removed at the end.
class PrivateHome {
public:
  bool ok() const { return !m_home.path().empty(); }
  fs::path zerth() const { return m_home.path() / "data" / "zerth"; }

private:
  testenv::TempDir m_home;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.str() + "/config"};
  testenv::ScopedEnv m_data{"XDG_DATA_HOME", m_home.str() + "/data"};
};

// Names in no particular order and of mixed case, as a real book has them.
std::string PersonName(int i) {
  const int scrambled = static_cast<int>((static_cast<long long>(i) * 7919) % kBookCards);
  return std::string(i % 3 == 0 ? "person " : "Person ") + std::to_string(scrambled);
}

// Message boxes answered at once (a failure would otherwise wait for a click)
// and counted.
class QuietUi {
public:
  QuietUi() {
    m_hooks.messageBox = [this](const std::string&, const std::string&, UINT) { return ++shown, IDOK; };
    zplatform::SetUiHooks(&m_hooks);
  }
  ~QuietUi() { zplatform::SetUiHooks(nullptr); }
  QuietUi(const QuietUi&) = delete;
  QuietUi& operator=(const QuietUi&) = delete;
  int shown = 0;

private:
  zplatform::UiHooks m_hooks;
};

void BM_WabPickerFill(benchmark::State& state) {
  const PrivateHome home;
  if (!home.ok()) return state.SkipWithError("cannot make the private folders");
  fs::create_directories(home.zerth());
  {
    std::ofstream book(home.zerth() / "addressbook.vcf", std::ios::binary);
    for (int i = 0; i < kBookCards; ++i)
      book << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << PersonName(i) << "\r\nEMAIL:p" << i
           << "@mail.example.org\r\nEND:VCARD\r\n";
  }
  QuietUi ui;
  int listed = 0;
  for (auto _ : state) {
    CWabDlg dlg;
    listed = dlg.findChild<QListWidget*>(QString::number(CWabDlg::IDC_CONTACTS))->count();
    if (listed != kBookCards || ui.shown) return state.SkipWithError("the book did not list whole");
  }
  state.counters["names"] = listed;
}
BENCHMARK(BM_WabPickerFill)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WabNameSort(benchmark::State& state) {
  std::vector<QString> names;
  for (int i = 0; i < kBookCards; ++i) names.push_back(QString::fromStdString(PersonName(i)));
  for (auto _ : state) {
    std::vector<QString> sorted = names;
    CWabDlg::SortNames(sorted);
    benchmark::DoNotOptimize(sorted.data());
  }
  state.counters["names"] = kBookCards;
}
BENCHMARK(BM_WabNameSort)->Unit(benchmark::kMillisecond)->UseRealTime();

// A tree of kFolders folders of kFilesPerFolder contact files below the
// default contacts folder, read by Picker once per iteration.
template <typename Picker>
void PickerOverTree(benchmark::State& state, int expectedItems) {
  const PrivateHome home;
  if (!home.ok()) return state.SkipWithError("cannot make the private folders");
  for (int f = 0, n = 0; f < kFolders; ++f) {
    const fs::path folder = home.zerth() / "contacts" / ("folder-" + std::to_string(f));
    fs::create_directories(folder);
    for (int i = 0; i < kFilesPerFolder; ++i, ++n)
      std::ofstream(folder / ("c" + std::to_string(n) + ".vcf"), std::ios::binary)
          << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" << PersonName(n) << "\r\nN:" << n << ";Person;;;\r\nEMAIL:p" << n
          << "@mail.example.org\r\nEND:VCARD\r\n";
  }
  const bool entered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  int items = 0;
  for (auto _ : state) {
    Picker dlg;
    items = 0;
    for (QTreeWidgetItemIterator it(dlg.template findChild<QTreeWidget*>()); *it; ++it) ++items;
    if (items != expectedItems) {
      state.SkipWithError("the tree is not whole");
      break;
    }
  }
  if (entered) CoUninitialize();
  state.counters["tree items"] = items;
}

void BM_ContactsPickerFill(benchmark::State& state) {
  PickerOverTree<COutlookContactsDlg>(state, 1 + kFolders + kFolders * kFilesPerFolder);
}
BENCHMARK(BM_ContactsPickerFill)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FoldersPickerFill(benchmark::State& state) { PickerOverTree<COutlookFoldersDlg>(state, 1 + kFolders); }
BENCHMARK(BM_FoldersPickerFill)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
