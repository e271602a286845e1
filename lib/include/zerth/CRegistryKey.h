// CRegistryKey: holds one open registry key (HKEY_CURRENT_USER's hive is
// $XDG_CONFIG_HOME/zerth/user.reg; see zplatform/Registry.h) and closes it
// when asked or when destroyed. Opening and creating go through it, under
// the root and path its user chooses. One holder, one handle: not copyable.
#pragma once

#include <zerth/Export.h>

#include <zplatform/Registry.h>
#include <zplatform/WinTypes.h>

#include <string>

class ZERTH_API CRegistryKey {
public:
  // The predefined keys a path starts from.
  enum class Root { ClassesRoot, CurrentUser, LocalMachine };

  CRegistryKey() = default;
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;
  // Closes the key held.
  virtual ~CRegistryKey();

  // Opens the existing key at path (parts separated by backslashes) below
  // root. On success the key held before is closed and the new one is held;
  // on failure the key held stays. Returns ERROR_SUCCESS, or the registry's
  // code: ERROR_FILE_NOT_FOUND when the key does not exist, ERROR_BADDB for a
  // damaged hive file.
  LONG Open(Root root, const std::string& path, REGSAM access = KEY_READ | KEY_WRITE);

  // The same, creating the key and the keys above it when they are missing
  // (ERROR_INVALID_PARAMETER for a path with an empty or over-long part).
  LONG Create(Root root, const std::string& path, REGSAM access = KEY_READ | KEY_WRITE);

  // Closes the key held; nothing when none is open.
  void Close();

  // The key held, or null.
  HKEY GetKey() const { return m_hKey; }

protected:
  HKEY m_hKey = nullptr;

private:
  LONG Hold(LONG rc, HKEY opened);
};
