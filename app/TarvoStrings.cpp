#include "TarvoStrings.h"

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
};

}  // namespace

void RegisterStrings() { zplatform::RegisterStringTable(kStrings); }

std::string Text(UINT id) { return zplatform::LoadStringResource(id); }

std::string Put(std::string text, std::string_view mark, std::string_view value) {
  if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), value);
  return text;
}

}  // namespace tarvo
