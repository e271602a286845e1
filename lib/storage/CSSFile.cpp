// CSSFile: the storage stack over the platform's compound files.
#include <zerth/CSSFile.h>

#include <zplatform/Com.h>

#include <optional>

namespace {

// The element name as the platform takes it, or nothing when it is too long.
std::optional<std::u16string> WideName(const std::string& name) {
  std::u16string wide = zplatform::Utf8ToUtf16(name);
  if (wide.size() > CSSFile::kMaxNameChars) return std::nullopt;
  return wide;
}

std::string Utf16ToUtf8(const OLECHAR* text) {
  std::u16string_view view(text);
  zplatform::Bstr copy;
  *copy.Put() = SysAllocStringLen(view.data(), static_cast<UINT>(view.size()));
  return copy.Utf8();
}

}  // namespace

CSSFile::CSSFile() = default;

CSSFile::~CSSFile() { Close(); }

bool CSSFile::OpenSSFile(const std::string& name, unsigned long mode) {
  Close();
  const std::u16string path = zplatform::Utf8ToUtf16(name);
  IStorage* root = nullptr;
  const HRESULT result = StgOpenStorage(path.c_str(), nullptr, static_cast<DWORD>(mode), nullptr, 0, &root);
  return TakeRoot(result, root, name);
}

bool CSSFile::CreateSSFile(const std::string& name, unsigned long mode) {
  Close();
  const std::u16string path = zplatform::Utf8ToUtf16(name);
  IStorage* root = nullptr;
  const HRESULT result = StgCreateDocfile(path.c_str(), static_cast<DWORD>(mode), 0, &root);
  return TakeRoot(result, root, name);
}

bool CSSFile::TakeRoot(HRESULT result, IStorage* root, const std::string& name) {
  if (FAILED(result)) {
    m_pRootStorage = nullptr;
    m_aStorageStack.clear();
    return false;
  }
  m_bOpen = true;
  m_sFileName = name;
  m_pRootStorage = root;
  m_aStorageStack.assign(1, root);
  return true;
}

void CSSFile::ExitAllStorages() {
  while (ExitStorage()) {
  }
}

void CSSFile::Close() {
  if (m_bOpen) {
    ExitAllStorages();
    if (m_pRootStorage) m_pRootStorage->Release();
    m_aStorageStack.clear();
    m_pRootStorage = nullptr;
  }
  m_bOpen = false;
  m_sFileName.clear();
}

IStorage* CSSFile::Attach(IStorage* storage) {
  ExitAllStorages();
  IStorage* previous = m_pRootStorage;
  m_pRootStorage = storage;
  m_aStorageStack.clear();
  if (storage) m_aStorageStack.push_back(storage);
  return previous;
}

IStorage* CSSFile::Detach() {
  ExitAllStorages();
  IStorage* root = m_pRootStorage;
  m_pRootStorage = nullptr;
  m_aStorageStack.clear();
  m_bOpen = false;
  m_sFileName.clear();
  return root;
}

IStorage* CSSFile::GetCurrentStorage() const { return m_aStorageStack.empty() ? nullptr : m_aStorageStack.back(); }

bool CSSFile::CreateStorage(const std::string& name, bool enter, unsigned long mode) {
  IStorage* current = GetCurrentStorage();
  const auto wide = WideName(name);
  if (!current || !wide) return false;
  IStorage* created = nullptr;
  if (FAILED(current->CreateStorage(wide->c_str(), static_cast<DWORD>(mode), 0, 0, &created))) return false;
  if (enter)
    m_aStorageStack.push_back(created);
  else
    created->Release();
  return true;
}

bool CSSFile::EnterStorage(const std::string& name, unsigned long mode) {
  IStorage* current = GetCurrentStorage();
  const auto wide = WideName(name);
  if (!current || !wide) return false;
  IStorage* opened = nullptr;
  if (FAILED(current->OpenStorage(wide->c_str(), nullptr, static_cast<DWORD>(mode), nullptr, 0, &opened)))
    return false;
  m_aStorageStack.push_back(opened);
  return true;
}

bool CSSFile::ExitStorage() {
  if (m_aStorageStack.size() <= 1) return false;
  m_aStorageStack.back()->Release();
  m_aStorageStack.pop_back();
  return true;
}

bool CSSFile::CreateStream(const std::string& name, COleStreamFile& file, std::uint32_t mode) {
  IStorage* current = GetCurrentStorage();
  return current && WideName(name) && file.CreateStream(current, name, mode);
}

bool CSSFile::OpenStream(const std::string& name, COleStreamFile& file, std::uint32_t mode) {
  IStorage* current = GetCurrentStorage();
  return current && WideName(name) && file.OpenStream(current, name, mode);
}

bool CSSFile::DestroyElement(const std::string& name) {
  IStorage* current = GetCurrentStorage();
  const auto wide = WideName(name);
  return current && wide && SUCCEEDED(current->DestroyElement(wide->c_str()));
}

std::string CSSFile::GetPath(const std::string& separator) const {
  if (m_aStorageStack.empty()) return {};
  std::string path;
  for (std::size_t i = m_aStorageStack.size(); i-- > 1;) {
    STATSTG stat{};
    if (FAILED(m_aStorageStack[i]->Stat(&stat, STATFLAG_DEFAULT))) continue;
    path = Utf16ToUtf8(stat.pwcsName) + separator + path;
    CoTaskMemFree(stat.pwcsName);
  }
  return m_sFileName + separator + path;
}
