// CSystemInfo against the system's own tools (uname, /proc/meminfo, df),
// and the reading of os-release files.
#include "TestEnv.h"

#include <zerth/CSystemInfo.h>

#include <zplatform/SystemInfo.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>

namespace {

std::string Shell(const std::string& command) { return testenv::RunCommand(command + " | tr -d '\\n'"); }

TEST(CSystemInfo, DescribesLinuxMemoryAndRootDiskAsTheSystemToolsDo) {
  const CSystemInfo info;
  EXPECT_TRUE(info.getVersion() == CSystemInfo::Unknown && info.GetOSVersionString() == "Unknown");
  EXPECT_EQ(info.getDescription(), zplatform::DistributionName() + ", Linux " + Shell("uname -r"));
  EXPECT_EQ(info.getTotalRam(), Shell("awk '/^MemTotal:/ { print int($2 / 1024) }' /proc/meminfo") + " Mb");

  const std::string drives = info.GetDriveInfoString(), lines = "\n" + drives;
  EXPECT_TRUE(std::regex_match(drives, std::regex("(/[^\r\n]* [0-9]+ Mb\r\n)*"))) << drives;
  const std::string rootLine = "/ " + Shell("echo $(( $(df -B1 --output=size / | tail -1) >> 20 ))") + " Mb\r\n";
  const bool rootOnDisk = Shell("df --output=source / | tail -1").starts_with("/dev/");
  EXPECT_EQ(lines.find("\n" + rootLine) != std::string::npos, rootOnDisk) << drives;
  for (const char* pseudo : {"/proc ", "/sys ", "/dev ", "/dev/shm "})
    EXPECT_EQ(lines.find(std::string("\n") + pseudo), std::string::npos) << pseudo;
}

// PRETTY_NAME as a shell reads it (the last one wins), from /etc/os-release
// alone when it exists, else /usr/lib/os-release; else os-release(5)'s "Linux".
TEST(OsRelease, PrettyNameAsAShellReadsItFromEtcElseUsrLib) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n", "PRETTY_NAME=lib", "Debian GNU/Linux 12"},
      {"PRETTY_NAME=Arch\n", nullptr, "Arch"},
      {"PRETTY_NAME='Fedora \"39\" \\$x'", nullptr, "Fedora \"39\" \\$x"},
      {R"(PRETTY_NAME="A \"B\" \$C \\ \`D\` \n")", nullptr, R"(A "B" $C \ `D` \n)"},
      {"PRETTY_NAME=One\\ Two\"  three\"'!'\r\n", nullptr, "One Two  three!"},
      {"# PRETTY_NAME=no\nPRETTY_NAME=first\n  PRETTY_NAME=indented\nPRETTY_NAME=\"last\"", nullptr, "last"},
      {"PRETTY_NAME=\"tab\there\"", nullptr, "tab here"}, {"PRETTY_NAME=\"unclosed\n", nullptr, "Linux"},
      {"NAME=Debian\nID=debian\n", "PRETTY_NAME=lib", "Linux"}, {nullptr, "PRETTY_NAME=lib", "lib"},
      {nullptr, nullptr, "Linux"},
  };
  for (const auto& [etc, usrLib, name] : cases) {
    const testenv::TempDir root;
    if (etc) testenv::WriteFile(root.path() / "etc/os-release", etc);
    if (usrLib) testenv::WriteFile(root.path() / "usr/lib/os-release", usrLib);
    EXPECT_EQ(zplatform::DistributionName(root.str()), name) << (etc ? etc : "-");
  }
}

}  // namespace
