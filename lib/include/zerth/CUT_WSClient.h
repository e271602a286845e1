// CUT_WSClient: the library's TCP/UDP socket client. Wraps one connection
// socket and one listening socket, with blocking line- and file-oriented
// transfers, host name and address look-ups, the string splitter the FTP and
// HTTP clients parse replies with, and optional asynchronous notification
// through a hidden window. Owns both sockets and the window.
//
// Results of the CUT_ family: 0 for success, else a small code naming the
// failure (the tables at each operation). Winsock codes are not stored; read
// them with WSAGetLastError. Every operation blocks on the caller's thread;
// one object serves one thread at a time.
//
// Sound behaviour where a plain wrapper would go wrong:
//  - An address text longer than 29 characters is never cut (a cut address
//    names another host): it is not stored (m_szAddress becomes empty) and
//    the connection fails as for an unreachable address (Connect 3,
//    ConnectBound 4; SendTo of a UDP socket made with it 2).
//  - Every socket the object opens gets the stored send and receive
//    time-outs (10 s by default), so a silent peer cannot block a call
//    without end; 0 or less waits without limit.
//  - A non-blocking Connect that ends refused or unreachable gives 3, not
//    success.
//  - SendFile sends every block whole (one short send would drop the rest
//    of it) and gives 1 for a file that opens but cannot be read (a folder);
//    ReceiveToFile gives 5 when the last write fails at closing.
//  - AcceptConnection refuses (1) while a connection socket is open, which
//    would otherwise stay open, lost, under the new one.
//  - IsConnected gives the socket back in the mode it had (non-blocking
//    under SetAsyncNotify), not always blocking.
//  - Waits use poll, so descriptors above 1023 work.
//  - Sending never raises SIGPIPE.
//  - Copies are not allowed: a copy would share the sockets and the window,
//    and the first destructor would close them under the other object.
//  - SendAsLine with a line length of 0 or less sends nothing and returns 0.
#pragma once

#include <zerth/Export.h>
#include <zplatform/DynamicLibrary.h>
#include <zplatform/Winsock.h>

#include <netinet/in.h>

class ZERTH_API CUT_WSClient {
public:
  // Starts Windows Sockets 1.1; time-outs 10000 ms; both sockets closed.
  CUT_WSClient();
  // CloseConnection, WSACleanup, then destroys the notification window (a
  // look-up still running then reports to nobody).
  virtual ~CUT_WSClient();
  CUT_WSClient(const CUT_WSClient&) = delete;
  CUT_WSClient& operator=(const CUT_WSClient&) = delete;

  // Called after every block ReceiveToFile writes, with the bytes so far:
  // the receive callback's result, or 1 without one. 0 cancels.
  virtual int ReceiveFileStatus(long bytesSoFar);
  // The same for SendFile, with the send callback.
  virtual int SendFileStatus(long bytesSoFar);
  // A socket event armed by SetAsyncNotify (FD_READ, FD_WRITE, ...) and its
  // Winsock error; runs in the thread that called InitAsync. Does nothing.
  virtual void OnAsyncNotify(int event, int error);
  // End of AsyncGetNameFromAddress (error 0: the record is in
  // m_hostEntBuffer). Does nothing.
  virtual void OnAsyncGetNameNotify(int error);
  // End of AsyncGetAddressFromName. Does nothing.
  virtual void OnAsyncGetAddressNotify(int error);

  // WSACleanup and WSAStartup again: 0, or 1 when start-up fails.
  int Reset();

  // ---- Connections -------------------------------------------------------

  // Connects to the dotted IPv4 address. 0 connected; 1 a connection socket
  // is already open; 2 no socket; 3 refused, unreachable or not a dotted
  // address (also an address of 30 or more characters); 4 not connected
  // within m_lSendTimeOut / 1000 whole seconds (when m_lSendTimeOut > 0).
  int Connect(unsigned int port, const char* address, int family = AF_INET, int type = SOCK_STREAM);
  // Binds to localAddress:localPort, then connects (blocking). 0; 1 open;
  // 2 no socket; 3 bind failed; 4 connect failed (3 and 4 leave the socket
  // open until CloseConnection).
  int ConnectBound(unsigned int localPort, unsigned int remotePort, const char* localAddress,
                   const char* remoteAddress, int family = AF_INET, int type = SOCK_STREAM);
  // A UDP socket bound to localAddress (any when null) and localPort; the
  // remote port and address are kept for SendTo. 0; 1 open; 2 no socket;
  // 3 bind failed (socket kept).
  int CreateUDPSocket(unsigned int localPort, unsigned int remotePort, const char* localAddress,
                      const char* remoteAddress);
  int CreateUDPSocket(unsigned int localPort, unsigned int remotePort, const char* remoteAddress);
  // Listens on port (address in network order). 0; 1 already listening;
  // 2 no socket; 3 bind failed; 4 listen failed (3 and 4 keep the socket).
  int WaitForConnect(unsigned short port, int backlog, short family, unsigned long address);
  int WaitForConnect(unsigned short port, int backlog);
  int WaitForConnect(unsigned short port);
  // 0 when a connection waits on the listening socket within seconds, else 1.
  int WaitForAccept(long seconds);
  // Accepts into the connection socket (the peer into m_clientSocketAddr);
  // the listening socket stays. 0, or 1 on failure (also while a connection
  // socket is open).
  int AcceptConnection();
  // Closes both sockets. A bit set of failures: 1 shutdown and 2 close of
  // the connection socket, 4 shutdown and 8 close of the listening socket.
  int CloseConnection();
  // 1 when the connection looks alive, 0 when it is closed, reset or gone.
  int IsConnected();

  // ---- Transfer ----------------------------------------------------------

  // One send of len bytes (len <= 0: the text length of data): the bytes
  // sent, or SOCKET_ERROR.
  int Send(const char* data, int len);
  // data as lines of at most lineLen characters, each followed by CR LF
  // (len < 0: the text length). The data bytes sent, CR LF not counted.
  int SendAsLine(const char* data, int len, int lineLen);
  // Sends the file in 20480-byte blocks, calling SendFileStatus after each.
  // 0 done (also when cancelled), 1 the file cannot be opened, 2 a send failed.
  int SendFile(const char* path, long* bytesSent);
  // UDP: sends len bytes to the stored remote port and address; len gets the
  // result. 0; 1 no socket; 2 failed.
  int SendTo(const char* data, int& len);
  // UDP: receives up to len bytes (the sender into m_clientSocketAddr); len
  // gets the result. 0; 1 no socket; 2 nothing within seconds; 3 failed.
  int ReceiveFrom(char* buffer, int& len, unsigned long seconds);
  // One receive of up to maxLen bytes: the count, 0 when the peer closed
  // (or, with seconds > 0, nothing came within them), -1 on error.
  int Receive(char* buffer, int maxLen, int seconds);
  int Receive(char* buffer, int maxLen);
  // One line with its CR LF, at most maxLen - 1 characters, NUL-terminated:
  // the characters stored (0: buffer unchanged). Takes from the socket only
  // the bytes of the line; seconds > 0 bounds each wait for more.
  int ReceiveLine(char* buffer, int maxLen, int seconds = 0);
  // Receives until the peer closes into path (mode 1 create or truncate,
  // mode 2 append) in 20480-byte blocks, calling ReceiveFileStatus after each.
  // 0 done; 1 bad mode; 2 cannot open; 3 nothing within seconds (> 0);
  // 4 receive failed; 5 write failed; 6 cancelled.
  int ReceiveToFile(const char* path, int mode, long* bytesReceived, int seconds = 0);
  // Discards pending input; 0.
  int ClearReceiveBuffer();
  // 1 when received bytes wait, else 0.
  int IsDataWaiting();
  // 0 when the connection socket can send / has input within the time,
  // else 1.
  int WaitForSend(long seconds, long microseconds);
  int WaitForReceive(long seconds, long microseconds);

  // ---- Settings (0 / -1 as the socket call gives them) -------------------

  // Stores the time-out (ms) for sockets opened later and sets it on the
  // open connection socket.
  int SetReceiveTimeOut(int milliseconds);
  int SetSendTimeOut(int milliseconds);
  // Non-zero: non-blocking. 0, or 1 on failure.
  int SetBlockingMode(int mode);
  int GetMaxSend();
  int GetMaxReceive();
  int SetMaxSend(int bytes);
  int SetMaxReceive(int bytes);
  // SOL_SOCKET option with a 4-byte value.
  int SetSocketOption(int option, void* value);
  int GetSocketOption(int option, void* value);
  void SetRecvCallBackFunction(int (*callback)(long));
  void SetSendCallBackFunction(int (*callback)(long));
  unsigned int GetPort() const;
  SOCKET GetSocket() const;

  // ---- Names and addresses -----------------------------------------------

  // The first IPv4 address of name as dotted text (of the part after the last
  // '@' when one stands after the first character). 0; 1 maxLen too small;
  // 2 not found.
  int GetAddressFromName(const char* name, char* address, int maxLen);
  // The host name of the dotted address. 0; 1 maxLen too small; 2 none.
  int GetNameFromAddress(const char* address, char* name, int maxLen);
  // 1 for a dotted IPv4 address other than 255.255.255.255, else 0.
  int IsIPAddress(const char* text) const;
  // This host's address: by its name unless fromSocketOnly, else (or when
  // that fails) the local address of the connection socket, cut to
  // maxLen - 1 characters. 0, or 1 without a connection socket.
  int GetHostAddress(char* address, int maxLen, int fromSocketOnly);

  // ---- Parsing -----------------------------------------------------------

  // Piece index (from 0) of text split at any of separators (runs count as
  // one, never empty pieces) into piece, if it fits with its NUL in maxLen.
  // 0 found; 1 missing, too long or a null argument.
  int ParseString(const char* text, const char* separators, int index, char* piece, int maxLen) const;
  // The piece (at most 59 characters) as atol into *value; 0, or 1 (value
  // unchanged).
  int ParseString(const char* text, const char* separators, int index, long* value) const;
  // The number of pieces.
  int GetParseStringPieces(const char* text, const char* separators) const;
  // Cuts the line end: at the second-last character when that is CR or LF,
  // else at the last when that is.
  void RemoveCRLF(char* text) const;
  // 1 when the last character is CR or LF.
  int EndWithCRLF(const char* text) const;

  // ---- Asynchronous notification -----------------------------------------

  // Creates the hidden notification window in the calling thread, which must
  // run a Qt event loop for notifications to arrive (instance is kept for
  // the interface). 0, or 1 when no window can be made there. A second call
  // keeps the window made by the first.
  int InitAsync(HINSTANCE instance);
  // Arms the events (FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE)
  // of the connection socket, which becomes non-blocking; OnAsyncNotify is
  // called for each. 0, or 1 (no window, no socket). 0 events disarms.
  int SetAsyncNotify(long events);
  // Looks up the host name of the dotted address off the thread; the record
  // arrives in m_hostEntBuffer before OnAsyncGetNameNotify runs. name and
  // maxLen are not used. 0 started, 1 not (no window).
  int AsyncGetNameFromAddress(const char* address, char* name, int maxLen);
  // The same for the address of a name ('@' rule of GetAddressFromName),
  // reported by OnAsyncGetAddressNotify; address and maxLen are not used.
  int AsyncGetAddressFromName(const char* name, char* address, int maxLen);

protected:
  unsigned int m_nPort;
  char m_szAddress[30];
  int m_nProtocol;
  int m_nFamily;
  int m_nSockType;
  WSADATA m_WSAData;
  SOCKET m_clientSocket;
  sockaddr_in m_clientSocketAddr;
  SOCKET m_serverSocket;
  sockaddr_in m_serverSocketAddr;
  HWND m_hAsyncWnd;
  LONG m_lSendTimeOut;
  LONG m_lRecvTimeOut;
  // The result of the asynchronous look-ups, laid out as Winsock does: a
  // hostent at offset 0 whose pointers point into this buffer: h_aliases
  // to an empty list, h_addr_list to up to 16 four-byte IPv4 addresses
  // (network order) and a null, h_name to the NUL-terminated name; all of it
  // within the 1024 bytes. Read it as *reinterpret_cast<hostent*>(m_hostEntBuffer).
  alignas(hostent) char m_hostEntBuffer[1024];
  int (*m_recvCallBack)(long);
  int (*m_sendCallBack)(long);

private:
  static LRESULT NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Opens the connection socket with the stored time-outs.
  bool OpenClientSocket(int family, int type);
  // Copies address into m_szAddress when it fits; else leaves it empty.
  bool StoreAddress(const char* address);
};
