#include "TestEnv.h"

#include <zplatform/ProgramDir.h>

#include <gtest/gtest.h>

using testenv::ScopedEnv;

// ProgramDirOf: "" for the root, "." (never "") for an unknown path, as callers append "/name".
TEST(ProgramDirTest, IsTheFolderOfTheRunningExecutable) {
  EXPECT_EQ(zplatform::ProgramDir(), std::string(TARVO_BINARY_DIR) + "/tests/bin");
  EXPECT_EQ(zplatform::ProgramPath(), zplatform::ProgramDir() + "/zplatform_services_tests");
  EXPECT_EQ(zplatform::ProgramDirOf("/opt/tarvo/bin/tarvo"), "/opt/tarvo/bin");
  EXPECT_EQ(zplatform::ProgramDirOf("/tarvo"), "");
  EXPECT_EQ(zplatform::ProgramDirOf(""), ".");
}

TEST(ProgramDirTest, UserFoldersFollowXdgAndIgnoreRelativeValues) {
  ScopedEnv home("HOME", "/home/ann");
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/cfg"), data("XDG_DATA_HOME", "/dat");
    EXPECT_EQ(zplatform::UserConfigDir(), "/cfg/zerth");
    EXPECT_EQ(zplatform::UserDataDir(), "/dat/zerth");
  }
  ScopedEnv config("XDG_CONFIG_HOME", "relative/cfg"), data("XDG_DATA_HOME", "");
  EXPECT_EQ(zplatform::UserConfigDir(), "/home/ann/.config/zerth");
  EXPECT_EQ(zplatform::UserDataDir(), "/home/ann/.local/share/zerth");
}
