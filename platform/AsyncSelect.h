// Internal to the platform layer: the link between closesocket and the
// asynchronous selections of the notification windows.
#pragma once

#include <zplatform/Winsock.h>

namespace zplatform::detail {

// Ends the asynchronous selection on s, if any, before s is closed.
void EndAsyncSelect(SOCKET s);

}  // namespace zplatform::detail
