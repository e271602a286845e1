// zplatform_reg_writer [--machine] PREFIX COUNT: sets REG_DWORD values
// PREFIX<i> = i, i < COUNT, under HKEY_CURRENT_USER\Software\ZerthRace, one
// key open and one write each. --machine: of HKEY_LOCAL_MACHINE, with every
// capability given up. Exits 0, else with the failed call's result.
#include <zplatform/Registry.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

int main(int argc, char** argv) {
  const bool machine = argc == 4 && std::string_view(argv[1]) == "--machine";
  if (argc != 3 && !machine) return 2;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
  if (machine && ::syscall(SYS_capset, &header, none) != 0) return 3;
  const std::string prefix = argv[argc - 2];
  for (DWORD i = 0, count = static_cast<DWORD>(std::atoi(argv[argc - 1])); i < count; ++i) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, "Software\\ZerthRace", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) {
      rc = RegSetValueEx(key, (prefix + std::to_string(i)).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i),
                         sizeof i);
      RegCloseKey(key);
    }
    if (rc != ERROR_SUCCESS) return static_cast<int>(std::clamp<LONG>(rc, 1, 255));
  }
  return 0;
}
