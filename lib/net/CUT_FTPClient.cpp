// CUT_FTPClient: the FTP conversation over two CUT_WSClient connections.
// Commands and replies go through Command and GetResponseCode, data through
// TransferActive/TransferPassive and GetDirInfo/GetDirInfoPASV; downloads are
// written by FtpDownload, listing lines parsed by FtpListingLine, the PASV
// reply by FtpPasvReply.
#include <zerth/CUT_FTPClient.h>

#include "../util/VerboseTrace.h"
#include "FtpDownload.h"
#include "FtpListingLine.h"
#include "FtpPasvReply.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>

namespace {

constexpr unsigned kControlPort = 21;
constexpr long kFileAcceptSeconds = 5;
constexpr long kListingAcceptSeconds = 15;
constexpr int kDataPortAttempts = 128;
constexpr int kFirstDataPort = 10000;
constexpr int kLastDataPort = 32000;
constexpr int kPasvTextSize = 100;

const char* OrEmpty(const char* text) {
  return text ? text : "";
}

// text into dest, cut to maxLen - 1 characters and terminated.
void CopyCut(char* dest, int maxLen, std::string_view text) {
  if (!dest || maxLen <= 0) return;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(maxLen) - 1);
  std::memcpy(dest, text.data(), length);
  dest[length] = '\0';
}

bool Is2xx(int code) {
  return code >= 200 && code <= 299;
}

// Where a command's code puts the common result: 0 a 2xx reply, 1 none,
// 2 any other (a refused command too).
int CommonResult(int code) {
  return code == 0 ? 1 : Is2xx(code) ? 0 : 2;
}

// The result of TYPE, MODE and STRU.
int SettingResult(int code) {
  return code == 0 ? 2 : Is2xx(code) ? 0 : 3;
}

// The wrap of the active data ports: past 32000, or below 0, back to 10000.
int WrapDataPort(int port) {
  return port > kLastDataPort || port < 0 ? kFirstDataPort : port;
}

bool IsRegularFile(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

long FileSize(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

// Drops the rest of a reply line that did not fit, up to its CR LF (the
// part already read ended with a CR when afterCR). False when the line did
// not end within limit bytes or the connection ended first.
bool DropRestOfLine(CUT_WSClient& connection, bool afterCR, std::size_t limit) {
  char scratch[4096];
  for (std::size_t dropped = 0; dropped <= limit;) {
    // After a CR only the next byte can end the line; a longer read would
    // run on to the next CR LF.
    const int room = afterCR ? 2 : static_cast<int>(sizeof scratch);
    const int got = connection.ReceiveLine(scratch, room);
    if (got <= 0) return false;
    const bool ended = afterCR ? scratch[0] == '\n' : got >= 2 && scratch[got - 2] == '\r' && scratch[got - 1] == '\n';
    if (ended) return true;
    afterCR = scratch[got - 1] == '\r';
    dropped += static_cast<std::size_t>(got);
  }
  return false;
}

int CurrentLocalYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return local.tm_year + 1900;
}

}  // namespace

CUT_FTPClient::CUT_FTPClient()
    : m_szLastResponse{},
      m_nTransferType(0),
      m_nTransferMode(0),
      m_nTransferStructure(0),
      m_nDataPort(0),
      m_bFireWallMode(0),
      m_nDirInfoCount(0),
      m_szBuf{} {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  m_nDataPort = WrapDataPort(kFirstDataPort + static_cast<int>(ms.count() % 20000));
}

CUT_FTPClient::~CUT_FTPClient() {
  ClearMLResponse();
  ClearDirInfo();
  Close();
}

// ---- Replies and commands ---------------------------------------------------

CUT_FTPClient::LineRead CUT_FTPClient::ReadReplyLine(CUT_WSClient& connection) {
  const int got = connection.ReceiveLine(m_szBuf, sizeof m_szBuf);
  if (got <= 0) return LineRead::None;
  const bool full = got == static_cast<int>(sizeof m_szBuf) - 1;
  if (full && m_szBuf[got - 1] != '\n' && !DropRestOfLine(connection, m_szBuf[got - 1] == '\r', kMaxLineBytes)) {
    // The rest of the line is lost: what follows cannot be told apart from it.
    connection.CloseConnection();
    return LineRead::Broken;
  }
  connection.RemoveCRLF(m_szBuf);
  return LineRead::Line;
}

int CUT_FTPClient::GetResponseCode(CUT_WSClient* connection, char* text, int maxLen) {
  if (!connection || ReadReplyLine(*connection) != LineRead::Line) return 0;
  char codeText[4] = {};
  std::memcpy(codeText, m_szBuf, 3);  // m_szBuf is terminated within its first 3 bytes or after them
  const int code = std::atoi(codeText);

  bool lastListed = false;
  if (m_szBuf[0] && m_szBuf[1] && m_szBuf[2] && m_szBuf[3] == '-') {
    const std::string marker = std::string(m_szBuf, 3) + ' ';
    ClearMLResponse();
    for (std::size_t lines = 1; std::strncmp(m_szBuf, marker.c_str(), marker.size()) != 0; ++lines) {
      AddMLResponseLine(m_szBuf);
      if (lines >= kMaxReplyLines) {
        connection->CloseConnection();
        return 0;
      }
      const LineRead next = ReadReplyLine(*connection);
      if (next == LineRead::Broken) return 0;
      // Ended early: its lines so far stand, the last not twice.
      lastListed = next == LineRead::None;
      if (lastListed) break;
    }
  }
  if (!lastListed) AddMLResponseLine(m_szBuf);
  CopyCut(m_szLastResponse, sizeof m_szLastResponse, m_szBuf);
  const std::string_view line(m_szBuf);
  CopyCut(text, maxLen, line.size() > 4 ? line.substr(4) : std::string_view());
  return code;
}

bool CUT_FTPClient::SendCommand(const char* verb, const char* argument) {
  if (argument && std::strpbrk(argument, "\r\n")) return false;
  const int length = argument ? std::snprintf(m_szBuf, sizeof m_szBuf, "%s %s\r\n", verb, argument)
                              : std::snprintf(m_szBuf, sizeof m_szBuf, "%s\r\n", verb);
  if (length < 0 || length >= static_cast<int>(sizeof m_szBuf)) return false;
  m_wsControl.Send(m_szBuf, length);
  return true;
}

int CUT_FTPClient::Command(const char* verb, const char* argument, char* text, int maxLen) {
  if (!SendCommand(verb, argument)) return -1;
  return GetResponseCode(&m_wsControl, text, maxLen);
}

int CUT_FTPClient::AddMLResponseLine(const char* line) {
  if (m_mlResponseList.size() >= kMaxReplyLines) m_mlResponseList.pop_front();
  m_mlResponseList.emplace_back(OrEmpty(line));
  return 0;
}

int CUT_FTPClient::ClearMLResponse() {
  m_mlResponseList.clear();
  return 0;
}

int CUT_FTPClient::GetMultiLineResponse(int index, char* line, int maxLen) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_mlResponseList.size()) return 1;
  CopyCut(line, maxLen, m_mlResponseList[static_cast<std::size_t>(index)]);
  return 0;
}

const char* CUT_FTPClient::GetMultiLineResponse(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_mlResponseList.size()) return "";
  return m_mlResponseList[static_cast<std::size_t>(index)].c_str();
}

const char* CUT_FTPClient::GetLastResponse() const {
  return m_szLastResponse;
}

const char* CUT_FTPClient::GetLastResonse() const {
  return GetLastResponse();
}

// ---- Login and simple commands ----------------------------------------------

int CUT_FTPClient::Connect(const char* host, const char* user, const char* password, const char* account) {
  host = OrEmpty(host);
  user = OrEmpty(user);
  password = OrEmpty(password);
  const std::string details = std::string("ftp://") + user + ":" + password + "@" + host;
  ShowVerboseTrace("Connect to FTP server", details.c_str(), 1);
  Close();
  ClearMLResponse();

  char address[256];
  if (m_wsControl.IsIPAddress(host))
    CopyCut(address, sizeof address, host);
  else if (m_wsControl.GetAddressFromName(host, address, sizeof address) != 0)
    return 1;
  if (m_wsControl.Connect(kControlPort, address, AF_INET, SOCK_STREAM) != 0) return 2;

  int code = GetResponseCode(&m_wsControl, nullptr, 0);
  if (code == 0) return 3;
  if (code < 200 || code > 399) return 4;
  code = Command("USER", user);
  if (code == 0) return 5;
  if (code < 200 || code > 399) return 6;
  if (code >= 300) {
    code = Command("PASS", password);
    if (code == 0) return 7;
    if (code < 200 || code > 399) return 8;
    if (code == 300) {
      code = Command("ACCT", OrEmpty(account));
      if (code == 0) return 9;
      if (code < 200 || code > 399) return 10;
    }
  }
  SetTransferType(0);
  SetTransferMode(0);
  SetTransferStructure(0);
  return 0;
}

int CUT_FTPClient::Close() {
  static constexpr char kQuit[] = "Quit\r\n";
  m_wsControl.Send(kQuit, sizeof kQuit - 1);
  m_wsControl.CloseConnection();
  m_wsData.CloseConnection();
  return 0;
}

int CUT_FTPClient::DeleteFileA(const char* name) {
  return CommonResult(Command("DELE", OrEmpty(name)));
}

int CUT_FTPClient::RenameFile(const char* oldName, const char* newName) {
  int code = Command("RNFR", OrEmpty(oldName));
  if (code == 0) return 1;
  if (code < 300 || code > 399) return 2;
  code = Command("RNTO", OrEmpty(newName));
  if (code == 0) return 3;
  return Is2xx(code) ? 0 : 4;
}

int CUT_FTPClient::GetCurDir(char* dir, int maxLen) {
  const int code = Command("PWD", nullptr, dir, maxLen);
  if (code == 0) return 1;
  if (!Is2xx(code)) return 2;
  const std::string_view line(m_szLastResponse);
  const std::string text(line.size() > 4 ? line.substr(4) : std::string_view());
  char quoted[260];
  m_wsControl.ParseString(text.c_str(), "\"", 0, quoted, sizeof quoted);
  CopyCut(dir, maxLen, quoted);
  return 0;
}

int CUT_FTPClient::ChDir(const char* dir) {
  ShowVerboseTrace("Change directory on FTP server", OrEmpty(dir), 0);
  return CommonResult(Command("CWD", OrEmpty(dir)));
}

int CUT_FTPClient::CdUp() {
  ShowVerboseTrace("Go up one directory on FTP server", "", 0);
  const int code = Command("CDUP");
  if (code == 0) return 1;
  if (Is2xx(code)) return 0;
  return code >= 500 && code <= 599 ? 2 : 3;
}

int CUT_FTPClient::MkDir(const char* dir) {
  return CommonResult(Command("MKD", OrEmpty(dir)));
}

int CUT_FTPClient::RmDir(const char* dir) {
  return CommonResult(Command("RMD", OrEmpty(dir)));
}

int CUT_FTPClient::NoOp() {
  return CommonResult(Command("NOOP"));
}

int CUT_FTPClient::GetHelp(const char* topic) {
  ClearMLResponse();
  return CommonResult(Command("HELP", topic && *topic ? topic : nullptr));
}

int CUT_FTPClient::SetTransferType(int type) {
  static constexpr const char* kCommands[] = {"TYPE A", "TYPE I"};
  if (type < 0 || type > 1) return 1;
  m_nTransferType = type;
  return SettingResult(Command(kCommands[type]));
}

int CUT_FTPClient::SetTransferMode(int mode) {
  static constexpr const char* kCommands[] = {"MODE S", "MODE B", "MODE C"};
  if (mode < 0 || mode > 2) return 1;
  m_nTransferMode = mode;
  return SettingResult(Command(kCommands[mode]));
}

int CUT_FTPClient::SetTransferStructure(int structure) {
  static constexpr const char* kCommands[] = {"STRU F", "STRU R", "STRU P"};
  if (structure < 0 || structure > 2) return 1;
  m_nTransferStructure = structure;
  return SettingResult(Command(kCommands[structure]));
}

int CUT_FTPClient::SetDataPort(int port) {
  m_nDataPort = port;
  return 0;
}

void CUT_FTPClient::SetFireWallMode(int on) {
  m_bFireWallMode = on;
}

void CUT_FTPClient::SetSendCallBackFunction(int (*callback)(long)) {
  m_wsControl.SetSendCallBackFunction(callback);
  m_wsData.SetSendCallBackFunction(callback);
}

void CUT_FTPClient::SetRecvCallBackFunction(int (*callback)(long)) {
  m_wsControl.SetRecvCallBackFunction(callback);
  m_wsData.SetRecvCallBackFunction(callback);
}

// ---- Data connections ---------------------------------------------------------

int CUT_FTPClient::OpenActiveDataPort() {
  // A port the user set outside the range a PORT command can name starts
  // the usual range instead.
  if (m_nDataPort <= 0 || m_nDataPort > 65535) m_nDataPort = kFirstDataPort;
  for (int attempt = 0; m_wsData.WaitForConnect(static_cast<unsigned short>(m_nDataPort)) != 0; ++attempt) {
    m_wsData.CloseConnection();
    if (attempt + 1 == kDataPortAttempts) return 1;
    m_nDataPort = m_nDataPort >= 65535 ? kFirstDataPort : m_nDataPort + 1;
  }
  char address[32] = {};
  m_wsControl.GetHostAddress(address, sizeof address, 1);
  std::replace(address, address + sizeof address, '.', ',');
  char argument[64];
  std::snprintf(argument, sizeof argument, "%s,%d,%d", address, (m_nDataPort >> 8) & 0xFF, m_nDataPort & 0xFF);
  m_nDataPort = WrapDataPort(m_nDataPort + 1);
  if (!Is2xx(Command("PORT", argument))) {
    m_wsData.CloseConnection();
    return 2;
  }
  return 0;
}

int CUT_FTPClient::OpenPassiveData(const char* verb, const char* argument) {
  char text[kPasvTextSize];
  if (!Is2xx(Command("PASV", nullptr, text, sizeof text))) return 2;
  zerth::detail::PasvAddress pasv = zerth::detail::ParsePasvReply(text);
  if (pasv.result == 0 && !m_wsData.IsIPAddress(pasv.address.c_str())) pasv.result = 4;
  if (pasv.result != 0) return pasv.result;
  if (!SendCommand(verb, argument)) return 3;
  if (m_wsData.Connect(pasv.port, pasv.address.c_str(), AF_INET, SOCK_STREAM) != 0) {
    m_wsData.CloseConnection();
    m_wsControl.ClearReceiveBuffer();
    return 6;
  }
  const int code = GetResponseCode(&m_wsControl, nullptr, 0);
  if (code < 100 || code > 299) {
    m_wsData.CloseConnection();
    return 3;
  }
  return 0;
}

// ---- Files --------------------------------------------------------------------

int CUT_FTPClient::ReceiveFile(const char* remoteFile, const char* localFile) {
  const std::string details = std::string(OrEmpty(remoteFile)) + "\r\n=>\r\n" + OrEmpty(localFile);
  ShowVerboseTrace("Receive file from FTP server", details.c_str(), 0);
  return m_bFireWallMode ? ReceiveFilePASV(remoteFile, localFile)
                         : TransferActive(Direction::Download, remoteFile, localFile);
}

int CUT_FTPClient::SendFile(const char* localFile, const char* remoteFile) {
  const std::string details = std::string(OrEmpty(localFile)) + "\r\n=>\r\n" + OrEmpty(remoteFile);
  ShowVerboseTrace("Send file to FTP server", details.c_str(), 0);
  return m_bFireWallMode ? SendFilePASV(localFile, remoteFile)
                         : TransferActive(Direction::Upload, remoteFile, localFile);
}

int CUT_FTPClient::ReceiveFilePASV(const char* remoteFile, const char* localFile) {
  return TransferPassive(Direction::Download, remoteFile, localFile);
}

int CUT_FTPClient::SendFilePASV(const char* localFile, const char* remoteFile) {
  return TransferPassive(Direction::Upload, remoteFile, localFile);
}

int CUT_FTPClient::CheckTransfer(Direction direction, const char* remoteFile, const char* localFile) const {
  const std::string_view remote = OrEmpty(remoteFile);
  // "RETR " or "STOR ", the name and CR LF within the command buffer.
  if (remote.find_first_of("\r\n") != std::string_view::npos || remote.size() + 7 >= sizeof m_szBuf) return 3;
  if (direction == Direction::Upload) {
    std::FILE* file = localFile ? std::fopen(localFile, "rb") : nullptr;
    if (!file) return 5;
    std::fclose(file);
    struct stat info {};
    if (::stat(localFile, &info) != 0 || S_ISDIR(info.st_mode)) return 5;
  }
  return 0;
}

int CUT_FTPClient::TransferActive(Direction direction, const char* remoteFile, const char* localFile) {
  if (const int refused = CheckTransfer(direction, remoteFile, localFile)) return refused;
  if (const int failed = OpenActiveDataPort()) return failed;
  const int code = Command(direction == Direction::Download ? "RETR" : "STOR", OrEmpty(remoteFile));
  if (code < 100 || code > 299) {
    m_wsData.CloseConnection();
    return 3;
  }
  if (m_wsData.WaitForAccept(kFileAcceptSeconds) != 0) {
    m_wsData.CloseConnection();
    m_wsControl.ClearReceiveBuffer();
    return 4;
  }
  const bool moved = m_wsData.AcceptConnection() == 0 && MoveData(direction, localFile);
  m_wsData.CloseConnection();
  return FinishTransfer(moved);
}

int CUT_FTPClient::TransferPassive(Direction direction, const char* remoteFile, const char* localFile) {
  if (const int refused = CheckTransfer(direction, remoteFile, localFile)) return refused;
  if (const int failed = OpenPassiveData(direction == Direction::Download ? "RETR" : "STOR", OrEmpty(remoteFile)))
    return failed;
  const bool moved = MoveData(direction, localFile);
  m_wsData.CloseConnection();
  return FinishTransfer(moved);
}

bool CUT_FTPClient::MoveData(Direction direction, const char* localFile) {
  if (direction == Direction::Download) return zerth::detail::DownloadToFile(m_wsData, localFile);
  const long size = IsRegularFile(localFile) ? FileSize(localFile) : -1;
  // SendFile reports a cancel as success: the count tells.
  long bytes = 0;
  return m_wsData.SendFile(localFile, &bytes) == 0 && (size < 0 || bytes == size);
}

int CUT_FTPClient::FinishTransfer(bool moved) {
  const int code = GetResponseCode(&m_wsControl, nullptr, 0);
  return Is2xx(code) && moved ? 0 : 5;
}

// ---- Listings -----------------------------------------------------------------

int CUT_FTPClient::GetDirInfo() {
  if (m_bFireWallMode) return GetDirInfoPASV();
  if (const int failed = OpenActiveDataPort()) return failed;
  SendCommand("LIST");
  if (m_wsData.WaitForAccept(kListingAcceptSeconds) != 0) {
    m_wsData.CloseConnection();
    m_wsControl.ClearReceiveBuffer();
    return 3;
  }
  ClearDirInfo();
  const bool complete = m_wsData.AcceptConnection() == 0 && ReadListing();
  m_wsData.CloseConnection();
  return FinishListing(complete);
}

int CUT_FTPClient::GetDirInfoPASV() {
  if (const int failed = OpenPassiveData("LIST", nullptr)) return failed;
  ClearDirInfo();
  const bool complete = ReadListing();
  m_wsData.CloseConnection();
  return FinishListing(complete);
}

bool CUT_FTPClient::ReadListing() {
  bool totalSkipped = false;
  // Each line goes through m_szBuf, where the parsers read it.
  auto addLine = [&](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    CopyCut(m_szBuf, sizeof m_szBuf, line);
    if (!totalSkipped && ::strncasecmp(m_szBuf, "total", 5) == 0) {
      totalSkipped = true;
      return;
    }
    CUT_DIRINFOTag entry{};
    if (m_szBuf[0] >= '0' && m_szBuf[0] <= '9')
      GetInfoInDOSFormat(&entry);
    else
      GetInfoInUNIXFormat(&entry);
    m_dirInfoList.push_back(entry);
    m_nDirInfoCount = static_cast<int>(m_dirInfoList.size());
  };

  char block[20480];
  std::string line;             // the current line, at most the buffer's width
  std::size_t lineBytes = 0;    // its length as sent
  for (;;) {
    const int got = m_wsData.Receive(block, sizeof block);
    if (got < 0) return false;
    if (got == 0) break;
    std::string_view rest(block, static_cast<std::size_t>(got));
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      const std::string_view piece = rest.substr(0, end);
      lineBytes += piece.size();
      if (lineBytes > kMaxLineBytes) return false;
      const std::size_t room = sizeof m_szBuf - 1 - line.size();  // line never outgrows the buffer
      line.append(piece.substr(0, std::min(piece.size(), room)));
      if (end == std::string_view::npos) break;
      addLine(line);
      if (m_dirInfoList.size() >= kMaxDirEntries) return false;
      line.clear();
      lineBytes = 0;
      rest.remove_prefix(end + 1);
    }
  }
  if (lineBytes > 0) addLine(line);
  return true;
}

int CUT_FTPClient::FinishListing(bool complete) {
  int code = GetResponseCode(&m_wsControl, nullptr, 0);
  if (code > 0 && code < 200) code = GetResponseCode(&m_wsControl, nullptr, 0);
  return complete && Is2xx(code) ? 0 : 4;
}

void CUT_FTPClient::GetInfoInDOSFormat(CUT_DIRINFOTag* entry) {
  if (entry) zerth::detail::ParseDosListingLine(m_szBuf, *entry);
}

void CUT_FTPClient::GetInfoInUNIXFormat(CUT_DIRINFOTag* entry) {
  if (entry) zerth::detail::ParseUnixListingLine(m_szBuf, CurrentLocalYear(), *entry);
}

int CUT_FTPClient::ClearDirInfo() {
  m_dirInfoList.clear();
  m_dirInfoList.shrink_to_fit();
  m_nDirInfoCount = 0;
  return 0;
}

int CUT_FTPClient::GetDirInfoCount() const {
  return m_nDirInfoCount;
}

int CUT_FTPClient::GetDirEntry(int index, char* name, int maxLen) const {
  if (index < 0 || index >= m_nDirInfoCount) return 1;
  CopyCut(name, maxLen, m_dirInfoList[static_cast<std::size_t>(index)].fileName);
  return 0;
}

int CUT_FTPClient::GetDirEntry(int index, CUT_DIRINFOTag* entry) const {
  if (index < 0 || index >= m_nDirInfoCount || !entry) return 1;
  *entry = m_dirInfoList[static_cast<std::size_t>(index)];
  return 0;
}
