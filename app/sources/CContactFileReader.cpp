#include "CContactFileReader.h"

#include "CTextLineReader.h"

#include <zplatform/AsciiText.h>
#include <zplatform/UniqueFd.h>

#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// White space as the C library's isspace sees it in the "C" locale.
using zplatform::Trim;

// Opens a regular file for reading. Directories, devices and pipes are
// refused: reading them either fails or never ends. O_NONBLOCK only keeps the
// open itself from waiting for a pipe's writer; regular files ignore it.
zplatform::UniqueFd OpenRegularFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) return {};  // would open another name
  zplatform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return fd;
}

}  // namespace

CContactFileReader::CContactFileReader(int layout, std::string separator)
    : m_nLayout(layout), m_sSeparator(std::move(separator)) {}

CContactFileReader::Result CContactFileReader::Read(const std::string& path) const {
  Result result;
  const zplatform::UniqueFd fd = OpenRegularFile(path);
  if (!fd) {
    result.status = Status::CannotOpen;
    return result;
  }
  ReadLines(fd.get(), result);
  return result;
}

void CContactFileReader::ReadLines(int fd, Result& result) const {
  CTextLineReader lines(fd);
  std::string line;
  for (;;) {
    switch (lines.ReadLine(line)) {
      case CTextLineReader::Next::End:
        return;
      case CTextLineReader::Next::Error:
        result.status = Status::ReadError;
        return;
      case CTextLineReader::Next::TooLong:
        ++result.lineCount;  // no real contact is that long: an ignored entry
        continue;
      case CTextLineReader::Next::Line:
        break;
    }
    const std::string_view text = Trim(line);
    ++result.lineCount;
    if (text.empty()) continue;
    CContact contact;
    switch (SplitLine(text, contact)) {
      case LineOutcome::BadLayout:
        result.status = Status::BadLayout;
        return;
      case LineOutcome::Ignored:
        continue;
      case LineOutcome::Contact:
        result.contacts.push_back(std::move(contact));
        break;
    }
  }
}

CContactFileReader::LineOutcome CContactFileReader::SplitLine(std::string_view line, CContact& contact) const {
  std::string_view address;
  std::string_view name;
  if (m_nLayout == kAddressOnly) {
    address = name = line;
  } else if (m_nLayout == kAddressThenName || m_nLayout == kNameThenAddress) {
    // Only the first separator splits: later ones stay in the second part.
    // An empty separator is found at the start of the line.
    const auto at = line.find(m_sSeparator);
    if (at == std::string_view::npos) return LineOutcome::Ignored;
    const std::string_view before = line.substr(0, at);
    const std::string_view after = line.substr(at + m_sSeparator.size());
    address = m_nLayout == kAddressThenName ? before : after;
    name = m_nLayout == kAddressThenName ? after : before;
  } else {
    return LineOutcome::BadLayout;
  }
  if (address.find('@') == std::string_view::npos) return LineOutcome::Ignored;
  contact.m_sAddress = Trim(address);
  contact.m_sName = Trim(name);
  return LineOutcome::Contact;
}
