#include "CImportDlg.h"

#include "CContactFileReader.h"
#include "DialogFont.h"
#include "TarvoStrings.h"

#include <zplatform/DialogControls.h>
#include <zplatform/DialogUnits.h>
#include <zplatform/Resources.h>
#include <zplatform/UiServices.h>

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>

using zplatform::DluRect;

namespace {

constexpr const char kTitle[] = "Import contacts from file";

// In the order of the layouts: the index is the layout code.
constexpr const char* kFileTypes[] = {
    "E-mail addresses only",
    "E-mail addresses and contact names",
    "Contact names and e-mail addresses",
};

constexpr const char kInitialSeparator[] = "|";

using zplatform::PlaceControl;

QPushButton* MakeButton(QWidget* parent, int id, const char* label, QRect rect) {
  return zplatform::PlaceButton(parent, id, QString::fromUtf8(label), rect);
}

QLabel* MakeText(QWidget* parent, const char* text, QRect rect) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);  // owned by parent
  label->setGeometry(rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

// The program's icon 152 when it has one; until then the style's file icon,
// so that the dialog looks the same with and without it.
void MakeIcon(QWidget* parent, QRect rect) {
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Icon, CImportDlg::IDI_IMPORT);
  const QIcon icon =
      path.empty() ? parent->style()->standardIcon(QStyle::SP_FileIcon) : QIcon(QString::fromStdString(path));
  auto* label = new QLabel(parent);  // owned by parent
  label->setObjectName(QStringLiteral("icon"));
  label->setGeometry(rect);
  label->setPixmap(icon.pixmap(rect.size()));
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// "%d" of the counts; 64 bits, because a file may have more lines than an int counts.
std::string Summary(std::int64_t imported, std::int64_t ignored) {
  return tarvo::Put(tarvo::Put(tarvo::Text(tarvo::IDS_IMPORT_SUMMARY), "%d", std::to_string(imported)), "%d",
                    std::to_string(ignored));
}

}  // namespace

CImportDlg::CImportDlg(QWidget* parent) : CContactPickerDlg(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QString::fromUtf8(kTitle));
  setFixedSize(DluRect(0, 0, 250, 107).size());
  CreateControls();
  InitDialog();
}

CImportDlg::~CImportDlg() = default;

// Created in tab order: source, browse, file type, separator, Import, Cancel.
void CImportDlg::CreateControls() {
  MakeIcon(this, DluRect(7, 7, 21, 20));
  QLabel* intro = MakeText(this, "Select source file, file type and press Import button to add contacts.",
                           DluRect(36, 9, 207, 18));
  intro->setWordWrap(true);

  MakeText(this, "Source file:", DluRect(7, 34, 44, 8));
  m_pSourceFile = PlaceControl<QLineEdit>(this, IDC_SOURCE_FILE, DluRect(54, 32, 170, 12));
  QPushButton* browse = MakeButton(this, IDC_BROWSE_FILE, "&...", DluRect(228, 32, 15, 12));

  MakeText(this, "File type:", DluRect(7, 52, 44, 8));
  m_pFileType = PlaceControl<QComboBox>(this, IDC_FILE_TYPE, DluRect(54, 50, 189, 13));
  m_pFileType->setEditable(false);  // a drop-down list: pick, don't type

  MakeText(this, "Separator:", DluRect(7, 70, 44, 8));
  m_pSeparator = PlaceControl<QLineEdit>(this, IDC_SEPARATOR, DluRect(54, 68, 40, 12));

  QPushButton* import = MakeButton(this, IDC_IMPORT, "&Import", DluRect(139, 86, 50, 14));
  import->setDefault(true);
  QPushButton* cancel = MakeButton(this, IDC_CANCEL, "Cancel", DluRect(193, 86, 50, 14));

  connect(browse, &QPushButton::clicked, this, &CImportDlg::OnBrowse);
  connect(import, &QPushButton::clicked, this, &CImportDlg::OnOK);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CImportDlg::InitDialog() {
  for (const char* type : kFileTypes) m_pFileType->addItem(QString::fromUtf8(type));
  m_pFileType->setCurrentIndex(CContactFileReader::kAddressOnly);
  m_pSeparator->setText(QString::fromUtf8(kInitialSeparator));
  OnSelchangeFileType();
  // Connected only now, so that filling the list does not count as a change.
  connect(m_pFileType, &QComboBox::currentIndexChanged, this, &CImportDlg::OnSelchangeFileType);
}

void CImportDlg::OnSelchangeFileType() {
  m_pSeparator->setEnabled(m_pFileType->currentIndex() != CContactFileReader::kAddressOnly);
}

void CImportDlg::OnBrowse() {
  const std::optional<std::string> path = zplatform::GetOpenFileName(tarvo::Text(tarvo::IDS_IMPORT_FILTER));
  if (path) m_pSourceFile->setText(QString::fromUtf8(path->data(), static_cast<qsizetype>(path->size())));
}

void CImportDlg::OnOK() {
  if (ImportFile()) accept();
}

bool CImportDlg::ImportFile() {
  // Both texts exactly as typed: a separator of spaces is a separator.
  const std::string path = Utf8(m_pSourceFile->text());
  const CContactFileReader reader(m_pFileType->currentIndex(), Utf8(m_pSeparator->text()));

  m_aContacts.RemoveAll();  // a second Import starts from nothing
  CContactFileReader::Result result = reader.Read(path);
  switch (result.status) {
    case CContactFileReader::Status::CannotOpen:
      zplatform::MessageBox(tarvo::Text(tarvo::IDS_IMPORT_CANNOT_OPEN), tarvo::Text(tarvo::IDS_APP_TITLE));
      return false;
    case CContactFileReader::Status::ReadError:
      // Half a file is not a completed import: no summary, no contacts.
      zplatform::MessageBox(tarvo::Text(tarvo::IDS_IMPORT_CANNOT_READ), tarvo::Text(tarvo::IDS_APP_TITLE));
      return false;
    case CContactFileReader::Status::BadLayout:
      zplatform::MessageBox(tarvo::Text(tarvo::IDS_IMPORT_BAD_LAYOUT), tarvo::Text(tarvo::IDS_APP_TITLE));
      return false;
    case CContactFileReader::Status::Completed:
      break;
  }

  // Room for all at once: appending one by one would regrow the array in
  // steps of at most 1024 elements, which is quadratic for big files. (More
  // than INT_MAX contacts would not fit in memory long before.)
  m_aContacts.Reserve(static_cast<int>(std::min<std::size_t>(result.contacts.size(), INT_MAX)));
  for (CContact& contact : result.contacts) m_aContacts.Add(std::move(contact));
  zplatform::MessageBox(Summary(result.ImportedCount(), result.IgnoredCount()), tarvo::Text(tarvo::IDS_APP_TITLE));
  return true;
}
