// CZerthUtility: the program folder, however long its path, and the verbose
// switch (a damaged or unreachable hive: tests/platform's registry tests).
#include "TestEnv.h"

#include <zerth/CZerthUtility.h>

#include <zplatform/Registry.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// Runs a copy of the helper from new folders in base whose path is length
// bytes, made and entered one relative step at a time (a whole path fails
// beyond PATH_MAX, which is the point). Returns the folder and the output.
std::pair<std::string, std::string> RunHelperFrom(const std::string& base, std::size_t length) {
  std::string path = base, script = "cd '" + base + "'";
  while (path.size() < length) {
    // Each step adds a slash and a name; never leave a rest of one byte.
    std::size_t size = std::min<std::size_t>(200, length - path.size() - 1);
    if (length - path.size() - 1 - size == 1) --size;
    path += "/" + std::string(size, 'd');
    script += " && mkdir " + std::string(size, 'd') + " && cd -P " + std::string(size, 'd');
  }
  const std::string output = testenv::RunCommand(script + " && cp '" APPDIR_HELPER "' . && ./zerth_appdir_helper");
  testenv::RunCommand("rm -rf '" + base + "'/d*");  // rm walks by descriptors, however deep
  return {path, output};
}

}  // namespace

// Past the old 260-byte buffer; just below PATH_MAX; and a folder longer
// than PATH_MAX, where /proc/self/exe can no longer be read.
TEST(GetAppDirTest, IsTheProgramsWholeFolderHoweverLongItsPath) {
  EXPECT_EQ(CZerthUtility::GetAppDir(), fs::weakly_canonical(fs::path(TARVO_BINARY_DIR) / "tests" / "bin").string());
  const testenv::TempDir dir;
  for (const std::size_t length : {320u, 4060u, 5000u}) {
    const auto [folder, output] = RunHelperFrom(fs::canonical(dir.path()).string(), length);
    ASSERT_EQ(folder.size(), length);
    EXPECT_EQ(output, folder + "\n" + folder + "/zerth_appdir_helper\n") << length;
  }
}

// Each test with a private, empty user hive.
class VerboseFlagTest : public ::testing::Test {
protected:
  fs::path UserHive() const { return m_dir.path() / "zerth" / "user.reg"; }
  static LONG Set(DWORD type, const std::string& data) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zerth", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr);
    if (rc == ERROR_SUCCESS)
      rc = RegSetValueEx(key, "VerboseMode", 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    RegCloseKey(key);
    return rc;
  }
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str()};
};

// Four bytes are read whatever type the value has; anything else means off,
// and every read sees the hive as it is now. Set stores a DWORD.
TEST_F(VerboseFlagTest, ReadsFourBytesWhateverTheStoredTypeAndStoresADword) {
  EXPECT_EQ(CZerthUtility::GetVerboseFlag(), 0);
  EXPECT_FALSE(fs::exists(UserHive())) << "reading creates nothing";
  const struct {
    DWORD type;
    std::string data;
    int flag;
  } cases[] = {
      {REG_DWORD, std::string("\x2a\0\0\0", 4), 42},
      {REG_DWORD, "\xff\xff\xff\xff", -1},
      {REG_DWORD, std::string(4, '\0'), 0},
      {REG_BINARY, std::string("\1\0\0\0", 4), 1},
      {REG_BINARY, std::string("\1\0", 2), 0},
      {REG_BINARY, std::string("\1\0\0\0\1\0\0\0", 8), 0},
      {REG_SZ, std::string("abc", 4), 0x00636261},
      {REG_SZ, std::string("verbose on", 11), 0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Set(c.type, c.data), ERROR_SUCCESS);
    EXPECT_EQ(CZerthUtility::GetVerboseFlag(), c.flag) << c.type << " of " << c.data.size() << " bytes";
  }
  CZerthUtility::SetVerboseFlag(-7);
  const std::string hive = testenv::ReadFile(UserHive());
  EXPECT_NE(hive.find("\"VerboseMode\"=dword:fffffff9"), std::string::npos) << hive;
}
