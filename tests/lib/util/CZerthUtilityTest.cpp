// CZerthUtility::GetAppDir: the program's folder, however long its path.
#include "TestEnv.h"

#include <zerth/CZerthUtility.h>

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
