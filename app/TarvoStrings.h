// The program's string table: the ids the program loads and the call that
// makes the table known to zplatform::LoadStringResource.
#pragma once

#include <zplatform/WinTypes.h>

#include <string>
#include <string_view>

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

// "This contact source is not available in this version of Tarvo."
inline constexpr UINT IDS_SOURCE_NOT_AVAILABLE = 220;
// The filter of the message source's file dialog.
inline constexpr UINT IDS_SOURCE_FILTER = 221;
// The contact import: its file filter, its messages, and the summary with a
// %d for the contacts imported and one for the entries ignored.
inline constexpr UINT IDS_IMPORT_FILTER = 230;
inline constexpr UINT IDS_IMPORT_CANNOT_OPEN = 231;
inline constexpr UINT IDS_IMPORT_CANNOT_READ = 232;
inline constexpr UINT IDS_IMPORT_BAD_LAYOUT = 233;
inline constexpr UINT IDS_IMPORT_SUMMARY = 234;
// The address-book picker: the filter of "&Open WAB...", its two messages
// (the second followed directly by one of the step texts), and the label of
// the default book.
inline constexpr UINT IDS_WAB_FILTER = 240;
inline constexpr UINT IDS_WAB_CANNOT_OPEN = 241;
inline constexpr UINT IDS_WAB_CANNOT_ACCESS = 242;
inline constexpr UINT IDS_WAB_DEFAULT_BOOK = 243;
inline constexpr UINT IDS_WAB_STEP_PAB = 244;
inline constexpr UINT IDS_WAB_STEP_ROOT = 245;
inline constexpr UINT IDS_WAB_STEP_CONTENTS = 246;
inline constexpr UINT IDS_WAB_STEP_COLUMNS = 247;
inline constexpr UINT IDS_WAB_STEP_SEEK = 248;
inline constexpr UINT IDS_WAB_STEP_ROWS = 249;
// A folder of the folders picker: %s its name, %d its number of contacts.
inline constexpr UINT IDS_FOLDER_LABEL = 250;

// A stopped mailing found at start: %1 recipients, %2 of them tried.
inline constexpr UINT IDS_RUN_STOPPED = 300;
// The delivery report's texts for recipients a run did not send to.
inline constexpr UINT IDS_STATUS_NOT_SENT_CANCELLED = 301;
inline constexpr UINT IDS_STATUS_NOT_SENT_STOPPED = 302;
inline constexpr UINT IDS_STATUS_IN_DOUBT = 303;
// tarvo-send: its help, a bad command line (%1 one of the next four texts),
// and the messages of a run; each %1, %2 is filled in by the command.
inline constexpr UINT IDS_SEND_HELP = 310;
inline constexpr UINT IDS_SEND_BAD_ARGUMENT = 311;
inline constexpr UINT IDS_SEND_UNKNOWN_OPTION = 312;
inline constexpr UINT IDS_SEND_NEEDS_VALUE = 313;
inline constexpr UINT IDS_SEND_REQUIRED = 314;
inline constexpr UINT IDS_SEND_EXCLUSIVE = 315;
inline constexpr UINT IDS_SEND_BAD_LAYOUT = 316;
inline constexpr UINT IDS_SEND_RESUME_HINT = 317;
inline constexpr UINT IDS_SEND_IN_DOUBT = 318;
inline constexpr UINT IDS_SEND_NOTHING_TO_RESUME = 319;
inline constexpr UINT IDS_SEND_JOURNAL_FAILED = 320;
inline constexpr UINT IDS_SEND_REPORT = 321;
inline constexpr UINT IDS_SEND_REPORT_NOT_WRITTEN = 322;
inline constexpr UINT IDS_SEND_DRY_RUN = 323;
inline constexpr UINT IDS_SEND_CANCELLED = 324;
// The progress window of a mailing run: %1 and %2 filled in by the window.
inline constexpr UINT IDS_PROGRESS_TITLE = 330;
inline constexpr UINT IDS_PROGRESS_SENDING = 331;  // %1 the message's number, %2 of how many
inline constexpr UINT IDS_PROGRESS_TIMES = 332;    // %1 elapsed, %2 the estimate of the rest
inline constexpr UINT IDS_PROGRESS_ESTIMATING = 333;
inline constexpr UINT IDS_PROGRESS_CANCEL = 334;
inline constexpr UINT IDS_PROGRESS_CANCELLING = 335;
inline constexpr UINT IDS_PROGRESS_OUTCOME = 336;   // %1 sent, %2 failed
inline constexpr UINT IDS_PROGRESS_NOT_SENT = 337;  // appended: %1 not sent
inline constexpr UINT IDS_PROGRESS_IN_DOUBT = 338;  // appended: %1 in doubt
inline constexpr UINT IDS_PROGRESS_REPORT = 339;    // %1 the report's path
inline constexpr UINT IDS_PROGRESS_NO_REPORT = 340;
inline constexpr UINT IDS_PROGRESS_OPEN_REPORT = 341;
inline constexpr UINT IDS_PROGRESS_CLOSE = 342;
// The offer made at start for a stopped mailing.
inline constexpr UINT IDS_RESUME_TITLE = 350;
inline constexpr UINT IDS_RESUME_MAILING = 351;  // %1 the mailing's title
inline constexpr UINT IDS_RESUME_SOURCE_HINT = 352;
inline constexpr UINT IDS_RESUME_IN_DOUBT = 353;
inline constexpr UINT IDS_RESUME_MORE = 354;  // %1 how many more
inline constexpr UINT IDS_RESUME_SEND_IN_DOUBT = 355;
inline constexpr UINT IDS_RESUME_RESUME = 356;
inline constexpr UINT IDS_RESUME_SHOW_REPORT = 357;
inline constexpr UINT IDS_RESUME_DISCARD = 358;
inline constexpr UINT IDS_RESUME_LATER = 359;
inline constexpr UINT IDS_RESUME_WRONG_SOURCE = 360;
inline constexpr UINT IDS_RESUME_NOT_DISCARDED = 361;  // %1 the journal's path

// Registers the table; call once at start-up, before any string is loaded.
void RegisterStrings();

// The string with this id.
std::string Text(UINT id);
// The text with its first `mark` (such as "%d" or "%1") replaced by value.
std::string Put(std::string text, std::string_view mark, std::string_view value);

}  // namespace tarvo
