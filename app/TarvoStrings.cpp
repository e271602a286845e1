#include "TarvoStrings.h"

#include "mailing/DeliveryReport.h"
#include "mailing/SignatureFooter.h"

#include <zplatform/Resources.h>

#include <array>

namespace tarvo {
namespace {

// Line ends are single line feeds: the report is written byte for byte.
constexpr const char kReportHeader[] =
    "<HTML><HEAD>\n"
    "<TITLE>\n"
    "  <%NAME%> mail delivery results\n"
    "</TITLE>\n"
    "\n"
    "</HEAD>\n"
    "\n"
    "<BODY leftmargin=\"10%\" topmargin=\"10%\" marginheight=\"10%\" marginwidth=\"10%\" "
    "bgcolor=\"#ffffff\" link=\"#298E9C\" alink=\"#298E9C\" vlink=\"#298E9C\">\n"
    "\n"
    "<table cellpadding=\"1\" cellspacing=\"1\" border=\"1\" width=\"70%\" align=center>\n"
    "<caption><h3>Tarvo mail delivery results</h3></caption>\n"
    "<tr>\n"
    "<th>Recipient Name</th><th>Mail Delivery Status</th>\n"
    "</tr>\n";

// No line feed after the last line.
constexpr const char kReportFooter[] =
    "</table>\n"
    "</html>";

// tarvo-send --help.
constexpr const char kSendHelp[] =
    "Usage: tarvo-send --contacts FILE [--layout address|address-name|name-address]\n"
    "                  [--separator TEXT] --title TEXT --body FILE [--dry-run]\n"
    "                  [--resume|--discard] [--report FILE]\n"
    "\n"
    "Sends one message to every contact of FILE, as Tarvo's Send command does: the\n"
    "text of the body file with each \"<NAME>\" replaced by the contact's name, then\n"
    "the footer of key.sig beside the program, through the Zerth mail provider and\n"
    "its mail account.\n"
    "\n"
    "  --contacts FILE   the contacts, one a line, read as Tarvo's import reads them;\n"
    "                    a repeated address gets one message\n"
    "  --layout LAYOUT   address (the default): the line is the address;\n"
    "                    address-name: address, separator, name;\n"
    "                    name-address: name, separator, address\n"
    "  --separator TEXT  what stands between address and name (default \"|\")\n"
    "  --title TEXT      the subject of every message\n"
    "  --body FILE       the message text\n"
    "  --dry-run         send nothing: write every message into the outbox Maildir\n"
    "                    folder (the account's Outbox, by default\n"
    "                    $XDG_DATA_HOME/zerth/Outbox); a dry run keeps no journal\n"
    "  --resume          go on with a stopped run of the same mailing (contacts,\n"
    "                    title, body and footer): send to those not yet tried\n"
    "  --discard         forget a stopped run of the same mailing and send it anew\n"
    "                    to everyone\n"
    "  --report FILE     write the delivery report to FILE instead of the next free\n"
    "                    SubmissionResults<n>.html beside the program\n"
    "  --help            show this text\n"
    "\n"
    "Each run keeps a journal in $XDG_STATE_HOME/zerth/runs (by default\n"
    "~/.local/state/zerth/runs). When a run of the same mailing stopped (a crash,\n"
    "a kill, a power loss, Ctrl-C), the command says so and starts only with\n"
    "--resume or --discard. A recipient whose message was being sent when the run\n"
    "stopped is in doubt: it is not sent again, and the report lists it so.\n"
    "Ctrl-C stops the run after the message being sent.\n"
    "\n"
    "Progress is a bar on a terminal and a line per message otherwise; the report's\n"
    "path is printed at the end. Exit status: 0 when every message was sent, 1 when\n"
    "some were not (failed, in doubt, not sent) or the report could not be written,\n"
    "2 for bad input or a refused start.\n";

constexpr std::array kStrings{
    zplatform::StringResource{IDS_ABOUTBOX, "&About Tarvo..."},
    zplatform::StringResource{IDS_APP_TITLE, "Tarvo"},
    zplatform::StringResource{IDS_FOOTER_KEY, kFooterKey},
    zplatform::StringResource{IDS_REPORT_HEADER, kReportHeader},
    zplatform::StringResource{IDS_REPORT_FOOTER, kReportFooter},
    zplatform::StringResource{IDS_WEB_HOST, "www.tarvo.example"},
    zplatform::StringResource{IDS_NO_SOURCE, "You have not selected a source file for your message(s)."},
    zplatform::StringResource{IDS_NO_TITLE, "Message title is empty. Please enter the title for your message(s)."},
    zplatform::StringResource{IDS_NO_RECIPIENTS, "Selected Contacts list is empty. Please select one or more "
                                                 "contacts from the Available Contacts list."},
    zplatform::StringResource{IDS_CANNOT_OPEN_SOURCE, "Can't open message source file."},
    zplatform::StringResource{IDS_CANNOT_READ_SOURCE, "Can't read message source file."},
    zplatform::StringResource{IDS_CANNOT_OPEN_FOOTER, "Can't open signature file. Please reinstall application."},
    zplatform::StringResource{IDS_CANNOT_READ_FOOTER, "Can't read signature file. Please reinstall application."},
    zplatform::StringResource{IDS_BAD_FOOTER,
                              "Incorrect format of the signature file. Please reinstall application."},
    zplatform::StringResource{IDS_CONFIRM_SEND, "You are about to send %d e-mail messages. Press OK to continue."},
    zplatform::StringResource{IDS_REPORT_INCOMPLETE, "The delivery report could not be written completely to %1."},
    zplatform::StringResource{IDS_SOURCE_NOT_AVAILABLE, "This contact source is not available in this version of Tarvo."},
    zplatform::StringResource{IDS_SOURCE_FILTER, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"},
    zplatform::StringResource{IDS_IMPORT_FILTER,
                              "Text files (*.txt)|*.txt|CSV files (*.csv)|*.csv|All files (*.*)|*.*|"},
    zplatform::StringResource{IDS_IMPORT_CANNOT_OPEN, "Unable to open source file"},
    zplatform::StringResource{IDS_IMPORT_CANNOT_READ, "Unable to read source file"},
    zplatform::StringResource{IDS_IMPORT_BAD_LAYOUT, "Internal error. Incorrect file type. Import aborted"},
    zplatform::StringResource{IDS_IMPORT_SUMMARY, "Import completed.\nContacts imported:\t%d\t\nEntries ignored:\t%d\t"},
    zplatform::StringResource{IDS_WAB_FILTER,
                              "vCard and LDIF address books (*.vcf;*.ldif;*.ldi)|*.vcf;*.ldif;*.ldi|"
                              "Windows Address Book (*.wab)|*.wab|All Files (*.*)|*.*|"},
    zplatform::StringResource{IDS_WAB_CANNOT_OPEN, "There was a problem opening Windows Address Book. Make sure "
                                                   "you have e-mail account created."},
    zplatform::StringResource{IDS_WAB_CANNOT_ACCESS,
                              "There was a problem accessing Windows Address Book. The error message was: "},
    zplatform::StringResource{IDS_WAB_DEFAULT_BOOK, "Default Address Book"},
    zplatform::StringResource{IDS_WAB_STEP_PAB, "Error opening Personal Address Book"},
    zplatform::StringResource{IDS_WAB_STEP_ROOT, "Error opening root container from Personal Address Book"},
    zplatform::StringResource{IDS_WAB_STEP_CONTENTS,
                              "Error getting contents table from the root container of Personal Address Book"},
    zplatform::StringResource{IDS_WAB_STEP_COLUMNS, "Error getting columns of contents table from the root "
                                                    "container of Personal Address Book"},
    zplatform::StringResource{IDS_WAB_STEP_SEEK, "Error resetting to the beginning of the contents table from "
                                                 "the root container of Personal Address Book"},
    zplatform::StringResource{IDS_WAB_STEP_ROWS, "Error querying rows information from the Personal Address Book"},
    zplatform::StringResource{IDS_FOLDER_LABEL, "%s (%d contact(s))"},
    zplatform::StringResource{IDS_REPORT_NOT_WRITTEN, "The delivery report could not be written. Tried %1 to %2."},
    zplatform::StringResource{IDS_RUN_STOPPED, "A mailing to %1 recipients stopped after %2."},
    zplatform::StringResource{IDS_STATUS_NOT_SENT_CANCELLED, kNotSentCancelledText},
    zplatform::StringResource{IDS_STATUS_NOT_SENT_STOPPED, kNotSentStoppedText},
    zplatform::StringResource{IDS_STATUS_IN_DOUBT, kInDoubtText},
    zplatform::StringResource{IDS_SEND_HELP, kSendHelp},
    zplatform::StringResource{IDS_SEND_BAD_ARGUMENT, "tarvo-send: %1\nTry 'tarvo-send --help' for more information."},
    zplatform::StringResource{IDS_SEND_UNKNOWN_OPTION, "unknown option %1"},
    zplatform::StringResource{IDS_SEND_NEEDS_VALUE, "%1 needs a value"},
    zplatform::StringResource{IDS_SEND_REQUIRED, "%1 is required"},
    zplatform::StringResource{IDS_SEND_EXCLUSIVE, "%1 and %2 cannot be used together"},
    zplatform::StringResource{IDS_SEND_BAD_LAYOUT, "--layout is address, address-name or name-address, not %1"},
    zplatform::StringResource{IDS_SEND_RESUME_HINT,
                              "Run the same command with --resume to send to the %1 recipient(s) not yet tried, "
                              "or with --discard to send the mailing anew to everyone."},
    zplatform::StringResource{IDS_SEND_IN_DOUBT, "%1 recipient(s) in doubt: the program stopped while sending to "
                                                 "them. They are not sent again; the report lists them."},
    zplatform::StringResource{IDS_SEND_NOTHING_TO_RESUME,
                              "No stopped mailing of these contacts with this title and body was found."},
    zplatform::StringResource{IDS_SEND_JOURNAL_FAILED,
                              "The mailing's journal in %1 could not be written; nothing more is sent."},
    zplatform::StringResource{IDS_SEND_REPORT, "Delivery report: %1"},
    zplatform::StringResource{IDS_SEND_REPORT_NOT_WRITTEN, "The delivery report could not be written to %1."},
    zplatform::StringResource{IDS_SEND_DRY_RUN, "Dry run: the messages are in the Maildir folder %1."},
    zplatform::StringResource{IDS_SEND_CANCELLED,
                              "The mailing was cancelled. Run the same command with --resume to go on."},
    zplatform::StringResource{IDS_PROGRESS_TITLE, "Sending the mailing"},
    zplatform::StringResource{IDS_PROGRESS_SENDING, "Sending message %1 of %2"},
    zplatform::StringResource{IDS_PROGRESS_TIMES, "Elapsed: %1. Remaining: about %2."},
    zplatform::StringResource{IDS_PROGRESS_ESTIMATING, "Elapsed: %1. Remaining: estimating..."},
    zplatform::StringResource{IDS_PROGRESS_CANCEL, "Cancel"},
    zplatform::StringResource{IDS_PROGRESS_CANCELLING, "Stopping after the message being sent..."},
    zplatform::StringResource{IDS_PROGRESS_OUTCOME, "%1 sent, %2 failed"},
    zplatform::StringResource{IDS_PROGRESS_NOT_SENT, ", %1 not sent"},
    zplatform::StringResource{IDS_PROGRESS_IN_DOUBT, ", %1 in doubt"},
    zplatform::StringResource{IDS_PROGRESS_REPORT, "Delivery report: %1"},
    zplatform::StringResource{IDS_PROGRESS_NO_REPORT, "No delivery report was written."},
    zplatform::StringResource{IDS_PROGRESS_OPEN_REPORT, "&Open report"},
    zplatform::StringResource{IDS_PROGRESS_CLOSE, "&Close"},
    zplatform::StringResource{IDS_RESUME_TITLE, "Stopped mailing"},
    zplatform::StringResource{IDS_RESUME_MAILING, "Title: %1"},
    zplatform::StringResource{IDS_RESUME_SOURCE_HINT,
                              "Resume sends the same title and message to the recipients not yet tried; it asks "
                              "for the mailing's message source file."},
    zplatform::StringResource{IDS_RESUME_IN_DOUBT,
                              "The program stopped while sending to these recipients; their message may or may not "
                              "have been sent:"},
    zplatform::StringResource{IDS_RESUME_MORE, "and %1 more"},
    zplatform::StringResource{IDS_RESUME_SEND_IN_DOUBT, "Send to them &too (they may receive the message twice)"},
    zplatform::StringResource{IDS_RESUME_RESUME, "&Resume"},
    zplatform::StringResource{IDS_RESUME_SHOW_REPORT, "&Show report"},
    zplatform::StringResource{IDS_RESUME_DISCARD, "&Discard"},
    zplatform::StringResource{IDS_RESUME_LATER, "&Later"},
    zplatform::StringResource{IDS_RESUME_WRONG_SOURCE,
                              "This message source or the signature file differs from the one the stopped mailing "
                              "used, so the mailing is not resumed with it."},
    zplatform::StringResource{IDS_RESUME_NOT_DISCARDED, "The stopped mailing's journal %1 could not be removed."},
};

}  // namespace

void RegisterStrings() { zplatform::RegisterStringTable(kStrings); }

std::string Text(UINT id) { return zplatform::LoadStringResource(id); }

std::string Put(std::string text, std::string_view mark, std::string_view value) {
  if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), value);
  return text;
}

}  // namespace tarvo
