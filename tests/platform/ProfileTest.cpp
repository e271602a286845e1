// GetProfileInt: the user's win.ini first, then the program's (data/program-win.ini).
#include "TestEnv.h"

#include <zplatform/Profile.h>
#include <zplatform/ProgramDir.h>

#include <gtest/gtest.h>

#include <tuple>

namespace {

class ProfileTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(zplatform::ProgramDir(), PROFILE_TEST_DIR); }
  void WriteUserProfile(const std::string& text) const { testenv::WriteFile(m_dir.path() / "zerth/win.ini", text); }

private:
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str()};
};

TEST_F(ProfileTest, TheUserFileComesFirstKeyByKeyAndNamesIgnoreCaseAndLayout) {
  EXPECT_EQ(GetProfileInt("Mail", "MAPI", 9), 1u) << "no user file: the program's";
  WriteUserProfile("; comment line\r\nStray=5\r\n[ mail ]\r\n;MAPI=8\r\n   mapi  =  0  \r\nMAPI=4\r\n"
                   "[Sec]\nNoEquals\nKey2=2\n");
  const std::tuple<const char*, const char*, int, UINT> cases[] = {
      {"MAIL", "Mapi", 9, 0u},     // the user's value; blanks, CR LF, comments; the first entry wins
      {"Mail", "Shipped", 9, 5u},  // missing in the user's file: the program's
      {"Windows", "Beep", 9, 7u},  // the section missing in the user's file
      {"Mail", "Nothing", 9, 9u},  {"Nowhere", "MAPI", -1, 0xFFFFFFFFu}, {nullptr, "MAPI", 6, 6u},
      {"sec", "KEY2", 9, 2u},      {"Sec", "MAPI", 9, 9u},  // a key of another section is not seen
      {"", "Stray", 9, 9u},        // lines before the first section belong to none
  };
  for (const auto& [section, key, fallback, expected] : cases)
    EXPECT_EQ(GetProfileInt(section, key, fallback), expected) << (section ? section : "null") << " " << key;
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
