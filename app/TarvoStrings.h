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

// Registers the table; call once at start-up, before any string is loaded.
void RegisterStrings();

}  // namespace tarvo
