// zplatform_reg_writer [--machine] PREFIX COUNT
// Sets COUNT values PREFIX0 .. PREFIX<COUNT-1> (REG_DWORD, the value is the
// number) under Software\ZerthRace of HKEY_CURRENT_USER, one key open and one
// write per value, so that two copies started together race on the hive.
// --machine: of HKEY_LOCAL_MACHINE instead, after giving up every capability,
// so that even root is held to the modes of files and folders there.
// Exit status 0 when every call succeeded, else the failed call's result.
#include <zplatform/Registry.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool DropCapabilities() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
  return ::syscall(SYS_capset, &header, none) == 0;
}

int ExitStatus(LONG rc) { return static_cast<int>(std::clamp<LONG>(rc, 1, 255)); }

}  // namespace

int main(int argc, char** argv) {
  const bool machine = argc == 4 && std::string_view(argv[1]) == "--machine";
  if (argc != 3 && !machine) return 2;
  if (machine && !DropCapabilities()) return 3;
  const HKEY root = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const std::string prefix = argv[argc - 2];
  const int count = std::atoi(argv[argc - 1]);
  for (int i = 0; i < count; ++i) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(root, "Software\\ZerthRace", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return ExitStatus(rc);
    const auto value = static_cast<DWORD>(i);
    rc = RegSetValueEx(key, (prefix + std::to_string(i)).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return ExitStatus(rc);
  }
  return 0;
}
