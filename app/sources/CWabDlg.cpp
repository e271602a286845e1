#include "CWabDlg.h"

#include "CWabReader.h"
#include "DialogFont.h"
#include "PickerControls.h"
#include "TarvoStrings.h"

#include <zplatform/DialogControls.h>
#include <zplatform/DialogUnits.h>
#include <zplatform/UiServices.h>

#include <QCollator>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <numeric>

using zplatform::DluRect;
using zplatform::PlaceControl;

namespace {

constexpr const char kTitle[] = "Windows Address Book";
// The label's text in the template, shown until a book loads.
constexpr const char kNoBook[] = "Static";

QLabel* MakeText(QWidget* parent, const char* text, QRect rect) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);  // owned by parent
  label->setGeometry(rect);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The user's collation; for the "C" locale, whose collation compares code
// points (so "b" after "Z" and accented letters last), the English one.
QCollator ListCollator() {
  QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  return collator;
}

}  // namespace

CWabDlg::CWabDlg(QWidget* parent) : CContactPickerDlg(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QString::fromUtf8(kTitle));
  setFixedSize(DluRect(0, 0, 250, 196).size());
  CreateControls();
  LoadAddressBook();
}

CWabDlg::~CWabDlg() = default;

// Created in tab order: list, Open WAB, OK, Cancel.
void CWabDlg::CreateControls() {
  tarvo::PlaceIcon(this, IDI_WAB, DluRect(7, 7, 21, 20));
  MakeText(this, "Select contacts that you want to add.", DluRect(36, 9, 207, 8));
  MakeText(this, "Windows Address Book used:", DluRect(36, 21, 207, 8));
  m_pBookName = PlaceControl<QLabel>(this, IDC_WAB_NAME, DluRect(36, 31, 207, 8));
  m_pBookName->setText(QString::fromUtf8(kNoBook));

  m_pContacts = PlaceControl<QListWidget>(this, IDC_CONTACTS, DluRect(7, 44, 236, 124));
  m_pContacts->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_pContacts->setUniformItemSizes(true);  // 100,000 rows lay out at once

  QPushButton* open = zplatform::PlaceButton(this, IDC_OPEN_WAB, QStringLiteral("&Open WAB..."),
                                             DluRect(7, 175, 60, 14));
  QPushButton* ok = tarvo::PlaceOkCancel(*this);

  connect(open, &QPushButton::clicked, this, &CWabDlg::OnOpenWab);
  connect(ok, &QPushButton::clicked, this, &CWabDlg::OnOK);
}

void CWabDlg::OnOpenWab() {
  if (std::optional<std::string> path = zplatform::GetOpenFileName(tarvo::Text(tarvo::IDS_WAB_FILTER)))
    LoadAddressBook(std::move(path));
}

void CWabDlg::OnOK() {
  // Rows in ascending order, which the sorted list makes alphabetical.
  for (int row = 0; row < m_pContacts->count(); ++row) {
    const QListWidgetItem* item = m_pContacts->item(row);
    if (!item->isSelected()) continue;
    const std::string name = item->text().toStdString();
    m_aContacts.Add(CContact(name, name));
  }
  accept();
}

void CWabDlg::LoadAddressBook(std::optional<std::string> path) {
  const std::string shownName = path ? *path : tarvo::Text(tarvo::IDS_WAB_DEFAULT_BOOK);
  CWabReader reader(std::move(path));
  if (!reader.IsOpened()) {
    zplatform::MessageBox(tarvo::Text(tarvo::IDS_WAB_CANNOT_OPEN), tarvo::Text(tarvo::IDS_APP_TITLE));
    return;
  }
  std::vector<std::string> found;
  std::string error;
  const HRESULT hr = reader.ListMailUsers(found, error);

  // All names at once, sorted once: a sorted insert per name would move the
  // rows after it each time, which is quadratic for a large book.
  std::vector<QString> names;
  names.reserve(found.size());
  for (const std::string& name : found) names.push_back(FromUtf8(name));
  SortNames(names);
  m_pContacts->clear();
  m_pContacts->addItems(QStringList(names.begin(), names.end()));

  if (FAILED(hr)) {
    zplatform::MessageBox(tarvo::Text(tarvo::IDS_WAB_CANNOT_ACCESS) + error, tarvo::Text(tarvo::IDS_APP_TITLE));
    return;
  }
  m_pBookName->setText(FromUtf8(shownName));
}

void CWabDlg::SortNames(std::vector<QString>& names) {
  const QCollator collator = ListCollator();
  // One key per name instead of a collation per comparison.
  std::vector<QCollatorSortKey> keys;
  keys.reserve(names.size());
  for (const QString& name : names) keys.push_back(collator.sortKey(name));
  std::vector<std::size_t> order(names.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<QString> sorted;
  sorted.reserve(names.size());
  for (std::size_t at : order) sorted.push_back(std::move(names[at]));
  names = std::move(sorted);
}
