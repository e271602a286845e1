// The extensions a mailing's attachments commonly have. A fixed table rather
// than the system's MIME database, so that a message does not change with the
// packages installed on the sender's machine.
#include "MimeTypes.h"

#include <zplatform/AsciiText.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace mapi32 {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 42> kTypes = {{
    {"7z", "application/x-7z-compressed"},
    {"bmp", "image/bmp"},
    {"csv", "text/csv"},
    {"doc", "application/msword"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"eml", "message/rfc822"},
    {"gif", "image/gif"},
    {"gz", "application/gzip"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"ico", "image/vnd.microsoft.icon"},
    {"ics", "text/calendar"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"json", "application/json"},
    {"mid", "audio/midi"},
    {"midi", "audio/midi"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"odp", "application/vnd.oasis.opendocument.presentation"},
    {"ods", "application/vnd.oasis.opendocument.spreadsheet"},
    {"odt", "application/vnd.oasis.opendocument.text"},
    {"ogg", "audio/ogg"},
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"rtf", "application/rtf"},
    {"svg", "image/svg+xml"},
    {"tar", "application/x-tar"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"txt", "text/plain"},
    {"vcf", "text/vcard"},
    {"wav", "audio/wav"},
    {"webp", "image/webp"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"xml", "application/xml"},
    {"zip", "application/zip"},
    {"wma", "audio/x-ms-wma"},
    {"wmv", "video/x-ms-wmv"},
}};

}  // namespace

std::string_view ContentTypeForName(std::string_view fileName) {
  constexpr std::string_view kDefault = "application/octet-stream";
  auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == fileName.size()) return kDefault;
  const std::string extension = zplatform::ToLowerAscii(fileName.substr(dot + 1));
  auto found = std::find_if(kTypes.begin(), kTypes.end(), [&](const auto& entry) { return entry.first == extension; });
  return found == kTypes.end() ? kDefault : found->second;
}

}  // namespace mapi32
