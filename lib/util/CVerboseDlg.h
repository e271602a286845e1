// CVerboseDlg: the "Network Verbose Mode" dialog (template 1000) that shows
// one network operation before it runs: what it does and on what, with
// buttons to copy the details or open them with the desktop's program.
#pragma once

#include <QDialog>

#include <string>
#include <string_view>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CVerboseDlg : public QDialog {
public:
  // Dialog template and control ids; each control carries its id as its
  // object name.
  static constexpr int IDD = 1000;
  static constexpr int IDC_ACTION = 1004;
  static constexpr int IDC_DETAILS = 1000;
  static constexpr int IDC_COPY = 1001;
  static constexpr int IDC_OPEN = 1002;

  explicit CVerboseDlg(QWidget* parent = nullptr);
  ~CVerboseDlg() override;

  // The operation, shown beside "Action:".
  void SetAction(std::string_view action);
  // What the operation works on (URL, file names, folder), shown in the
  // read-only edit and used by "&Copy" and "&Open".
  void SetDetails(std::string_view details);
  // Non-zero enables "&Open", zero greys it; enabled after construction.
  void SetOpenEnabled(int enable);

private:
  void BuildControls();
  // Puts the details, exactly as given, on the clipboard.
  void OnCopy();
  // Hands the details to the shell's "open"; the dialog stays.
  void OnOpen();

  std::string m_details;
  QLabel* m_actionText = nullptr;        // owned by the dialog
  QPlainTextEdit* m_detailsEdit = nullptr;  // owned by the dialog
  QPushButton* m_openButton = nullptr;   // owned by the dialog
};
