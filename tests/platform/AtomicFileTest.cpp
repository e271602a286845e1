// WriteFileAtomically: exactly the new bytes and mode, or the old file as it
// was and no temporary file.
#include "FileChecks.h"
#include "TestEnv.h"

#include <zplatform/AtomicFile.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <optional>
#include <tuple>

#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using zplatform::AtomicWriteStep;
using zplatform::WriteFileAtomically;

TEST(WriteFileAtomically, HoldsTheBytesWithExactlyTheModeAsked) {
  // A umask that would narrow 0600 to 0400 and 0644 to 0400: the mode asked wins.
  const mode_t oldMask = ::umask(0277);
  // The mode of an existing file, when there is one; the bytes; the mode asked.
  const std::tuple<std::optional<mode_t>, std::string, mode_t> cases[] = {
      {std::nullopt, "secret\n", 0600}, {std::nullopt, std::string(70000, 'k'), 0644}, {0644, "", 0600}};
  for (const auto& [before, bytes, mode] : cases) {
    testenv::TempDir dir;
    const fs::path path = dir.path() / "target";
    if (before) {
      testenv::WriteFile(path, "old bytes, longer than some of the new ones");
      ASSERT_EQ(::chmod(path.c_str(), *before), 0);
    }
    const zplatform::AtomicWriteResult result = WriteFileAtomically(path.string(), bytes, mode, ".tmp");
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(testenv::ReadFile(path), bytes);
    EXPECT_EQ(ModeOf(path), mode) << bytes.size();
    EXPECT_EQ(NamesIn(dir.path()), std::set<std::string>{"target"});
  }
  ::umask(oldMask);
}

// Lowers the file size limit with SIGXFSZ ignored: a write past it fails with EFBIG.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lower{bytes, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
  }
  rlimit old{};
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
};

TEST(WriteFileAtomically, FailureLeavesTheOldFileAndNoTemporary) {
  testenv::TempDir dir;
  const fs::path old = dir.path() / "old";
  testenv::WriteFile(old, "old bytes");
  testenv::WriteFile(dir.path() / "folder" / "inside", "kept");
  const std::set<std::string> before = NamesIn(dir.path());
  const std::tuple<fs::path, rlim_t, AtomicWriteStep, int> cases[] = {
      {dir.path() / "none" / "file", RLIM_INFINITY, AtomicWriteStep::CreateTemporary, ENOENT},
      {old, 4096, AtomicWriteStep::WriteTemporary, EFBIG},
      {dir.path() / "folder", RLIM_INFINITY, AtomicWriteStep::Replace, EISDIR},
  };
  for (const auto& [target, sizeLimit, step, error] : cases) {
    zplatform::AtomicWriteResult result;
    {
      const FileSizeLimit limit(sizeLimit);
      result = WriteFileAtomically(target.string(), std::string(3 * 4096, 'n'), 0644, ".tmp");
    }
    EXPECT_EQ(std::pair(result.error, result.failedStep), std::pair(error, step)) << target;
    EXPECT_EQ(testenv::ReadFile(old), "old bytes");
    EXPECT_EQ(testenv::ReadFile(dir.path() / "folder" / "inside"), "kept");
    EXPECT_EQ(NamesIn(dir.path()), before) << target;
  }
}

}  // namespace
