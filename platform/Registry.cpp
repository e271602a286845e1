// The registry functions over the user and machine hive files.
#include <zplatform/Registry.h>

#include "RegKeyHandle.h"
#include "RegistryHive.h"
#include "RegistryHiveFile.h"
#include "RegistryHiveFormat.h"

#include <zplatform/ProgramDir.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

namespace zplatform {
namespace {

std::mutex g_machineHiveMutex;
std::string g_machineHiveOverride;

}  // namespace

std::string UserHivePath() { return UserConfigDir() + "/user.reg"; }

std::string MachineHivePath() {
  {
    std::lock_guard<std::mutex> guard(g_machineHiveMutex);
    if (!g_machineHiveOverride.empty()) return g_machineHiveOverride;
  }
  const char* fromEnvironment = std::getenv("ZERTH_MACHINE_HIVE");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  return ProgramDir() + "/machine.reg";
}

void SetMachineHivePath(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_machineHiveMutex);
  g_machineHiveOverride = path;
}

}  // namespace zplatform

namespace {

using namespace zplatform::registry;

// Windows' limit for value names.
constexpr std::size_t kMaxValueNameBytes = 16383;

RegistryHiveFile FileOf(HiveKind hive) {
  return RegistryHiveFile(hive == HiveKind::User ? zplatform::UserHivePath() : zplatform::MachineHivePath());
}

std::string_view ValueName(LPCSTR name) { return name ? std::string_view(name) : std::string_view(); }

// The full path of subKey below base, or nothing when subKey is not a key
// path: empty parts ("A\\B"), control bytes or parts over 255 bytes. One
// trailing backslash is allowed, as Windows allows it.
std::optional<std::string> SubKeyPath(const std::string& base, LPCSTR subKey) {
  std::string_view rest = ValueName(subKey);
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (rest.empty()) return base;
  if (!IsValidKeyPath(rest)) return std::nullopt;
  return base + '\\' + std::string(rest);
}

LONG ReadValue(HiveKind hive, const std::string& path, std::string_view name, RegValue& out) {
  std::shared_ptr<const RegistryHive> current;
  if (LONG rc = FileOf(hive).Read(current); rc != ERROR_SUCCESS) return rc;
  const RegistryKey* key = current->FindKey(path);
  const RegValue* value = key ? key->FindValue(name) : nullptr;
  if (!value) return ERROR_FILE_NOT_FOUND;
  out = *value;
  return ERROR_SUCCESS;
}

// For the convenience readers: any failure is simply "no value".
std::optional<RegValue> ReadValue(HKEY root, const std::string& subKey, const std::string& name) {
  auto base = FindHandle(root);
  auto path = base ? SubKeyPath(base->path, subKey.c_str()) : std::nullopt;
  RegValue value;
  if (!path || ReadValue(base->hive, *path, name, value) != ERROR_SUCCESS) return std::nullopt;
  return value;
}

}  // namespace

LONG RegOpenKeyEx(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  auto base = FindHandle(hKey);
  if (!base) return ERROR_INVALID_HANDLE;
  // A name that no key can have names no key that exists.
  auto path = SubKeyPath(base->path, lpSubKey);
  if (!path) return ERROR_FILE_NOT_FOUND;
  if (*path != base->path) {
    std::shared_ptr<const RegistryHive> current;
    if (LONG rc = FileOf(base->hive).Read(current); rc != ERROR_SUCCESS) return rc;
    if (!current->KeyExists(*path)) return ERROR_FILE_NOT_FOUND;
  }
  *phkResult = AddHandle({base->hive, *path, samDesired});
  return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR /*lpClass*/, DWORD /*dwOptions*/,
                    REGSAM samDesired, void* /*lpSecurityAttributes*/, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  if (Reserved != 0) return ERROR_INVALID_PARAMETER;
  auto base = FindHandle(hKey);
  if (!base) return ERROR_INVALID_HANDLE;
  auto path = SubKeyPath(base->path, lpSubKey);
  if (!path) return ERROR_INVALID_PARAMETER;

  DWORD disposition = REG_OPENED_EXISTING_KEY;
  if (*path != base->path) {
    // Look first without the write lock, so that opening an existing key
    // works in a hive the caller may not change (a machine hive in /usr).
    const RegistryHiveFile file = FileOf(base->hive);
    std::shared_ptr<const RegistryHive> current;
    if (LONG rc = file.Read(current); rc != ERROR_SUCCESS) return rc;
    if (!current->KeyExists(*path)) {
      if (!(base->access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      LONG rc = file.Modify([&](RegistryHive& hive, bool& changed) {
        if (hive.KeyExists(*path)) return ERROR_SUCCESS;  // another process was quicker
        hive.CreateKey(*path);
        changed = true;
        disposition = REG_CREATED_NEW_KEY;
        return ERROR_SUCCESS;
      });
      if (rc != ERROR_SUCCESS) return rc;
    }
  }
  *phkResult = AddHandle({base->hive, *path, samDesired});
  if (lpdwDisposition) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                     LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  auto key = FindHandle(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  RegValue value;
  if (LONG rc = ReadValue(key->hive, key->path, ValueName(lpValueName), value); rc != ERROR_SUCCESS) return rc;

  // Hives are capped far below 4 GiB, so the size fits.
  const auto size = static_cast<DWORD>(value.data.size());
  if (lpType) *lpType = value.type;
  if (lpData) {
    if (*lpcbData < size) {
      *lpcbData = size;
      return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, value.data.data(), size);
  }
  if (lpcbData) *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (Reserved != 0) return ERROR_INVALID_PARAMETER;
  auto key = FindHandle(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (dwType != REG_SZ && dwType != REG_DWORD && dwType != REG_BINARY) return ERROR_INVALID_PARAMETER;
  if ((dwType == REG_DWORD && cbData != 4) || (!lpData && cbData != 0)) return ERROR_INVALID_PARAMETER;
  const std::string_view name = ValueName(lpValueName);
  if (name.size() > kMaxValueNameBytes) return ERROR_INVALID_PARAMETER;
  if (cbData > kMaxHiveBytes) return ERROR_OUTOFMEMORY;

  const std::string_view data(reinterpret_cast<const char*>(lpData), cbData);
  return FileOf(key->hive).Modify([&](RegistryHive& hive, bool& changed) {
    // The key may have been removed from the file by hand since it was
    // opened; writing to it brings it back.
    bool created = false;
    RegistryKey& target = hive.CreateKey(key->path, &created);
    changed = target.SetValue(name, dwType, data) || created;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValue(HKEY hKey, LPCSTR lpValueName) {
  auto key = FindHandle(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if (!(key->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return FileOf(key->hive).Modify([&](RegistryHive& hive, bool& changed) {
    RegistryKey* target = hive.FindKey(key->path);
    if (!target || !target->DeleteValue(ValueName(lpValueName))) return ERROR_FILE_NOT_FOUND;
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegCloseKey(HKEY hKey) { return CloseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

namespace zplatform {

std::string RegReadString(HKEY root, const std::string& subKey, const std::string& name, const std::string& fallback) {
  auto value = ReadValue(root, subKey, name);
  if (!value || value->type != REG_SZ) return fallback;
  // Text ends at its first zero byte, as it does for a caller's buffer.
  return value->data.substr(0, value->data.find('\0'));
}

DWORD RegReadDword(HKEY root, const std::string& subKey, const std::string& name, DWORD fallback) {
  auto value = ReadValue(root, subKey, name);
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return fallback;
  DWORD number = 0;
  for (std::size_t i = 4; i-- > 0;) number = (number << 8) | static_cast<unsigned char>(value->data[i]);
  return number;
}

}  // namespace zplatform
