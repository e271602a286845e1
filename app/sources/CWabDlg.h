// CWabDlg: the "Windows Address Book" picker. It lists the display names of
// the mail users of the default address book, or of a book the user opens,
// and hands the selected names over as recipients whose address and name are
// both the display name: the mail provider resolves names against the
// address books when it sends. Its controls belong to it through Qt's parent
// tree; the pointers below only name them.
#pragma once

#include "CContactPickerDlg.h"

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QString;

class CWabDlg : public CContactPickerDlg {
  Q_OBJECT

public:
  // Dialog template, icon and control ids; a control's id is its objectName.
  static constexpr int IDD = 141;
  static constexpr unsigned IDI_WAB = 145;
  static constexpr int IDC_OK = 1;
  static constexpr int IDC_CANCEL = 2;
  static constexpr int IDC_CONTACTS = 1021;
  static constexpr int IDC_OPEN_WAB = 1028;
  static constexpr int IDC_WAB_NAME = 1029;

  explicit CWabDlg(QWidget* parent = nullptr);
  ~CWabDlg() override;

  // "&Open WAB...": lets the user pick a book and loads it.
  void OnOpenWab();
  // OK: the selected names, in list order, to m_aContacts; ends with Accepted.
  void OnOK();

  // Reads the book in path (the default address book without one) into the
  // list and names it in the label. A book that cannot be opened leaves both
  // as they were; a listing that fails part-way keeps the names read before
  // the failure under the previous label. Either failure is shown.
  void LoadAddressBook(std::optional<std::string> path = std::nullopt);

  // Sorts names the way the list shows them: by the user's collation,
  // without regard to case; equal names keep their order.
  static void SortNames(std::vector<QString>& names);

private:
  void CreateControls();

  QListWidget* m_pContacts = nullptr;
  QLabel* m_pBookName = nullptr;
};
