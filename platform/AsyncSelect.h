// Internal to the platform layer: the table of sockets under asynchronous
// selection, shared by closesocket, WSAAsyncSelect and DestroyWindow.
#pragma once

#include <zplatform/Winsock.h>

namespace zplatform::detail {

// Ends the asynchronous selection on s, if any, before s is closed.
void EndAsyncSelect(SOCKET s);
// Forgets every selection of a window being destroyed.
void ForgetSelections(HWND window);

}  // namespace zplatform::detail
