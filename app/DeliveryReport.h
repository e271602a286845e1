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

// The whole page: header with the product name put in, one row per entry,
// footer. Line ends are single line feeds.
std::string BuildDeliveryReport(const CResultMap& results, const std::string& header, const std::string& footer);

// How many numbered report files are tried before giving up.
inline constexpr int kMaxReportNumbers = 1000;
