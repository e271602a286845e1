// CImportDlg: the "Import contacts from file" picker. The user names a text
// file, its layout and a separator; Import reads the file with
// CContactFileReader into m_aContacts and ends the dialog with Accepted once
// the whole file was read. Any failure is shown and the dialog stays open.
// Its controls belong to it through Qt's parent tree; the pointers below
// only name them.
#pragma once

#include "CContactPickerDlg.h"

class QComboBox;
class QLineEdit;

class CImportDlg : public CContactPickerDlg {
  Q_OBJECT

public:
  // Dialog template, icon and control ids; a control's id is its objectName.
  static constexpr int IDD = 151;
  static constexpr unsigned IDI_IMPORT = 152;
  static constexpr int IDC_IMPORT = 1;  // the OK button
  static constexpr int IDC_CANCEL = 2;
  static constexpr int IDC_BROWSE_FILE = 1006;
  static constexpr int IDC_SOURCE_FILE = 1024;
  static constexpr int IDC_FILE_TYPE = 1025;
  static constexpr int IDC_SEPARATOR = 1027;

  explicit CImportDlg(QWidget* parent = nullptr);
  ~CImportDlg() override;

  // "&...": lets the user pick the source file.
  void OnBrowse();
  // The file type changed: the separator matters for every layout but the first.
  void OnSelchangeFileType();
  // "&Import": imports, and ends the dialog with Accepted when that completes.
  void OnOK();

  // Reads the file named in the dialog into m_aContacts (emptied first) and
  // shows the summary, or shows why it could not. Returns true when the whole
  // file was read.
  bool ImportFile();

private:
  void CreateControls();
  void InitDialog();

  QLineEdit* m_pSourceFile = nullptr;
  QComboBox* m_pFileType = nullptr;
  QLineEdit* m_pSeparator = nullptr;
};
