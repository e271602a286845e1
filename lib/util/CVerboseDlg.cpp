// CVerboseDlg: controls of template 1000 at their dialog-unit positions, and
// the "&Copy" and "&Open" buttons.
#include "CVerboseDlg.h"

#include <zplatform/DialogControls.h>
#include <zplatform/DialogUnits.h>
#include <zplatform/UiServices.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

using zplatform::DluRect;

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* AddStatic(QWidget* parent, const QString& text, QRect rect) {
  auto* label = new QLabel(text, parent);  // owned by parent
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(rect);
  return label;
}

}  // namespace

CVerboseDlg::CVerboseDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QString::number(IDD));
  setWindowTitle(QStringLiteral("Network Verbose Mode"));
  setFixedSize(DluRect(0, 0, 236, 71).size());
  BuildControls();
  SetOpenEnabled(1);
}

CVerboseDlg::~CVerboseDlg() = default;

// In the template's order, which is also the tab order: "OK" first takes the focus.
void CVerboseDlg::BuildControls() {
  QPushButton* ok = zplatform::PlaceButton(this, IDOK, QStringLiteral("OK"), DluRect(179, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  AddStatic(this, QStringLiteral("Action:"), DluRect(7, 7, 23, 8));
  m_actionText = AddStatic(this, QString(), DluRect(35, 7, 133, 8));
  m_actionText->setObjectName(QString::number(IDC_ACTION));
  AddStatic(this, QStringLiteral("Details:"), DluRect(7, 19, 24, 8));

  m_detailsEdit = new QPlainTextEdit(this);  // owned by the dialog
  m_detailsEdit->setObjectName(QString::number(IDC_DETAILS));
  m_detailsEdit->setReadOnly(true);
  m_detailsEdit->setGeometry(DluRect(7, 31, 162, 33));

  QPushButton* copy = zplatform::PlaceButton(this, IDC_COPY, QStringLiteral("&Copy"), DluRect(179, 31, 50, 14));
  connect(copy, &QPushButton::clicked, this, [this] { OnCopy(); });
  m_openButton = zplatform::PlaceButton(this, IDC_OPEN, QStringLiteral("&Open"), DluRect(179, 50, 50, 14));
  connect(m_openButton, &QPushButton::clicked, this, [this] { OnOpen(); });
}

void CVerboseDlg::SetAction(std::string_view action) { m_actionText->setText(FromUtf8(action)); }

void CVerboseDlg::SetDetails(std::string_view details) {
  m_details = details;
  m_detailsEdit->setPlainText(FromUtf8(details));
}

void CVerboseDlg::SetOpenEnabled(int enable) { m_openButton->setEnabled(enable != 0); }

void CVerboseDlg::OnCopy() {
  // The edit keeps still while its whole text is selected for the copy.
  m_detailsEdit->setUpdatesEnabled(false);
  m_detailsEdit->selectAll();
  // The edit's own copy would turn the caller's CR LF line breaks (file
  // transfers) into LF; the clipboard gets the details as they were given.
  QGuiApplication::clipboard()->setText(FromUtf8(m_details));
  QTextCursor cursor = m_detailsEdit->textCursor();
  cursor.clearSelection();
  m_detailsEdit->setTextCursor(cursor);
  m_detailsEdit->setUpdatesEnabled(true);
}

void CVerboseDlg::OnOpen() { zplatform::ShellOpen(m_details); }
