// CRegistryKey: the open key and its opening, over the platform's registry.
#include "zerth/CRegistryKey.h"

namespace {

HKEY RootKey(CRegistryKey::Root root) {
  if (root == CRegistryKey::Root::ClassesRoot) return HKEY_CLASSES_ROOT;
  if (root == CRegistryKey::Root::LocalMachine) return HKEY_LOCAL_MACHINE;
  return HKEY_CURRENT_USER;
}

}  // namespace

CRegistryKey::~CRegistryKey() { Close(); }

LONG CRegistryKey::Open(Root root, const std::string& path, REGSAM access) {
  HKEY opened = nullptr;
  const LONG rc = RegOpenKeyEx(RootKey(root), path.c_str(), 0, access, &opened);
  return Hold(rc, opened);
}

LONG CRegistryKey::Create(Root root, const std::string& path, REGSAM access) {
  HKEY opened = nullptr;
  const LONG rc = RegCreateKeyEx(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 &opened, nullptr);
  return Hold(rc, opened);
}

void CRegistryKey::Close() {
  if (m_hKey != nullptr) RegCloseKey(m_hKey);
  m_hKey = nullptr;
}

LONG CRegistryKey::Hold(LONG rc, HKEY opened) {
  if (rc != ERROR_SUCCESS) return rc;
  Close();
  m_hKey = opened;
  return rc;
}
