// CUT_FTPClient against misbehaving_ftp.py on 127.0.0.2:21 (endless lines
// and replies, bad PASV replies, listings without end) and the active data
// port rule, in the test's own network namespace.
#include <zerth/CUT_FTPClient.h>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Misbehaving : CUT_FTPClient {
  explicit Misbehaving(const std::string& user) { EXPECT_EQ(Connect("127.0.0.2", user.c_str(), "x", ""), 0); }
};

// Listens on 127.0.0.1:port for the length of a test; false when taken.
struct Listener {
  explicit Listener(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 1) == 0;
  }
  ~Listener() { ::close(fd); }
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  bool ok = false;
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
    EXPECT_EQ(ftp.GetMultiLineResponse(static_cast<int>(CUT_FTPClient::kMaxReplyLines)), std::string()) << user;
  }
}

TEST(FtpFaultTest, BadPasvRepliesFailWithTheirCodes) {
  const struct {
    const char* reply;
    int result;
  } cases[] = {
      {"Entering Passive Mode 127,0,0,1,4,1", 3}, {"(127,0,0,1,4)", 3},        {"(127,0,0,1,4,", 3},
      {"(127,0,0,1,0,0)", 5},                     {"(127,0,0,1,4,256)", 5},    {"(127,0,0,1,x,1)", 5},
      {"(127,0,0,256,4,1)", 4},                   {"(255,255,255,255,4,1)", 4}, {"(127,0,0,1,0,1) ok", 6},
  };
  for (const auto& c : cases) {
    Misbehaving ftp(std::string("pasv:") + c.reply);
    ftp.SetFireWallMode(1);
    EXPECT_EQ(ftp.GetDirInfo(), c.result) << c.reply;
    EXPECT_EQ(ftp.NoOp(), 0) << c.reply << ": still in step";
  }
}

TEST(FtpFaultTest, ListingsBeyondTheBoundsAreCutAndFailThoughTheServerSaysDone) {
  for (const char* user : {"list-many", "list-longline"}) {
    Misbehaving ftp(user);
    ftp.SetFireWallMode(1);
    EXPECT_EQ(ftp.GetDirInfo(), 4) << user;
    EXPECT_EQ(ftp.GetDirInfoCount(), user[5] == 'm' ? static_cast<int>(CUT_FTPClient::kMaxDirEntries) : 0) << user;
  }
}

TEST(FtpFaultTest, ActiveModeTriesOneHundredAndTwentyEightDataPorts) {
  const int first = 20000;
  std::vector<std::unique_ptr<Listener>> taken;
  for (int port = first; port < first + 128; ++port) taken.push_back(std::make_unique<Listener>(port));
  CUT_FTPClient ftp;
  ASSERT_EQ(ftp.Connect("127.0.0.1", "ann", "secret", ""), 0);
  ftp.SetDataPort(first);
  EXPECT_EQ(ftp.GetDirInfo(), 1);
  taken.pop_back();
  ftp.SetDataPort(first);
  EXPECT_EQ(ftp.GetDirInfo(), 0) << "the 128th port is free";
}
