// CUT_WSClient over real loopback connections: lines, fixed-width lines,
// files, datagrams, connection states, look-ups, the string helpers, and the
// asynchronous notifications through a Qt event loop.
#include "TestEnv.h"

#include <zerth/CUT_WSClient.h>
#include <zplatform/UniqueFd.h>

#include <QCoreApplication>
#include <QThread>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// A client that shows its protected state to the tests.
struct OpenClient : CUT_WSClient {
  using CUT_WSClient::m_clientSocketAddr, CUT_WSClient::m_szAddress;
};

// The far end of a connection: a plain listening socket that accepts the
// client and then sends, reads or closes on demand.
class LoopbackPeer {
public:
  LoopbackPeer() : m_listener(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in self{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof self;
    ::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&self), sizeof self);
    ::listen(m_listener.get(), 4);
    ::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&self), &length);
    m_port = ntohs(self.sin_port);
  }
  unsigned port() const { return m_port; }
  // Connects client and accepts it here; false when either side failed.
  bool Connect(CUT_WSClient& client) {
    if (client.Connect(m_port, "127.0.0.1") != 0) return false;
    m_peer = zplatform::UniqueFd(::accept(m_listener.get(), nullptr, nullptr));
    return m_peer.valid();
  }
  void Send(const std::string& bytes) const { ::send(m_peer.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // Everything until the client closes.
  std::string ReadAll() const {
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(m_peer.get(), buffer, sizeof buffer, 0)) > 0;) all.append(buffer, static_cast<size_t>(n));
    return all;
  }
  void Close() { m_peer.close(); }
  // Closes with a reset instead of an orderly end.
  void Reset() {
    linger abort{1, 0};
    ::setsockopt(m_peer.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    m_peer.close();
  }

private:
  zplatform::UniqueFd m_listener, m_peer;
  unsigned m_port = 0;
};

// Bytes waiting to be read on s.
int Waiting(SOCKET s) {
  u_long count = 0;
  return ioctlsocket(s, static_cast<long>(FIONREAD), &count) == 0 ? static_cast<int>(count) : -1;
}

TEST(ReceiveLine, TakesTheLineAndNothingBeyondIt) {
  const struct {
    std::vector<std::string> segments;  // each sent once the client took the one before
    int maxLen;
    std::string line, rest;  // what ReceiveLine returns, what stays in the socket
  } cases[] = {{{"abc\r\ndef\r\n"}, 100, "abc\r\n", "def\r\n"},
               {{"abcdef\r\n"}, 4, "abc", "def\r\n"},
               {{"abc\r", "\ndef"}, 100, "abc\r\n", "def"},  // CR ends one segment, LF starts the next
               {{"abc\r", "xyz\r\n"}, 100, "abc\rx", "yz\r\n"},  // the byte after a lone CR ends the line
               {{"ab", "cd", "e\r\nf"}, 100, "abcde\r\n", "f"},
               {{std::string(5000, 'x')}, 100, std::string(99, 'x'), std::string(64, 'x')}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.segments[0].substr(0, 8));
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
    const int left = client.Receive(rest.data(), 64, 5);
    EXPECT_EQ(rest.substr(0, static_cast<std::size_t>(std::max(left, 0))), c.rest);
  }
}

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

TEST(SendAsLine, SendsFixedWidthLinesEachEndedByCrLf) {
  const struct { const char* data; int len, lineLen; const char* wire; int result; } cases[] = {
      {"abcdefghij", -1, 4, "abcd\r\nefgh\r\nij\r\n", 10}, {"abcdefgh", 8, 4, "abcd\r\nefgh\r\n", 8},
      {"abcdef", 3, 10, "abc\r\n", 3}, {"abcdef", 0, 4, "", 0}, {"abcdef", -1, 0, "", 0}, {"abcdef", -1, -3, "", 0}};
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
struct StatusClient : OpenClient {
  int cancelAt = 0;
  std::vector<long> calls;
  int ReceiveFileStatus(long bytes) override { return SendFileStatus(bytes); }
  int SendFileStatus(long bytes) override { return calls.push_back(bytes), static_cast<int>(calls.size()) != cancelAt; }
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
    EXPECT_EQ(client.calls, (cancelAt == 1 ? std::vector<long>{20480} : std::vector<long>{20480, 40960, 50000}));
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
  const struct { int mode, cancelAt, seconds, closePeer, result; std::string file; } cases[] = {
      {1, 0, 0, 1, 0, content}, {2, 0, 0, 1, 0, "old" + content}, {3, 0, 0, 1, 1, "old"}, {1, 1, 0, 1, 6, ""},
      {1, 0, 1, 0, 3, content}};
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
  OpenClient receiver, sender, unfit;
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
}

TEST(ParseString, FindsPiecesWithinTheirBound) {
  // The pieces and their bounds on any text are the fuzz target's; here the refusals.
  const struct { const char *text, *separators; int index, maxLen, result; const char* piece; } cases[] = {
      {"key: value\r\n", ": \r\n", 1, 10, 0, "value"}, {"abcd", ",", 0, 4, 1, ""}, {"abcd", ",", 0, 5, 0, "abcd"},
      {"a,b", "", 0, 10, 1, ""}, {"a,b", ",", -1, 10, 1, ""}};
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
}

TEST(LineEnds, RemoveCrLfAndEndWithCrLf) {
  const std::pair<const char*, const char*> cases[] = {
      {"abc\r\n", "abc"}, {"abc\n", "abc"}, {"\r", ""}, {"a", "a"}, {"ab\rc", "ab"}, {"", ""}};
  OpenClient client;
  for (const auto& [text, cut] : cases) {
    std::string line = text;
    EXPECT_EQ(client.EndWithCRLF(line.c_str()), !line.empty() && (line.back() == '\r' || line.back() == '\n'));
    client.RemoveCRLF(line.data());
    EXPECT_STREQ(line.c_str(), cut) << text;
  }
}

class AsyncClient : public CUT_WSClient {
public:
  static constexpr int kName = 1000, kAddress = 1001;  // noted beside the FD_* events
  void OnAsyncNotify(int event, int error) override {
    Record(event, error);
    if (event == FD_READ) {
      char buffer[64];
      received.append(buffer, static_cast<std::size_t>(std::max(Receive(buffer, sizeof buffer), 0)));
    }
    if (event == FD_CLOSE) CloseConnection();  // closing from inside the notification
  }
  void OnAsyncGetNameNotify(int error) override { Record(kName, error); }
  void OnAsyncGetAddressNotify(int error) override { Record(kAddress, error); }
  bool Saw(int kind) const { return std::ranges::any_of(notes, [kind](auto note) { return note.first == kind; }); }
  int LastError() const { return notes.back().second; }
  const hostent& Entry() const { return *reinterpret_cast<const hostent*>(m_hostEntBuffer); }

  std::vector<std::pair<int, int>> notes;  // kind, error
  std::string received;
  QThread* thread = nullptr;

private:
  void Record(int kind, int error) { thread = QThread::currentThread(), notes.emplace_back(kind, error); }
};

// The Qt event loop that delivers the notifications, in the test's thread.
struct Async : ::testing::Test {
  int argc = 0;
  QCoreApplication app{argc, nullptr};
};

TEST_F(Async, ReportsWriteReadCloseAndResetInTheInitAsyncThread) {
  LoopbackPeer peer;
  AsyncClient client;
  EXPECT_EQ(client.SetAsyncNotify(FD_READ), 1);  // no window yet
  EXPECT_EQ(client.InitAsync(nullptr), 0);
  ASSERT_TRUE(peer.Connect(client));
  EXPECT_EQ(client.SetAsyncNotify(FD_READ | FD_WRITE | FD_CLOSE), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.Saw(FD_WRITE); }, 10000));
  EXPECT_FALSE(client.Saw(FD_READ));
  peer.Send("ping");
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.received == "ping"; }, 10000)) << client.received;
  peer.Send("pong");
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.received == "pingpong"; }, 10000)) << client.received;
  peer.Close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.Saw(FD_CLOSE); }, 10000));
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_EQ(client.thread, QThread::currentThread());
  EXPECT_EQ(client.GetSocket(), INVALID_SOCKET);
  const auto count = client.notes.size();
  QTest::qWait(50);
  EXPECT_EQ(client.notes.size(), count);  // nothing after the socket closed

  LoopbackPeer resetPeer;
  AsyncClient reset;
  EXPECT_EQ(reset.InitAsync(nullptr), 0);
  ASSERT_TRUE(resetPeer.Connect(reset));
  EXPECT_EQ(reset.SetAsyncNotify(FD_CLOSE), 0);
  resetPeer.Reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return reset.Saw(FD_CLOSE); }, 10000));
  EXPECT_EQ(reset.LastError(), WSAECONNRESET);  // a reset is a close with its error
}

TEST_F(Async, LooksUpAddressAndNameIntoTheHostEntryBuffer) {
  AsyncClient client;
  EXPECT_EQ(client.AsyncGetAddressFromName("localhost", nullptr, 0), 1);  // no window yet
  EXPECT_EQ(client.InitAsync(nullptr), 0);
  EXPECT_EQ(client.AsyncGetAddressFromName("someone@localhost", nullptr, 0), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.Saw(AsyncClient::kAddress); }, 10000));
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_EQ(client.Entry().h_addrtype, AF_INET);
  EXPECT_EQ(*reinterpret_cast<const in_addr_t*>(client.Entry().h_addr_list[0]), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(client.Entry().h_aliases[0], nullptr);

  EXPECT_EQ(client.AsyncGetNameFromAddress("127.0.0.1", nullptr, 0), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.Saw(AsyncClient::kName); }, 10000));
  EXPECT_EQ(client.LastError(), 0);
  EXPECT_STREQ(client.Entry().h_name, "localhost");
  EXPECT_EQ(client.Entry().h_addr_list[1], nullptr);
  EXPECT_EQ(client.thread, QThread::currentThread());

  EXPECT_EQ(client.AsyncGetAddressFromName("no-such-host.invalid", nullptr, 0), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return client.notes.size() == 3; }, 30000)) << client.notes.size();
  EXPECT_NE(client.LastError(), 0);
}

TEST_F(Async, NeverCallsAnObjectDestroyedWhileItsLookUpRuns) {
  for (int i = 0; i < 20; ++i) {
    auto doomed = std::make_unique<AsyncClient>();
    EXPECT_EQ(doomed->InitAsync(nullptr), 0);
    EXPECT_EQ(doomed->AsyncGetAddressFromName("localhost", nullptr, 0), 0);
    if (i % 2 == 1) QTest::qWait(1);  // sometimes the result is already posted
    doomed.reset();
  }
  // A look-up started after them ends after them, or near enough.
  AsyncClient witness;
  EXPECT_EQ(witness.InitAsync(nullptr), 0);
  EXPECT_EQ(witness.AsyncGetAddressFromName("localhost", nullptr, 0), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return witness.Saw(AsyncClient::kAddress); }, 10000));
  QTest::qWait(200);  // a call to a destroyed one is a use after free (crash, sanitizer)
}

}  // namespace
