// Program directory from /proc/self/exe and the XDG per-user folders.
#include <zplatform/ProgramDir.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace zplatform {

std::string ProgramPath() {
  // read_symlink grows its buffer until the whole target fits, so a path of
  // any length comes back complete.
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string{} : path.string();
}

std::string ProgramDir() {
  std::string path = ProgramPath();
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

}  // namespace zplatform
