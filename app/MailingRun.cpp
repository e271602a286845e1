// CTarvoDlg::OnSend: the mailing run. Checks the input, reads the message
// source as the body template and the signature footer, asks for
// confirmation, then hands one personalised message per recipient to Simple
// MAPI and writes the delivery report of all results.
#include "CResultMap.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "SignatureFooter.h"
#include "TarvoStrings.h"

#include <zerth/CIMapi.h>
#include <zerth/CZerthUtility.h>
#include <zplatform/Resources.h>
#include <zplatform/UiServices.h>
#include <zplatform/WholeFile.h>

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr const char kNoSource[] = "You have not selected a source file for your message(s).";
constexpr const char kNoTitle[] = "Message title is empty. Please enter the title for your message(s).";
constexpr const char kNoRecipients[] =
    "Selected Contacts list is empty. Please select one or more contacts from the Available Contacts list.";
constexpr const char kCannotOpenSource[] = "Can't open message source file.";
constexpr const char kCannotReadSource[] = "Can't read message source file.";
constexpr const char kCannotOpenFooter[] = "Can't open signature file. Please reinstall application.";
constexpr const char kCannotReadFooter[] = "Can't read signature file. Please reinstall application.";
constexpr const char kBadFooter[] = "Incorrect format of the signature file. Please reinstall application.";
constexpr const char kConfirm[] = "You are about to send %d e-mail messages. Press OK to continue.";
constexpr const char kNamePlaceholder[] = "<NAME>";

enum class SourceStatus { Ok, CannotOpen, CannotRead };

// Far beyond any message a mail server takes; a bigger "message" (a disk
// image picked by mistake, an endless device) would exhaust memory, with a
// copy per recipient, instead of failing with a message.
constexpr std::size_t kMaxSourceBytes = 64u << 20;

// The body template: the file's bytes up to its first zero byte. Only a
// regular file is read: a FIFO would block the window for good and a device
// may never end. A file that yields no bytes at all, more than the limit, or
// a read error part-way (a truncated body would go to everybody) cannot be
// read.
SourceStatus ReadMessageSource(const std::string& path, std::string& body) {
  std::string data;
  switch (zplatform::ReadWholeFile(path, kMaxSourceBytes, data)) {
    case zplatform::WholeFileStatus::Ok: break;
    case zplatform::WholeFileStatus::NotFound:
    case zplatform::WholeFileStatus::CannotOpen: return SourceStatus::CannotOpen;
    case zplatform::WholeFileStatus::NotRegularFile:
    case zplatform::WholeFileStatus::TooLarge:
    case zplatform::WholeFileStatus::ReadError: return SourceStatus::CannotRead;
  }
  if (data.empty()) return SourceStatus::CannotRead;
  body.assign(data.data(), std::min(data.size(), data.find('\0')));
  return SourceStatus::Ok;
}

// Every "<NAME>" of the template replaced by the name; the inserted name is
// not searched again.
std::string Personalise(const std::string& body, const std::string& name) {
  std::string out;
  out.reserve(body.size() + name.size());
  std::size_t from = 0;
  for (auto at = body.find(kNamePlaceholder); at != std::string::npos; at = body.find(kNamePlaceholder, from)) {
    out.append(body, from, at - from);
    out += name;
    from = at + sizeof kNamePlaceholder - 1;
  }
  out.append(body, from, std::string::npos);
  return out;
}

std::string FooterMessage(FooterStatus status) {
  switch (status) {
    case FooterStatus::CannotOpen: return kCannotOpenFooter;
    case FooterStatus::CannotRead: return kCannotReadFooter;
    case FooterStatus::BadFormat: return kBadFooter;
    case FooterStatus::Ok: break;
  }
  return {};
}

}  // namespace

void CTarvoDlg::ShowMessage(const std::string& text) {
  zplatform::MessageBox(text, zplatform::LoadStringResource(tarvo::IDS_APP_TITLE));
}

void CTarvoDlg::OnSend() {
  const std::string sourcePath = m_pSource->text().toStdString();
  if (sourcePath.empty()) {
    ShowMessage(kNoSource);
    m_pSource->setFocus();
    return;
  }
  const std::string title = m_pTitle->text().toStdString();
  if (title.empty()) {
    ShowMessage(kNoTitle);
    m_pTitle->setFocus();
    return;
  }
  if (m_pContactList->model()->rowCount() == 0) {
    ShowMessage(kNoRecipients);
    return;
  }

  std::string body;
  switch (ReadMessageSource(sourcePath, body)) {
    case SourceStatus::CannotOpen: ShowMessage(kCannotOpenSource); return;
    case SourceStatus::CannotRead: ShowMessage(kCannotReadSource); return;
    case SourceStatus::Ok: break;
  }

  std::string footer;
  const std::string footerPath = std::string(CZerthUtility::GetAppDir()) + "/key.sig";
  if (FooterStatus status = ReadSignatureFooter(footerPath, zplatform::LoadStringResource(tarvo::IDS_FOOTER_KEY), footer);
      status != FooterStatus::Ok) {
    ShowMessage(FooterMessage(status));
    return;
  }
  body += footer;

  char question[sizeof kConfirm + 16];
  std::snprintf(question, sizeof question, kConfirm, m_aSelected.GetSize());
  if (zplatform::MessageBox(question, zplatform::LoadStringResource(tarvo::IDS_APP_TITLE), MB_OKCANCEL) != IDOK) return;

  CResultMap results;
  for (int i = 0; i < m_aSelected.GetSize(); ++i) {
    const CContact& contact = m_aSelected[i];
    CIMapi mapi;
    const std::string text = Personalise(body, contact.m_sName);
    mapi.To(contact.m_sAddress.c_str());
    mapi.Subject(title.c_str());
    mapi.Text(text.c_str());
    results.SetAt(contact.m_sAddress, mapi.Send(0));
  }
  WriteDeliveryReport(results);
}
