// The delivery report: an HTML page listing every recipient's address with
// the outcome of its Simple MAPI submission, in the result map's order.
#pragma once

#include "CResultMap.h"

#include <cstdint>
#include <string>
#include <string_view>

// The status text shown for a Simple MAPI result code.
const char* DeliveryStatusText(std::uint32_t code);

// Text with &, <, > and " written as character references.
std::string HtmlEscape(std::string_view text);

// Begins the page when it holds any byte that is not ASCII.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The whole page: header with the product name put in, one row per entry,
// footer. Line ends are single line feeds. A page with bytes beyond ASCII
// (UTF-8 addresses) begins with the UTF-8 byte-order mark.
std::string BuildDeliveryReport(const CResultMap& results, const std::string& header, const std::string& footer);

// How many numbered report files are tried before giving up.
inline constexpr int kMaxReportNumbers = 1000;
