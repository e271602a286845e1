// Program directory from /proc/self/exe and the XDG per-user folders.
#include <zplatform/ProgramDir.h>

#include <sys/auxv.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zplatform {

namespace {

// The kernel refuses to read /proc/self/exe when the path is longer than
// PATH_MAX; /proc/self/maps still names the file whose mapping holds the
// program's entry point.
std::string ProgramPathFromMaps() {
  const auto entry = static_cast<std::uintptr_t>(::getauxval(AT_ENTRY));
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::istringstream fields(line);
    std::string range, perms, offset, device;
    unsigned long long inode = 0;
    if (!(fields >> range >> perms >> offset >> device >> inode)) continue;
    const auto dash = range.find('-');
    if (dash == std::string::npos) continue;
    const auto start = std::stoull(range.substr(0, dash), nullptr, 16);
    const auto end = std::stoull(range.substr(dash + 1), nullptr, 16);
    if (entry < start || entry >= end) continue;
    std::string path;
    std::getline(fields >> std::ws, path);
    return path.rfind('/', 0) == 0 ? path : std::string{};
  }
  return {};
}

}  // namespace

std::string ProgramPath() {
  // read_symlink grows its buffer until the whole target fits.
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return path.string();
  return ProgramPathFromMaps();
}

std::string ProgramDirOf(const std::string& executablePath) {
  const auto slash = executablePath.rfind('/');
  return slash == std::string::npos ? "." : executablePath.substr(0, slash);
}

std::string ProgramDir() { return ProgramDirOf(ProgramPath()); }

namespace {

// $VAR when set to an absolute path, else $HOME/fallback, as the XDG base
// directory rules say; "/tmp" stands in for a missing HOME.
std::string XdgDir(const char* var, const char* fallback) {
  const char* value = std::getenv(var);
  if (value && value[0] == '/') return std::string(value) + "/zerth";
  const char* home = std::getenv("HOME");
  std::string base = (home && home[0]) ? home : "/tmp";
  return base + "/" + fallback + "/zerth";
}

}  // namespace

std::string UserConfigDir() { return XdgDir("XDG_CONFIG_HOME", ".config"); }
std::string UserDataDir() { return XdgDir("XDG_DATA_HOME", ".local/share"); }
std::string UserStateDir() { return XdgDir("XDG_STATE_HOME", ".local/state"); }

}  // namespace zplatform
