// COutlookFoldersDlg: the "Outlook Folders" picker. It reads the default
// contacts folder and its subfolders once, while it initialises, into a tree
// of folders labelled with their number of contacts, and keeps each folder's
// recipients in m_aFolderContacts. OK hands over the chosen folder's
// recipients, and with "&Recurse subfolders" those of the folders below it,
// each address once. Nothing from the contacts object model outlives the
// constructor; failures are never shown (an unreadable folder or a missing
// provider gives a shorter or an empty tree).
#pragma once

#include "CContactPickerDlg.h"

#include <QIcon>

#include <array>
#include <vector>

class MAPIFolder;
class QCheckBox;
class QTreeWidget;
class QTreeWidgetItem;

class COutlookFoldersDlg : public CContactPickerDlg {
  Q_OBJECT

public:
  // Dialog template, icon and control ids; a control's id is its objectName.
  static constexpr int IDD = 142;
  static constexpr unsigned IDI_OUTLOOK = 140;
  static constexpr int IDC_OK = 1;
  static constexpr int IDC_CANCEL = 2;
  static constexpr int IDC_FOLDERS = 1016;
  static constexpr int IDC_RECURSE = 1023;

  explicit COutlookFoldersDlg(QWidget* parent = nullptr);
  ~COutlookFoldersDlg() override;

  // OK: m_aContacts becomes the chosen folder's recipients (see AddFolder);
  // ends with Accepted. Without a chosen folder it stays empty.
  void OnOK();

  // Merges the item's folder list into m_aContacts, skipping addresses already
  // there; with recurse, then each child folder's in tree order.
  void AddFolder(QTreeWidgetItem* item, bool recurse);

  // One recipient list per folder of the tree; a folder item's data is the
  // index of its list.
  std::vector<CContactArray> m_aFolderContacts;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void CreateControls();
  // Inserts the folder under parent (top level without one), its subfolders
  // below it; returns its item.
  QTreeWidgetItem* LoadFolder(MAPIFolder& folder, QTreeWidgetItem* parent);

  std::array<QIcon, 2> m_images;
  QTreeWidget* m_pFolders = nullptr;
  QCheckBox* m_pRecurse = nullptr;
};
