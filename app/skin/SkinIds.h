// SkinIds: resource ids of the main window's skin beyond the background
// (ResourceIds.h): the title buttons' bitmaps and the hand cursor.
#pragma once

namespace tarvo {

// Title button faces and the masks that cut their corner pixels.
inline constexpr unsigned IDB_CLOSE_PRESSED = 131;
inline constexpr unsigned IDB_CLOSE_MASK = 132;
inline constexpr unsigned IDB_CLOSE_NORMAL = 133;
inline constexpr unsigned IDB_CLOSE_HOVER = 134;
inline constexpr unsigned IDB_HELP_PRESSED = 135;
inline constexpr unsigned IDB_HELP_MASK = 136;
inline constexpr unsigned IDB_HELP_NORMAL = 137;
inline constexpr unsigned IDB_HELP_HOVER = 138;

// The hand cursor over the logo.
inline constexpr unsigned IDC_HAND_CURSOR = 153;

}  // namespace tarvo
