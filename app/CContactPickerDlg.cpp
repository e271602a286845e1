#include "CContactPickerDlg.h"

CContactPickerDlg::CContactPickerDlg(QWidget* parent) : QDialog(parent) {}

CContactPickerDlg::~CContactPickerDlg() = default;

QWidget* CContactPickerDlg::GetDlgItem(int id) const {
  return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}
