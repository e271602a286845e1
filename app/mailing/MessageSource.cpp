#include "mailing/MessageSource.h"

#include <zplatform/WholeFile.h>

#include <algorithm>

SourceStatus ReadMessageSource(const std::string& path, std::string& body) {
  std::string data;
  switch (zplatform::ReadWholeFile(path, kMaxSourceBytes, data)) {
    case zplatform::WholeFileStatus::Ok: break;
    case zplatform::WholeFileStatus::NotFound:
    case zplatform::WholeFileStatus::CannotOpen: return SourceStatus::CannotOpen;
    case zplatform::WholeFileStatus::NotRegularFile:
    case zplatform::WholeFileStatus::TooLarge:
    case zplatform::WholeFileStatus::ReadError: return SourceStatus::CannotRead;
  }
  if (data.empty()) return SourceStatus::CannotRead;
  body.assign(data.data(), std::min(data.size(), data.find('\0')));
  return SourceStatus::Ok;
}
