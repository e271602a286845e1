// CSystemInfo against the system's own tools (uname, /proc/meminfo, df),
// and the reading of os-release files.
#include "TestEnv.h"

#include <zerth/CSystemInfo.h>

#include <zplatform/SystemInfo.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

std::string Trimmed(const std::string& command) {
  std::string out = testenv::RunCommand(command);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

TEST(CSystemInfo, DescribesLinuxMemoryAndRootDiskAsTheSystemToolsDo) {
  const CSystemInfo info;
  EXPECT_EQ(info.getVersion(), CSystemInfo::Unknown);
  EXPECT_EQ(info.GetOSVersionString(), "Unknown");
  EXPECT_EQ(info.getDescription(), zplatform::DistributionName() + ", Linux " + Trimmed("uname -r"));
  EXPECT_EQ(info.getTotalRam(), Trimmed("awk '/^MemTotal:/ { print int($2 / 1024) }' /proc/meminfo") + " Mb");

  const std::string drives = info.GetDriveInfoString(), lines = "\n" + drives;
  EXPECT_TRUE(std::regex_match(drives, std::regex("(/[^\r\n]* [0-9]+ Mb\r\n)*"))) << drives;
  const std::string rootLine = "/ " + Trimmed("echo $(( $(df -B1 --output=size / | tail -1) >> 20 ))") + " Mb\r\n";
  const bool rootOnDisk = Trimmed("df --output=source / | tail -1").starts_with("/dev/");
  EXPECT_EQ(lines.find("\n" + rootLine) != std::string::npos, rootOnDisk) << drives;
  for (const char* pseudo : {"/proc ", "/sys ", "/dev ", "/dev/shm "})
    EXPECT_EQ(lines.find(std::string("\n") + pseudo), std::string::npos) << pseudo;
}

TEST(OsRelease, PrettyNameUnquotedAsAShellWould) {
  const std::pair<std::string, std::string> cases[] = {
      {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Debian GNU/Linux 12 (bookworm)"},
      {"PRETTY_NAME=Arch\n", "Arch"},
      {"PRETTY_NAME='Fedora \"39\" \\$x'", "Fedora \"39\" \\$x"},
      {R"(PRETTY_NAME="A \"B\" \$C \\ \`D\` \n")", R"(A "B" $C \ `D` \n)"},
      {"PRETTY_NAME=One\\ Two\"  three\"'!'\r\n", "One Two  three!"},
      {"# PRETTY_NAME=no\nPRETTY_NAME=first\n  PRETTY_NAME=indented\nPRETTY_NAME=\"last\"", "last"},
      {"PRETTY_NAME=\"tab\there\"", "tab here"},
      {"PRETTY_NAME=\"unclosed\n", ""},
      {"NAME=Debian\nID=debian\n", ""},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(zplatform::OsReleasePrettyName(text), name) << text;
}

// /etc/os-release alone when it exists, /usr/lib/os-release otherwise, and
// os-release(5)'s "Linux" when the one read names nothing.
TEST(OsRelease, EtcFirstThenUsrLibThenLinux) {
  const struct {
    const char* etc;
    const char* usrLib;
    const char* name;
  } cases[] = {
      {"PRETTY_NAME=etc", "PRETTY_NAME=lib", "etc"},
      {nullptr, "PRETTY_NAME=lib", "lib"},
      {"NAME=etc", "PRETTY_NAME=lib", "Linux"},
      {nullptr, nullptr, "Linux"},
  };
  for (const auto& c : cases) {
    const testenv::TempDir root;
    if (c.etc) testenv::WriteFile(root.path() / "etc/os-release", c.etc);
    if (c.usrLib) testenv::WriteFile(root.path() / "usr/lib/os-release", c.usrLib);
    EXPECT_EQ(zplatform::DistributionName(root.str()), c.name);
  }
}

}  // namespace
