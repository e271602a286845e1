// Windows Sockets names and codes over POSIX sockets, as far as the library's
// socket client needs them: SOCKET is a file descriptor, WSAStartup always
// succeeds, WSAGetLastError maps errno to the WSA* codes, and the hidden
// notification window of the asynchronous calls is a QObject living in the
// thread that created it (see CreateNotifyWindow). Self-contained: system
// headers and zplatform/WinTypes.h only, so that installed public headers
// may include it.
#pragma once

#include <zplatform/WinTypes.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>

// ---- Sockets ---------------------------------------------------------------

// A socket is the descriptor itself.
using SOCKET = int;
inline constexpr SOCKET INVALID_SOCKET = -1;
inline constexpr int SOCKET_ERROR = -1;

// shutdown() directions under their Winsock names.
inline constexpr int SD_RECEIVE = SHUT_RD;
inline constexpr int SD_SEND = SHUT_WR;
inline constexpr int SD_BOTH = SHUT_RDWR;

inline constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }
inline constexpr WORD LOWORD(std::uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
inline constexpr WORD HIWORD(std::uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
inline constexpr LONG MAKELONG(WORD low, WORD high) {
  return static_cast<LONG>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;

// Filled by WSAStartup, in the layout of 32-bit Windows.
struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

// Winsock error codes; WSAGetLastError gives these for the errno values of
// the same meaning.
inline constexpr int WSABASEERR = 10000;
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETOOMANYREFS = 10059;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAELOOP = 10062;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAENOTEMPTY = 10066;
inline constexpr int WSAEUSERS = 10068;
inline constexpr int WSAEDQUOT = 10069;
inline constexpr int WSAESTALE = 10070;
inline constexpr int WSAEREMOTE = 10071;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAEDISCON = 10101;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// Succeeds for any version from 1.0 on and fills data (version given,
// highest 2.2); WSAVERNOTSUPPORTED for 0.x, WSAEFAULT for a null data. Calls
// are counted; each WSACleanup undoes one.
int WSAStartup(WORD versionRequested, LPWSADATA data);
// 0, or SOCKET_ERROR (WSANOTINITIALISED) when there was no WSAStartup left.
int WSACleanup();
// The Winsock code of the calling thread's last failure: the one given to
// WSASetLastError if no system call has failed since, else errno mapped
// (0 stays 0; an errno without a Winsock name gives WSABASEERR + errno).
int WSAGetLastError();
void WSASetLastError(int error);
// The Winsock code for an errno value.
int WSAErrorFromErrno(int error);

// Closes the socket and ends any asynchronous selection on it.
int closesocket(SOCKET s);
// FIONBIO (*argp non-zero: non-blocking) and FIONREAD (*argp receives the
// bytes waiting); 0 or SOCKET_ERROR.
int ioctlsocket(SOCKET s, long cmd, u_long* argp);

// ---- Hidden notification windows -------------------------------------------

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using HANDLE = void*;
struct HWND__;
// A hidden notification window: a QObject living in the thread that created
// it, whose window procedure runs from that thread's Qt event loop.
using HWND = HWND__*;
using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr UINT WM_USER = 0x0400;

// Creates a hidden window with procedure proc in the calling thread; null
// when that thread cannot run an event loop (no QCoreApplication) or proc is
// null. Window long 0 starts null.
HWND CreateNotifyWindow(WNDPROC proc);
// Ends every asynchronous selection and pending look-up of the window (a
// look-up still running reports to nobody and writes nothing) and destroys
// it; FALSE for a null window.
BOOL DestroyWindow(HWND window);
// Calls the window procedure at once, on the calling thread.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The one window long (index 0) that a notification window has; other
// indexes give 0 and change nothing.
LONG_PTR SetWindowLongPtr(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtr(HWND window, int index);

// ---- Asynchronous selection and look-ups -----------------------------------

// Events of WSAAsyncSelect, with Winsock's values.
inline constexpr long FD_READ = 0x01;
inline constexpr long FD_WRITE = 0x02;
inline constexpr long FD_OOB = 0x04;
inline constexpr long FD_ACCEPT = 0x08;
inline constexpr long FD_CONNECT = 0x10;
inline constexpr long FD_CLOSE = 0x20;

inline constexpr LPARAM WSAMAKESELECTREPLY(WORD event, WORD error) { return MAKELONG(event, error); }
inline constexpr WORD WSAGETSELECTEVENT(LPARAM lParam) { return LOWORD(static_cast<std::uintptr_t>(lParam)); }
inline constexpr WORD WSAGETSELECTERROR(LPARAM lParam) { return HIWORD(static_cast<std::uintptr_t>(lParam)); }
inline constexpr LPARAM WSAMAKEASYNCREPLY(WORD length, WORD error) { return MAKELONG(length, error); }
inline constexpr WORD WSAGETASYNCBUFLEN(LPARAM lParam) { return LOWORD(static_cast<std::uintptr_t>(lParam)); }
inline constexpr WORD WSAGETASYNCERROR(LPARAM lParam) { return HIWORD(static_cast<std::uintptr_t>(lParam)); }

// Makes s non-blocking and posts message to window (wParam the socket,
// lParam WSAMAKESELECTREPLY(event, error)) from the window's event loop:
//  FD_READ    while unread data waits (again after each delivery, so a
//             handler that does not read hears of it again);
//  FD_CLOSE   once, when the peer has closed (error 0) or reset the stream;
//  FD_ACCEPT  while a connection waits on a listening socket;
//  FD_CONNECT once, when a connect in progress ends (its error);
//  FD_WRITE   once after each WSAAsyncSelect, when the socket can send.
// events 0 (or message 0) ends the selection. 0, or SOCKET_ERROR with
// WSAEINVAL (no window, a closed socket) or WSAENOTSOCK.
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events);

// Looks up name (IPv4) on a worker thread; in the window's thread, the
// result is written into buffer as a hostent followed by what it points to,
// within bufferLength bytes, and message is posted with wParam the task
// handle and lParam WSAMAKEASYNCREPLY(bytes used, error): WSAHOST_NOT_FOUND,
// WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA, or WSAENOBUFS when the record
// does not fit. The buffer must stay valid while the window lives. Returns the
// task handle, or null (WSAEINVAL) for a null window, name or buffer.
HANDLE WSAAsyncGetHostByName(HWND window, UINT message, const char* name, char* buffer, int bufferLength);
// The same for the name of an address (length 4, type AF_INET).
HANDLE WSAAsyncGetHostByAddr(HWND window, UINT message, const char* address, int length, int type, char* buffer,
                             int bufferLength);
