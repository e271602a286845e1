// FtpDownload: the FTP client's download of one data connection into a local
// file (internal to the library). The bytes go to a new file beside the
// target, which replaces the target only once every byte has come, so a
// failed or cancelled download leaves an existing file as it was.
#pragma once

#include <zerth/CUT_WSClient.h>

namespace zerth::detail {

// Blocks of the download: large enough that the system calls per byte stay
// near a plain copy's, small enough that memory stays flat.
inline constexpr int kDownloadBlock = 256 * 1024;

// Receives from connection until the peer closes, calling its
// ReceiveFileStatus after each block (0 cancels), into path. True when the
// whole stream is in the file at path.
bool DownloadToFile(CUT_WSClient& connection, const char* path);

}  // namespace zerth::detail
