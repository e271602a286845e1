// COutlookContactsDlg: the "Outlook Contacts" picker. It reads the default
// contacts folder and its subfolders once, while it initialises, into a tree
// of folders and contacts (a folder's subfolders first, then its own
// contacts), keeping every contact's recipient in m_aAllContacts. OK hands
// over the selected contacts in visible order; selected folders add nothing.
// Nothing from the contacts object model outlives the constructor; failures
// are never shown (an unreadable folder or a missing provider gives a shorter
// or an empty tree).
#pragma once

#include "CContactPickerDlg.h"

#include <QIcon>

#include <array>

class CMultiTree;
class MAPIFolder;
class QTreeWidgetItem;

class COutlookContactsDlg : public CContactPickerDlg {
  Q_OBJECT

public:
  // Dialog template, icon and control ids; a control's id is its objectName.
  static constexpr int IDD = 139;
  static constexpr unsigned IDI_OUTLOOK = 140;
  static constexpr int IDC_OK = 1;
  static constexpr int IDC_CANCEL = 2;
  static constexpr int IDC_CONTACTS = 1016;

  explicit COutlookContactsDlg(QWidget* parent = nullptr);
  ~COutlookContactsDlg() override;

  // OK: the selected contacts' recipients to m_aContacts; ends with Accepted.
  void OnOK();

  // One recipient per contact in the tree, in insertion order; a contact
  // item's data is its index here, a folder item's is -1.
  CContactArray m_aAllContacts;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void CreateControls();
  // Inserts the folder under parent (top level without one), its subfolders
  // and contacts below it; returns its item.
  QTreeWidgetItem* LoadFolder(MAPIFolder& folder, QTreeWidgetItem* parent);

  std::array<QIcon, 2> m_images;
  CMultiTree* m_pContacts = nullptr;
};
