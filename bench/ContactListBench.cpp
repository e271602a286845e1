// The main dialog's list: RefreshContactList over 100,000 rows and the
// events that follow it, and deleting every row at once.
#include "BenchContacts.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTreeView>

#include <benchmark/benchmark.h>

namespace {

void BM_RefreshContactList(benchmark::State& state) {
  CTarvoDlg dlg;
  dlg.m_aSelected = bench::NumberedContacts(0, static_cast<int>(state.range(0)));
  dlg.show();
  QApplication::processEvents();
  for (auto _ : state) {
    dlg.RefreshContactList();
    QApplication::processEvents();
  }
  state.counters["rows"] = dlg.m_aSelected.GetSize();
}
BENCHMARK(BM_RefreshContactList)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_DeleteAllRows(benchmark::State& state) {
  CTarvoDlg dlg;
  dlg.show();
  auto* list = qobject_cast<QTreeView*>(dlg.GetDlgItem(tarvo::IDC_CONTACT_LIST));
  for (auto _ : state) {
    state.PauseTiming();
    dlg.m_aSelected = bench::NumberedContacts(0, static_cast<int>(state.range(0)));
    dlg.RefreshContactList();
    list->selectAll();
    QApplication::processEvents();
    state.ResumeTiming();
    dlg.OnDelete();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_DeleteAllRows)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
