// Sets COUNT values PREFIX0 .. PREFIX<COUNT-1> (REG_DWORD, the value is the
// number) under HKEY_CURRENT_USER\Software\ZerthRace, one key open and one
// write per value, so that two copies started together race on the hive.
// Exit status 0 when every write succeeded.
#include <zplatform/Registry.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string prefix = argv[1];
  const int count = std::atoi(argv[2]);
  for (int i = 0; i < count; ++i) {
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\ZerthRace", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                       nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return 1;
    }
    const auto value = static_cast<DWORD>(i);
    const LONG rc = RegSetValueEx(key, (prefix + std::to_string(i)).c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return 1;
  }
  return 0;
}
