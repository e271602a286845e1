// CContactPickerDlg: the common base of the contact pickers. A picker fills
// m_aContacts with what the user chose before it ends with Accepted; the main
// dialog reads it after exec() returns and before the picker is destroyed.
#pragma once

#include "CContactArray.h"

#include <QDialog>

class CContactPickerDlg : public QDialog {
  Q_OBJECT

public:
  explicit CContactPickerDlg(QWidget* parent = nullptr);
  ~CContactPickerDlg() override;

  // The control with this id (its objectName), or nullptr.
  QWidget* GetDlgItem(int id) const;

  // The chosen contacts; empty at construction.
  CContactArray m_aContacts;
};
