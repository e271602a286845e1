// ReadWholeFile: regular files whole up to the limit; anything else refused
// without waiting on a FIFO or reading an endless device.
#include "TestEnv.h"
#include "FileChecks.h"

#include <zplatform/WholeFile.h>

#include <gtest/gtest.h>

#include <tuple>

#include <sys/stat.h>

namespace {

using zplatform::WholeFileStatus;

TEST(ReadWholeFile, ReadsRegularFilesUpToTheLimitAndRefusesTheRest) {
  testenv::TempDir dir;
  // Longer than one read of the helper's first guess, with a zero byte inside.
  const std::string text = std::string("first\0second\n", 13) + std::string(10000, 'x');
  testenv::WriteFile(dir.path() / "text", text);
  testenv::WriteFile(dir.path() / "empty", "");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
  const std::tuple<std::filesystem::path, std::size_t, WholeFileStatus, std::string> cases[] = {
      {dir.path() / "text", 1 << 20, WholeFileStatus::Ok, text},
      {dir.path() / "empty", 16, WholeFileStatus::Ok, ""},
      {dir.path() / "text", text.size(), WholeFileStatus::Ok, text},
      {dir.path() / "text", text.size() - 1, WholeFileStatus::TooLarge, ""},
      {dir.path() / "fifo", 16, WholeFileStatus::NotRegularFile, ""},
      {dir.path(), 16, WholeFileStatus::NotRegularFile, ""},
      {dir.path() / "missing", 16, WholeFileStatus::NotFound, ""},
      {"/dev/zero", 16, WholeFileStatus::NotRegularFile, ""},
  };
  for (const auto& [path, maxBytes, status, expected] : cases) {
    std::string data = "stale";
    const auto read = [&] { return zplatform::ReadWholeFile(path.string(), maxBytes, data); };
    EXPECT_EQ(CallWithoutBlockingOn(path, read), status) << path << " " << maxBytes;
    EXPECT_EQ(data, expected) << path << " " << maxBytes;
  }
}

}  // namespace
