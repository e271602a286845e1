// A program built against the installed library: fetches one page from a web
// server directly and once more through an HTTP proxy; exits 0 only when both
// replies have status 200 and a body holding the expected text.
//   http_consumer HOST PORT PATH PROXY_ADDRESS PROXY_PORT EXPECTED_TEXT
#include <zerth/zerth.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static bool Fetched(CUT_HTTPClient& client, int result, const char* how, const char* expected) {
  std::string body;
  for (long i = 0; i < client.GetBodyLineCount(); ++i) body += client.GetBodyLine(i);
  const bool ok = result == 0 && client.GetServerErrorCode() == 200 && body.find(expected) != std::string::npos;
  std::printf("%s: result %d, status %d%s\n", how, result, client.GetServerErrorCode(), ok ? "" : " - FAILED");
  return ok;
}

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s HOST PORT PATH PROXY_ADDRESS PROXY_PORT EXPECTED_TEXT\n", argv[0]);
    return 2;
  }
  const std::string host = argv[1], port = argv[2], path = argv[3];
  CUT_HTTPClient client;
  client.SetPort(std::atoi(argv[2]));
  const bool direct = Fetched(client, client.GET(("http://" + host + path).c_str()), "direct", argv[6]);
  client.SetProxy(argv[4]);  // the proxy learns the server's port from the URL
  client.SetPort(std::atoi(argv[5]));
  client.UseProxyServer(1);
  const bool proxied = Fetched(client, client.GET(("http://" + host + ":" + port + path).c_str()), "proxy", argv[6]);
  return direct && proxied ? 0 : 1;
}
