// CUT_WSClient over real loopback connections: lines, fixed-width lines,
// files, datagrams, connection states, look-ups, and the string helpers.
#include "LoopbackPeer.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using sockettest::LoopbackPeer;
using sockettest::OpenClient;
using sockettest::Waiting;

struct LineCase {
  const char* name;
  std::vector<std::string> segments;  // each sent once the client took the one before
  int maxLen;
  std::string line;  // what ReceiveLine returns
  std::string rest;  // what stays in the socket
};

class ReceiveLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReceiveLineTest, TakesTheLineAndNothingBeyondIt) {
  const LineCase& c = GetParam();
  LoopbackPeer peer;
  OpenClient client;
  ASSERT_TRUE(peer.Connect(client));
  peer.Send(c.segments[0]);
  const SOCKET s = client.GetSocket();
  while (Waiting(s) < static_cast<int>(c.segments[0].size())) std::this_thread::yield();
  std::thread later([&] {
    for (std::size_t i = 1; i < c.segments.size(); ++i) {
      while (Waiting(s) != 0) std::this_thread::yield();  // the client took what came before
      peer.Send(c.segments[i]);
    }
  });
  std::vector<char> buffer(static_cast<std::size_t>(c.maxLen) + 16, '#');
  const int got = client.ReceiveLine(buffer.data(), c.maxLen, 5);
  later.join();
  EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(got)), c.line);
  EXPECT_EQ(buffer[static_cast<std::size_t>(got)], '\0');
  EXPECT_EQ(std::string(buffer.begin() + c.maxLen, buffer.end()), std::string(16, '#')) << "written past maxLen";
  std::string rest(64, '\0');
  const int left = c.rest.empty() ? Waiting(s) : client.Receive(rest.data(), 64, 5);
  EXPECT_EQ(rest.substr(0, static_cast<std::size_t>(std::max(left, 0))), c.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveLineTest,
    ::testing::Values(LineCase{"FirstOfTwoLines", {"abc\r\ndef\r\n"}, 100, "abc\r\n", "def\r\n"},
                      LineCase{"SmallBufferCutsTheLine", {"abcdef\r\n"}, 4, "abc", "def\r\n"},
                      LineCase{"CrEndsOneSegmentLfStartsTheNext", {"abc\r", "\ndef"}, 100, "abc\r\n", "def"},
                      LineCase{"ByteAfterALoneCrEndsTheLine", {"abc\r", "xyz\r\n"}, 100, "abc\rx", "yz\r\n"},
                      LineCase{"LineInThreePieces", {"ab", "cd", "e\r\nf"}, 100, "abcde\r\n", "f"},
                      LineCase{"EndlessLineStopsAtMaxLen", {std::string(5000, 'x')}, 100, std::string(99, 'x'), std::string(64, 'x')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReceiveLine, GivesWhatCameWhenThePeerClosesOrFallsSilent) {
  LoopbackPeer peer;
  OpenClient client;
  ASSERT_TRUE(peer.Connect(client));
  char buffer[32] = "unchanged";
  EXPECT_EQ(client.ReceiveLine(buffer, sizeof buffer, 1), 0);
  EXPECT_STREQ(buffer, "unchanged");
  peer.Send("no end");
  peer.Close();
  EXPECT_EQ(client.ReceiveLine(buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "no end");
}

struct SendAsLineCase {
  const char* data;
  int len;
  int lineLen;
  const char* wire;
  int result;
};

TEST(SendAsLine, SendsFixedWidthLinesEachEndedByCrLf) {
  const SendAsLineCase cases[] = {{"abcdefghij", -1, 4, "abcd\r\nefgh\r\nij\r\n", 10},
                                  {"abcdefgh", 8, 4, "abcd\r\nefgh\r\n", 8},
                                  {"abcdef", 3, 10, "abc\r\n", 3},
                                  {"abcdef", 0, 4, "", 0},
                                  {"abcdef", -1, 0, "", 0},
                                  {"abcdef", -1, -3, "", 0}};
  for (const auto& c : cases) {
    LoopbackPeer peer;
    OpenClient client;
    ASSERT_TRUE(peer.Connect(client));
    EXPECT_EQ(client.SendAsLine(c.data, c.len, c.lineLen), c.result) << c.data << " " << c.lineLen;
    client.CloseConnection();
    EXPECT_EQ(peer.ReadAll(), c.wire) << c.data << " " << c.lineLen;
  }
}

// Records the status calls and cancels at the call given.
class StatusClient : public OpenClient {
public:
  int cancelAt = 0;
  std::vector<long> calls;
  int ReceiveFileStatus(long bytes) override { return Note(bytes); }
  int SendFileStatus(long bytes) override { return Note(bytes); }

private:
  int Note(long bytes) {
    calls.push_back(bytes);
    return static_cast<int>(calls.size()) == cancelAt ? 0 : 1;
  }
};

std::string Bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919) >> 3);
  return bytes;
}

TEST(SendFile, SendsTheFileInBlocksUntilTheStatusCancels) {
  testenv::TempDir dir;
  const auto path = dir.path() / "out.bin";
  const std::string content = Bytes(50000);
  testenv::WriteFile(path, content);
  for (int cancelAt : {0, 1}) {
    LoopbackPeer peer;
    StatusClient client;
    client.cancelAt = cancelAt;
    ASSERT_TRUE(peer.Connect(client));
    long sent = -1;
    EXPECT_EQ(client.SendFile(path.c_str(), &sent), 0);
    client.CloseConnection();
    const std::size_t expected = cancelAt == 1 ? 20480 : content.size();
    EXPECT_EQ(sent, static_cast<long>(expected));
    const std::vector<long> calls = cancelAt == 1 ? std::vector<long>{20480} : std::vector<long>{20480, 40960, 50000};
    EXPECT_EQ(client.calls, calls);
    EXPECT_TRUE(peer.ReadAll() == content.substr(0, expected)) << "cancel at " << cancelAt;
  }
}

TEST(SendFile, ReportsAFileThatCannotBeReadAndNeverDiesOfAClosedPeer) {
  testenv::TempDir dir;
  LoopbackPeer peer;
  OpenClient client;
  ASSERT_TRUE(peer.Connect(client));
  long sent = -1;
  EXPECT_EQ(client.SendFile((dir.path() / "missing").c_str(), &sent), 1);
  EXPECT_EQ(client.SendFile(dir.str().c_str(), &sent), 1) << "a folder opens but cannot be read";
  const auto path = dir.path() / "big.bin";
  testenv::WriteFile(path, Bytes(1 << 20));
  peer.Reset();
  // Sending into a reset connection fails (first the reset, then a broken
  // pipe) without SIGPIPE ending the test.
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(client.SendFile(path.c_str(), &sent), 2);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
  }
}

TEST(ReceiveToFile, WritesCreatesAppendsCancelsAndRefusesModes) {
  testenv::TempDir dir;
  const auto path = dir.path() / "in.bin";
  const std::string content = Bytes(70000);
  struct Case {
    int mode, cancelAt, seconds, closePeer, result;
    std::string file;
  } const cases[] = {{1, 0, 0, 1, 0, content}, {2, 0, 0, 1, 0, "old" + content}, {3, 0, 0, 1, 1, "old"},
                     {1, 1, 0, 1, 6, ""},      {1, 0, 1, 0, 3, content}};
  for (const auto& c : cases) {
    testenv::WriteFile(path, "old");
    LoopbackPeer peer;
    StatusClient client;
    client.cancelAt = c.cancelAt;
    ASSERT_TRUE(peer.Connect(client));
    std::thread sender([&] {
      peer.Send(content);
      if (c.closePeer) peer.Close();
    });
    long received = -1;
    EXPECT_EQ(client.ReceiveToFile(path.c_str(), c.mode, &received, c.seconds), c.result) << c.mode;
    sender.join();
    const std::string file = testenv::ReadFile(path);
    if (c.cancelAt == 1) {
      EXPECT_EQ(client.calls.size(), 1u);
      EXPECT_EQ(file.size(), static_cast<std::size_t>(received));
    } else {
      EXPECT_TRUE(file == c.file) << "mode " << c.mode << ": " << file.size() << " bytes";
    }
  }
}

TEST(Connect, RefusesASecondConnectionBadAddressesAndAPortNobodyListensOn) {
  LoopbackPeer peer;
  OpenClient client;
  ASSERT_TRUE(peer.Connect(client));
  EXPECT_EQ(client.Connect(peer.port(), "127.0.0.1"), 1);
  EXPECT_EQ(client.Send("still", 0), 5) << "the first connection is left alone";
  client.CloseConnection();
  EXPECT_EQ(peer.ReadAll(), "still");

  const unsigned closedPort = LoopbackPeer().port();
  for (int sendTimeOut : {10000, 0}) {
    OpenClient refused;
    refused.SetSendTimeOut(sendTimeOut);
    EXPECT_EQ(refused.Connect(closedPort, "127.0.0.1"), 3) << "send time-out " << sendTimeOut;
    EXPECT_EQ(refused.GetSocket(), INVALID_SOCKET);
  }
  const std::string longAddress = "127.0.0.1" + std::string(21, ' ');  // 30 characters
  OpenClient bad;
  EXPECT_EQ(bad.Connect(peer.port(), longAddress.c_str()), 3);
  EXPECT_STREQ(bad.m_szAddress, "");
  EXPECT_EQ(bad.Connect(peer.port(), "not.an.address"), 3);
  EXPECT_EQ(bad.CloseConnection(), 0);
}

TEST(Server, ListensAcceptsAndTalksToAClient) {
  OpenClient server, client;
  const unsigned port = LoopbackPeer().port();  // free a moment ago
  ASSERT_EQ(server.WaitForConnect(static_cast<unsigned short>(port), 1, AF_INET, htonl(INADDR_LOOPBACK)), 0);
  EXPECT_EQ(server.WaitForConnect(static_cast<unsigned short>(port)), 1);
  EXPECT_EQ(server.WaitForAccept(0), 1);
  ASSERT_EQ(client.Connect(port, "127.0.0.1"), 0);
  EXPECT_EQ(server.WaitForAccept(5), 0);
  ASSERT_EQ(server.AcceptConnection(), 0);
  EXPECT_EQ(server.m_clientSocketAddr.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  client.Send("hello\r\n", 0);
  char line[16];
  EXPECT_EQ(server.ReceiveLine(line, sizeof line, 5), 7);
  char address[16];
  EXPECT_EQ(client.GetHostAddress(address, sizeof address, 1), 0);
  EXPECT_STREQ(address, "127.0.0.1");
  EXPECT_EQ(client.GetHostAddress(address, 4, 1), 0);
  EXPECT_STREQ(address, "127");
  EXPECT_EQ(server.CloseConnection(), 0);
  EXPECT_EQ(server.IsConnected(), 0);
}

TEST(IsConnected, FollowsThePeerThroughDataCloseAndReset) {
  for (bool reset : {false, true}) {
    LoopbackPeer peer;
    OpenClient client;
    ASSERT_TRUE(peer.Connect(client));
    EXPECT_EQ(client.IsConnected(), 1);
    peer.Send("x");
    while (client.IsDataWaiting() == 0) std::this_thread::yield();
    EXPECT_EQ(client.IsConnected(), 1) << "data waits";
    EXPECT_EQ(client.ClearReceiveBuffer(), 0);
    EXPECT_EQ(client.IsDataWaiting(), 0);
    reset ? peer.Reset() : peer.Close();
    EXPECT_EQ(client.WaitForReceive(5, 0), 0);
    EXPECT_EQ(client.IsConnected(), 0) << (reset ? "reset" : "closed");
  }
}

TEST(Udp, SendsAndReceivesADatagramOnLoopback) {
  OpenClient receiver, sender;
  ASSERT_EQ(receiver.CreateUDPSocket(0, 0, "127.0.0.1", "127.0.0.1"), 0);
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(receiver.GetSocket(), reinterpret_cast<sockaddr*>(&bound), &length);
  ASSERT_EQ(sender.CreateUDPSocket(0, ntohs(bound.sin_port), "127.0.0.1"), 0);
  EXPECT_EQ(sender.CreateUDPSocket(0, 1, "127.0.0.1"), 1);
  char buffer[32] = {};
  int len = sizeof buffer;
  EXPECT_EQ(receiver.ReceiveFrom(buffer, len, 0), 2);
  len = 5;
  EXPECT_EQ(sender.SendTo("hello", len), 0);
  EXPECT_EQ(len, 5);
  len = sizeof buffer;
  EXPECT_EQ(receiver.ReceiveFrom(buffer, len, 5), 0);
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(len)), "hello");
  EXPECT_EQ(receiver.m_clientSocketAddr.sin_addr.s_addr, htonl(INADDR_LOOPBACK));

  OpenClient unfit;
  ASSERT_EQ(unfit.CreateUDPSocket(0, 9, "127.0.0.1                     "), 0);
  len = 5;
  EXPECT_EQ(unfit.SendTo("hello", len), 2) << "an address that did not fit was not cut";
}

TEST(Names, LookUpAddressesAndNames) {
  OpenClient client;
  char text[64];
  EXPECT_EQ(client.GetAddressFromName("someone@localhost", text, sizeof text), 0);
  EXPECT_STREQ(text, "127.0.0.1");
  EXPECT_EQ(client.GetAddressFromName("localhost", text, 9), 1);
  EXPECT_EQ(client.GetAddressFromName("no-such-host.invalid", text, sizeof text), 2);
  EXPECT_EQ(client.GetNameFromAddress("127.0.0.1", text, sizeof text), 0);
  EXPECT_STREQ(text, "localhost");
  EXPECT_EQ(client.IsIPAddress("10.1.2.3"), 1);
  EXPECT_EQ(client.IsIPAddress("255.255.255.255"), 0);
}

struct PieceCase {
  const char* text;
  const char* separators;
  int index;
  int maxLen;
  int result;
  const char* piece;
};

TEST(ParseString, FindsPiecesWithinTheirBound) {
  const PieceCase cases[] = {{"  a  b", " ", 1, 10, 0, "b"},     {"  a  b", " ", 2, 10, 1, ""},
                             {"  a  b", " ", 0, 10, 0, "a"},     {"key: value\r\n", ": \r\n", 1, 10, 0, "value"},
                             {"abcd", ",", 0, 4, 1, ""},         {"abcd", ",", 0, 5, 0, "abcd"},
                             {"a,b", "", 0, 10, 1, ""},          {"a,b", ",", -1, 10, 1, ""},
                             {"", ",", 0, 10, 1, ""},            {",,,", ",", 0, 10, 1, ""}};
  OpenClient client;
  for (const auto& c : cases) {
    char piece[16] = "junk";
    EXPECT_EQ(client.ParseString(c.text, c.separators, c.index, piece, c.maxLen), c.result) << c.text << c.index;
    EXPECT_STREQ(piece, c.piece) << c.text << c.index;
  }
  char piece[4] = "x";
  EXPECT_EQ(client.ParseString(nullptr, ",", 0, piece, 4) + client.ParseString("a", nullptr, 0, piece, 4), 2);
  long value = -7;
  EXPECT_EQ(client.ParseString("227 x 1234", " ", 2, &value), 0);
  EXPECT_EQ(value, 1234);
  EXPECT_EQ(client.ParseString(("1 " + std::string(60, '9')).c_str(), " ", 1, &value), 1);
  EXPECT_EQ(value, 1234) << "a piece of 60 characters is too long and changes nothing";

  const std::pair<const char*, int> counts[] = {{"a,,b,", 2}, {"", 0}, {",,", 0}, {"abc", 1}, {" a b c ", 3}};
  for (const auto& [text, count] : counts) EXPECT_EQ(client.GetParseStringPieces(text, ", "), count) << text;
  EXPECT_EQ(client.GetParseStringPieces("a,b", ""), 1);
}

TEST(LineEnds, RemoveCrLfAndEndWithCrLf) {
  const std::pair<const char*, const char*> cases[] = {{"abc\r\n", "abc"}, {"abc\n", "abc"}, {"abc\r", "abc"},
                                                       {"\r", ""},         {"a", "a"},        {"ab\rc", "ab"},
                                                       {"", ""},           {"\n\n", ""}};
  OpenClient client;
  for (const auto& [text, cut] : cases) {
    std::string line = text;
    EXPECT_EQ(client.EndWithCRLF(line.c_str()), !line.empty() && (line.back() == '\r' || line.back() == '\n'));
    client.RemoveCRLF(line.data());
    EXPECT_STREQ(line.c_str(), cut) << text;
  }
}

TEST(Winsock, MapsErrnoAndKeepsASetError) {
  const std::pair<int, int> codes[] = {{EWOULDBLOCK, WSAEWOULDBLOCK}, {EINPROGRESS, WSAEINPROGRESS}, {EBADF, WSAENOTSOCK},
                                       {EPIPE, WSAECONNRESET}, {ECONNREFUSED, WSAECONNREFUSED}, {0, 0}};
  for (const auto& [error, code] : codes) EXPECT_EQ(WSAErrorFromErrno(error), code) << error;
  WSASetLastError(WSAHOST_NOT_FOUND);
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK) << "a later failure replaces the set code";
}

}  // namespace
