// Reading attachment files.
#include "Attachment.h"

#include "Charset.h"
#include "MapiError.h"
#include "MimeTypes.h"
#include <zplatform/WholeFile.h>

namespace mapi32 {

namespace {

std::string ReadAttachmentFile(const std::string& path) {
  std::string data;
  switch (zplatform::ReadWholeFile(path, kMaxAttachmentBytes, data)) {
    case zplatform::WholeFileStatus::Ok: return data;
    case zplatform::WholeFileStatus::NotFound: throw MapiError(MAPI_E_ATTACHMENT_NOT_FOUND);
    default: throw MapiError(MAPI_E_ATTACHMENT_OPEN_FAILURE);
  }
}

std::string BaseName(std::string_view path) {
  auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

Attachment LoadAttachment(const MapiFileDesc& desc) {
  std::string path(FieldText(desc.lpszPathName));
  if (path.empty()) throw MapiError(MAPI_E_ATTACHMENT_NOT_FOUND);

  Attachment attachment;
  attachment.data = ReadAttachmentFile(path);
  attachment.fileName = HeaderText(FieldText(desc.lpszFileName));
  if (attachment.fileName.empty()) attachment.fileName = HeaderText(BaseName(path));
  attachment.contentType = ContentTypeForName(attachment.fileName);
  return attachment;
}

}  // namespace mapi32
