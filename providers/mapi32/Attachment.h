// An attachment read from its file, with the name and type it is sent under.
#pragma once

#include <zerth/mapi.h>

#include <string>

namespace mapi32 {

struct Attachment {
  std::string fileName;     // UTF-8 name shown to the recipient
  std::string contentType;  // "type/subtype"
  std::string data;         // the file's bytes
};

// Reads lpszPathName whole. The name is lpszFileName, or the path's last
// component when that is null or empty; the type follows the name's extension.
// Throws MapiError: MAPI_E_ATTACHMENT_NOT_FOUND when the path is empty or
// names nothing, MAPI_E_ATTACHMENT_OPEN_FAILURE when it names something that
// cannot be read as a file (a directory, a device, no permission, I/O error).
Attachment LoadAttachment(const MapiFileDesc& desc);

}  // namespace mapi32
