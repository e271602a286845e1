// CTarvoDlg::OnSend, CTarvoDlg::WriteDeliveryReport and the offer for a
// stopped mailing: the Send command of the main dialog. The dialog checks the
// input and asks for confirmation; the sending itself is a MailingRun on a
// thread of its own under the progress window, noted in a run journal, and
// the page and its file are the delivery report's.
#include "CProgressDlg.h"
#include "CResumeDlg.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "mailing/DeliveryReport.h"
#include "mailing/MailingRun.h"
#include "mailing/MessageSource.h"
#include "mailing/RunJournal.h"
#include "mailing/SignatureFooter.h"

#include <zerth/CZerthUtility.h>
#include <zerth/mapi.h>
#include <zplatform/UiServices.h>

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QTreeView>

#include <optional>


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

// "10,000 sent, 3 failed", and how many were not sent or are in doubt.
std::string OutcomeText(const CResultMap& results) {
  int sent = 0, failed = 0, notSent = 0, inDoubt = 0;
  results.ForEach([&](const std::string&, std::uint32_t code) {
    int& count = code == SUCCESS_SUCCESS                                                    ? sent
                 : code == kResultNotSentCancelled || code == kResultNotSentStopped ? notSent
                 : code == kResultInDoubt                                           ? inDoubt
                                                                                    : failed;
    ++count;
  });
  std::string text = Put(Put(Text(tarvo::IDS_PROGRESS_OUTCOME), "%1", GroupedNumber(sent)), "%2", GroupedNumber(failed));
  if (notSent > 0) text += Put(Text(tarvo::IDS_PROGRESS_NOT_SENT), "%1", GroupedNumber(notSent));
  if (inDoubt > 0) text += Put(Text(tarvo::IDS_PROGRESS_IN_DOUBT), "%1", GroupedNumber(inDoubt));
  return text;
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

  std::string body, footer;
  if (!ReadMailTexts(sourcePath, body, footer)) return;

  const std::string question = Put(Text(tarvo::IDS_CONFIRM_SEND), "%d", std::to_string(m_aSelected.GetSize()));
  if (zplatform::MessageBox(question, Text(tarvo::IDS_APP_TITLE), MB_OKCANCEL) != IDOK) return;

  // Written before the first message: without it a crash could not be resumed exactly.
  const std::string folder = RunJournal::DefaultFolder();
  std::optional<RunJournal> journal;
  if (RunJournal::Create(folder, title, MailingDigest(body, footer), m_aSelected, journal) != JournalStatus::Ok) {
    ShowMessage(Put(Text(tarvo::IDS_SEND_JOURNAL_FAILED), "%1", folder));
    return;
  }
  // The run reads its own copy: the list may repaint from the table meanwhile.
  const CContactArray recipients = m_aSelected;
  RunMailing(MailingRun(title, std::move(body), std::move(footer), m_sender ? m_sender : MailingRun::SendThroughMapi),
             recipients, *journal, false);
}

void CTarvoDlg::SetSender(MailingRun::Sender sender) { m_sender = std::move(sender); }

bool CTarvoDlg::ReadMailTexts(const std::string& sourcePath, std::string& body, std::string& footer) {
  if (const SourceStatus status = ReadMessageSource(sourcePath, body); status != SourceStatus::Ok) {
    ShowMessage(Text(SourceMessage(status)));
    return false;
  }
  const std::string footerPath = std::string(CZerthUtility::GetAppDir()) + "/key.sig";
  if (const FooterStatus status = ReadSignatureFooter(footerPath, Text(tarvo::IDS_FOOTER_KEY), footer);
      status != FooterStatus::Ok) {
    ShowMessage(Text(FooterMessage(status)));
    return false;
  }
  return true;
}

void CTarvoDlg::RunMailing(const MailingRun& run, const CContactArray& recipients, RunJournal& journal,
                           bool sendInDoubt) {
  auto* window = new CProgressDlg(this);  // owned by this dialog; deletes itself when closed after the run
  MailingRun::Controls controls;
  controls.journal = &journal;
  controls.sendInDoubt = sendInDoubt;
  controls.cancel = &window->CancelFlag();
  controls.progress = [window](int index, int total, const std::string& address) {
    window->Progress(index, total, address);
  };
  CResultMap results;
  MailingRun::Outcome outcome = MailingRun::Outcome::Completed;
  window->Run([&] { outcome = run.Run(recipients, results, controls); });
  std::string text = OutcomeText(results);
  if (outcome == MailingRun::Outcome::JournalFailed)
    text += "\n" + Put(Text(tarvo::IDS_SEND_JOURNAL_FAILED), "%1", RunJournal::DefaultFolder());
  const std::string path = WriteDeliveryReport(results);
  window->ShowEnd(text, path);
}

std::string CTarvoDlg::WriteDeliveryReport(CResultMap& results) {
  const std::string page = BuildDeliveryReport(
      results, DeliveryReportHeader(Text(tarvo::IDS_REPORT_HEADER), Text(tarvo::IDS_APP_TITLE)),
      Text(tarvo::IDS_REPORT_FOOTER));
  const std::string folder = CZerthUtility::GetAppDir();
  const SavedReport saved = SaveDeliveryReport(page, folder);
  switch (saved.outcome) {
    case SavedReport::Saved: zplatform::ShellOpen(saved.path); return saved.path;
    case SavedReport::Incomplete: ShowMessage(Put(Text(tarvo::IDS_REPORT_INCOMPLETE), "%1", saved.path)); break;
    case SavedReport::NoFile:
      ShowMessage(Put(Put(Text(tarvo::IDS_REPORT_NOT_WRITTEN), "%1", DeliveryReportPath(folder, 0)), "%2",
                      DeliveryReportPath(folder, kMaxReportNumbers - 1)));
      break;
  }
  return {};
}

void CTarvoDlg::OfferStoppedRuns(const std::string& folder) {
  for (RunJournal& journal : RunJournal::FindUnfinished(folder)) OfferStoppedRun(journal);
}

void CTarvoDlg::OfferStoppedRun(RunJournal& journal) {
  for (;;) {
    CResumeDlg offer(journal.Content(), this);
    switch (offer.Ask()) {
      case CResumeDlg::Later: return;
      case CResumeDlg::Discard:
        if (!journal.Discard()) ShowMessage(Put(Text(tarvo::IDS_RESUME_NOT_DISCARDED), "%1", journal.Path()));
        return;
      case CResumeDlg::ShowReport: {
        CResultMap results;
        MailingRun::ResultsSoFar(journal.Content(), results);
        WriteDeliveryReport(results);
        break;  // and the offer again: the mailing is still to be resumed or discarded
      }
      case CResumeDlg::Resume:
        if (ResumeRun(journal, offer.SendInDoubt())) return;
        break;
    }
  }
}

bool CTarvoDlg::ResumeRun(RunJournal& journal, bool sendInDoubt) {
  // The journal keeps a digest of body and footer, not the texts themselves.
  const std::optional<std::string> sourcePath = zplatform::GetOpenFileName(Text(tarvo::IDS_SOURCE_FILTER));
  std::string body, footer;
  if (!sourcePath || !ReadMailTexts(*sourcePath, body, footer)) return false;
  const JournalContent& content = journal.Content();
  if (MailingDigest(body, footer) != content.digest) {
    ShowMessage(Text(tarvo::IDS_RESUME_WRONG_SOURCE));
    return false;
  }
  const CContactArray recipients = content.recipients;  // the journal's content changes with each record
  RunMailing(MailingRun(content.title, std::move(body), std::move(footer),
                        m_sender ? m_sender : MailingRun::SendThroughMapi),
             recipients, journal, sendInDoubt);
  return true;
}
