// The delivery report: an HTML page listing every recipient's address with
// the outcome of its Simple MAPI submission, in the result map's order, and
// the numbered file beside the program that holds it.
#pragma once

#include "mailing/CResultMap.h"

#include <cstdint>
#include <string>
#include <string_view>

// Outcomes of a mailing run that are no Simple MAPI result: codes far beyond
// its range, so that no provider's code is taken for one of them.
inline constexpr std::uint32_t kResultNotSentCancelled = 0x7A000001;  // the user stopped the run first
inline constexpr std::uint32_t kResultNotSentStopped = 0x7A000002;    // the run stopped first
inline constexpr std::uint32_t kResultInDoubt = 0x7A000003;           // started, and the program stopped
// Their status texts; the program's string table holds them too.
inline constexpr char kNotSentCancelledText[] = "Not sent: the mailing was cancelled.";
inline constexpr char kNotSentStoppedText[] = "Not sent: the mailing stopped before this message.";
inline constexpr char kInDoubtText[] =
    "In doubt: the program stopped while sending this message, which may or may not have been sent.";

// The status text shown for a Simple MAPI result code or one of the above.
const char* DeliveryStatusText(std::uint32_t code);

// Text with &, <, > and " written as character references.
std::string HtmlEscape(std::string_view text);

// Begins the page when it holds any byte that is not ASCII.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The whole page: header with the product name put in, one row per entry,
// footer. Line ends are single line feeds. A page with bytes beyond ASCII
// (UTF-8 addresses) begins with the UTF-8 byte-order mark.
std::string BuildDeliveryReport(const CResultMap& results, const std::string& header, const std::string& footer);

// The header text with every "<%NAME%>" replaced by the product name.
std::string DeliveryReportHeader(std::string headerTemplate, const std::string& productName);

// How many numbered report files are tried before giving up.
inline constexpr int kMaxReportNumbers = 1000;

// folder/SubmissionResults<number>.html
std::string DeliveryReportPath(const std::string& folder, int number);

struct SavedReport {
  enum Outcome {
    Saved,       // the whole page is in the file at path
    Incomplete,  // the file at path opened, but the page could not all be written
    NoFile,      // none of the numbered files could be opened for writing
  } outcome;
  std::string path;
};

// Writes the page to the first numbered file in folder that can be opened
// for writing (created, or truncated when it exists).
SavedReport SaveDeliveryReport(const std::string& page, const std::string& folder);
