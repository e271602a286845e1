// ReadWholeFile: regular files are read whole up to the caller's limit;
// anything else is refused with its reason, a FIFO without waiting for a
// writer and an endless device without reading it.
#include "TestEnv.h"
#include "WithoutBlocking.h"

#include <zplatform/WholeFile.h>

#include <gtest/gtest.h>

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
  const struct {
    const char* what;
    std::filesystem::path path;
    std::size_t maxBytes;
    WholeFileStatus status;
    std::string data;
  } cases[] = {
      {"regular file", dir.path() / "text", 1 << 20, WholeFileStatus::Ok, text},
      {"empty file", dir.path() / "empty", 16, WholeFileStatus::Ok, ""},
      {"at the limit exactly", dir.path() / "text", text.size(), WholeFileStatus::Ok, text},
      {"one byte over the limit", dir.path() / "text", text.size() - 1, WholeFileStatus::TooLarge, ""},
      {"FIFO without a writer", dir.path() / "fifo", 16, WholeFileStatus::NotRegularFile, ""},
      {"folder", dir.path(), 16, WholeFileStatus::NotRegularFile, ""},
      {"missing file", dir.path() / "missing", 16, WholeFileStatus::NotFound, ""},
      {"endless device", "/dev/zero", 16, WholeFileStatus::NotRegularFile, ""},
  };
  for (const auto& c : cases) {
    std::string data = "stale";
    const auto read = [&] { return zplatform::ReadWholeFile(c.path.string(), c.maxBytes, data); };
    EXPECT_EQ(CallWithoutBlockingOn(c.path, read), c.status) << c.what;
    EXPECT_EQ(data, c.data) << c.what;
  }
}

}  // namespace
