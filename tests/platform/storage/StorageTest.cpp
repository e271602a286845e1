// The compound-file layer on its own: persistence, space reuse, stream
// edits, open and share modes, crash safety and damaged files.
#include "StorageTestSupport.h"
#include "TestEnv.h"

#include <zplatform/Com.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

using namespace storagetest;
using zplatform::ComPtr;

namespace {

HRESULT Open(const std::string& file, DWORD mode, ComPtr<IStorage>& root) {
  return StgOpenStorage(W(file).c_str(), nullptr, mode, nullptr, 0, root.Put());
}

HRESULT Create(const std::string& file, DWORD mode, ComPtr<IStorage>& root) {
  return StgCreateDocfile(W(file).c_str(), mode, 0, root.Put());
}

// A file with a 5,000-byte stream "big" (regular sectors) and a 100-byte
// stream "small" (mini stream).
void WriteSample(const std::string& file, std::size_t bigSize = 5000) {
  ComPtr<IStorage> root;
  ASSERT_EQ(Create(file, kRW | STGM_CREATE, root), S_OK);
  ASSERT_EQ(PutStream(root.Get(), "big", Content("big", bigSize)), S_OK);
  ASSERT_EQ(PutStream(root.Get(), "small", Content("small", 100)), S_OK);
}

TEST(CompoundFile, PersistsAcrossReopenAndReusesTheSpaceOfDeletedElements) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/f.stg";
  WriteSample(file, 1 << 20);
  const auto sizeBefore = std::filesystem::file_size(file);
  {
    ComPtr<IStorage> root;
    ASSERT_EQ(Open(file, kRW, root), S_OK);
    EXPECT_EQ(root->DestroyElement(W("BIG").c_str()), S_OK);  // names compare without case
    EXPECT_EQ(PutStream(root.Get(), "other", Content("other", 1 << 20)), S_OK);
  }
  EXPECT_LE(std::filesystem::file_size(file), sizeBefore);
  ComPtr<IStorage> root;
  ASSERT_EQ(Open(file, STGM_READ | STGM_SHARE_DENY_WRITE, root), S_OK);
  EXPECT_EQ(GetStream(root.Get(), "big"), std::nullopt);
  EXPECT_EQ(GetStream(root.Get(), "other"), Content("other", 1 << 20));
  EXPECT_EQ(GetStream(root.Get(), "small"), Content("small", 100));
}

TEST(CompoundFile, StreamEditsSeekPastTheEndSetSizeAndOverwrite) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/f.stg";
  WriteSample(file);
  {
    ComPtr<IStorage> root;
    ASSERT_EQ(Open(file, kRW, root), S_OK);
    COleStreamFile big;
    ASSERT_TRUE(big.OpenStream(root.Get(), "big", kRW));
    EXPECT_EQ(big.Seek(6000, COleStreamFile::begin), 6000);
    EXPECT_TRUE(big.Write("end", 3));
    EXPECT_EQ(big.Seek(10, COleStreamFile::begin), 10);
    EXPECT_TRUE(big.Write("XY", 2));
    EXPECT_EQ(big.Seek(-1, COleStreamFile::begin), -1);
    COleStreamFile small;
    ASSERT_TRUE(small.OpenStream(root.Get(), "small", kRW));
    EXPECT_TRUE(small.SetLength(40));
    EXPECT_TRUE(small.SetLength(70));
  }
  std::string big = Content("big", 5000) + std::string(1000, '\0') + "end";
  big.replace(10, 2, "XY");
  std::string small = Content("small", 40) + std::string(30, '\0');
  ComPtr<IStorage> root;
  ASSERT_EQ(Open(file, kRW, root), S_OK);
  EXPECT_EQ(GetStream(root.Get(), "big"), big);
  EXPECT_EQ(GetStream(root.Get(), "small"), small);
}

TEST(CompoundFile, OpenModesAndElementRulesGiveTheirResults) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/f.stg";
  const std::string plain = dir.str() + "/plain.txt";
  testenv::WriteFile(plain, std::string(1024, 'x'));
  WriteSample(file);
  ComPtr<IStorage> root;
  ComPtr<IStream> stream;
  struct Case {
    const char* what;
    std::function<HRESULT()> call;
    HRESULT expected;
  } cases[] = {
      {"create over a file without STGM_CREATE", [&] { return Create(file, kRW, root); }, STG_E_FILEALREADYEXISTS},
      {"create read-only", [&] { return Create(dir.str() + "/n", STGM_READ | STGM_CREATE, root); }, STG_E_INVALIDFLAG},
      {"open a missing file", [&] { return Open(dir.str() + "/none", kRW, root); }, STG_E_FILENOTFOUND},
      {"open in a missing folder", [&] { return Open(dir.str() + "/no/f", kRW, root); }, STG_E_FILENOTFOUND},
      {"open a text file", [&] { return Open(plain, kRW, root); }, STG_E_FILEALREADYEXISTS},
      {"open with STGM_CREATE", [&] { return Open(file, kRW | STGM_CREATE, root); }, STG_E_INVALIDFLAG},
      {"open read-only", [&] { return Open(file, kRead, root); }, S_OK},
      {"write a stream of a read-only file",
       [&] { return root->CreateStream(W("n").c_str(), kRW, 0, 0, stream.Put()); }, STG_E_ACCESSDENIED},
      {"commit a read-only file", [&] { return root->Commit(STGC_DEFAULT); }, STG_E_ACCESSDENIED},
      {"open read-write", [&] { return Open(file, kRW, root); }, S_OK},
      {"stream without SHARE_EXCLUSIVE",
       [&] { return root->OpenStream(W("big").c_str(), nullptr, STGM_READ, 0, stream.Put()); }, STG_E_INVALIDFLAG},
      {"missing stream", [&] { return root->OpenStream(W("nix").c_str(), nullptr, kRead, 0, stream.Put()); },
       STG_E_FILENOTFOUND},
      {"name of 32 characters",
       [&] { return root->CreateStream(W(std::string(32, 'n')).c_str(), kRW, 0, 0, stream.Put()); },
       STG_E_INVALIDNAME},
      {"name with '!'", [&] { return root->CreateStream(W("a!b").c_str(), kRW, 0, 0, stream.Put()); },
       STG_E_INVALIDNAME},
      {"existing name in other case",
       [&] { return root->CreateStream(W("SMALL").c_str(), kRW, 0, 0, stream.Put()); }, STG_E_FILEALREADYEXISTS},
      {"open a stream", [&] { return root->OpenStream(W("big").c_str(), nullptr, kRW, 0, stream.Put()); }, S_OK},
      {"open it twice",
       [&] {
         ComPtr<IStream> second;
         return root->OpenStream(W("big").c_str(), nullptr, kRead, 0, second.Put());
       },
       STG_E_ACCESSDENIED},
      {"destroy it while open", [&] { return root->DestroyElement(W("big").c_str()); }, S_OK},
      {"use it after", [&] { return stream->Write("x", 1, nullptr); }, STG_E_REVERTED},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
}

TEST(CompoundFile, ShareModesOfTwoOpenersConflictAsFlockLocks) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/f.stg";
  WriteSample(file);
  constexpr DWORD kReadDenyWrite = STGM_READ | STGM_SHARE_DENY_WRITE;
  constexpr DWORD kReadDenyNone = STGM_READ | STGM_SHARE_DENY_NONE;
  const struct {
    DWORD first, second;
    HRESULT expected;
  } cases[] = {
      {kRW, kReadDenyWrite, STG_E_SHAREVIOLATION}, {kRW, kReadDenyNone, S_OK},
      {kReadDenyWrite, kReadDenyWrite, S_OK},      {kReadDenyWrite, kRW, STG_E_SHAREVIOLATION},
      {kReadDenyNone, kRW, S_OK},                  {kRW | STGM_TRANSACTED, kRW, STG_E_SHAREVIOLATION},
      {STGM_READ | STGM_SHARE_EXCLUSIVE, kReadDenyWrite, STG_E_SHAREVIOLATION},
  };
  for (const auto& c : cases) {
    ComPtr<IStorage> first, second;
    ASSERT_EQ(Open(file, c.first, first), S_OK);
    EXPECT_EQ(Open(file, c.second, second), c.expected) << std::hex << c.first << " then " << c.second;
  }
}

TEST(CompoundFile, TransactedChangesNeedCommitAndRevertDropsThem) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/f.stg";
  WriteSample(file);
  {
    ComPtr<IStorage> root;
    ASSERT_EQ(Open(file, kRW | STGM_TRANSACTED, root), S_OK);
    ASSERT_EQ(PutStream(root.Get(), "gone", "x"), S_OK);
    EXPECT_EQ(root->Revert(), S_OK);
    EXPECT_EQ(GetStream(root.Get(), "gone"), std::nullopt);
    ASSERT_EQ(PutStream(root.Get(), "kept", "k"), S_OK);
    EXPECT_EQ(root->Commit(STGC_DEFAULT), S_OK);
    ASSERT_EQ(PutStream(root.Get(), "dropped", "d"), S_OK);
  }
  ComPtr<IStorage> root;
  ASSERT_EQ(Open(file, kRead, root), S_OK);
  EXPECT_EQ(GetStream(root.Get(), "kept"), "k");
  EXPECT_EQ(GetStream(root.Get(), "dropped"), std::nullopt);
  EXPECT_EQ(GetStream(root.Get(), "big"), Content("big", 5000));
}

TEST(CompoundFile, AWriterKilledBeforeCommitLeavesThePreviousFile) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/f.stg";
  WriteSample(file);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ComPtr<IStorage> root;
    if (Open(file, kRW, root) == S_OK && root->DestroyElement(W("small").c_str()) == S_OK &&
        PutStream(root.Get(), "big", Content("new", 3 << 20)) == S_OK)
      (void)!::write(ready[1], "w", 1);
    ::pause();
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ComPtr<IStorage> root;
  ASSERT_EQ(Open(file, kRead, root), S_OK);
  EXPECT_EQ(GetStream(root.Get(), "big"), Content("big", 5000));
  EXPECT_EQ(GetStream(root.Get(), "small"), Content("small", 100));
}

TEST(CompoundFile, ReadsVersion4FilesAndCommitsThemAsVersion3) {
  testenv::TempDir dir;
  const std::string file = dir.str() + "/v4.stg";
  testenv::RunCommand("/usr/bin/python3 " TARVO_SOURCE_DIR "/tests/platform/storage/make_v4.py '" + file + "'");
  const auto expected = [](std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 7 + n) & 255);
    return bytes;
  };
  for (const DWORD mode : {kRead, kRW}) {
    ComPtr<IStorage> root;
    ASSERT_EQ(Open(file, mode, root), S_OK);
    EXPECT_EQ(GetStream(root.Get(), "big"), expected(5000));
    EXPECT_EQ(GetStream(root.Get(), "small"), expected(100));
    if (mode == kRW) {
      EXPECT_EQ(PutStream(root.Get(), "new", "n"), S_OK);
    }
  }
  EXPECT_EQ(testenv::ReadFile(file).substr(0x1A, 1), "\x03");
}

// Damaged files: each patch puts bytes at a place found from the header of
// the sample, and the open or the read of both streams must fail cleanly.
TEST(CompoundFile, DamagedFilesFailToOpenOrRead) {
  testenv::TempDir dir;
  const std::string good = dir.str() + "/good.stg";
  const std::string difat = dir.str() + "/difat.stg";
  WriteSample(good);
  WriteSample(difat, 8 << 20);  // 129 FAT sectors: the DIFAT is used
  const std::string bytes = testenv::ReadFile(good);
  const auto u32 = [](const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  const auto le = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::size_t fat = (u32(bytes, 0x4C) + 1) * 512;   // the FAT's first sector
  const std::size_t dirAt = (u32(bytes, 0x30) + 1) * 512;  // root, "big", "small"
  const std::size_t big = dirAt + 128, small = dirAt + 256;
  const std::uint32_t bigStart = u32(bytes, big + 0x74);
  const struct {
    const char* what;
    std::size_t at;
    std::string patch;
    const char* failingStream;  // null: the open itself fails
    std::string base = {};
  } cases[] = {
      {"bad signature", 0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE2", nullptr},
      {"version 5", 0x1A, "\x05", nullptr},
      {"FAT count beyond the file", 0x2C, le(0xFFFFFFFF), nullptr},
      {"directory start beyond the file", 0x30, le(0x00FFFFFF), nullptr},
      {"directory chain loops", fat + 4 * u32(bytes, 0x30), le(u32(bytes, 0x30)), nullptr},
      {"directory cycle", dirAt + 0x4C, le(0), nullptr},
      {"sibling link beyond the directory", big + 0x48, le(77), nullptr},
      {"odd name length", big + 0x40, "\x07", nullptr},
      {"name without terminator", big + 6, "!", nullptr},
      {"mini FAT count beyond the file", 0x40, le(0x10000000), nullptr},
      {"big stream starts beyond the file", big + 0x74, le(0x00FFFFFF), "big"},
      {"big stream chain loops", fat + 4 * (bigStart + 1), le(bigStart), "big"},
      {"big stream longer than its chain", big + 0x78, le(9000), "big"},
      {"big stream larger than the file", big + 0x78, le(0x7FFFFFFF), "big"},
      {"small stream starts beyond the mini stream", small + 0x74, le(0x7FFF), "small"},
      {"mini FAT chain loops", (u32(bytes, 0x3C) + 1) * 512, le(0), "small"},
      {"truncated to its header", 512, "", nullptr},
      {"DIFAT sector points to itself", 0x48, le(2), nullptr, difat},
  };
  for (const auto& c : cases) {
    std::string damaged = c.base.empty() ? bytes : testenv::ReadFile(c.base);
    if (c.patch.empty())
      damaged.resize(c.at);
    else
      damaged.replace(c.at, c.patch.size(), c.patch);
    if (c.what == std::string("DIFAT sector points to itself")) {  // and a second one is needed
      damaged.replace(0x2C, 4, le(256));
      const std::uint32_t first = u32(damaged, 0x44);
      damaged.replace((first + 1) * 512 + 508, 4, le(first));
    }
    const std::string file = dir.str() + "/bad.stg";
    testenv::WriteFile(file, damaged);
    ComPtr<IStorage> root;
    const HRESULT hr = Open(file, kRead, root);
    EXPECT_EQ(SUCCEEDED(hr), c.failingStream != nullptr) << c.what << " " << std::hex << hr;
    if (SUCCEEDED(hr) && c.failingStream) {
      EXPECT_EQ(GetStream(root.Get(), c.failingStream), std::nullopt) << c.what;
    }
  }
}

}  // namespace
