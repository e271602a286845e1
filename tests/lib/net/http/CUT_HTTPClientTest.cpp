// CUT_HTTPClient against nginx and tinyproxy (the "http_servers" fixture) and
// a misbehaving listener of our own.
#include "TestEnv.h"

#include <zerth/CUT_HTTPClient.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {

std::map<std::string, std::string> ServerEnv() {
  std::map<std::string, std::string> values;
  std::ifstream in(ZERTH_HTTP_SERVERS_ENV);
  for (std::string line; std::getline(in, line);)
    if (const auto equals = line.find('='); equals != std::string::npos)
      values[line.substr(0, equals)] = line.substr(equals + 1);
  return values;
}

class HttpTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(env.empty()) << ZERTH_HTTP_SERVERS_ENV " is missing: run the tests with ctest";
    ASSERT_EQ(client.SetPort(std::stoi(env["HTTP_PORT"])), 0);
  }
  std::string Body() const {
    std::string body;
    for (long i = 0; i < client.GetBodyLineCount(); ++i) body += client.GetBodyLine(i);
    return body;
  }
  std::string File(const std::string& name) { return testenv::ReadFile(env["HTTP_ROOT"] + "/" + name); }
  std::string Upstream() { return "127.0.0.1:" + env["HTTP_PORT"]; }
  void UseProxy() {
    ASSERT_EQ(client.SetProxy("127.0.0.1"), 0);
    ASSERT_EQ(client.SetPort(std::stoi(env["PROXY_PORT"])), 0);
    client.UseProxyServer(1);
  }

  std::map<std::string, std::string> env = ServerEnv();
  CUT_HTTPClient client;
  testenv::TempDir temp;
};

TEST_F(HttpTest, GetStoresHeaderAndTextBodyRefusesOtherBodiesAndBadUrls) {
  const struct {
    const char* url;
    int result, status;
    const char* file;  // the expected body; null: none stored
  } cases[] = {
      {"http://127.0.0.1/plain.txt", 0, 200, "plain.txt"},
      {"HTTP://127.0.0.1\\index.html", 0, 200, "index.html"},  // a backslash counts as '/'
      {"127.0.0.1/plain.txt", 0, 200, "plain.txt"},
      {"http://127.0.0.1", 0, 200, "index.html"},  // no path: the root
      {"http://127.0.0.1/data.bin", 5, 200, nullptr},
      {"http://127.0.0.1/missing.html", 0, 404, nullptr},
      {"http://127.0.0.1:80/plain.txt", 3, -1, nullptr},  // the port is not part of the host
      {"http://127.0.0.1:80/plain.txt", 3, -1, nullptr},  // a host not found is looked up again
      {"http://127.0.0.1/plain.txt HTTP/1.0\r\nX-Evil: 1\r\n", 3, -1, nullptr},
      {"http://127.0.0.1/a b", 3, -1, nullptr},
      {nullptr, 3, -1, nullptr},
  };
  std::string longUrl = "http://127.0.0.1/" + std::string(255, 'a');
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url ? c.url : "(null)");
    EXPECT_EQ(client.GET(c.url), c.result);
    EXPECT_EQ(client.GetServerErrorCode(), c.status);
    EXPECT_EQ(client.IsGoodHttpErrorCode(), c.status == 404 ? 0 : 1);
    EXPECT_EQ(Body(), c.file ? File(c.file) : c.status == 404 ? Body() : "");
  }
  EXPECT_EQ(client.GET(longUrl.c_str()), 3);  // 256 characters of path
  EXPECT_EQ(client.GET(longUrl.substr(0, longUrl.size() - 1).c_str()), 0);
  EXPECT_EQ(client.GetServerErrorCode(), 404);
}

TEST_F(HttpTest, SecondGetReplacesTheHostLineAndKeepsOtherTags) {
  ASSERT_EQ(client.AddSendHeaderTag("X-Test: kept"), 1);
  for (const char* host : {"127.0.0.1", "127.0.0.1", "localhost"}) {
    ASSERT_EQ(client.GET((std::string("http://") + host + "/echo").c_str()), 0);
    EXPECT_EQ(client.GetServerErrorCode(), 200) << host;  // two Host lines: 400
    EXPECT_EQ(Body(), "request=GET /echo HTTP/1.0\nhost=" + std::string(host) + "\nvia=\nx-test=kept\n");
  }
}

TEST_F(HttpTest, GetToFileHeadAndHeaderLookUps) {
  const std::string saved = temp.str() + "/saved.bin";
  ASSERT_EQ(client.GET("http://127.0.0.1/data.bin", saved.c_str()), 0);
  EXPECT_EQ(testenv::ReadFile(saved), File("data.bin"));
  EXPECT_STREQ(client.GetLengthFromHeader(), "Content-Length: 16384");
  EXPECT_EQ(client.GET("http://127.0.0.1/data.bin", (temp.str() + "/no/such/folder").c_str()), 7);

  ASSERT_EQ(client.HEAD("http://127.0.0.1/plain.txt"), 0);
  EXPECT_EQ(client.GetServerErrorCode(), 200);
  EXPECT_EQ(client.GetBodyLineCount(), 0);
  EXPECT_STREQ(client.GetContentType(), "Content-Type: text/plain");
  EXPECT_STREQ(client.GetLengthFromHeader(), "Content-Length: 51");
  EXPECT_EQ(std::string(client.GetModifiedDateFromHeader()).rfind("Last-Modified: ", 0), 0u);
  ASSERT_EQ(client.GET("http://127.0.0.1/plain.txt"), 0);
  ASSERT_EQ(client.SaveToFile(saved.c_str()), 0);
  EXPECT_EQ(testenv::ReadFile(saved), File("plain.txt"));
  EXPECT_EQ(client.SaveToFile((temp.str() + "/no/such/folder").c_str()), 1);
}

TEST_F(HttpTest, CommandLinesSendTheirVersionHostAndData) {
  ASSERT_EQ(client.AddSendHeaderTag("Content-Length: 3\r\n"), 1);
  EXPECT_EQ(client.CommandLine("POST", "http://127.0.0.1/echo", "a=1"), 0);
  EXPECT_EQ(Body(), "request=POST /echo HTTP/1.0\nhost=127.0.0.1\nvia=\nx-test=\n");
  client.ClearSendHeaderTags();
  EXPECT_EQ(client.CommandLine("DELETE", "http://127.0.0.1/plain.txt"), 0);
  EXPECT_EQ(client.GetServerErrorCode(), 405);
  EXPECT_EQ(client.CommandLine("GET /x HTTP/1.0\r\n", "http://127.0.0.1/echo"), 4);
  EXPECT_EQ(client.CommandLine(nullptr, "http://127.0.0.1/echo"), 4);
}

TEST_F(HttpTest, SettingsRefuseWhatDoesNotFit) {
  EXPECT_EQ(client.SetProxy(nullptr), 1);
  EXPECT_EQ(client.SetProxy(std::string(256, '1').c_str()), 1);
  EXPECT_EQ(client.SetProxy("127.0.0.1\r\nX: y"), 1);
  EXPECT_EQ(client.SetPort(-1), 1);
  EXPECT_EQ(client.SetPort(65536), 1);
  EXPECT_EQ(client.MaxLinesToStore(0), 1);
  EXPECT_EQ(client.AddSendHeaderTag("X-A: 1\r\nX-B: 2"), 0);
  EXPECT_EQ(client.AddSendHeaderTag("X-A: 1\nX-B: 2\r\n"), 0);
  ASSERT_EQ(client.GET("http://127.0.0.1/echo"), 0);  // the port kept, no tag added
  EXPECT_EQ(Body(), "request=GET /echo HTTP/1.0\nhost=127.0.0.1\nvia=\nx-test=\n");
  ASSERT_EQ(client.SetPort(1), 0);  // nobody listens there
  EXPECT_EQ(client.GET("http://127.0.0.1/echo"), 1);
}

TEST_F(HttpTest, TagScansOfARealPageKeepEachKindApart) {
  ASSERT_EQ(client.GET("http://127.0.0.1/index.html"), 0);
  char value[64];
  EXPECT_EQ(client.GetMetaTagCount(), 2);
  EXPECT_EQ(client.GetLinkTagCount(), 4);  // hhref= is none
  EXPECT_EQ(client.GetMetaTagCount(), 2);  // not the link count
  const char* links[] = {"first.html", "second.html", "third.html", "split.html"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(client.GetMetaTag(0, value, sizeof value), 0);  // the list now holds meta positions
    EXPECT_STREQ(value, "A page for the HTTP client");
    ASSERT_EQ(client.GetLinkTag(i, value, sizeof value), 0);
    EXPECT_STREQ(value, links[i]);
  }
  EXPECT_EQ(client.GetLinkTag(4, value, sizeof value), 1);
  EXPECT_EQ(client.GetLinkTag(1, value, 11), 2);  // "second.html" needs 12
  EXPECT_EQ(client.GetMetaTag(1, value, sizeof value), 0);
  EXPECT_STREQ(value, "zerth, http, test");
  EXPECT_EQ(client.GetImageTagCount(), 3);
  EXPECT_EQ(client.GetAltTagCount(), 2);
  EXPECT_EQ(client.GetFrameTagCount(), 0);
  ASSERT_EQ(client.GET("http://127.0.0.1/frames.html"), 0);
  EXPECT_EQ(client.GetFrameTagCount(), 2);
  ASSERT_EQ(client.GetFrameTag(1, value, sizeof value), 0);
  EXPECT_STREQ(value, "right.html");
}

TEST_F(HttpTest, ProxyFormsThroughTinyproxy) {
  UseProxy();
  for (const std::string& url : {"http://" + Upstream() + "/echo", Upstream() + "/echo"}) {
    ASSERT_EQ(client.GET(url.c_str()), 0) << url;
    EXPECT_EQ(client.GetServerErrorCode(), 200);
    EXPECT_EQ(Body().rfind("request=GET /echo HTTP/1.0\nhost=" + Upstream() + "\nvia=1.0 ", 0), 0u) << Body();
  }
  const std::string saved = temp.str() + "/saved.bin";
  ASSERT_EQ(client.GET(("http://" + Upstream() + "/data.bin").c_str(), saved.c_str()), 0);
  EXPECT_EQ(testenv::ReadFile(saved), File("data.bin"));
  ASSERT_EQ(client.HEAD((Upstream() + "/plain.txt").c_str()), 0);
  EXPECT_STREQ(client.GetLengthFromHeader(), "Content-Length: 51");
  ASSERT_EQ(client.CommandLine("DELETE", ("http://" + Upstream() + "/plain.txt").c_str()), 0);
  EXPECT_EQ(client.GetServerErrorCode(), 405);  // nginx's answer, not the proxy's 400
}

// A listener of our own for what no real server does on demand: it answers
// one connection with head, then sends tail until the client goes, or, with
// an empty tail, waits for the client to close.
class MisbehavingServer {
public:
  MisbehavingServer(std::string head, std::string tail) : m_listener(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(m_listener, 1);
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    m_thread = std::thread([this, head, tail] {
      const int peer = ::accept(m_listener, nullptr, nullptr);
      char request[4096];
      if (peer < 0 || ::recv(peer, request, sizeof request, 0) <= 0) return;
      bool open = ::send(peer, head.data(), head.size(), MSG_NOSIGNAL) > 0;
      while (open) open = tail.empty() ? ::recv(peer, request, sizeof request, 0) > 0
                                       : ::send(peer, tail.data(), tail.size(), MSG_NOSIGNAL) > 0;
      ::close(peer);
    });
  }
  ~MisbehavingServer() {
    ::shutdown(m_listener, SHUT_RDWR);  // wakes accept when the client never came
    m_thread.join();
    ::close(m_listener);
  }
  int port = 0;

private:
  int m_listener;
  std::thread m_thread;
};

TEST_F(HttpTest, EndlessOrNeverClosingServerEndsWithinTheLineLimit) {
  const std::string text = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  const struct {
    const char* name;
    std::string head, tail;
    int result, headerLines;
    long bodyLines;
  } cases[] = {
      {"endless lines", text, std::string(1000, 'x') + "\r\n", 0, 2, 100},
      {"endless line", text, std::string(4096, 'x'), 0, 2, 100},
      {"endless header line", "HTTP/1.0 200 OK\r\nX-Long: ", std::string(4096, 'x'), 5, 2, 0},
      {"endless header", "HTTP/1.0 200 OK\r\n", "X-Line: x\r\n", 5, 100, 0},
      {"never closing", text + "<p>one</p>\r\n", "", 0, 2, 1},
      {"HEAD, endless", "HEAD", text, 0, 2, 0},
  };
  ASSERT_EQ(client.MaxLinesToStore(100), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool head = c.head == "HEAD";
    MisbehavingServer server(head ? text : c.head, c.tail);
    ASSERT_EQ(client.SetPort(server.port), 0);
    EXPECT_EQ(head ? client.HEAD("http://127.0.0.1/") : client.GET("http://127.0.0.1/"), c.result);
    EXPECT_EQ(client.GetHeaderLineCount(), c.headerLines);
    EXPECT_EQ(client.GetBodyLineCount(), c.bodyLines);
    for (int i = 0; i < client.GetHeaderLineCount(); ++i) EXPECT_LE(std::strlen(client.GetHeaderLine(i)), 511u);
    for (long i = 0; i < client.GetBodyLineCount(); ++i) EXPECT_LE(std::strlen(client.GetBodyLine(i)), 511u);
  }
}

}  // namespace
