// An attachment read from its file, with the name and type it is sent under.
#pragma once

#include <zerth/mapi.h>

#include <cstddef>
#include <string>

namespace mapi32 {

// The largest attachment file read, as large as the program's message
// source may be: beyond it a message would take several times that in
// memory (file, base64 part, the whole message).
inline constexpr std::size_t kMaxAttachmentBytes = std::size_t{64} * 1024 * 1024;

struct Attachment {
  std::string fileName;     // UTF-8 name shown to the recipient
  std::string contentType;  // "type/subtype"
  std::string data;         // the file's bytes
};

// Reads lpszPathName whole. The name is lpszFileName, or the path's last
// component when that is null or empty; the type follows the name's extension.
// Throws MapiError: MAPI_E_ATTACHMENT_NOT_FOUND when the path is empty or
// names nothing, MAPI_E_ATTACHMENT_OPEN_FAILURE when it names something that
// cannot be read as a regular file (a directory, FIFO or device, no
// permission, an I/O error) or a file over kMaxAttachmentBytes.
Attachment LoadAttachment(const MapiFileDesc& desc);

}  // namespace mapi32
