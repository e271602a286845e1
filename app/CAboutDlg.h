// CAboutDlg: the About box, opened modally from the window menu and the help
// title button. It only closes on "OK".
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
  Q_OBJECT

public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  ~CAboutDlg() override;
};
