// WriteFileAtomically: the target holds exactly the new bytes with exactly
// the mode asked, and a write that fails at any step leaves the old file as
// it was and no temporary file behind.
#include "TestEnv.h"

#include <zplatform/AtomicFile.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using zplatform::AtomicWriteStep;
using zplatform::WriteFileAtomically;

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(WriteFileAtomically, HoldsTheBytesWithExactlyTheModeAsked) {
  // A umask that would narrow 0600 to 0400 and 0644 to 0400: the mode asked wins.
  const mode_t oldMask = ::umask(0277);
  struct Case {
    const char* what;
    std::optional<mode_t> before;  // mode of an existing file, when there is one
    std::string bytes;
    mode_t mode;
  };
  const Case cases[] = {
      {"new private file", std::nullopt, "secret\n", 0600},
      {"readable by all", std::nullopt, std::string(70000, 'k'), 0644},
      {"replaces a readable file with a private one", 0644, "", 0600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testenv::TempDir dir;
    const fs::path path = dir.path() / "target";
    if (c.before) {
      testenv::WriteFile(path, "old bytes, longer than some of the new ones");
      ASSERT_EQ(::chmod(path.c_str(), *c.before), 0);
    }
    const zplatform::AtomicWriteResult result = WriteFileAtomically(path.string(), c.bytes, c.mode, ".tmp");
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(testenv::ReadFile(path), c.bytes);
    EXPECT_EQ(ModeOf(path), c.mode);
    EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"target"});
  }
  ::umask(oldMask);
}

// Lowers the file size limit for its life; the signal that would end the
// test is ignored, so the write fails with EFBIG.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    const rlimit lower{bytes, m_old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  void (*m_handler)(int);
  rlimit m_old{};
};

TEST(WriteFileAtomically, FailureLeavesTheOldFileAndNoTemporary) {
  testenv::TempDir dir;
  const fs::path old = dir.path() / "old";
  testenv::WriteFile(old, "old bytes");
  testenv::WriteFile(dir.path() / "folder" / "inside", "kept");
  const std::set<std::string> before = Listing(dir.path());

  struct Case {
    const char* what;
    fs::path target;
    rlim_t sizeLimit;
    AtomicWriteStep step;
    int error;
  };
  const Case cases[] = {
      {"folder missing", dir.path() / "none" / "file", RLIM_INFINITY, AtomicWriteStep::CreateTemporary, ENOENT},
      {"write fails part-way", old, 4096, AtomicWriteStep::WriteTemporary, EFBIG},
      {"target is a folder", dir.path() / "folder", RLIM_INFINITY, AtomicWriteStep::Replace, EISDIR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zplatform::AtomicWriteResult result;
    {
      const FileSizeLimit limit(c.sizeLimit);
      result = WriteFileAtomically(c.target.string(), std::string(3 * 4096, 'n'), 0644, ".tmp");
    }
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.failedStep, c.step);
    EXPECT_EQ(testenv::ReadFile(old), "old bytes");
    EXPECT_EQ(testenv::ReadFile(dir.path() / "folder" / "inside"), "kept");
    EXPECT_EQ(Listing(dir.path()), before);
  }
}

}  // namespace
