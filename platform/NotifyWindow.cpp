// Hidden notification windows: under construction.
#include <zplatform/Winsock.h>

#include "AsyncSelect.h"

namespace zplatform::detail {
void EndAsyncSelect(SOCKET) {}
}  // namespace zplatform::detail

HWND CreateNotifyWindow(WNDPROC) { return nullptr; }
BOOL DestroyWindow(HWND) { return FALSE; }
LRESULT SendMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }
LONG_PTR SetWindowLongPtr(HWND, int, LONG_PTR) { return 0; }
LONG_PTR GetWindowLongPtr(HWND, int) { return 0; }
int WSAAsyncSelect(SOCKET, HWND, UINT, long) { return SOCKET_ERROR; }
HANDLE WSAAsyncGetHostByName(HWND, UINT, const char*, char*, int) { return nullptr; }
HANDLE WSAAsyncGetHostByAddr(HWND, UINT, const char*, int, int, char*, int) { return nullptr; }
