#include "COutlookContactsDlg.h"

#include "DialogFont.h"
#include "OutlookReading.h"
#include "PickerControls.h"
#include "skin/CMultiTree.h"

#include <zplatform/DialogControls.h>
#include <zplatform/DialogUnits.h>

#include <QLabel>
#include <QPushButton>

using zplatform::DluRect;
using zplatform::PlaceControl;

namespace {

constexpr const char kTitle[] = "Outlook Contacts";
constexpr int kFolderData = -1;

}  // namespace

COutlookContactsDlg::COutlookContactsDlg(QWidget* parent) : CContactPickerDlg(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QString::fromUtf8(kTitle));
  setFixedSize(DluRect(0, 0, 250, 196).size());
  CreateControls();
  m_images = tarvo::LoadTreeImages();
  tarvo::outlook::ReadDefaultContactsFolder(
      [this](MAPIFolder& folder) { LoadFolder(folder, nullptr)->setExpanded(true); });
}

COutlookContactsDlg::~COutlookContactsDlg() = default;

// Created in tab order: tree, OK, Cancel.
void COutlookContactsDlg::CreateControls() {
  tarvo::PlaceIcon(this, IDI_OUTLOOK, DluRect(7, 7, 21, 20));
  auto* intro = new QLabel(QStringLiteral("Select contacts that you want to add."), this);  // owned by this
  intro->setGeometry(DluRect(36, 13, 207, 8));

  m_pContacts = PlaceControl<CMultiTree>(this, IDC_CONTACTS, DluRect(7, 32, 236, 136));
  tarvo::SetUpTree(*m_pContacts);

  QPushButton* ok = tarvo::PlaceOkCancel(*this);
  connect(ok, &QPushButton::clicked, this, &COutlookContactsDlg::OnOK);
}

QTreeWidgetItem* COutlookContactsDlg::LoadFolder(MAPIFolder& folder, QTreeWidgetItem* parent) {
  QTreeWidgetItem* item = tarvo::InsertTreeItem(*m_pContacts, parent, tarvo::outlook::FolderName(folder),
                                                m_images[tarvo::kFolderImage], kFolderData);
  try {
    tarvo::outlook::ForEachSubfolder(folder, [&](MAPIFolder& child) { LoadFolder(child, item); });
    tarvo::outlook::ForEachContact(folder, [&](tarvo::outlook::ContactEntry&& entry) {
      const int index = m_aAllContacts.Add(CContact(std::move(entry.address), std::move(entry.name)));
      tarvo::InsertTreeItem(*m_pContacts, item, entry.label, m_images[tarvo::kContactImage], index);
    });
  } catch (const _com_error&) {
    // The folder ends here; its item and what it read so far stay.
  }
  return item;
}

void COutlookContactsDlg::OnOK() {
  for (QTreeWidgetItem* item = m_pContacts->GetFirstSelectedItem(); item;
       item = m_pContacts->GetNextSelectedItem(item)) {
    const int index = tarvo::ItemData(*item);
    if (index != kFolderData) m_aContacts.Add(m_aAllContacts[index]);
  }
  accept();
}

void COutlookContactsDlg::showEvent(QShowEvent* event) {
  CContactPickerDlg::showEvent(event);
  tarvo::BringToTop(*this);
}
