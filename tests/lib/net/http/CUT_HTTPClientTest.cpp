// CUT_HTTPClient against nginx and tinyproxy (the "http_servers" fixture) and
// a misbehaving listener of our own.
#include "TestEnv.h"

#include <zerth/CUT_HTTPClient.h>
#include <zerth/CZerthUtility.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <thread>

namespace {

class HttpTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::ifstream in(ZERTH_HTTP_SERVERS_ENV);
    for (std::string line; std::getline(in, line);) env[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    ASSERT_TRUE(env.count("HTTP_PORT")) << ZERTH_HTTP_SERVERS_ENV " is missing: run the tests with ctest";
    ASSERT_EQ(client.SetPort(std::stoi(env["HTTP_PORT"])), 0);
  }
  std::string Body() const {
    std::string body;
    for (long i = 0; i < client.GetBodyLineCount(); ++i) body += client.GetBodyLine(i);
    return body;
  }
  std::string File(const std::string& name) { return testenv::ReadFile(env["HTTP_ROOT"] + "/" + name); }
  std::string Echo(const std::string& request, const std::string& host, const char* tag = "") {
    return "request=" + request + " HTTP/1.0\nhost=" + host + "\nvia=\nx-test=" + tag + "\n";
  }

  std::map<std::string, std::string> env;
  CUT_HTTPClient client;
  testenv::TempDir temp;
};

TEST_F(HttpTest, GetStoresHeaderAndTextBodyRefusesOtherBodiesAndBadUrls) {
  const std::string longPath = "http://127.0.0.1/" + std::string(254, 'a');  // 255 characters of path
  const struct { std::string url; int result, status; const char* file; } cases[] = {  // file: the body
      {"http://127.0.0.1/plain.txt", 0, 200, "plain.txt"},
      {"HTTP://127.0.0.1\\index.html", 0, 200, "index.html"},  // a backslash counts as '/'
      {"127.0.0.1/plain.txt", 0, 200, "plain.txt"},
      {"http://127.0.0.1", 0, 200, "index.html"},  // no path: the root
      {"http://127.0.0.1/data.bin", 5, 200, nullptr},
      {longPath, 0, 404, nullptr},
      {longPath + "a", 3, -1, nullptr},
      {"http://127.0.0.1:80/plain.txt", 3, -1, nullptr},  // the port is not part of the host
      {"http://127.0.0.1:80/plain.txt", 3, -1, nullptr},  // a host not found is looked up again
      {"http://127.0.0.1/plain.txt HTTP/1.0\r\nX-Evil: 1\r\n", 3, -1, nullptr},
      {"http://127.0.0.1/a b", 3, -1, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client.GET(c.url.c_str()), c.result) << c.url;
    EXPECT_EQ(client.GetServerErrorCode(), c.status) << c.url;
    EXPECT_EQ(client.IsGoodHttpErrorCode(), c.status == 404 ? 0 : 1);
    EXPECT_EQ(Body(), c.file ? File(c.file) : c.status == 404 ? Body() : "") << c.url;
  }
}

TEST_F(HttpTest, SecondGetReplacesTheHostLineAndKeepsOtherTags) {
  ASSERT_EQ(client.AddSendHeaderTag("X-Test: kept"), 1);
  for (const char* host : {"127.0.0.1", "127.0.0.1", "localhost"}) {
    ASSERT_EQ(client.GET((std::string("http://") + host + "/echo").c_str()), 0);
    EXPECT_EQ(Body(), Echo("GET /echo", host, "kept"));  // two Host lines: 400
  }
}

TEST_F(HttpTest, GetToFileHeadHeaderLookUpsAndSaving) {
  const std::string saved = temp.str() + "/saved.bin";
  ASSERT_EQ(client.GET("http://127.0.0.1/data.bin", saved.c_str()), 0);
  EXPECT_EQ(testenv::ReadFile(saved), File("data.bin"));
  EXPECT_STREQ(client.GetLengthFromHeader(), "Content-Length: 16384");
  EXPECT_EQ(client.GET("http://127.0.0.1/data.bin", (temp.str() + "/no/such/folder").c_str()), 7);
  ASSERT_EQ(client.HEAD("http://127.0.0.1/plain.txt"), 0);
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
  EXPECT_EQ(Body(), Echo("POST /echo", "127.0.0.1"));
  client.ClearSendHeaderTags();
  CZerthUtility::SetVerboseFlag(1);  // without a GUI the trace goes to stderr
  testing::internal::CaptureStderr();
  EXPECT_EQ(client.CommandLine("DELETE", "http://127.0.0.1/plain.txt"), 0);
  EXPECT_EQ(client.GetServerErrorCode(), 405);
  EXPECT_EQ(client.HEAD("http://127.0.0.1/plain.txt") + client.GET("http://127.0.0.1/x"), 0);
  const std::string trace = testing::internal::GetCapturedStderr();
  CZerthUtility::SetVerboseFlag(0);
  EXPECT_EQ(trace, "Network Verbose Mode\nAction: HTTP DELETE request\nDetails: http://127.0.0.1/plain.txt\n"
                   "Network Verbose Mode\nAction: HTTP get request\nDetails: http://127.0.0.1/x\n");
  EXPECT_EQ(client.CommandLine("GET /x HTTP/1.0\r\n", "http://127.0.0.1/echo"), 4);
  EXPECT_EQ(client.CommandLine(nullptr, "http://127.0.0.1/echo"), 4);
}

TEST_F(HttpTest, SettingsRefuseWhatDoesNotFit) {
  const std::string longProxy(256, '1');
  for (const char* proxy : {static_cast<const char*>(nullptr), "127.0.0.1\r\nX: y", longProxy.c_str()})
    EXPECT_EQ(client.SetProxy(proxy), 1);
  EXPECT_EQ(client.SetPort(-1) + client.SetPort(65536) + client.MaxLinesToStore(0), 3);
  EXPECT_EQ(client.AddSendHeaderTag("X-Test: 1\r\nX-B: 2") + client.AddSendHeaderTag("X-Test: 1\nX-B: 2\r\n"), 0);
  ASSERT_EQ(client.GET("http://127.0.0.1/echo"), 0);  // the port kept, no tag added
  EXPECT_EQ(Body(), Echo("GET /echo", "127.0.0.1"));
  ASSERT_EQ(client.SetPort(1), 0);  // nobody listens there
  EXPECT_EQ(client.GET("http://127.0.0.1/echo"), 1);
}

TEST_F(HttpTest, TagScansOfARealPageKeepEachKindApart) {
  const auto tag = [this](int (CUT_HTTPClient::*get)(int, char*, int), int index, int maxLen = 64) {
    char value[64] = "";
    const int result = (client.*get)(index, value, maxLen);
    return result == 0 ? std::string(value) : "#" + std::to_string(result);
  };
  ASSERT_EQ(client.GET("http://127.0.0.1/index.html"), 0);
  EXPECT_EQ(client.GetMetaTagCount(), 2);
  EXPECT_EQ(client.GetLinkTagCount(), 4);  // hhref= is none
  EXPECT_EQ(client.GetMetaTagCount(), 2);  // not the link count
  const char* links[] = {"first.html", "second.html", "third.html", "split.html", "#1"};
  for (int i = 0; i < 5; ++i) {  // the list holds meta positions before each link
    EXPECT_EQ(tag(&CUT_HTTPClient::GetMetaTag, 0), "A page for the HTTP client");
    EXPECT_EQ(tag(&CUT_HTTPClient::GetLinkTag, i), links[i]);
  }
  EXPECT_EQ(tag(&CUT_HTTPClient::GetLinkTag, 1, 11), "#2");  // "second.html" needs 12
  EXPECT_EQ(tag(&CUT_HTTPClient::GetMetaTag, 1), "zerth, http, test");
  EXPECT_EQ(client.GetImageTagCount() + 10 * client.GetAltTagCount() + 100 * client.GetFrameTagCount(), 23);  // 3, 2, 0
  ASSERT_EQ(client.GET("http://127.0.0.1/frames.html"), 0);
  EXPECT_EQ(client.GetFrameTagCount(), 2);
  EXPECT_EQ(tag(&CUT_HTTPClient::GetFrameTag, 1), "right.html");
}

TEST_F(HttpTest, ProxyFormsThroughTinyproxy) {
  const std::string upstream = "127.0.0.1:" + env["HTTP_PORT"], saved = temp.str() + "/saved.bin";
  ASSERT_EQ(client.SetProxy("127.0.0.1"), 0);
  ASSERT_EQ(client.SetPort(std::stoi(env["PROXY_PORT"])), 0);
  client.UseProxyServer(1);
  for (const std::string& url : {"http://" + upstream + "/echo", upstream + "/echo"}) {
    ASSERT_EQ(client.GET(url.c_str()), 0) << url;
    EXPECT_EQ(Body().rfind("request=GET /echo HTTP/1.0\nhost=" + upstream + "\nvia=1.0 ", 0), 0u) << Body();
  }
  ASSERT_EQ(client.GET(("http://" + upstream + "/data.bin").c_str(), saved.c_str()), 0);
  EXPECT_EQ(testenv::ReadFile(saved), File("data.bin"));
  ASSERT_EQ(client.CommandLine("DELETE", ("http://" + upstream + "/plain.txt").c_str()), 0);
  EXPECT_EQ(client.GetServerErrorCode(), 405);  // nginx's answer, not the proxy's 400
}

// A listener of our own for what no real server does on demand: one
// connection, whose request it keeps, answered with head, then tail sent
// until the client goes (or, with no tail, kept open until it does, unless
// closeAfterHead).
class Listener {
public:
  Listener(std::string head, std::string tail, bool closeAfterHead = false)
      : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), size) == 0 && ::listen(m_socket, 1) == 0)
      ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    m_thread = std::thread([=, this] { Serve(head, tail, closeAfterHead); });
  }
  ~Listener() {
    ::shutdown(m_socket, SHUT_RDWR);  // wakes accept when the client never came
    m_thread.join();
    ::close(m_socket);
  }
  int port = 0;
  std::string request;
private:
  void Serve(const std::string& head, const std::string& tail, bool closeAfterHead) {
    const int peer = ::accept(m_socket, nullptr, nullptr);
    if (peer < 0) return;
    timeval wait{0, 300'000};  // the request is whole when nothing more comes for this long
    ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[4096];
    for (ssize_t n; (n = ::recv(peer, buffer, sizeof buffer, 0)) > 0;) request.append(buffer, static_cast<size_t>(n));
    wait = {};
    ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    bool open = ::send(peer, head.data(), head.size(), MSG_NOSIGNAL) > 0 && !closeAfterHead;
    while (open)
      open = tail.empty() ? ::recv(peer, buffer, sizeof buffer, 0) > 0
                          : ::send(peer, tail.data(), tail.size(), MSG_NOSIGNAL) > 0;
    ::close(peer);
  }
  int m_socket;
  std::thread m_thread;
};

const std::string kTextReply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

TEST_F(HttpTest, RequestsSendExactlyTheirLines) {
  const struct { int proxy; char kind; const char* url, *request; } cases[] = {  // kind: GET, HEAD, Command
      {0, 'G', "http://127.0.0.1/index.html", "GET /index.html HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"},
      {0, 'H', "http://127.0.0.1/a.html", "HEAD /a.html HTTP/1.0\r\n\r\n"},
      {0, 'C', "http://127.0.0.1", "PUT / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\nbody\r\n"},
      {1, 'G', "http://example.test/x", "GET http://example.test/x HTTP/1.0\r\nHost: example.test\r\n\r\n"},
      {1, 'G', "ftp.example.test/x", "GET ftp://ftp.example.test/x HTTP/1.0\r\nHost: ftp.example.test\r\n\r\n"},
      {1, 'H', "example.test/x", "HEAD http://example.test/x HTTP/1.0\r\n\r\n"},
      {1, 'C', "http://example.test/x", "PUT http://example.test/x HTTP/1.0\r\n\r\nbody\r\n"},
  };
  ASSERT_EQ(client.SetProxy("127.0.0.1"), 0);
  for (const auto& c : cases) {
    Listener server(kTextReply, "", true);
    client.ClearSendHeaderTags();
    client.UseProxyServer(c.proxy);
    client.SetPort(server.port);
    EXPECT_EQ(c.kind == 'G' ? client.GET(c.url) : c.kind == 'H' ? client.HEAD(c.url) : client.CommandLine("PUT", c.url, "body"), 0);
    EXPECT_EQ(server.request, c.request);
  }
}

TEST_F(HttpTest, EndlessOrNeverClosingServerEndsWithinTheLineLimit) {
  const struct { std::string head, tail; int result, headerLines; long bodyLines; } cases[] = {
      {kTextReply, std::string(1000, 'x') + "\r\n", 0, 2, 100},           // endless lines
      {kTextReply, std::string(4096, 'x'), 0, 2, 100},                    // an endless line
      {"HTTP/1.0 200 OK\r\nX-Long: ", std::string(4096, 'x'), 5, 2, 0},  // an endless header line
      {"HTTP/1.0 200 OK\r\n", "X-Line: x\r\n", 5, 100, 0},                // an endless header
      {kTextReply + "<p>one</p>\r\n", "", 0, 2, 1},                       // never closing
      {"HEAD", kTextReply, 0, 2, 0},                                      // HEAD, endless
  };
  ASSERT_EQ(client.MaxLinesToStore(100), 0);
  for (const auto& c : cases) {
    Listener server(c.head == "HEAD" ? kTextReply : c.head, c.tail);
    client.SetPort(server.port);
    EXPECT_EQ(c.head == "HEAD" ? client.HEAD("http://127.0.0.1/") : client.GET("http://127.0.0.1/"), c.result);
    EXPECT_EQ(client.GetHeaderLineCount(), c.headerLines) << c.head;
    EXPECT_EQ(client.GetBodyLineCount(), c.bodyLines) << c.head;
    EXPECT_EQ(std::strlen(client.GetHeaderLine(1)) == 511, c.head.ends_with(": "));  // the long line cut
  }
}

}  // namespace
