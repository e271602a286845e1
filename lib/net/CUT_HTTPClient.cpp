// CUT_HTTPClient: settings, the URL and the server, and the requests, sent
// directly or through the proxy. Reading the reply is in
// CUT_HTTPClientReply.cpp, the tag scans in CUT_HTTPClientTags.cpp.
#include <zerth/CUT_HTTPClient.h>

#include "../util/VerboseTrace.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// A request line, its CR LF included, fits the 512-byte line buffer.
constexpr std::size_t kMaxRequestLine = 511;
constexpr int kMaxPath = 256;  // 255 characters and the NUL
constexpr std::size_t kMaxCommand = 64;
constexpr std::size_t kMaxServerName = 255;
constexpr std::size_t kMaxDottedName = 31;

// No control character, blank or DEL: such a byte would end the request line
// early, split it into more fields or start a header of its own.
bool IsRequestWord(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// Copies text with its NUL into a member of size bytes, if it fits.
template <std::size_t size>
bool CopyIfFits(char (&member)[size], std::string_view text) {
  if (text.size() >= size) return false;
  std::memcpy(member, text.data(), text.size());
  member[text.size()] = '\0';
  return true;
}

}  // namespace

CUT_HTTPClient::CUT_HTTPClient()
    : m_bUseProxy(0), m_szProxy{}, m_szServerAddress{}, m_szServerName{}, m_nHttpPort(80), m_lMaxLinesToStore(16000),
      m_nLinkTagCount(-1), m_nFrameTagCount(-1), m_nMetaTagCount(-1), m_tagListKind(TagKind::None) {}

CUT_HTTPClient::~CUT_HTTPClient() = default;

// ---- Settings ---------------------------------------------------------------

int CUT_HTTPClient::SetPort(int port) {
  if (port < 0 || port > 65535) return 1;
  m_nHttpPort = port;
  return 0;
}

void CUT_HTTPClient::UseProxyServer(int on) {
  m_bUseProxy = on;
}

int CUT_HTTPClient::SetProxy(const char* address) {
  if (!address || !IsRequestWord(address)) return 1;
  return CopyIfFits(m_szProxy, address) ? 0 : 1;
}

int CUT_HTTPClient::AddSendHeaderTag(const char* line) {
  if (!line) return 0;
  std::string_view text = line;
  if (text.ends_with("\r\n"))
    text.remove_suffix(2);
  else if (text.ends_with('\n') || text.ends_with('\r'))
    text.remove_suffix(1);
  if (text.find_first_of("\r\n") != std::string_view::npos) return 0;
  m_sendHeaderTags.AddString((std::string(text) + "\r\n").c_str());
  return 1;
}

int CUT_HTTPClient::ClearSendHeaderTags() {
  return m_sendHeaderTags.ClearList();
}

int CUT_HTTPClient::MaxLinesToStore(long n) {
  if (n <= 0) return 1;
  m_lMaxLinesToStore = n;
  return 0;
}

long CUT_HTTPClient::FindHostHeaderTag() const {
  for (long i = 0; i < m_sendHeaderTags.GetCount(); ++i) {
    const std::string_view tag = m_sendHeaderTags.GetString(i);
    if (StartsWithNoCase(tag, "host:")) return i;
  }
  return -1;
}

void CUT_HTTPClient::SetHostHeaderTag(std::string_view host) {
  for (long i = FindHostHeaderTag(); i >= 0; i = FindHostHeaderTag()) m_sendHeaderTags.DeleteString(i);
  AddSendHeaderTag(("Host: " + std::string(host)).c_str());
}

// ---- URL and server ---------------------------------------------------------

int CUT_HTTPClient::SetServer(const char* name) {
  if (!name) return 1;
  // Only a name found before is taken without a look-up: one that failed is
  // looked up again.
  if (std::strcmp(name, m_szServerName) == 0 && m_szServerAddress[0] != '\0') return 0;
  const std::size_t length = std::strlen(name);
  if (length > kMaxServerName) return 1;
  CopyIfFits(m_szServerName, name);
  m_szServerAddress[0] = '\0';
  if (IsIPAddress(name) && length > kMaxDottedName) return 1;
  const int result = GetAddressFromName(name, m_szServerAddress, sizeof m_szServerAddress);
  if (result != 0) m_szServerAddress[0] = '\0';
  return result;
}

bool CUT_HTTPClient::HostOfURL(std::string& url, char (&host)[256]) const {
  std::replace(url.begin(), url.end(), '\\', '/');
  return ParseString(url.c_str(), "/?", url.find("://") == std::string::npos ? 0 : 1, host, sizeof host) == 0;
}

int CUT_HTTPClient::SplitURL(const char* url, char* path, int maxLen) {
  if (path && maxLen > 0) path[0] = '\0';
  if (!url) return 1;
  std::string text = url;
  char host[kMaxServerName + 1];
  if (!HostOfURL(text, host)) return 1;
  const std::size_t scheme = text.find("://");
  int result = SetServer(host) == 0 ? 0 : 2;

  // The path follows the host (looked for after the scheme, which may hold
  // the host's text too), without the '*' characters that lead it and from
  // the next one on.
  std::size_t hostAt = text.find(host, scheme == std::string::npos ? 0 : scheme + 3);
  if (hostAt == std::string::npos) hostAt = text.find(host);  // "a/b://c": the host stood before "://"
  std::string_view rest = std::string_view(text).substr(hostAt + std::strlen(host));
  rest.remove_prefix(std::min(rest.find_first_not_of('*'), rest.size()));
  rest = rest.substr(0, rest.find('*'));
  if (!path || maxLen <= 0 || rest.size() >= static_cast<std::size_t>(maxLen)) return result | 4;
  std::memcpy(path, rest.data(), rest.size());
  path[rest.size()] = '\0';
  return result;
}

// ---- Requests -----------------------------------------------------------------

int CUT_HTTPClient::GET(const char* url) {
  ShowVerboseTrace("HTTP get request", url, 1);
  if (m_bUseProxy) return GETThroughProxy(url);
  return RunDirect({RequestKind::Get, "GET", url, nullptr, nullptr});
}

int CUT_HTTPClient::GET(const char* url, const char* localFile) {
  ShowVerboseTrace("HTTP get request", url, 1);
  if (m_bUseProxy) return GETThroughProxy(url, localFile);
  return RunDirect({RequestKind::GetToFile, "GET", url, nullptr, localFile});
}

int CUT_HTTPClient::HEAD(const char* url) {
  if (m_bUseProxy) return HEADThroughProxy(url);
  return RunDirect({RequestKind::Head, "HEAD", url, nullptr, nullptr});
}

int CUT_HTTPClient::CommandLine(const char* command, const char* url, const char* data) {
  ShowVerboseTrace(("HTTP " + std::string(command ? command : "") + " request").c_str(), url, 1);
  if (m_bUseProxy) return CommandLineThroughProxy(command, url, data);
  return RunDirect({RequestKind::CommandWithData, command, url, data ? data : "", nullptr});
}

int CUT_HTTPClient::CommandLine(const char* command, const char* url) {
  ShowVerboseTrace(("HTTP " + std::string(command ? command : "") + " request").c_str(), url, 1);
  if (m_bUseProxy) return CommandLineThroughProxy(command, url);
  return RunDirect({RequestKind::Command, command, url, nullptr, nullptr});
}

int CUT_HTTPClient::GETThroughProxy(const char* url) {
  return RunThroughProxy({RequestKind::Get, "GET", url, nullptr, nullptr});
}

int CUT_HTTPClient::GETThroughProxy(const char* url, const char* localFile) {
  return RunThroughProxy({RequestKind::GetToFile, "GET", url, nullptr, localFile});
}

int CUT_HTTPClient::HEADThroughProxy(const char* url) {
  return RunThroughProxy({RequestKind::Head, "HEAD", url, nullptr, nullptr});
}

int CUT_HTTPClient::CommandLineThroughProxy(const char* command, const char* url) {
  return RunThroughProxy({RequestKind::Command, command, url, nullptr, nullptr});
}

int CUT_HTTPClient::CommandLineThroughProxy(const char* command, const char* url, const char* data) {
  return RunThroughProxy({RequestKind::CommandWithData, command, url, data ? data : "", nullptr});
}

int CUT_HTTPClient::CheckRequestText(const Request& request) const {
  if (!request.url || !IsRequestWord(request.url)) return 3;
  const std::string_view command = request.command ? request.command : "";
  if (command.empty() || command.size() > kMaxCommand || !IsRequestWord(command)) return 4;
  return 0;
}

bool CUT_HTTPClient::SendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30));
    const int sent = Send(bytes.data(), chunk);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

int CUT_HTTPClient::SendRequestRest(const Request& request) {
  for (long i = 0; i < m_sendHeaderTags.GetCount(); ++i)
    if (!SendAll(m_sendHeaderTags.GetString(i))) return 4;
  if (!SendAll("\r\n")) return 4;
  if (request.kind == RequestKind::CommandWithData && (!SendAll(request.data) || !SendAll("\r\n"))) return 4;
  return 0;
}

int CUT_HTTPClient::RunDirect(const Request& request) {
  ClearReceivedData();
  if (const int refused = CheckRequestText(request)) return refused;
  char path[kMaxPath];
  if (SplitURL(request.url, path, sizeof path) != 0) return 3;

  const std::string line = std::string(request.command) + (path[0] == '/' ? " " : " /") + path + " HTTP/1.0\r\n";
  if (line.size() > kMaxRequestLine) return 3;
  if (Connect(static_cast<unsigned>(m_nHttpPort), m_szServerAddress, AF_INET, SOCK_STREAM) != 0) return 1;
  if (!SendAll(line)) {
    CloseConnection();
    return 4;
  }
  if (request.kind == RequestKind::Get || request.kind == RequestKind::GetToFile ||
      request.kind == RequestKind::CommandWithData)
    SetHostHeaderTag(m_szServerName);
  if (SendRequestRest(request) != 0) {
    CloseConnection();
    return 4;
  }
  return ReceiveReply(request, request.kind == RequestKind::Get);
}

int CUT_HTTPClient::RunThroughProxy(const Request& request) {
  ClearReceivedData();
  if (const int refused = CheckRequestText(request)) return refused;
  const std::string_view url = request.url;
  const std::string command = request.command;
  std::string line;
  if (request.kind == RequestKind::Get || request.kind == RequestKind::GetToFile) {
    if (StartsWithNoCase(url, "ftp://") || StartsWithNoCase(url, "http://") || url.starts_with("//"))
      line = "GET " + std::string(url);
    else if (StartsWithNoCase(url, "ftp."))
      line = "GET ftp://" + std::string(url);
    else if (url.starts_with('/'))
      line = "GET http://" + std::string(m_szProxy) + ":" + std::to_string(m_nHttpPort) + std::string(url);
    else
      line = "GET http://" + std::string(url);
  } else {
    line = command + (StartsWithNoCase(url, "http://") ? " " : " http://") + std::string(url);
  }
  line += " HTTP/1.0\r\n";
  if (line.size() > kMaxRequestLine) return 3;

  if (Connect(static_cast<unsigned>(m_nHttpPort), m_szProxy, AF_INET, SOCK_STREAM) != 0) return 1;
  if (!SendAll(line)) {
    CloseConnection();
    return 4;
  }
  // A GET names its host, unless a Host line is among the tags already. The
  // host is taken from the URL without a look-up: the proxy finds it.
  if ((request.kind == RequestKind::Get || request.kind == RequestKind::GetToFile) && FindHostHeaderTag() < 0) {
    std::string text(url);
    char host[kMaxServerName + 1];
    if (HostOfURL(text, host)) AddSendHeaderTag(("Host: " + std::string(host)).c_str());
  }
  if (SendRequestRest(request) != 0) {
    CloseConnection();
    return 4;
  }
  return ReceiveReply(request, false);
}
