#include "CAboutDlg.h"

#include "DialogFont.h"
#include "ResourceIds.h"

#include <zplatform/DialogUnits.h>
#include <zplatform/Resources.h>

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

using zplatform::DluRect;

namespace {

QLabel* AddText(QWidget* parent, const QString& text, QRect rect) {
  auto* label = new QLabel(text, parent);  // owned by parent
  label->setGeometry(rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

void AddIcon(QWidget* parent, QRect rect) {
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Icon, tarvo::IDR_MAINFRAME);
  if (path.empty()) return;
  auto* icon = new QLabel(parent);  // owned by parent
  icon->setObjectName(QStringLiteral("icon"));
  icon->setGeometry(rect);
  icon->setPixmap(QIcon(QString::fromStdString(path)).pixmap(rect.size()));
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QStringLiteral("About Tarvo"));
  setFixedSize(DluRect(0, 0, 224, 105).size());

  AddIcon(this, DluRect(11, 14, 21, 20));
  AddText(this, QStringLiteral("Tarvo 1.0"), DluRect(40, 10, 119, 8));
  AddText(this,
          QStringLiteral("Mails one personal message to many contacts.\n"
                         "Copyright (C) 2026 The Tarvo developers"),
          DluRect(40, 22, 176, 18));

  auto* contact = new QGroupBox(QStringLiteral("Contact Information"), this);  // owned by the dialog
  contact->setGeometry(DluRect(7, 46, 210, 52));
  AddText(contact, QStringLiteral("Email:"), DluRect(10, 14, 28, 8));
  AddText(contact, QStringLiteral("support@tarvo.example"), DluRect(42, 14, 150, 8));
  AddText(contact, QStringLiteral("Site:"), DluRect(10, 30, 28, 8));
  AddText(contact, QStringLiteral("www.tarvo.example"), DluRect(42, 30, 150, 8));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);  // owned by the dialog
  ok->setObjectName(QString::number(tarvo::IDC_ABOUT_OK));
  ok->setGeometry(DluRect(167, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;
