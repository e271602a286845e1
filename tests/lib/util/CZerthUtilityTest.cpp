// CZerthUtility: the program folder, also from folder paths longer than any
// fixed buffer, and the verbose switch in the user's registry hive.
#include "RegistryFixture.h"
#include "TestEnv.h"

#include <zerth/CZerthUtility.h>

#include <zplatform/Registry.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelperName = "zerth_appdir_helper";

// A chain of folders in a fresh temporary folder whose full path is exactly
// `length` bytes, made and filled through directory descriptors: path-based
// calls fail beyond PATH_MAX, which is the point of the longest chains.
class DeepFolder {
public:
  explicit DeepFolder(std::size_t length) : m_path(fs::canonical(m_base.path()).string()) {
    m_fd = ::open(m_path.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
    while (m_fd >= 0 && m_path.size() < length) {
      // Each step adds a slash and a name; never leave a rest of one byte.
      std::size_t size = std::min<std::size_t>(200, length - m_path.size() - 1);
      if (length - m_path.size() - 1 - size == 1) --size;
      const std::string name(size, 'd');
      m_path += "/" + name;
      const int parent = m_fd;
      m_fd = ::mkdirat(parent, name.c_str(), 0700) == 0 ? ::openat(parent, name.c_str(), O_DIRECTORY | O_CLOEXEC) : -1;
      ::close(parent);
    }
  }
  // rm walks by descriptors, so it removes chains too deep for remove_all.
  ~DeepFolder() {
    if (m_fd >= 0) ::close(m_fd);
    testenv::RunCommand("rm -rf '" + m_base.str() + "'/d*");
  }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  const std::string& path() const { return m_path; }

  // Copies the program into the deepest folder and runs it there (so that the
  // command itself is short); returns its output.
  std::string RunCopyOf(const std::string& program) const {
    const std::string bytes = testenv::ReadFile(program);
    const int out = ::openat(m_fd, kHelperName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    if (out < 0) return {};
    const bool written = ::write(out, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (::close(out) != 0 || !written) return {};

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addfchdir_np(&actions, m_fd);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::string command = std::string("./") + kHelperName;
    char* argv[] = {command.data(), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, command.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n;
    while (rc == 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    if (rc == 0) ::waitpid(pid, nullptr, 0);
    return output;
  }

private:
  testenv::TempDir m_base;
  std::string m_path;
  int m_fd = -1;
};

// The helper prints GetAppDir() and then the executable's path.
std::pair<std::string, std::string> ParseReport(const std::string& output) {
  const auto first = output.find('\n');
  if (first == std::string::npos) return {};
  return {output.substr(0, first), output.substr(first + 1, output.find('\n', first + 1) - first - 1)};
}

}  // namespace

TEST(GetAppDirTest, IsTheFolderOfTheProgramNotOfTheLibrary) {
  const std::string expected = fs::weakly_canonical(fs::path(TARVO_BINARY_DIR) / "tests" / "bin").string();
  EXPECT_EQ(CZerthUtility::GetAppDir(), expected);

  EXPECT_EQ(ParseReport(testenv::RunCommand(APPDIR_HELPER)).first, expected);
}

TEST(GetAppDirTest, ReturnsTheWholeFolderHoweverLongItsPath) {
  // Past the old 260-byte buffer; just below PATH_MAX; and a folder longer
  // than PATH_MAX, where /proc/self/exe can no longer be read.
  for (const std::size_t length : {320u, 4060u, 5000u}) {
    SCOPED_TRACE(length);
    const DeepFolder folder(length);
    ASSERT_EQ(folder.path().size(), length);
    const auto [appDir, programPath] = ParseReport(folder.RunCopyOf(APPDIR_HELPER));
    ASSERT_EQ(programPath, folder.path() + "/" + kHelperName);
    EXPECT_EQ(appDir, folder.path());
  }
}

namespace {
class VerboseFlagTest : public RegistryFixture {};
}  // namespace

// Four bytes are read whatever type the value has; anything else means off,
// and every read sees the hive as it is now.
TEST_F(VerboseFlagTest, ReadsFourBytesWhateverTheStoredType) {
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
  EXPECT_FALSE(fs::exists(UserHive())) << "reading creates nothing";
  struct StoredSwitch {
    const char* what;
    DWORD type;
    std::string data;
    int flag;
  };
  const StoredSwitch cases[] = {
      {"dword 42", REG_DWORD, std::string("\x2a\0\0\0", 4), 42},
      {"dword all ones", REG_DWORD, "\xff\xff\xff\xff", -1},
      {"dword 0", REG_DWORD, std::string(4, '\0'), 0},
      {"binary of four bytes", REG_BINARY, std::string("\1\0\0\0", 4), 1},
      {"binary of two bytes", REG_BINARY, std::string("\1\0", 2), 0},
      {"binary of eight bytes", REG_BINARY, std::string("\1\0\0\0\1\0\0\0", 8), 0},
      {"text of four bytes with its zero", REG_SZ, std::string("abc", 4), 0x00636261},
      {"long text", REG_SZ, std::string("verbose on", 11), 0},
  };
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  for (const StoredSwitch& c : cases) {
    ASSERT_EQ(Set(key.get(), "VerboseMode", c.type, c.data), ERROR_SUCCESS) << c.what;
    EXPECT_EQ(CZerthUtility::GetVerboseFlag(), c.flag) << c.what;
  }
}

TEST_F(VerboseFlagTest, SetStoresADword) {
  for (const int flag : {7, -1}) {
    CZerthUtility::SetVerboseFlag(flag);
    const StoredValue stored = Query(Open(HKEY_CURRENT_USER, "Software\\Zerth").get(), "VerboseMode");
    EXPECT_EQ(stored.type, REG_DWORD);
    EXPECT_EQ(stored.data, std::string(reinterpret_cast<const char*>(&flag), 4));
  }
}

TEST_F(VerboseFlagTest, UnusableHiveReadsOffAndSetFailsSilently) {
  const std::string garbage = "this is not a registry hive\n[\n";
  testenv::WriteFile(UserHive(), garbage);
  CZerthUtility::SetVerboseFlag(1);
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
  EXPECT_EQ(testenv::ReadFile(UserHive()), garbage) << "a damaged hive is left as it is";

  // A config folder that cannot be made: its parent is a file.
  testenv::WriteFile(TempPath() / "file", "x");
  const testenv::ScopedEnv config("XDG_CONFIG_HOME", (TempPath() / "file" / "config").string());
  CZerthUtility::SetVerboseFlag(1);
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
}
