// The contacts provider's walk: a generated tree of 10,000 contact files
// (10 folders of 1,000) read through the object model as the contacts picker
// reads it, every name and address fetched. The class is found through the
// machine hive beside the program, as in the program itself.
#include <zplatform/Com.h>
#include <zproviders/OutlookApi.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 1000;

// Sets an environment variable until the end of the scope.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* m_name;
  std::optional<std::string> m_old;
};

// Private XDG folders whose data folder holds the default contacts folder,
// filled with the tree; removed at the end.
class GeneratedTree {
public:
  GeneratedTree() {
    std::string pattern = (fs::temp_directory_path() / "contacts-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return;
    m_home = pattern;
    const fs::path root = m_home / "data" / "zerth" / "contacts";
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
  ~GeneratedTree() {
    std::error_code ec;
    if (!m_home.empty()) fs::remove_all(m_home, ec);
  }
  GeneratedTree(const GeneratedTree&) = delete;
  GeneratedTree& operator=(const GeneratedTree&) = delete;
  bool ok() const { return !m_home.empty(); }
  std::string config() const { return (m_home / "config").string(); }
  std::string data() const { return (m_home / "data").string(); }

private:
  fs::path m_home;
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
  const ScopedEnv config("XDG_CONFIG_HOME", tree.config());
  const ScopedEnv data("XDG_DATA_HOME", tree.data());
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
