// CZerthUtility: the program folder, also from folder paths longer than any
// fixed buffer, and the verbose switch in the user's registry hive.
#include "RegistryFixture.h"
#include "TestEnv.h"

#include <zerth/CZerthUtility.h>

#include <zplatform/Registry.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelperName = "zerth_appdir_helper";

// A chain of folders below `base` whose full path is exactly `length` bytes,
// made, filled and removed through directory descriptors: path-based calls
// fail beyond PATH_MAX, which is the point of the longest chains.
class DeepFolder {
public:
  DeepFolder(const std::string& base, std::size_t length) : m_path(base) {
    m_fds.push_back(::open(base.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC));
    while (m_fds.back() >= 0 && m_path.size() < length) {
      // Each step adds a slash and a name; never leave a rest of one byte,
      // which could not hold both.
      std::size_t name = std::min<std::size_t>(200, length - m_path.size() - 1);
      if (length - m_path.size() - 1 - name == 1) --name;
      m_names.emplace_back(name, 'd');
      m_path += "/" + m_names.back();
      const int parent = m_fds.back();
      m_fds.push_back(::mkdirat(parent, m_names.back().c_str(), 0700) == 0
                          ? ::openat(parent, m_names.back().c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC)
                          : -1);
    }
  }

  ~DeepFolder() {
    if (!m_file.empty() && fd() >= 0) ::unlinkat(fd(), m_file.c_str(), 0);
    for (std::size_t i = m_names.size(); i-- > 0;) {
      if (m_fds[i + 1] >= 0) ::close(m_fds[i + 1]);
      if (m_fds[i] >= 0) ::unlinkat(m_fds[i], m_names[i].c_str(), AT_REMOVEDIR);
    }
    if (m_fds.front() >= 0) ::close(m_fds.front());
  }

  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  bool ok() const { return fd() >= 0; }
  const std::string& path() const { return m_path; }

  // Copies a program (given by a short path) into the deepest folder.
  bool PlaceProgram(const std::string& source, const std::string& name) {
    const std::string bytes = testenv::ReadFile(source);
    const int out = ::openat(fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    if (bytes.empty() || out < 0) return false;
    m_file = name;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(out, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return ::close(out) == 0 && done == bytes.size();
  }

  // Runs the program placed there with the deepest folder as its working
  // folder, so that the command itself is short; returns its output.
  std::string Run() const {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addfchdir_np(&actions, fd());
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::string command = "./" + m_file;
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
  int fd() const { return m_fds.back(); }

  std::string m_path;
  std::vector<std::string> m_names;
  std::vector<int> m_fds;  // the base, then one per name; -1 where it failed
  std::string m_file;
};

struct HelperReport {
  std::string appDir;
  std::string programPath;
};

HelperReport ParseReport(const std::string& output) {
  const auto first = output.find('\n');
  if (first == std::string::npos) return {};
  const auto second = output.find('\n', first + 1);
  return {output.substr(0, first), output.substr(first + 1, second - first - 1)};
}

}  // namespace

TEST(GetAppDirTest, IsTheFolderOfTheProgramNotOfTheLibrary) {
  const std::string expected = fs::weakly_canonical(fs::path(TARVO_BINARY_DIR) / "tests" / "bin").string();
  EXPECT_EQ(CZerthUtility::GetAppDir(), expected);

  const HelperReport helper = ParseReport(testenv::RunCommand(APPDIR_HELPER));
  EXPECT_EQ(helper.appDir, expected);
}

TEST(GetAppDirTest, ReturnsTheWholeFolderHoweverLongItsPath) {
  const testenv::TempDir base;
  const std::string basePath = fs::canonical(base.path()).string();
  // Past the old 260-byte buffer; just below PATH_MAX; and a folder longer
  // than PATH_MAX, where /proc/self/exe can no longer be read.
  for (const std::size_t length : {320u, 4060u, 5000u}) {
    SCOPED_TRACE(length);
    DeepFolder folder(basePath, length);
    ASSERT_TRUE(folder.ok());
    ASSERT_EQ(folder.path().size(), length);
    ASSERT_TRUE(folder.PlaceProgram(APPDIR_HELPER, kHelperName));

    const HelperReport report = ParseReport(folder.Run());
    ASSERT_EQ(report.programPath, folder.path() + "/" + kHelperName);
    EXPECT_EQ(report.appDir, folder.path());
  }
}

namespace {

class VerboseFlagTest : public RegistryFixture {};

struct StoredSwitch {
  const char* what;
  DWORD type;
  std::string data;
  int flag;
};

std::string Bytes(std::initializer_list<unsigned char> bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace

TEST_F(VerboseFlagTest, MissingKeyOrValueMeansOff) {
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
  EXPECT_FALSE(fs::exists(UserHive()));  // reading creates nothing

  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "OtherValue", 1), ERROR_SUCCESS);
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
}

TEST_F(VerboseFlagTest, ReadsFourBytesWhateverTheStoredType) {
  const StoredSwitch cases[] = {
      {"dword 0", REG_DWORD, Bytes({0, 0, 0, 0}), 0},
      {"dword 1", REG_DWORD, Bytes({1, 0, 0, 0}), 1},
      {"dword 42", REG_DWORD, Bytes({42, 0, 0, 0}), 42},
      {"dword all ones", REG_DWORD, Bytes({0xFF, 0xFF, 0xFF, 0xFF}), -1},
      {"binary of four bytes", REG_BINARY, Bytes({1, 0, 0, 0}), 1},
      {"binary of two bytes", REG_BINARY, Bytes({1, 0}), 0},
      {"binary of eight bytes", REG_BINARY, Bytes({1, 0, 0, 0, 1, 0, 0, 0}), 0},
      {"empty binary", REG_BINARY, std::string(), 0},
      {"text of four bytes with its zero", REG_SZ, std::string("abc", 4), 0x00636261},
      {"short text", REG_SZ, std::string("1", 2), 0},
      {"long text", REG_SZ, std::string("verbose on", 11), 0},
  };
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  for (const StoredSwitch& c : cases) {
    ASSERT_EQ(Set(key.get(), "VerboseMode", c.type, c.data), ERROR_SUCCESS) << c.what;
    EXPECT_EQ(CZerthUtility::GetVerboseFlag(), c.flag) << c.what;
  }
}

TEST_F(VerboseFlagTest, SetStoresADwordThatGetReadsBack) {
  for (const int flag : {1, 0, 7, -1}) {
    CZerthUtility::SetVerboseFlag(flag);
    EXPECT_EQ(CZerthUtility::GetVerboseFlag(), flag);
    const OwnedKey key = Open(HKEY_CURRENT_USER, "Software\\Zerth");
    ASSERT_TRUE(key);
    const StoredValue stored = Query(key.get(), "VerboseMode");
    EXPECT_EQ(stored.type, REG_DWORD);
    EXPECT_EQ(stored.data.size(), 4u);
  }
}

TEST_F(VerboseFlagTest, EveryReadSeesTheHiveAsItIsNow) {
  CZerthUtility::SetVerboseFlag(1);
  ASSERT_EQ(CZerthUtility::GetVerboseFlag(), 1);
  // Another program switches it off behind our back.
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 0), ERROR_SUCCESS);
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
}

TEST_F(VerboseFlagTest, UnusableHiveReadsOffAndSetFailsSilently) {
  // A hive that is not REGEDIT4 text is left as it is.
  const std::string garbage = "this is not a registry hive\n[\n";
  testenv::WriteFile(UserHive(), garbage);
  CZerthUtility::SetVerboseFlag(1);
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
  EXPECT_EQ(testenv::ReadFile(UserHive()), garbage);

  // A config folder that cannot be made: its parent is a file.
  testenv::WriteFile(TempPath() / "file", "x");
  const testenv::ScopedEnv config("XDG_CONFIG_HOME", (TempPath() / "file" / "config").string());
  CZerthUtility::SetVerboseFlag(1);
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
}
