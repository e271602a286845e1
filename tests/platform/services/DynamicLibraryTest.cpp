// The program's and the user's folders; LoadLibrary and friends: Windows
// names, the search order, entry points.
#include "TestEnv.h"

#include <zplatform/DynamicLibrary.h>
#include <zplatform/ProgramDir.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
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

TEST(DynamicLibraryTest, WindowsNamesMapToSharedObjects) {
  const std::pair<const char*, const char*> cases[] = {
      {"MAPI32.DLL", "libmapi32.so"}, {"Wab32.dll", "libwab32.so"}, {"libfoo.so", "libfoo.so"},
      {"/opt/x/MAPI32.DLL", "/opt/x/MAPI32.DLL"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(zplatform::MapLibraryName(in), out) << in;
}

TEST(DynamicLibraryTest, SearchLooksInProgramFolderBeforePath) {
  testenv::TempDir first, second;
  testenv::WriteFile(second.path() / "libzptest.so", "x");
  fs::create_directory(first.path() / "libzpdir.so");  // a folder is not a library
  ScopedEnv path("PATH", first.str() + "::" + second.str());
  EXPECT_EQ(zplatform::SearchLibrary("ZPTEST.DLL"), (second.path() / "libzptest.so").string());
  EXPECT_EQ(zplatform::SearchLibrary("ZPDIR.DLL"), "");

  const fs::path besideProgram = fs::path(zplatform::ProgramDir()) / "libzptest.so";
  testenv::WriteFile(besideProgram, "x");
  EXPECT_EQ(zplatform::SearchLibrary("ZPTEST.DLL"), besideProgram.string());
  fs::remove(besideProgram);
}

TEST(DynamicLibraryTest, LoadsFindsEntryPointsFreesAndSaysWhyNot) {
  ScopedEnv path("PATH", TEST_NOENTRY_DIR);
  HMODULE module = LoadLibrary("MAPI32.DLL");
  ASSERT_NE(module, nullptr) << zplatform::LastLoadError();
  EXPECT_NE(GetProcAddress(module, "MAPILogon"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "MAPISendMail"), nullptr);
  EXPECT_EQ(FreeLibrary(module), TRUE);

  // Once unloaded, a module is searched for again; while it is loaded, asking
  // for its name gives it wherever the search would lead now.
  {
    ScopedEnv elsewhere("PATH", TEST_PROVIDER_DIR);
    module = LoadLibrary("MAPI32.DLL");
    ASSERT_NE(module, nullptr) << zplatform::LastLoadError();
    EXPECT_NE(GetProcAddress(module, "MAPISendMail"), nullptr);
  }
  HMODULE again = LoadLibrary("MAPI32.DLL");
  EXPECT_EQ(again, module);
  EXPECT_EQ(FreeLibrary(again), TRUE);
  EXPECT_EQ(FreeLibrary(module), TRUE);

  EXPECT_EQ(LoadLibrary("NOSUCHLIB.DLL"), nullptr);
  EXPECT_NE(zplatform::LastLoadError().find("libnosuchlib.so"), std::string::npos);
  EXPECT_EQ(LoadLibrary(nullptr), nullptr);
}
