// CZerthUtility: the running program's folder and the verbose mode switch.
#include <zerth/CZerthUtility.h>

#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>

#include <cstring>
#include <mutex>

constinit std::string CZerthUtility::m_PathHolder;

namespace {

constexpr const char* kZerthKey = "Software\\Zerth";
constexpr const char* kVerboseValue = "VerboseMode";

// Guards the rewrite of the shared path text (see GetAppDir).
std::mutex g_pathMutex;

}  // namespace

const char* CZerthUtility::GetAppDir() {
  std::string folder = zplatform::ProgramDir();
  // Every call asks again, but the text is only replaced when it changed (the
  // executable was moved): a pointer handed to another thread stays valid.
  std::lock_guard lock(g_pathMutex);
  if (m_PathHolder != folder) m_PathHolder = std::move(folder);
  return m_PathHolder.c_str();
}

int CZerthUtility::GetVerboseFlag() {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kZerthKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;

  DWORD type = REG_NONE;
  BYTE data[sizeof(DWORD)] = {};
  DWORD size = sizeof data;
  const LONG rc = RegQueryValueEx(key, kVerboseValue, nullptr, &type, data, &size);
  RegCloseKey(key);

  // Whatever the stored type, only a value of exactly four bytes is a number;
  // a longer one does not fit (ERROR_MORE_DATA) and a shorter one is no
  // switch this library wrote.
  if (rc != ERROR_SUCCESS || size != sizeof data) return 0;
  DWORD flag = 0;
  std::memcpy(&flag, data, sizeof flag);
  return static_cast<int>(flag);
}

void CZerthUtility::SetVerboseFlag(int flag) {
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kZerthKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                     &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const auto value = static_cast<DWORD>(flag);
  RegSetValueEx(key, kVerboseValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}
