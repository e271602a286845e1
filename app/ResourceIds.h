// Ids of the program's dialogs, controls, commands and non-string resources.
// A control's id is also its objectName (in decimal), so CTarvoDlg::GetDlgItem
// and the tests find it. String ids live in TarvoStrings.h.
#pragma once

namespace tarvo {

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_TARVO_DIALOG = 102;

// Icons and bitmaps.
inline constexpr unsigned IDR_MAINFRAME = 128;  // program icon
inline constexpr unsigned IDB_BACKGROUND = 129;  // skin of the main dialog

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

// Controls of the main dialog.
inline constexpr int IDC_CLOSE = 2;  // "&Close", the cancel button
inline constexpr int IDC_CONTACT_LIST = 1001;
inline constexpr int IDC_DELETE = 1003;
inline constexpr int IDC_SEND = 1004;
inline constexpr int IDC_SOURCE = 1005;
inline constexpr int IDC_BROWSE = 1006;
inline constexpr int IDC_TITLE = 1007;
inline constexpr int IDC_LABEL_CONTACTS = 1009;
inline constexpr int IDC_LABEL_TITLE = 1010;
inline constexpr int IDC_LABEL_SOURCE = 1011;
inline constexpr int IDC_HELP_BUTTON = 1015;
inline constexpr int IDC_CLOSE_BUTTON = 1016;
inline constexpr int IDC_ADD_OUTLOOK = 1017;
inline constexpr int IDC_ADD_OUTLOOK_FOLDER = 1018;
inline constexpr int IDC_ADD_WAB = 1019;
inline constexpr int IDC_ADD_TEXT_FILE = 1020;
inline constexpr int IDC_HOTSPOT = 1030;

// The About box's OK button.
inline constexpr int IDC_ABOUT_OK = 1;

// Window menu commands: the About box, and the two system commands that a
// window without a caption still offers.
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr int SC_MINIMIZE = 0xF020;
inline constexpr int SC_CLOSE = 0xF060;

}  // namespace tarvo
