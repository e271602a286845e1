#include "CContactPickerDlg.h"

CContactPickerDlg::CContactPickerDlg(QWidget* parent) : QDialog(parent) {}

CContactPickerDlg::~CContactPickerDlg() = default;
