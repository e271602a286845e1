// The registry over hive files.
//
// HKEY_CURRENT_USER lives in $XDG_CONFIG_HOME/zerth/user.reg; HKEY_LOCAL_MACHINE
// and HKEY_CLASSES_ROOT share the machine hive machine.reg beside the program
// (HKEY_CLASSES_ROOT is the subtree SOFTWARE\Classes of it, as on Windows).
// Hives are REGEDIT4-style text. Every change is a locked read-modify-write of
// the whole hive file, written to a temporary file, synced and renamed, so two
// processes changing different values at the same time both keep their change.
// A hive that cannot be parsed is reported (ERROR_BADDB) and left untouched.
#pragma once

#include <zplatform/WinTypes.h>

#include <string>

struct RegKeyHandle;
using HKEY = RegKeyHandle*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

// Predefined root keys; never closed.
extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key below hKey. ERROR_FILE_NOT_FOUND when it does not
// exist, ERROR_BADDB when the hive file is corrupt.
LONG RegOpenKeyEx(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);

// Opens a key below hKey, creating it (and the keys above it) in the hive
// when missing. lpClass and lpSecurityAttributes are accepted and ignored.
LONG RegCreateKeyEx(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                    REGSAM samDesired, void* lpSecurityAttributes, PHKEY phkResult,
                    LPDWORD lpdwDisposition);

// Reads a value: type to *lpType, data to lpData when given. *lpcbData holds
// the buffer size on entry and the data size on return; a buffer that is too
// small gives ERROR_MORE_DATA with the size needed. REG_SZ data includes its
// terminating zero. An empty or null lpValueName names the default value.
LONG RegQueryValueEx(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                     LPBYTE lpData, LPDWORD lpcbData);

// Writes a value of type REG_SZ, REG_DWORD (exactly 4 bytes) or REG_BINARY.
LONG RegSetValueEx(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                   DWORD cbData);

LONG RegDeleteValue(HKEY hKey, LPCSTR lpValueName);

LONG RegCloseKey(HKEY hKey);

namespace zplatform {

// Hive locations. The user hive follows $XDG_CONFIG_HOME; the machine hive
// defaults to machine.reg in the program directory and can be moved with the
// environment variable ZERTH_MACHINE_HIVE or this call (tests).
std::string UserHivePath();
std::string MachineHivePath();
void SetMachineHivePath(const std::string& path);

// Convenience readers used by the library and providers: the value as text or
// number, or the fallback when the key or value is missing or of another type.
std::string RegReadString(HKEY root, const std::string& subKey, const std::string& name,
                          const std::string& fallback = {});
DWORD RegReadDword(HKEY root, const std::string& subKey, const std::string& name, DWORD fallback = 0);

}  // namespace zplatform
