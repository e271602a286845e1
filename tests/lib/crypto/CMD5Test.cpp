// CMD5: buffers, files and descriptors against coreutils' md5sum, the state
// Final leaves behind, and the failures the file forms throw.
#include "TestEnv.h"

#include <zerth/CMD5.h>

#include <gtest/gtest.h>

#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::string Md5(const std::string& s) {
  return CMD5::GetMD5(reinterpret_cast<const unsigned char*>(s.data()), static_cast<std::uint32_t>(s.size()));
}

// Sizes around the block and the 1024-byte piece, whole and one byte at a
// time; the descriptor form reads from where the descriptor stands and leaves
// it at the end.
TEST(CMD5, EveryFormAgreesWithMd5sum) {
  const testenv::TempDir dir;
  for (std::size_t size : {0u, 1u, 55u, 56u, 64u, 119u, 1023u, 1024u, 1025u, 70001u}) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * i * 7919 + i / 3);
    const std::string path = (dir.path() / ("f" + std::to_string(size))).string();
    testenv::WriteFile(path, data);
    const std::string expected = testenv::RunCommand("md5sum " + path).substr(0, 32);
    EXPECT_EQ(Md5(data), expected) << size;
    CMD5 bytewise;
    for (char c : data) bytewise.Update({static_cast<unsigned char>(c)});
    EXPECT_EQ(bytewise.Final(), expected) << size;
    EXPECT_EQ(CMD5::GetMD5(path), expected) << size;
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::lseek(fd, static_cast<off_t>(size / 3), SEEK_SET);
    EXPECT_EQ(CMD5::GetMD5(fd), Md5(data.substr(size / 3))) << size;
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), static_cast<off_t>(size));
    ::close(fd);
  }
  // A pipe gives what has been written so far: only an empty read ends it.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const std::string piece(700, 'p');
  std::thread writer([&] {
    for (int i = 0; i < 3 && ::write(ends[1], piece.data(), piece.size()) > 0; ++i)
      for (int queued = 1; ::ioctl(ends[1], FIONREAD, &queued) == 0 && queued > 0;) ::usleep(1000);
    ::close(ends[1]);
  });
  EXPECT_EQ(CMD5::GetMD5(ends[0]), Md5(piece + piece + piece));
  writer.join();
  ::close(ends[0]);
}

// Final pads without resetting: the second Final is the digest of the input
// followed by its padding.
TEST(CMD5, DigestBytesAndFinalTwice) {
  CMD5 md5;
  std::vector<unsigned char> digest{1}, zeros(16, 0);
  md5.GetDigest(digest);
  EXPECT_EQ(digest, zeros);
  md5.Update({'a', 'b', 'c'});
  EXPECT_EQ(md5.Final(), "900150983cd24fb0d6963f7d28e17f72");
  md5.GetDigest(digest);
  EXPECT_EQ(digest, (std::vector<unsigned char>{0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0, 0xd6, 0x96, 0x3f, 0x7d,
                                                0x28, 0xe1, 0x7f, 0x72}));
  EXPECT_EQ(md5.Final(), Md5("abc\x80" + std::string(52, '\0') + std::string("\x18\0\0\0\0\0\0\0", 8)));
  md5.Reset();
  EXPECT_EQ(md5.Final(), Md5(""));
}

// Past 2^29 bytes the bit count carries into its high word.
TEST(CMD5, CountsBitsBeyondThirtyTwo) {
  CMD5 md5;
  const std::vector<unsigned char> mebibyte(1 << 20, 0);
  for (int i = 0; i < 512; ++i) md5.Update(mebibyte);
  md5.Update(std::vector<unsigned char>(3, 0));
  EXPECT_EQ(md5.Final(), "f477dd2300ffb741b990c4eac208d915");
}

TEST(CMD5, FileFormsThrowSystemErrorWithTheReason) {
  const testenv::TempDir dir;
  const std::string locked = (dir.path() / "locked").string();
  const int writer = ::open(locked.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  const std::pair<std::string, int> cases[] = {{dir.str() + "/none", ENOENT}, {dir.str(), EINVAL}, {locked, EAGAIN}};
  for (const auto& [path, error] : cases) {
    int thrown = 0;
    try {
      CMD5::GetMD5(path);
    } catch (const std::system_error& e) {
      thrown = e.code().value();
    }
    EXPECT_EQ(thrown, error) << path;
  }
  ::close(writer);
  EXPECT_THROW(CMD5::GetMD5(-1), std::system_error);
}

}  // namespace
