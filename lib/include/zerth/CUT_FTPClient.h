// CUT_FTPClient: the library's FTP client. Logs in over a control connection
// on port 21, sends commands, reads numbered single- and multi-line replies,
// and moves files and directory listings over a data connection, in active
// mode (the client listens and announces its port with PORT) or, in fire
// wall mode, in passive mode (PASV). Owns its two connections and its lists.
//
// Results: 0 for success, else a small code naming the failure (see each
// operation; where none is named, 1 no reply, 2 an unexpected reply).
// Every operation blocks on the caller's thread; one object serves one
// thread at a time. With the verbose mode switch on (CZerthUtility),
// Connect, ReceiveFile, SendFile, ChDir and CdUp show what they are about
// to do first.
//
// Sound behaviour where a plain client would go wrong:
//  - A command is never cut and never carries a line end of its own: a name
//    containing CR or LF, or a command that would not fit in 255 characters,
//    is not sent and counts as refused by the server (the operation's result
//    for an unexpected reply; a transfer or listing gives it before anything
//    is sent).
//  - A reply or listing line longer than the buffers is cut to fit; the
//    rest of it is read and dropped. A reply line that has not ended after
//    kMaxLineBytes, or a reply of more than kMaxReplyLines lines, is no reply
//    and the control connection is closed (it is out of step). The reply
//    list keeps the last kMaxReplyLines lines, a listing at most
//    kMaxDirEntries entries (more gives 4): a server cannot make the client
//    hold memory without bound. A server silent for the connections'
//    receive time-out (10 s, CUT_WSClient) has given no reply.
//  - A PASV reply with fewer than six numbers gives 3, a host number that is
//    not 0 to 255 gives 4, a port number that is not 0 to 255 (or port 0)
//    gives 5.
//  - A download goes to a new file beside localFile that replaces it only
//    once every byte has come: a failed or cancelled download leaves an
//    existing file as it was. It is received in 256 KiB blocks (the progress
//    callback is called after each), at the speed of a plain copy.
//  - A transfer whose bytes did not all move (the local file cannot be
//    opened, read or written, the data connection broke, the progress
//    callback cancelled) gives 5 even when the server's final reply is 2xx;
//    an upload of a local file that cannot be opened gives 5 before anything
//    is sent, so no empty remote file is made.
//  - In a DOS listing date with a four-digit year that year is taken, and
//    the minute is read after the ':' whatever the hour's width.
//  - A data port set outside 1 to 65535 (SetDataPort) starts at 10000.
//  - Copies are not allowed: a copy would share the connections.
#pragma once

#include <zerth/CUT_WSClient.h>
#include <zerth/Export.h>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

// One entry of a directory listing.
struct CUT_DIRINFOTag {
  char fileName[256];  // the first blank-separated word of the name column
  long fileSize;       // bytes; 0 for directories
  int day;
  int month;   // 1 to 12
  int year;    // four digits
  int hour;    // as listed: DOS listings keep the 12-hour value
  int minute;
  int isDir;   // 1 for a directory
};

class ZERTH_API CUT_FTPClient {
public:
  // A reply line or listing line that has not ended after this many bytes
  // ends the read (see above).
  static constexpr std::size_t kMaxLineBytes = 65536;
  // Lines one reply may have, and lines the reply list keeps.
  static constexpr std::size_t kMaxReplyLines = 1000;
  // Entries a listing may have.
  static constexpr std::size_t kMaxDirEntries = 100000;

  // Both connections made; transfer settings 0, fire wall mode off, lists
  // empty; the first active data port 10000 + (milliseconds mod 20000).
  CUT_FTPClient();
  CUT_FTPClient(const CUT_FTPClient&) = delete;
  CUT_FTPClient& operator=(const CUT_FTPClient&) = delete;

  // Passive listing of the current directory into the entry list: results
  // as GetDirInfo, and 6 when the data connection cannot be made.
  virtual int GetDirInfoPASV();
  // Fill entry from the UNIX listing line in m_szBuf ("drwxr-xr-x 2 u g 4096
  // Dec 25 10:30 name"); a time instead of a year means the current year.
  virtual void GetInfoInUNIXFormat(CUT_DIRINFOTag* entry);
  // Fill entry from the DOS listing line in m_szBuf ("12-25-99 10:30AM
  // <DIR> name" or a size instead of <DIR>); two-digit years below 70 are
  // 20yy.
  virtual void GetInfoInDOSFormat(CUT_DIRINFOTag* entry);
  // Drops both lists, sends QUIT and closes both connections.
  virtual ~CUT_FTPClient();
  // Listing of the current directory (passive in fire wall mode). 0; 1 no
  // data port could be opened (128 tried); 2 PORT refused; 3 the server did
  // not connect within 15 s (or, passive, LIST refused); 4 the final reply
  // was not 2xx, or the listing was cut (kMaxDirEntries, kMaxLineBytes);
  // passive 2 to 5 as for PASV in ReceiveFile.
  virtual int GetDirInfo();

  // Logs in: 0 logged in; 1 host not found; 2 no connection to port 21;
  // 3 no greeting; 4 greeting not 2xx/3xx; 5 no reply to USER; 6 USER
  // refused; 7 no reply to PASS; 8 PASS refused; 9 no reply to ACCT; 10 ACCT
  // refused. ACCT is sent only when PASS is answered with exactly 300.
  // Null texts count as empty.
  int Connect(const char* host, const char* user, const char* password, const char* account);
  // Sends QUIT (connected or not) and closes both connections; 0.
  int Close();

  // Download into localFile (replaced once all has come, see above). 0; 1 no data port;
  // 2 PORT refused (passive: PASV refused); 3 RETR refused (passive: bad
  // PASV reply too); 4 the server did not connect within 5 s (passive: the
  // address is not valid); 5 the final reply was not 2xx or the bytes did
  // not all move (passive: also a bad port); 6 passive only: no data
  // connection.
  int ReceiveFile(const char* remoteFile, const char* localFile);
  // Upload; the results of ReceiveFile, with STOR for RETR.
  int SendFile(const char* localFile, const char* remoteFile);
  int DeleteFileA(const char* name);
  // 0; 1 no reply to RNFR; 2 RNFR refused; 3 no reply to RNTO; 4 RNTO refused.
  int RenameFile(const char* oldName, const char* newName);
  // The current directory (the text between the first quotes of the PWD
  // reply) into dir, at most maxLen - 1 characters.
  int GetCurDir(char* dir, int maxLen);
  int ChDir(const char* dir);
  // 0; 1 no reply; 2 a 5xx reply; 3 any other reply.
  int CdUp();
  int MkDir(const char* dir);
  int RmDir(const char* dir);
  int NoOp();
  // HELP with topic (none when null or empty); the text is then in the
  // reply list (GetMultiLineResponse), which is cleared first.
  int GetHelp(const char* topic);
  // 0 ASCII (TYPE A), 1 image (TYPE I). 0; 1 unknown value (nothing sent);
  // 2 no reply; 3 refused.
  int SetTransferType(int type);
  // 0 stream, 1 block, 2 compressed; results as SetTransferType.
  int SetTransferMode(int mode);
  // 0 file, 1 record, 2 page; results as SetTransferType.
  int SetTransferStructure(int structure);
  // The next local port for active data connections; 0.
  int SetDataPort(int port);
  // Non-zero: transfers and listings use passive mode.
  void SetFireWallMode(int on);

  int GetDirInfoCount() const;
  // The name of entry index (from 0), at most maxLen - 1 characters. 0, or 1
  // when there is no such entry.
  int GetDirEntry(int index, char* name, int maxLen) const;
  // The whole entry. 0, or 1 when there is no such entry (or entry is null).
  int GetDirEntry(int index, CUT_DIRINFOTag* entry) const;
  // Line index (from 0) of the reply list: the lines of the last multi-line
  // reply, followed by the single-line replies since. 0, or 1 when missing.
  int GetMultiLineResponse(int index, char* line, int maxLen) const;
  // The line, or an empty text when missing.
  const char* GetMultiLineResponse(int index) const;
  int ClearMLResponse();
  // The last reply line read, at most 259 characters.
  const char* GetLastResponse() const;
  // The same under its older name.
  const char* GetLastResonse() const;
  // Progress callbacks for both connections (bytes so far; 0 cancels).
  void SetSendCallBackFunction(int (*callback)(long));
  void SetRecvCallBackFunction(int (*callback)(long));

protected:
  // Reads one reply from connection: its code (0: no reply). A multi-line
  // reply replaces the reply list, a single-line one is appended to it.
  // text, when not null, receives the reply text after code and separator.
  int GetResponseCode(CUT_WSClient* connection, char* text, int maxLen);
  // Appends a copy of line to the reply list; 0.
  int AddMLResponseLine(const char* line);
  // Empties the entry list; 0.
  int ClearDirInfo();
  int ReceiveFilePASV(const char* remoteFile, const char* localFile);
  int SendFilePASV(const char* localFile, const char* remoteFile);

  CUT_WSClient m_wsControl;
  CUT_WSClient m_wsData;
  char m_szLastResponse[260];
  int m_nTransferType;
  int m_nTransferMode;
  int m_nTransferStructure;
  int m_nDataPort;
  int m_bFireWallMode;
  // The reply lines in arrival order, and the listing's entries in listing
  // order (owned copies; see kMaxReplyLines and kMaxDirEntries).
  std::deque<std::string> m_mlResponseList;
  std::vector<CUT_DIRINFOTag> m_dirInfoList;
  int m_nDirInfoCount;
  // Commands are formatted here, reply and listing lines read here.
  char m_szBuf[256];

private:
  enum class Direction { Download, Upload };
  int TransferActive(Direction direction, const char* remoteFile, const char* localFile);
  int TransferPassive(Direction direction, const char* remoteFile, const char* localFile);
  // Formats "verb argument\r\n" (argument null: "verb\r\n") into m_szBuf
  // and sends it; false, sending nothing, when argument holds CR or LF or
  // the command does not fit.
  bool SendCommand(const char* verb, const char* argument = nullptr);
  // SendCommand, then the reply: its code, 0 for no reply, -1 when the
  // command was refused unsent. text as for GetResponseCode.
  int Command(const char* verb, const char* argument = nullptr, char* text = nullptr, int maxLen = 0);
  enum class LineRead { Line, None, Broken };
  // One reply line into m_szBuf, line end removed. None when nothing came;
  // Broken when it did not end within kMaxLineBytes (the connection is then
  // closed).
  LineRead ReadReplyLine(CUT_WSClient& connection);
  // The checks before a transfer sends anything: 0, 3 a remote name that
  // cannot be sent, 5 an upload's local file that cannot be read.
  int CheckTransfer(Direction direction, const char* remoteFile, const char* localFile) const;
  // Listens on m_nDataPort (128 ports tried) and sends PORT: 0, 1 no port,
  // 2 PORT refused; the data connection is closed on failure.
  int OpenActiveDataPort();
  // PASV, then a connection to the port it names once command (RETR, STOR
  // or LIST) has been sent: 0, or the passive results 2 to 6.
  int OpenPassiveData(const char* verb, const char* argument);
  // Reads the data connection's lines into the entry list; false when the
  // listing had to be cut.
  bool ReadListing();
  // The final reply after a listing: 0, or 4.
  int FinishListing(bool complete);
  // Runs the data side of a transfer on the open data connection; true when
  // every byte moved.
  bool MoveData(Direction direction, const char* localFile);
  int FinishTransfer(bool moved);
};
