// The contacts provider's walk: a generated tree of 10,000 contact files
// (10 folders of 1,000) read through the object model as the contacts picker
// reads it, every name and address fetched. The class is found through the
// machine hive beside the program, as in the program itself.
#include "TestEnv.h"

#include <zplatform/Com.h>
#include <zproviders/OutlookApi.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 1000;

// Private XDG folders whose data folder holds the default contacts folder,
// filled with the tree; removed at the end.
class GeneratedTree {
public:
  GeneratedTree() {
    if (!ok()) return;
    const fs::path root = m_home.path() / "data" / "zerth" / "contacts";
    int n = 0;
    for (int f = 0; f < kFolders; ++f) {
      const fs::path folder = root / ("folder-" + std::to_string(f));
      fs::create_directories(folder);
      for (int i = 0; i < kFilesPerFolder; ++i, ++n) {
        const std::string id = std::to_string(n);
        std::ofstream(folder / ("contact-" + id + ".vcf"), std::ios::binary)
            << "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" << id << "\r\nFN:Contact Number " << id << "\r\nN:Number " << id
            << ";Contact;;;\r\nEMAIL;TYPE=INTERNET,pref:user" << id << "@mail.example.org\r\nTEL:+1 555 0100\r\nEND:VCARD\r\n";
      }
    }
  }
  bool ok() const { return !m_home.path().empty(); }
  std::string config() const { return m_home.str() + "/config"; }
  std::string data() const { return m_home.str() + "/data"; }

private:
  testenv::TempDir m_home;
};

// Reads one text property; its length keeps the read from being optimised away.
std::size_t Read(_ContactItem* contact, HRESULT (_ContactItem::*get)(BSTR*)) {
  zplatform::Bstr value;
  if (FAILED((contact->*get)(value.Put()))) return 0;
  return value.Utf8().size();
}

// The contacts below a folder, every text property read; -1 on a failure.
long WalkFolder(MAPIFolder* folder, std::size_t& textBytes) {
  long count = 0;
  zplatform::Bstr name;
  zplatform::ComPtr<_Folders> folders;
  zplatform::ComPtr<_Items> items;
  if (FAILED(folder->get_Name(name.Put())) || FAILED(folder->get_Folders(folders.Put())) ||
      FAILED(folder->get_Items(items.Put()))) {
    return -1;
  }
  textBytes += name.Utf8().size();
  zplatform::ComPtr<MAPIFolder> sub;
  for (HRESULT hr = folders->GetFirst(sub.Put()); sub; hr = folders->GetNext(sub.Put())) {
    const long below = FAILED(hr) ? -1 : WalkFolder(sub.Get(), textBytes);
    if (below < 0) return -1;
    count += below;
  }
  zplatform::ComPtr<IDispatch> item;
  for (HRESULT hr = items->GetFirst(item.Put()); item; hr = items->GetNext(item.Put())) {
    if (FAILED(hr)) return -1;
    zplatform::ComPtr<_ContactItem> contact;
    if (item->QueryInterface(IID__ContactItem, contact.PutVoid()) != S_OK) continue;
    textBytes += Read(contact.Get(), &_ContactItem::get_Email1Address) + Read(contact.Get(), &_ContactItem::get_FirstName) +
                 Read(contact.Get(), &_ContactItem::get_FullName) + Read(contact.Get(), &_ContactItem::get_LastName) +
                 Read(contact.Get(), &_ContactItem::get_LastNameAndFirstName);
    ++count;
  }
  return count;
}

// Creates the application object and walks the default contacts folder.
long WalkContacts(std::size_t& textBytes) {
  zplatform::ComPtr<IUnknown> object;
  zplatform::ComPtr<_Application> application;
  zplatform::ComPtr<_NameSpace> ns;
  zplatform::ComPtr<MAPIFolder> root;
  if (FAILED(CoCreateInstance(CLSID_OutlookApplication, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid())) ||
      FAILED(object->QueryInterface(IID__Application, application.PutVoid())) ||
      FAILED(application->GetNamespace(zplatform::Bstr("MAPI").Get(), ns.Put())) ||
      FAILED(ns->GetDefaultFolder(olFolderContacts, root.Put()))) {
    return -1;
  }
  return WalkFolder(root.Get(), textBytes);
}

void BM_ContactsProviderWalk(benchmark::State& state) {
  const GeneratedTree tree;
  if (!tree.ok()) {
    state.SkipWithError("cannot make the contacts tree");
    return;
  }
  const testenv::ScopedEnv config("XDG_CONFIG_HOME", tree.config());
  const testenv::ScopedEnv data("XDG_DATA_HOME", tree.data());
  const bool entered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  long contacts = 0;
  for (auto _ : state) {
    std::size_t textBytes = 0;
    contacts = WalkContacts(textBytes);
    benchmark::DoNotOptimize(textBytes);
    if (contacts != kFolders * kFilesPerFolder) {
      state.SkipWithError("the walk failed or missed contacts");
      break;
    }
  }
  if (entered) CoUninitialize();
  state.counters["contacts"] = static_cast<double>(contacts);
  state.counters["contacts/s"] =
      benchmark::Counter(static_cast<double>(contacts) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ContactsProviderWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
