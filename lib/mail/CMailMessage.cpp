// CMailMessage: recipients, recipient-list parsing and formatting of header
// and body.
#include <zerth/CMailMessage.h>

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace {

constexpr std::string_view kCrLf = "\r\n";
// Longest Date text kept; a longer one is dropped rather than cut.
constexpr std::size_t kDateTextMax = 127;

std::string_view OrEmpty(const char* text) {
  return text ? std::string_view(text) : std::string_view();
}

// The local time of t, formatted for the Date line; empty when it does not
// fit in kDateTextMax characters or the time cannot be converted.
std::string FormatDate(std::time_t t) {
  std::tm local{};
  if (!localtime_r(&t, &local)) return {};
  char text[kDateTextMax + 1];
  std::size_t length = std::strftime(text, sizeof text, "%a, %d %b %y %H:%M:%S %Z", &local);
  return std::string(text, length);  // strftime gives 0 when the text does not fit
}

}  // namespace

CMailMessage::CMailMessage() : m_sMailer("Zerth Mailer") {}

CMailMessage::~CMailMessage() = default;

int CMailMessage::AddRecipient(const char* address, const char* name) {
  m_aRecipients.push_back(CMailRecipient{std::string(OrEmpty(address)), std::string(OrEmpty(name))});
  return 1;
}

int CMailMessage::AddMultipleRecipients(const char* list) {
  // The whole list including its end is scanned: the end closes the last
  // entry just as a ';' does, so "" and "a1;" give an empty entry.
  std::string_view rest = OrEmpty(list);
  for (;;) {
    std::size_t separator = rest.find(';');
    std::string_view entry = rest.substr(0, separator);
    std::size_t open = entry.find('<');
    if (open == std::string_view::npos) {
      AddRecipient(std::string(entry).c_str(), "");
    } else {
      std::size_t close = entry.find('>');
      if (close == std::string_view::npos || close < open) return 0;
      std::string address(entry.substr(open + 1, close - open - 1));
      std::string name(entry.substr(0, open));
      AddRecipient(address.c_str(), name.c_str());
    }
    if (separator == std::string_view::npos) return 1;
    rest.remove_prefix(separator + 1);
  }
}

int CMailMessage::GetRecipient(std::string& address, std::string& name, int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= m_aRecipients.size()) return 0;
  const CMailRecipient& recipient = m_aRecipients[static_cast<std::size_t>(index)];
  address = recipient.m_sAddress;
  name = recipient.m_sName;
  return 1;
}

int CMailMessage::GetNumRecipients() const {
  return static_cast<int>(m_aRecipients.size());
}

void CMailMessage::SetCharsPerLine(unsigned chars) {
  m_nCharsPerLine = chars;
}

unsigned CMailMessage::GetCharsPerLine() const {
  return m_nCharsPerLine;
}

void CMailMessage::FormatMessageA() {
  start_header();
  prepare_header();
  end_header();
  prepare_body();
}

void CMailMessage::start_header() {
  m_sHeader.clear();
}

void CMailMessage::add_header_line(const char* line) {
  // A line break inside a value (subject, display name, ...) would add header
  // lines of the caller's choosing or end the header early: one call, one line.
  const std::size_t start = m_sHeader.size();
  m_sHeader += OrEmpty(line);
  std::replace_if(m_sHeader.begin() + static_cast<std::ptrdiff_t>(start), m_sHeader.end(),
                  [](char c) { return c == '\r' || c == '\n'; }, ' ');
  m_sHeader += kCrLf;
}

void CMailMessage::prepare_header() {
  add_header_line(("From: " + m_sFrom).c_str());

  std::string to = "To: ";
  for (std::size_t i = 0; i < m_aRecipients.size(); ++i) {
    if (i > 0) to += ',';
    to += m_aRecipients[i].m_sName;
    to += '<';
    to += m_aRecipients[i].m_sAddress;
    to += '>';
  }
  add_header_line(to.c_str());

  m_tDate = std::time(nullptr);
  add_header_line(("Date: " + FormatDate(m_tDate)).c_str());
  add_header_line(("Subject: " + m_sSubject).c_str());
  add_header_line(("X-Mailer: " + m_sMailer).c_str());
}

void CMailMessage::end_header() {
  m_sHeader += kCrLf;
}

void CMailMessage::prepare_body() {
  if (!m_sBody.ends_with(kCrLf)) m_sBody += kCrLf;
}
