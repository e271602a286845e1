#include "COutlookFoldersDlg.h"

#include "DialogFont.h"
#include "MergeContacts.h"
#include "OutlookReading.h"
#include "PickerControls.h"
#include "TarvoStrings.h"

#include <zplatform/DialogControls.h>
#include <zplatform/DialogUnits.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

using zplatform::DluRect;
using zplatform::PlaceControl;

namespace {

constexpr const char kTitle[] = "Outlook Folders";

std::string FolderLabel(const std::string& name, int count) {
  return tarvo::Put(tarvo::Put(tarvo::Text(tarvo::IDS_FOLDER_LABEL), "%s", name), "%d", std::to_string(count));
}

}  // namespace

COutlookFoldersDlg::COutlookFoldersDlg(QWidget* parent) : CContactPickerDlg(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QString::fromUtf8(kTitle));
  setFixedSize(DluRect(0, 0, 250, 196).size());
  CreateControls();
  m_images = tarvo::LoadTreeImages();
  tarvo::outlook::ReadDefaultContactsFolder(
      [this](MAPIFolder& folder) { LoadFolder(folder, nullptr)->setExpanded(true); });
}

COutlookFoldersDlg::~COutlookFoldersDlg() = default;

// Created in tab order: tree, check box, OK, Cancel.
void COutlookFoldersDlg::CreateControls() {
  tarvo::PlaceIcon(this, IDI_OUTLOOK, DluRect(7, 7, 21, 20));
  auto* intro = new QLabel(QStringLiteral("Select folders that you want to add."), this);  // owned by this
  intro->setGeometry(DluRect(36, 13, 207, 8));

  m_pFolders = PlaceControl<QTreeWidget>(this, IDC_FOLDERS, DluRect(7, 32, 236, 136));
  tarvo::SetUpTree(*m_pFolders);
  m_pRecurse = PlaceControl<QCheckBox>(this, IDC_RECURSE, DluRect(7, 177, 100, 10));
  m_pRecurse->setText(QStringLiteral("&Recurse subfolders"));

  QPushButton* ok = tarvo::PlaceOkCancel(*this);
  connect(ok, &QPushButton::clicked, this, &COutlookFoldersDlg::OnOK);
}

QTreeWidgetItem* COutlookFoldersDlg::LoadFolder(MAPIFolder& folder, QTreeWidgetItem* parent) {
  const std::string name = tarvo::outlook::FolderName(folder);
  QTreeWidgetItem* item = tarvo::InsertTreeItem(*m_pFolders, parent, name, m_images[tarvo::kFolderImage], -1);
  CContactArray contacts;
  try {
    tarvo::outlook::ForEachSubfolder(folder, [&](MAPIFolder& child) { LoadFolder(child, item); });
    tarvo::outlook::ForEachContact(folder, [&](tarvo::outlook::ContactEntry&& entry) {
      contacts.Add(CContact(std::move(entry.address), std::move(entry.name)));
    });
  } catch (const _com_error&) {
    // The folder ends here; what it read so far is offered.
  }
  tarvo::SetItemData(*item, static_cast<int>(m_aFolderContacts.size()));
  item->setText(0, QString::fromStdString(FolderLabel(name, contacts.GetSize())));
  m_aFolderContacts.push_back(std::move(contacts));
  return item;
}

void COutlookFoldersDlg::OnOK() {
  const bool recurse = m_pRecurse->isChecked();
  m_aContacts.RemoveAll();
  if (QTreeWidgetItem* chosen = m_pFolders->currentItem()) AddFolder(chosen, recurse);
  accept();
}

void COutlookFoldersDlg::AddFolder(QTreeWidgetItem* item, bool recurse) {
  const int index = tarvo::ItemData(*item);
  if (index >= 0 && std::size_t(index) < m_aFolderContacts.size())
    MergeContacts(m_aContacts, m_aFolderContacts[std::size_t(index)]);
  if (!recurse) return;
  for (int child = 0; child < item->childCount(); ++child) AddFolder(item->child(child), recurse);
}

void COutlookFoldersDlg::showEvent(QShowEvent* event) {
  CContactPickerDlg::showEvent(event);
  tarvo::BringToTop(*this);
}
