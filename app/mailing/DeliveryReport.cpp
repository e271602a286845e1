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

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string BuildDeliveryReport(const CResultMap& results, const std::string& header, const std::string& footer) {
  std::string page = header;
  results.ForEach([&page](const std::string& address, std::uint32_t code) {
    page += "<tr><td>";
    page += HtmlEscape(address);
    page += "</td><td>";
    page += code == SUCCESS_SUCCESS ? "<font color=\"#00ff00\">" : "<font color=\"#ff0000\">";
    page += HtmlEscape(DeliveryStatusText(code));
    page += "</font></td></tr>\n";
  });
  page += footer;
  // The page is UTF-8 but declares no encoding, and readers that follow the
  // HTML standard's fallback guess a legacy code page: a byte-order mark makes
  // them read UTF-8. An all-ASCII page reads alike either way and keeps its
  // bytes.
  if (std::any_of(page.begin(), page.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
    page.insert(0, kUtf8ByteOrderMark);
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
