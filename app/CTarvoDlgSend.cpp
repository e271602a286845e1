// CTarvoDlg::OnSend and CTarvoDlg::WriteDeliveryReport: the Send command of
// the main dialog. The dialog checks the input and asks for confirmation;
// the sending itself is a MailingRun, and the page and its file are the
// delivery report's.
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "mailing/DeliveryReport.h"
#include "mailing/MailingRun.h"
#include "mailing/MessageSource.h"
#include "mailing/SignatureFooter.h"

#include <zerth/CZerthUtility.h>
#include <zplatform/UiServices.h>

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QTreeView>


namespace {

using tarvo::Put;
using tarvo::Text;

UINT SourceMessage(SourceStatus status) {
  return status == SourceStatus::CannotOpen ? tarvo::IDS_CANNOT_OPEN_SOURCE : tarvo::IDS_CANNOT_READ_SOURCE;
}

UINT FooterMessage(FooterStatus status) {
  switch (status) {
    case FooterStatus::CannotOpen: return tarvo::IDS_CANNOT_OPEN_FOOTER;
    case FooterStatus::CannotRead: return tarvo::IDS_CANNOT_READ_FOOTER;
    case FooterStatus::BadFormat:
    case FooterStatus::Ok: break;
  }
  return tarvo::IDS_BAD_FOOTER;
}

}  // namespace

void CTarvoDlg::ShowMessage(const std::string& text) { zplatform::MessageBox(text, Text(tarvo::IDS_APP_TITLE)); }

void CTarvoDlg::OnSend() {
  const std::string sourcePath = m_pSource->text().toStdString();
  if (sourcePath.empty()) {
    ShowMessage(Text(tarvo::IDS_NO_SOURCE));
    m_pSource->setFocus();
    return;
  }
  const std::string title = m_pTitle->text().toStdString();
  if (title.empty()) {
    ShowMessage(Text(tarvo::IDS_NO_TITLE));
    m_pTitle->setFocus();
    return;
  }
  if (m_pContactList->model()->rowCount() == 0) {
    ShowMessage(Text(tarvo::IDS_NO_RECIPIENTS));
    return;
  }

  std::string body;
  if (const SourceStatus status = ReadMessageSource(sourcePath, body); status != SourceStatus::Ok) {
    ShowMessage(Text(SourceMessage(status)));
    return;
  }
  std::string footer;
  const std::string footerPath = std::string(CZerthUtility::GetAppDir()) + "/key.sig";
  if (const FooterStatus status = ReadSignatureFooter(footerPath, Text(tarvo::IDS_FOOTER_KEY), footer);
      status != FooterStatus::Ok) {
    ShowMessage(Text(FooterMessage(status)));
    return;
  }

  const std::string question = Put(Text(tarvo::IDS_CONFIRM_SEND), "%d", std::to_string(m_aSelected.GetSize()));
  if (zplatform::MessageBox(question, Text(tarvo::IDS_APP_TITLE), MB_OKCANCEL) != IDOK) return;

  CResultMap results;
  MailingRun(title, std::move(body), std::move(footer)).Run(m_aSelected, results);
  WriteDeliveryReport(results);
}

void CTarvoDlg::WriteDeliveryReport(CResultMap& results) {
  const std::string page = BuildDeliveryReport(
      results, DeliveryReportHeader(Text(tarvo::IDS_REPORT_HEADER), Text(tarvo::IDS_APP_TITLE)),
      Text(tarvo::IDS_REPORT_FOOTER));
  const std::string folder = CZerthUtility::GetAppDir();
  const SavedReport saved = SaveDeliveryReport(page, folder);
  switch (saved.outcome) {
    case SavedReport::Saved: zplatform::ShellOpen(saved.path); return;
    case SavedReport::Incomplete: ShowMessage(Put(Text(tarvo::IDS_REPORT_INCOMPLETE), "%1", saved.path)); return;
    case SavedReport::NoFile:
      ShowMessage(Put(Put(Text(tarvo::IDS_REPORT_NOT_WRITTEN), "%1", DeliveryReportPath(folder, 0)), "%2",
                      DeliveryReportPath(folder, kMaxReportNumbers - 1)));
      return;
  }
}
