// CSSFile: the storage stack, its reference rules and its edge cases.
#include <zerth/CSSFile.h>

#include "TestEnv.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr DWORD kExclusive = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

// True when nobody holds the file: an exclusive open succeeds.
bool Unlocked(const std::string& file) {
  CSSFile probe;
  return probe.OpenSSFile(file, kExclusive);
}

std::string ReadAll(CSSFile& ss, const std::string& name) {
  COleStreamFile file;
  if (!ss.OpenStream(name, file, STGM_READ | STGM_SHARE_EXCLUSIVE)) return "<none>";
  std::string bytes(file.GetLength(), '\0');
  bytes.resize(file.Read(bytes.data(), static_cast<UINT>(bytes.size())));
  return bytes;
}

class CSSFileTest : public ::testing::Test {
protected:
  testenv::TempDir dir;
  std::string file = dir.str() + "/data.stg";
  CSSFile ss;
};

TEST_F(CSSFileTest, StackOfStoragesGivesPathAndStreams) {
  ASSERT_TRUE(ss.CreateSSFile(file));
  EXPECT_TRUE(ss.IsOpen());
  EXPECT_EQ(ss.GetFilename(), file);
  EXPECT_EQ(ss.GetPath("/"), file + "/");
  EXPECT_FALSE(ss.ExitStorage());
  EXPECT_EQ(ss.GetCurrentStorage(), ss.GetRootStorage());
  EXPECT_TRUE(ss.CreateStorage("Side", false));
  EXPECT_EQ(ss.GetCurrentStorage(), ss.GetRootStorage());
  EXPECT_TRUE(ss.CreateStorage("A"));
  EXPECT_TRUE(ss.CreateStorage("B", true));
  EXPECT_EQ(ss.GetPath("\\"), file + "\\A\\B\\");
  COleStreamFile stream;
  ASSERT_TRUE(ss.CreateStream("text", stream));
  EXPECT_TRUE(stream.Write("hello", 5));
  stream.Close();
  EXPECT_FALSE(ss.EnterStorage("missing"));
  EXPECT_EQ(ss.GetPath("/"), file + "/A/B/");
  EXPECT_TRUE(ss.ExitStorage());
  EXPECT_TRUE(ss.ExitStorage());
  EXPECT_FALSE(ss.ExitStorage());
  ss.Close();
  EXPECT_FALSE(ss.IsOpen());
  EXPECT_EQ(ss.GetFilename(), "");

  ASSERT_TRUE(ss.OpenSSFile(file, STGM_READ | STGM_SHARE_DENY_WRITE));
  EXPECT_TRUE(ss.EnterStorage("Side", STGM_READ | STGM_SHARE_EXCLUSIVE));
  EXPECT_TRUE(ss.ExitStorage());
  EXPECT_TRUE(ss.EnterStorage("A", STGM_READ | STGM_SHARE_EXCLUSIVE));
  EXPECT_TRUE(ss.EnterStorage("B", STGM_READ | STGM_SHARE_EXCLUSIVE));
  EXPECT_EQ(ReadAll(ss, "text"), "hello");
}

TEST_F(CSSFileTest, DestroyElementRemovesStreamsAndStorages) {
  ASSERT_TRUE(ss.CreateSSFile(file));
  COleStreamFile stream;
  ASSERT_TRUE(ss.CreateStream("s", stream));
  stream.Close();
  ASSERT_TRUE(ss.CreateStorage("t", false));
  EXPECT_TRUE(ss.DestroyElement("s"));
  EXPECT_TRUE(ss.DestroyElement("t"));
  EXPECT_FALSE(ss.DestroyElement("t"));
  EXPECT_FALSE(ss.EnterStorage("t"));
  EXPECT_EQ(ReadAll(ss, "s"), "<none>");
}

TEST_F(CSSFileTest, OpeningASecondFileReleasesEverythingOfTheFirst) {
  ASSERT_TRUE(ss.CreateSSFile(file));
  ASSERT_TRUE(ss.CreateStorage("A"));
  ASSERT_TRUE(ss.CreateStorage("B"));
  EXPECT_FALSE(Unlocked(file));
  ASSERT_TRUE(ss.CreateSSFile(dir.str() + "/other.stg"));
  EXPECT_EQ(ss.GetPath("/"), dir.str() + "/other.stg/");
  EXPECT_TRUE(Unlocked(file));
  EXPECT_FALSE(ss.OpenSSFile(dir.str() + "/missing.stg"));
  EXPECT_FALSE(ss.IsOpen());
  EXPECT_EQ(ss.GetFilename(), "");
  EXPECT_EQ(ss.GetCurrentStorage(), nullptr);
  EXPECT_TRUE(Unlocked(dir.str() + "/other.stg"));
}

TEST_F(CSSFileTest, DetachHandsOverTheRootStillReferenced) {
  ASSERT_TRUE(ss.CreateSSFile(file));
  ASSERT_TRUE(ss.CreateStorage("A"));
  IStorage* root = ss.Detach();
  ASSERT_NE(root, nullptr);
  EXPECT_FALSE(ss.IsOpen());
  EXPECT_EQ(ss.GetFilename(), "");
  EXPECT_EQ(ss.GetCurrentStorage(), nullptr);
  EXPECT_FALSE(Unlocked(file));  // still held by the caller's reference
  STATSTG stat{};
  EXPECT_EQ(root->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(root->Release(), 0u);
  EXPECT_TRUE(Unlocked(file));
}

TEST_F(CSSFileTest, AttachedStorageIsReleasedByCloseOnlyIfAFileWasOpen) {
  CSSFile owner;
  ASSERT_TRUE(owner.CreateSSFile(file));
  IStorage* storage = owner.Detach();

  CSSFile closed;
  EXPECT_EQ(closed.Attach(storage), nullptr);
  EXPECT_EQ(closed.GetCurrentStorage(), storage);
  EXPECT_EQ(closed.GetPath("/"), "/");
  closed.Close();
  EXPECT_FALSE(Unlocked(file));  // Close left the caller's reference alone

  ASSERT_TRUE(ss.CreateSSFile(dir.str() + "/other.stg"));
  IStorage* previous = ss.Attach(storage);
  ASSERT_NE(previous, nullptr);
  EXPECT_FALSE(Unlocked(dir.str() + "/other.stg"));  // the previous root is not released
  previous->Release();
  ss.Close();
  EXPECT_TRUE(Unlocked(file));
}

TEST_F(CSSFileTest, OperationsWithNothingOpenFailWithoutACrash) {
  COleStreamFile stream;
  const std::function<bool()> fails[] = {
      [&] { return ss.CreateStorage("A"); },        [&] { return ss.EnterStorage("A"); },
      [&] { return ss.ExitStorage(); },             [&] { return ss.CreateStream("s", stream); },
      [&] { return ss.OpenStream("s", stream); },   [&] { return ss.DestroyElement("s"); },
      [&] { return ss.GetCurrentStorage() != nullptr; }, [&] { return !ss.GetPath("/").empty(); },
      [&] { return ss.Detach() != nullptr; },       [&] { return ss.IsOpen(); },
  };
  for (std::size_t i = 0; i < std::size(fails); ++i) EXPECT_FALSE(fails[i]()) << "operation " << i;
  ss.Close();
}

TEST_F(CSSFileTest, NamesOver259CharactersFailAndChangeNothing) {
  ASSERT_TRUE(ss.CreateSSFile(file));
  COleStreamFile stream;
  const std::string longName(260, 'n');
  EXPECT_FALSE(ss.CreateStorage(longName));
  EXPECT_FALSE(ss.EnterStorage(longName));
  EXPECT_FALSE(ss.CreateStream(longName, stream));
  EXPECT_FALSE(ss.OpenStream(longName, stream));
  EXPECT_FALSE(ss.DestroyElement(longName));
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(ss.GetCurrentStorage(), ss.GetRootStorage());
}

}  // namespace
