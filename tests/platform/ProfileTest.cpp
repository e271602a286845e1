// GetProfileInt: the user's win.ini first, then the one beside the program
// (tests/bin/profile/win.ini, copied from data/program-win.ini), and numbers
// read the way Windows reads them.
#include "TestEnv.h"

#include <zplatform/Profile.h>
#include <zplatform/ProgramDir.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(zplatform::ProgramDir(), PROFILE_TEST_DIR);
    ASSERT_TRUE(std::filesystem::exists(std::string(PROFILE_TEST_DIR) + "/win.ini"));
  }

  void WriteUserProfile(const std::string& text) const {
    testenv::WriteFile(m_dir.path() / "zerth" / "win.ini", text);
  }

private:
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str()};
};

TEST_F(ProfileTest, WithoutAUserFileTheProgramsFileAnswers) {
  EXPECT_EQ(GetProfileInt("Mail", "MAPI", 9), 1u);
  EXPECT_EQ(GetProfileInt("Windows", "Beep", 9), 7u);
}

TEST_F(ProfileTest, TheUserFileComesFirstAndFallsBackKeyByKey) {
  WriteUserProfile("[Mail]\nMAPI=0\nOwn=3\n");
  EXPECT_EQ(GetProfileInt("Mail", "MAPI", 9), 0u) << "the user's value wins";
  EXPECT_EQ(GetProfileInt("Mail", "Own", 9), 3u);
  EXPECT_EQ(GetProfileInt("Mail", "Shipped", 9), 5u) << "missing in the user's file: the program's";
  EXPECT_EQ(GetProfileInt("Windows", "Beep", 9), 7u) << "section missing in the user's file";
}

TEST_F(ProfileTest, MissingEverywhereGivesTheDefault) {
  WriteUserProfile("[Mail]\nOther=1\n");
  EXPECT_EQ(GetProfileInt("Mail", "Nothing", 9), 9u);
  EXPECT_EQ(GetProfileInt("Nowhere", "MAPI", 4), 4u);
  EXPECT_EQ(GetProfileInt("Nowhere", "MAPI", -1), 0xFFFFFFFFu);
  EXPECT_EQ(GetProfileInt(nullptr, "MAPI", 6), 6u);
}

TEST_F(ProfileTest, NamesIgnoreCaseAndLayout) {
  WriteUserProfile("; comment line\r\n"
                   "Stray=5\r\n"
                   "[ mail ]\r\n"
                   ";MAPI=8\r\n"
                   "   mapi  =  3  \r\n"
                   "MAPI=4\r\n"
                   "[Other]\r\n"
                   "Key=6\r\n"
                   "[Sec]\n"
                   "NoEquals\n"
                   "Key2=2\n");
  EXPECT_EQ(GetProfileInt("MAIL", "Mapi", 9), 3u) << "blanks, CR LF, comments; the first entry wins";
  EXPECT_EQ(GetProfileInt("Sec", "Key", 9), 9u) << "a key of another section is not seen";
  EXPECT_EQ(GetProfileInt("sec", "KEY2", 9), 2u);
  EXPECT_EQ(GetProfileInt("", "Stray", 9), 9u) << "lines before the first section belong to none";
}

TEST_F(ProfileTest, NumbersAreReadAsWindowsReadsThem) {
  WriteUserProfile("[Numbers]\n"
                   "plain=42\n"
                   "blanks=\t 17\n"
                   "plus=+8\n"
                   "minus=-3\n"
                   "trailing=12abc\n"
                   "inner blank=1 2\n"
                   "letters=abc\n"
                   "empty=\n"
                   "sign only=-\n"
                   "hex=0x10\n"
                   "blank after sign=- 5\n"
                   "largest=4294967295\n"
                   "wraps=4294967298\n");
  struct Case {
    const char* key;
    UINT expected;
  };
  const Case cases[] = {
      {"plain", 42u},        {"blanks", 17u},         {"plus", 8u},        {"minus", 0u - 3u},
      {"trailing", 12u},     {"inner blank", 1u},     {"letters", 0u},     {"empty", 0u},
      {"sign only", 0u},     {"hex", 0u},             {"blank after sign", 0u},
      {"largest", 0xFFFFFFFFu}, {"wraps", 2u},
  };
  for (const Case& c : cases) EXPECT_EQ(GetProfileInt("Numbers", c.key, 99), c.expected) << c.key;
}

}  // namespace
