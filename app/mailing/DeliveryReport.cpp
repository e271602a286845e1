#include "mailing/DeliveryReport.h"

#include <zerth/mapi.h>
#include <zplatform/FdIo.h>
#include <zplatform/UniqueFd.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <utility>


const char* DeliveryStatusText(std::uint32_t code) {
  switch (code) {
    case SUCCESS_SUCCESS: return "SUCCESS";
    case MAPI_USER_ABORT: return "The user canceled one of the dialog boxes. No message was sent.";
    case MAPI_E_FAILURE: return "One or more unspecified errors occurred. No message was sent.";
    case MAPI_E_LOGIN_FAILURE:
      return "There was no default logon, and the user failed to log on successfully when the logon dialog box "
             "was displayed. No message was sent.";
    case MAPI_E_INSUFFICIENT_MEMORY: return "There was insufficient memory to proceed. No message was sent.";
    case MAPI_E_TOO_MANY_FILES: return "There were too many file attachments. No message was sent.";
    case MAPI_E_TOO_MANY_RECIPIENTS: return "There were too many recipients. No message was sent.";
    case MAPI_E_ATTACHMENT_NOT_FOUND: return "The specified attachment was not found. No message was sent.";
    case MAPI_E_ATTACHMENT_OPEN_FAILURE: return "The specified attachment could not be opened. No message was sent.";
    case MAPI_E_UNKNOWN_RECIPIENT: return "A recipient did not appear in the address list. No message was sent.";
    case MAPI_E_TEXT_TOO_LARGE: return "The text in the message was too large. No message was sent.";
    case MAPI_E_AMBIGUOUS_RECIPIENT:
      return "A recipient name matched more than one of the recipient addresses in the address book. No message "
             "was sent.";
    case MAPI_E_INVALID_RECIPS: return "Recipient name was invalid or did not resolve to any address.";
    case kResultNotSentCancelled: return kNotSentCancelledText;
    case kResultNotSentStopped: return kNotSentStoppedText;
    case kResultInDoubt: return kInDoubtText;
    default: return "Unknown error";
  }
}

namespace {

std::string_view Escaped(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return {};
  }
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    const std::string_view escaped = Escaped(c);
    if (escaped.empty()) {
      out.push_back(c);
    } else {
      out.append(escaped);
    }
  }
}

std::size_t EscapedSize(std::string_view text) {
  std::size_t size = text.size();
  for (char c : text) size += Escaped(c).empty() ? 0 : Escaped(c).size() - 1;
  return size;
}

bool HasNonAscii(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

constexpr std::string_view kRowStart = "<tr><td>";
constexpr std::string_view kRowMiddle = "</td><td>";
constexpr std::string_view kSuccessFont = "<font color=\"#00ff00\">";
constexpr std::string_view kFailureFont = "<font color=\"#ff0000\">";
constexpr std::string_view kRowEnd = "</font></td></tr>\n";
static_assert(kSuccessFont.size() == kFailureFont.size(), "a row's size does not depend on its colour");

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

std::string BuildDeliveryReport(const CResultMap& results, const std::string& header, const std::string& footer) {
  // The page of a large mailing runs to tens of megabytes: measured first and
  // written once into its exact size, it never holds a doubled buffer.
  std::size_t size = header.size() + footer.size();
  bool nonAscii = HasNonAscii(header) || HasNonAscii(footer);
  results.ForEach([&](const std::string& address, std::uint32_t code) {
    const char* status = DeliveryStatusText(code);
    size += kRowStart.size() + EscapedSize(address) + kRowMiddle.size() + kSuccessFont.size() + EscapedSize(status) +
            kRowEnd.size();
    nonAscii = nonAscii || HasNonAscii(address) || HasNonAscii(status);
  });
  // The page is UTF-8 but declares no encoding, and readers that follow the
  // HTML standard's fallback guess a legacy code page: a byte-order mark makes
  // them read UTF-8. An all-ASCII page reads alike either way and keeps its
  // bytes.
  std::string page;
  page.reserve(size + (nonAscii ? kUtf8ByteOrderMark.size() : 0));
  if (nonAscii) page += kUtf8ByteOrderMark;
  page += header;
  results.ForEach([&page](const std::string& address, std::uint32_t code) {
    page += kRowStart;
    AppendEscaped(page, address);
    page += kRowMiddle;
    page += code == SUCCESS_SUCCESS ? kSuccessFont : kFailureFont;
    AppendEscaped(page, DeliveryStatusText(code));
    page += kRowEnd;
  });
  page += footer;
  return page;
}

std::string DeliveryReportHeader(std::string headerTemplate, const std::string& productName) {
  const std::string_view placeholder = "<%NAME%>";
  for (auto at = headerTemplate.find(placeholder); at != std::string::npos;
       at = headerTemplate.find(placeholder, at + productName.size()))
    headerTemplate.replace(at, placeholder.size(), productName);
  return headerTemplate;
}

std::string DeliveryReportPath(const std::string& folder, int number) {
  return folder + "/SubmissionResults" + std::to_string(number) + ".html";
}

SavedReport SaveDeliveryReport(const std::string& page, const std::string& folder) {
  for (int number = 0; number < kMaxReportNumbers; ++number) {
    std::string path = DeliveryReportPath(folder, number);
    zplatform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) continue;  // held or protected: the next number may do
    // A half-written report must not pass for the whole one.
    const bool whole = zplatform::WriteFully(fd.get(), page) && fd.close() == 0;
    return {whole ? SavedReport::Saved : SavedReport::Incomplete, std::move(path)};
  }
  return {SavedReport::NoFile, {}};
}
