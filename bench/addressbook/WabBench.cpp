// The address-book provider's listing: a generated book of 100,000 vCards
// opened with WABOpen and listed through the picker's calls (one row per
// QueryRows), the provider loaded and unloaded each time as the picker does.
#include "TestEnv.h"

#include <zplatform/Com.h>
#include <zplatform/DynamicLibrary.h>
#include <zproviders/WabApi.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kCards = 100'000;

// The book file in a private folder, removed when the program ends.
class GeneratedBook {
public:
  GeneratedBook() {
    if (m_folder.path().empty()) return;
    std::ofstream out(path(), std::ios::binary);
    for (int i = 0; i < kCards; ++i) {
      const std::string n = std::to_string(i);
      out << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact Number " << n << "\r\nN:Number " << n
          << ";Contact;;;\r\nEMAIL;TYPE=INTERNET:user" << n << "@mail.example.org\r\nEND:VCARD\r\n";
    }
  }
  std::string path() const { return m_folder.str() + "/book.vcf"; }

private:
  testenv::TempDir m_folder;
};

// The picker's steps; the number of mail users listed, or -1 on a failure.
long ListMailUsers(LPWABOPEN open, const std::string& file) {
  zplatform::ComPtr<IAddrBook> book;
  zplatform::ComPtr<IWABObject> wab;
  WAB_PARAM param{sizeof(WAB_PARAM), nullptr, const_cast<char*>(file.c_str()), 0};
  if (open(book.Put(), wab.Put(), &param, 0) != S_OK) return -1;
  ULONG cb = 0, type = 0;
  LPENTRYID id = nullptr;
  if (book->GetPAB(&cb, &id) != S_OK) return -1;
  zplatform::ComPtr<IUnknown> container;
  const HRESULT opened = book->OpenEntry(cb, id, nullptr, 0, &type, container.Put());
  wab->FreeBuffer(id);
  zplatform::ComPtr<IMAPITable> table;
  if (FAILED(opened) || FAILED(static_cast<IABContainer*>(container.Get())->GetContentsTable(0, table.Put()))) {
    return -1;
  }
  const SizedSPropTagArray<3> columns = {3, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_OBJECT_TYPE}};
  if (FAILED(table->SetColumns(reinterpret_cast<const SPropTagArray*>(&columns), 0))) return -1;
  if (FAILED(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr))) return -1;
  long users = 0;
  for (;;) {
    LPSRowSet rows = nullptr;
    if (table->QueryRows(1, 0, &rows) != S_OK || !rows) break;
    const bool more = rows->cRows > 0;
    if (more) {
      const SPropValue* props = rows->aRow[0].lpProps;
      if (props[2].Value.ul == MAPI_MAILUSER && props[0].Value.lpszA) ++users;
      wab->FreeBuffer(rows->aRow[0].lpProps);
    }
    wab->FreeBuffer(rows);
    if (!more) break;
  }
  return users;
}

void BM_WabListHundredThousandCards(benchmark::State& state) {
  static const GeneratedBook book;
  for (auto _ : state) {
    HMODULE library = LoadLibrary("WAB32.DLL");
    auto open = reinterpret_cast<LPWABOPEN>(GetProcAddress(library, "WABOpen"));
    const long users = open ? ListMailUsers(open, book.path()) : -1;
    if (library) FreeLibrary(library);
    if (users != kCards) {
      state.SkipWithError(("listed " + std::to_string(users) + " mail users: " + zplatform::LastLoadError()).c_str());
      break;
    }
  }
  state.counters["cards/s"] = benchmark::Counter(kCards, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WabListHundredThousandCards)->Unit(benchmark::kMillisecond);

}  // namespace
