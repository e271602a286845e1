// CUT_HTTPClient: the library's HTTP/1.0 client. One call connects, sends one
// request (GET, HEAD or any command, to the server named in the URL or through
// a proxy), stores the reply's header lines and body lines in memory (or
// writes the body to a file) and closes the connection. Afterwards the caller
// reads the lines, looks up header fields, saves the body and scans it for
// link, meta and frame values and image and alt counts. Every call blocks.
//
// Request results: 0 success; 1 no connection (server or proxy); 3 the URL
// is unusable (null, a control character or blank in it, a host that cannot
// be found, a path of more than 255 characters, a request line of more than
// 511); 4 a part of the request could not be sent, or the command is unusable
// (null, empty, longer than 64 characters, a control character or blank in
// it); 5 plain GET of a body that is not text/html or text/plain (the header
// lines stay stored); GET to a file: 6 to 11, the ReceiveToFile result + 5.
//
// Where a plain client would go wrong, this one:
//  - keeps one Host line: a GET (or a command with data) sent to the server
//    directly replaces any Host line among the header tags by the URL's
//    host, so a second GET without ClearSendHeaderTags sends one Host line,
//    not two (which servers answer with 400). Other header tags stay as added.
//    Through a proxy a Host line already among the tags is sent as it is
//    (the proxy takes the host from the URL).
//  - refuses text that would break the request: AddSendHeaderTag a line with
//    CR or LF inside; URLs, commands and the proxy address with control
//    characters or blanks; SetProxy an address longer than 255 characters
//    (no member is written past, nothing is cut).
//  - bounds what a server can make it hold: reply lines are read in pieces of
//    at most 511 characters; a header line longer than that is cut to 511,
//    the rest of it read and dropped; at most MaxLinesToStore header pieces
//    are read and at most MaxLinesToStore body lines stored (16000 by
//    default, about 8 MB), after which the connection is closed and the
//    request ends with what was stored (GetBodyLineCount() then equals the
//    limit). A server that stops sending is left after 5 seconds.
//  - sends the HTTP version on command lines without data too ("%s %s
//    HTTP/1.0"): without it the request is an HTTP/0.9 one, which servers
//    answer without a status line or refuse.
//  - sends every byte of the request, a command's data included, however
//    the socket splits it.
//  - keeps each kind of tag apart: link, meta and frame counts are cached
//    each on its own, and a value query whose kind is not the one the tag
//    list holds scans again, so GetLinkTag, GetMetaTag and GetFrameTag each
//    return a value of its own kind.
//  - cannot be copied: a copy would share the socket and the lists' nodes.
#pragma once

#include <zerth/CUTStringList.h>
#include <zerth/CUTTagList.h>
#include <zerth/CUT_WSClient.h>
#include <zerth/Export.h>

#include <string>
#include <string_view>

class ZERTH_API CUT_HTTPClient : public CUT_WSClient {
public:
  // Port 80, no proxy, line limit 16000, nothing stored.
  CUT_HTTPClient();
  ~CUT_HTTPClient() override;
  CUT_HTTPClient(const CUT_HTTPClient&) = delete;
  CUT_HTTPClient& operator=(const CUT_HTTPClient&) = delete;

  // ---- Requests (results in the comment at the top) -----------------------

  // GET; header and body lines stored.
  int GET(const char* url);
  // GET; header lines stored, the body written to localFile (created or
  // truncated).
  int GET(const char* url, const char* localFile);
  // HEAD; header lines stored.
  int HEAD(const char* url);
  // command with data as its body; header and body lines stored.
  int CommandLine(const char* command, const char* url, const char* data);
  // command without a body.
  int CommandLine(const char* command, const char* url);

  // ---- Settings -----------------------------------------------------------

  // The port of the server, or of the proxy when it is used: 0, or 1 for a
  // port below 0 or above 65535 (the port is kept).
  int SetPort(int port);
  // Non-zero: requests go through the proxy set with SetProxy.
  void UseProxyServer(int on);
  // The proxy's dotted address: 0, or 1 when null, longer than 255
  // characters or holding a control character or blank (the proxy is kept).
  int SetProxy(const char* address);
  // Appends a header line for every later request, with CR LF; a line end
  // already given is taken as its end. 1, or 0 for a null line or one with
  // CR or LF anywhere else (nothing added).
  int AddSendHeaderTag(const char* line);
  // Forgets every header tag; 1.
  int ClearSendHeaderTags();
  // At most n header pieces read and n body lines stored per request: 0, or
  // 1 for n <= 0 (the limit is kept).
  int MaxLinesToStore(long n);

  // ---- The reply ----------------------------------------------------------

  // Forgets the stored reply and the scans; 0.
  int ClearReceivedData();
  int GetHeaderLineCount() const;
  // Header line index (from 0) without its line end, or null.
  const char* GetHeaderLine(int index) const;
  long GetBodyLineCount() const;
  // Body line index (from 0) with its line end, or null.
  const char* GetBodyLine(long index) const;
  // Writes the body lines to path, replacing the file whole (a temporary
  // file renamed over it, mode 0644): 0; 1 the file cannot be created or
  // replaced; 2 a write failed (the old file is left as it was).
  int SaveToFile(const char* path) const;
  // The status code of the status line, or -1 without one.
  int GetServerErrorCode() const;
  // 0 for a status code from 400 to 599, else 1 (also without a reply).
  int IsGoodHttpErrorCode() const;
  // The whole header line (name, colon, value) named "Last-modified",
  // "Content-length" (case not regarded), or null.
  const char* GetModifiedDateFromHeader() const;
  const char* GetLengthFromHeader() const;
  // The whole "Content-Type" header line, or an empty text.
  const char* GetContentType() const;

  // ---- Tags in the body ----------------------------------------------------

  // The number of href= (link), content= (meta) and frame src= (frame)
  // attributes, each letter in either case; cached until the next request.
  int GetLinkTagCount();
  int GetMetaTagCount();
  int GetFrameTagCount();
  // The value (the text between the quotes) of attribute index of that kind
  // into value, if it fits with its NUL in maxLen: 0; 1 no such attribute;
  // 2 no value or too long. A link's value may continue on the next line.
  int GetLinkTag(int index, char* value, int maxLen);
  int GetMetaTag(int index, char* value, int maxLen);
  int GetFrameTag(int index, char* value, int maxLen);
  // The number of "img src" and " alt" (either case), scanned anew each call.
  int GetImageTagCount();
  int GetAltTagCount();

private:
  enum class RequestKind { Get, GetToFile, Head, Command, CommandWithData };
  enum class TagKind { None, Link, Meta, Frame };
  struct Request {
    RequestKind kind;
    const char* command;  // the method: "GET", "HEAD" or the caller's
    const char* url;
    const char* data;       // CommandWithData
    const char* localFile;  // GetToFile
  };

  // The host of url (backslashes made slashes in it): piece 1 of url split
  // at '/' and '?' when it holds "://", else piece 0. False without one.
  bool HostOfURL(std::string& url, char (&host)[256]) const;
  // Host into the server members, and the path after it (at most maxLen - 1
  // characters) into path. 0, or a sum: 1 no host, 2 host not found, 4 path
  // too long.
  int SplitURL(const char* url, char* path, int maxLen);
  // A new host name is stored and looked up; the same one again is not
  // looked up again once it was found. 0, 1 too long, 2 not found.
  int SetServer(const char* name);
  int GETThroughProxy(const char* url);
  int GETThroughProxy(const char* url, const char* localFile);
  int HEADThroughProxy(const char* url);
  int CommandLineThroughProxy(const char* command, const char* url);
  int CommandLineThroughProxy(const char* command, const char* url, const char* data);

  int RunDirect(const Request& request);
  int RunThroughProxy(const Request& request);
  // 0, 3 or 4 for the URL and command of the request.
  int CheckRequestText(const Request& request) const;
  // Sends the header tags and the empty line, then a command's data; 0 or 4.
  int SendRequestRest(const Request& request);
  // After the request was sent: header, then body or file; closes.
  int ReceiveReply(const Request& request, bool checkText);
  // Every byte, or false.
  bool SendAll(std::string_view bytes);
  // True when the header ended on its empty line.
  bool ReceiveHeaderLines();
  void ReceiveBodyLines();
  // Whether a Content-Type line names text/html or text/plain.
  static bool StartsWithText(std::string_view contentType);
  // Drops input already waiting, at most 1 MiB of it.
  void DiscardPending();
  // The only Host line among the header tags names host.
  void SetHostHeaderTag(std::string_view host);
  // Index of the first header tag named Host, or -1.
  long FindHostHeaderTag() const;
  const char* FindHeaderLine(const char* name) const;
  // Fills m_tagList (and its count) with the attributes of kind.
  int ScanTags(TagKind kind);
  int GetTagValue(TagKind kind, int index, char* value, int maxLen);

protected:
  int m_bUseProxy;
  char m_szProxy[256];
  char m_szServerAddress[32];
  char m_szServerName[256];
  int m_nHttpPort;
  CUTStringList m_sendHeaderTags;
  CUTStringList m_headerLines;
  CUTStringList m_bodyLines;
  long m_lMaxLinesToStore;
  int m_nLinkTagCount;
  int m_nFrameTagCount;
  CUTTagList m_tagList;
  // Beside the specified members: the meta scan's own cached count, and the
  // kind of tag m_tagList holds.
  int m_nMetaTagCount;
  TagKind m_tagListKind;
};
