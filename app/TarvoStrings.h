// The program's string table: the ids the program loads and the call that
// makes the table known to zplatform::LoadStringResource.
#pragma once

#include <zplatform/WinTypes.h>

namespace tarvo {

// "&About Tarvo...", the window menu item of the About box.
inline constexpr UINT IDS_ABOUTBOX = 101;
// "Tarvo", the product name: window title and message box caption.
inline constexpr UINT IDS_APP_TITLE = 57344;
// The key of the signature footer file.
inline constexpr UINT IDS_FOOTER_KEY = 57346;
// The delivery report's header (with "<%NAME%>" for the product name) and footer.
inline constexpr UINT IDS_REPORT_HEADER = 57354;
inline constexpr UINT IDS_REPORT_FOOTER = 57355;
// Host name of the product web site opened from the logo.
inline constexpr UINT IDS_WEB_HOST = 57356;

// Messages of the Send command, in the order of its checks.
inline constexpr UINT IDS_NO_SOURCE = 201;
inline constexpr UINT IDS_NO_TITLE = 202;
inline constexpr UINT IDS_NO_RECIPIENTS = 203;
inline constexpr UINT IDS_CANNOT_OPEN_SOURCE = 204;
inline constexpr UINT IDS_CANNOT_READ_SOURCE = 205;
inline constexpr UINT IDS_CANNOT_OPEN_FOOTER = 206;
inline constexpr UINT IDS_CANNOT_READ_FOOTER = 207;
inline constexpr UINT IDS_BAD_FOOTER = 208;
// The confirmation, with %d for the number of recipients.
inline constexpr UINT IDS_CONFIRM_SEND = 209;
// The report could not be saved: %1 is the file (or the first file tried),
// %2 the last file tried.
inline constexpr UINT IDS_REPORT_INCOMPLETE = 210;
inline constexpr UINT IDS_REPORT_NOT_WRITTEN = 211;

// Registers the table; call once at start-up, before any string is loaded.
void RegisterStrings();

}  // namespace tarvo
