// CUT_FTPClient against misbehaving_ftp.py on 127.0.0.2:21, and the active
// data port rule, in the test's own network namespace.
#include <zerth/CUT_FTPClient.h>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

struct Misbehaving : CUT_FTPClient {
  explicit Misbehaving(const std::string& user, int passive = 0) {
    EXPECT_EQ(Connect("127.0.0.2", user.c_str(), "x", ""), 0);
    SetFireWallMode(passive);
  }
};

}  // namespace

TEST(FtpFaultTest, ALongReplyLineIsCutAndTheNextReplyStillReadsRight) {
  Misbehaving ftp("longline");
  EXPECT_EQ(ftp.NoOp(), 0);
  EXPECT_EQ(std::string(ftp.GetLastResponse()), "200 " + std::string(251, 'x')) << "cut to the 255-byte line buffer";
  EXPECT_EQ(ftp.NoOp(), 0);
  EXPECT_STREQ(ftp.GetLastResponse(), "200 OK.");
}

TEST(FtpFaultTest, EndlessReplyLinesAndRepliesEndTheConnectionNotTheMemory) {
  for (const char* user : {"endless", "endless-ml"}) {
    Misbehaving ftp(user);
    EXPECT_EQ(ftp.NoOp(), 1) << user;
    EXPECT_EQ(ftp.NoOp(), 1) << user << ": the control connection is closed";
  }
}

TEST(FtpFaultTest, BadPasvRepliesFailWithTheirCodes) {
  const std::pair<const char*, int> cases[] = {
      {"Entering Passive Mode 127,0,0,1,4,1", 3}, {"(127,0,0,1,4)", 3}, {"(127,0,0,1,4,", 3},
      {"(127,0,0,1,0,0)", 5}, {"(127,0,0,1,4,256)", 5}, {"(127,0,0,1,x,1)", 5}, {"(127,0,0,256,4,1)", 4},
      {"(255,255,255,255,4,1)", 4}, {"(127,0,0,1,0,1) ok", 6},
  };
  for (const auto& [reply, result] : cases) {
    Misbehaving ftp(std::string("pasv:") + reply, 1);
    EXPECT_EQ(ftp.GetDirInfo(), result) << reply;
    EXPECT_EQ(ftp.NoOp(), 0) << reply << ": still in step";
  }
}

TEST(FtpFaultTest, ListingsBeyondTheBoundsAreCutAndFailThoughTheServerSaysDone) {
  for (const auto& [user, count] : {std::pair{"list-many", CUT_FTPClient::kMaxDirEntries}, {"list-longline", 0ul}}) {
    Misbehaving ftp(user, 1);
    EXPECT_EQ(ftp.GetDirInfo(), 4) << user;
    EXPECT_EQ(ftp.GetDirInfoCount(), static_cast<int>(count)) << user;
  }
}

TEST(FtpFaultTest, ActiveModeTriesOneHundredAndTwentyEightDataPorts) {
  std::vector<int> taken;  // listening sockets on ports 20000 to 20127
  for (int port = 20000; port < 20128; ++port) {
    taken.push_back(::socket(AF_INET, SOCK_STREAM, 0));
    const sockaddr_in address{AF_INET, htons(static_cast<std::uint16_t>(port)), {}, {}};
    ASSERT_EQ(::bind(taken.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken.back(), 1), 0);
  }
  CUT_FTPClient ftp;
  ASSERT_EQ(ftp.Connect("127.0.0.1", "ann", "secret", ""), 0);
  ftp.SetDataPort(20000);
  EXPECT_EQ(ftp.GetDirInfo(), 1);
  ::close(taken.back());
  ftp.SetDataPort(20000);
  EXPECT_EQ(ftp.GetDirInfo(), 0) << "the 128th port is free";
  for (int fd : taken) ::close(fd);
}
