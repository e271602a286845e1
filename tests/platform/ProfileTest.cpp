// GetProfileInt: the user's win.ini first, then the one beside the program
// (tests/bin/profile/win.ini, copied from data/program-win.ini), and numbers
// read the way Windows reads them.
#include "TestEnv.h"

#include <zplatform/Profile.h>
#include <zplatform/ProgramDir.h>

#include <gtest/gtest.h>

#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(zplatform::ProgramDir(), PROFILE_TEST_DIR); }
  void WriteUserProfile(const std::string& text) const { testenv::WriteFile(m_dir.path() / "zerth" / "win.ini", text); }

private:
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str()};
};

TEST_F(ProfileTest, TheUserFileComesFirstAndFallsBackKeyByKey) {
  EXPECT_EQ(GetProfileInt("Mail", "MAPI", 9), 1u) << "no user file: the program's";
  WriteUserProfile("[Mail]\nMAPI=0\n");
  EXPECT_EQ(GetProfileInt("Mail", "MAPI", 9), 0u) << "the user's value wins";
  EXPECT_EQ(GetProfileInt("Mail", "Shipped", 9), 5u) << "missing in the user's file: the program's";
  EXPECT_EQ(GetProfileInt("Windows", "Beep", 9), 7u) << "section missing in the user's file";
  EXPECT_EQ(GetProfileInt("Mail", "Nothing", 9), 9u);
  EXPECT_EQ(GetProfileInt("Nowhere", "MAPI", -1), 0xFFFFFFFFu);
  EXPECT_EQ(GetProfileInt(nullptr, "MAPI", 6), 6u);
}

TEST_F(ProfileTest, NamesIgnoreCaseAndLayout) {
  WriteUserProfile("; comment line\r\nStray=5\r\n[ mail ]\r\n;MAPI=8\r\n   mapi  =  3  \r\nMAPI=4\r\n"
                   "[Sec]\nNoEquals\nKey2=2\n");
  EXPECT_EQ(GetProfileInt("MAIL", "Mapi", 9), 3u) << "blanks, CR LF, comments; the first entry wins";
  EXPECT_EQ(GetProfileInt("Sec", "MAPI", 9), 9u) << "a key of another section is not seen";
  EXPECT_EQ(GetProfileInt("sec", "KEY2", 9), 2u);
  EXPECT_EQ(GetProfileInt("", "Stray", 9), 9u) << "lines before the first section belong to none";
}

TEST_F(ProfileTest, NumbersAreReadAsWindowsReadsThem) {
  WriteUserProfile("[Numbers]\nblanks=\t 17\nplus=+8\nminus=-3\ntrailing=12abc\nletters=abc\nempty=\n"
                   "hex=0x10\nblank after sign=- 5\nlargest=4294967295\nwraps=4294967298\n");
  const std::pair<const char*, UINT> cases[] = {
      {"blanks", 17u},  {"plus", 8u},  {"minus", 0u - 3u},      {"trailing", 12u},          {"letters", 0u},
      {"empty", 0u},    {"hex", 0u},   {"blank after sign", 0u}, {"largest", 0xFFFFFFFFu}, {"wraps", 2u},
  };
  for (const auto& [key, expected] : cases) EXPECT_EQ(GetProfileInt("Numbers", key, 99), expected) << key;
}

}  // namespace
