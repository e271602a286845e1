#include "CTarvoDlg.h"

#include "CAboutDlg.h"
#include "CContactListModel.h"
#include "DialogFont.h"
#include "MergeContacts.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "skin/CSkinButton.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinResources.h"
#include "skin/WindowShape.h"
#include "sources/CImportDlg.h"
#include "sources/COutlookContactsDlg.h"
#include "sources/COutlookFoldersDlg.h"
#include "sources/CWabDlg.h"

#include <zerth/CIMapi.h>
#include <zplatform/DialogControls.h>
#include <zplatform/DialogUnits.h>
#include <zplatform/Resources.h>
#include <zplatform/UiServices.h>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>
#include <vector>

using namespace tarvo;
using namespace tarvo::skin;

namespace {


using zplatform::PlaceControl;

QPushButton* MakeButton(QWidget* parent, int id, const char* label, QRect rect) {
  return zplatform::PlaceButton(parent, id, QString::fromUtf8(label), rect);
}

QLabel* MakeLabel(QWidget* parent, int id, const char* label, QRect rect, Qt::Alignment align) {
  auto* text = PlaceControl<QLabel>(parent, id, rect);
  text->setText(QString::fromUtf8(label));
  text->setAlignment(align | Qt::AlignTop);
  text->setAutoFillBackground(false);  // transparent: the skin shows through
  return text;
}

// A title image button; its skin comes with the dialog's initialisation.
CSkinButton* MakeTitleButton(QWidget* parent, int id, QRect rect) {
  auto* button = PlaceControl<CSkinButton>(parent, id, rect);
  button->setText(QStringLiteral("Button1"));  // never drawn
  // Title gadgets take no focus, so Enter keeps pressing "&Send".
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QLineEdit* MakeEdit(QWidget* parent, int id, QRect rect) { return PlaceControl<QLineEdit>(parent, id, rect); }

QIcon LoadProgramIcon() {
  const std::string path = zplatform::ResourcePath(zplatform::ResourceKind::Icon, IDR_MAINFRAME);
  return path.empty() ? QIcon() : QIcon(QString::fromStdString(path));
}

}  // namespace

CTarvoDlg::CTarvoDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint),
      m_hIcon(LoadProgramIcon()),
      m_hHandCursor(LoadSkinCursor(IDC_HAND_CURSOR, Qt::PointingHandCursor)),
      m_pickerFactory(&CTarvoDlg::CreatePicker) {
  setFont(DialogFont(font()));
  setFixedSize(kDialogSize);
  // For the hand cursor over the logo, moves without a button held count too.
  setMouseTracking(true);
  CreateControls();
  ConnectControls();
  InitDialog();
}

CTarvoDlg::~CTarvoDlg() {
  // The list reads m_aSelected, which is gone before the base class hides and
  // destroys the children: let the list forget the table first.
  m_pContactList->setModel(nullptr);
}

QWidget* CTarvoDlg::GetDlgItem(int id) const {
  return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

void CTarvoDlg::CreateControls() {
  CreateBackground();
  m_pHotspot = PlaceControl<QWidget>(this, IDC_HOTSPOT, kHotspot);
  m_pHotspot->hide();
  m_pHelpButton = MakeTitleButton(this, IDC_HELP_BUTTON, kHelpButtonPlace);
  m_pCloseButton = MakeTitleButton(this, IDC_CLOSE_BUTTON, kCloseButtonPlace);
  m_pLabelContacts = MakeLabel(this, IDC_LABEL_CONTACTS, "Selected Contacts", kContactsLabel, Qt::AlignHCenter);
  CreateContactList();
  MakeButton(this, IDC_ADD_OUTLOOK, "Add MS &Outlook e-mails", kOutlookPicker);
  MakeButton(this, IDC_ADD_OUTLOOK_FOLDER, "Add MS Outlook &folder", kOutlookFolderPicker);
  m_pAddWab = MakeButton(this, IDC_ADD_WAB, "Add &WAB e-mails", kWabPicker);
  MakeButton(this, IDC_ADD_TEXT_FILE, "Add from &text file", kTextFilePicker);
  m_pDelete = MakeButton(this, IDC_DELETE, "&Delete", kDelete);
  m_pLabelTitle = MakeLabel(this, IDC_LABEL_TITLE, "Message Title:", kTitleLabel, Qt::AlignLeft);
  m_pTitle = MakeEdit(this, IDC_TITLE, kTitleEdit);
  m_pLabelSource = MakeLabel(this, IDC_LABEL_SOURCE, "Message Source:", kSourceLabel, Qt::AlignLeft);
  m_pSource = MakeEdit(this, IDC_SOURCE, kSourceEdit);
  m_pBrowse = MakeButton(this, IDC_BROWSE, "...", kBrowse);
  m_pSend = MakeButton(this, IDC_SEND, "&Send", kSend);
  m_pSend->setDefault(true);
  MakeButton(this, IDC_CLOSE, "&Close", kClose);
}

void CTarvoDlg::CreateBackground() {
  auto* background = new QLabel(this);  // owned by the dialog
  background->setObjectName(QStringLiteral("background"));
  const QImage picture = LoadSkinBitmap(IDB_BACKGROUND);
  background->setPixmap(QPixmap::fromImage(picture));
  // A static bitmap takes the size of its picture.
  background->setGeometry(QRect(kBackgroundRect.topLeft(), picture.isNull() ? kBackgroundRect.size() : picture.size()));
  // Presses and moves on the picture belong to the dialog: dragging, the logo.
  background->setAttribute(Qt::WA_TransparentForMouseEvents);
  background->lower();
}

void CTarvoDlg::CreateContactList() {
  m_pContactList = PlaceControl<QTreeView>(this, IDC_CONTACT_LIST, kContactList);
  m_pContactModel = new CContactListModel(m_aSelected, this);  // owned by the dialog
  m_pContactList->setModel(m_pContactModel);
  m_pContactList->setRootIsDecorated(false);
  m_pContactList->setItemsExpandable(false);
  m_pContactList->setUniformRowHeights(true);  // keeps a refresh of many rows cheap
  m_pContactList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_pContactList->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_pContactList->setSortingEnabled(false);
  m_pContactList->header()->setSectionsClickable(false);
  m_pContactList->header()->setSectionsMovable(false);
  m_pContactList->header()->setStretchLastSection(false);
  m_pContactList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // The selection stays visible while the list does not have the focus.
  QPalette palette = m_pContactList->palette();
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
  }
  m_pContactList->setPalette(palette);
}

void CTarvoDlg::ConnectControls() {
  connect(m_pSend, &QPushButton::clicked, this, &CTarvoDlg::OnSend);
  connect(m_pDelete, &QPushButton::clicked, this, &CTarvoDlg::OnDelete);
  connect(m_pBrowse, &QPushButton::clicked, this, &CTarvoDlg::OnBrowseSource);
  connect(m_pCloseButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_pHelpButton, &QPushButton::clicked, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
  connect(static_cast<QPushButton*>(GetDlgItem(IDC_CLOSE)), &QPushButton::clicked, this, &QDialog::reject);
  for (int id : {IDC_ADD_OUTLOOK, IDC_ADD_OUTLOOK_FOLDER, IDC_ADD_WAB, IDC_ADD_TEXT_FILE}) {
    connect(static_cast<QPushButton*>(GetDlgItem(id)), &QPushButton::clicked, this,
            [this, id] { OnPickContacts(id); });
  }
  connect(m_pTitle, &QLineEdit::textChanged, this, &CTarvoDlg::UpdateControls);
  connect(m_pSource, &QLineEdit::textChanged, this, &CTarvoDlg::UpdateControls);
  connect(m_pContactList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CTarvoDlg::UpdateControls);

  // Without a caption there is no system menu to click: Alt+Space opens it.
  auto* systemMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);  // owned by the dialog
  connect(systemMenuKey, &QShortcut::activated, this, &CTarvoDlg::ShowSystemMenu);

  // The context menu's one item carries the About command as an ordinary
  // command, which the dialog does not handle: choosing it does nothing.
  m_pContextMenu = new QMenu(this);  // owned by the dialog
  m_pContextMenu->setObjectName(QStringLiteral("contextMenu"));
  m_pContextMenu->addAction(QStringLiteral("1"))->setData(IDM_ABOUTBOX);
}

void CTarvoDlg::InitDialog() {
  BuildSystemMenu();
  if (!m_hIcon.isNull()) setWindowIcon(m_hIcon);
  ApplyWindowOutline(*this);
  m_pHelpButton->SetSkin(IDB_HELP_NORMAL, IDB_HELP_PRESSED, IDB_HELP_HOVER, IDB_HELP_NORMAL, IDB_HELP_NORMAL,
                         IDB_HELP_MASK, CSkinButton::kDrawNatural, false, 0);
  m_pCloseButton->SetSkin(IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, IDB_CLOSE_NORMAL, IDB_CLOSE_NORMAL,
                          IDB_CLOSE_MASK, CSkinButton::kDrawNatural, false, 0);
  if (!CIMapi::HasEmail()) m_pAddWab->setEnabled(false);
  const int halfWidth = m_pContactList->maximumViewportSize().width() / 2;
  m_pContactList->header()->resizeSection(CContactListModel::kNameColumn, halfWidth);
  m_pContactList->header()->resizeSection(CContactListModel::kAddressColumn, halfWidth);
  UpdateControls();
  setWindowTitle(QString::fromStdString(zplatform::LoadStringResource(IDS_APP_TITLE)));
}

void CTarvoDlg::BuildSystemMenu() {
  if (!m_pSystemMenu) {
    m_pSystemMenu = new QMenu(this);  // owned by the dialog
    m_pSystemMenu->setObjectName(QStringLiteral("systemMenu"));
  }
  m_pSystemMenu->clear();
  auto addCommand = [this](const QString& text, int command) {
    QAction* action = m_pSystemMenu->addAction(text);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { OnSysCommand(command); });
  };
  addCommand(QStringLiteral("Mi&nimize"), SC_MINIMIZE);
  addCommand(QStringLiteral("&Close"), SC_CLOSE);
  const std::string about = zplatform::LoadStringResource(IDS_ABOUTBOX);
  if (!about.empty()) {
    m_pSystemMenu->addSeparator();
    addCommand(QString::fromStdString(about), IDM_ABOUTBOX);
  }
}

void CTarvoDlg::ShowSystemMenu() { m_pSystemMenu->popup(mapToGlobal(QPoint(0, 0))); }

void CTarvoDlg::OnSysCommand(int command) {
  switch (command) {
    case IDM_ABOUTBOX: {
      CAboutDlg about(this);
      about.exec();
      break;
    }
    case SC_MINIMIZE:
      showMinimized();
      break;
    case SC_CLOSE:
      reject();
      break;
    default:
      break;
  }
}

void CTarvoDlg::contextMenuEvent(QContextMenuEvent* event) { m_pContextMenu->popup(event->globalPos()); }

void CTarvoDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBase);  // behind the background picture, should it be missing
}

bool CTarvoDlg::OverHotspot(QPoint point) const { return m_pHotspot->geometry().contains(point); }

void CTarvoDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  const QPoint point = event->position().toPoint();
  if (OverHotspot(point)) {
    zplatform::ShellOpen("http://" + zplatform::LoadStringResource(IDS_WEB_HOST));
    return;
  }
  m_nDragging = 1;
  m_ptPress = point;
  grabMouse();
}

void CTarvoDlg::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (OverHotspot(point)) setCursor(m_hHandCursor);
  else unsetCursor();
  // The window follows the pointer, so the pointer stays over the press point.
  if (m_nDragging && (event->buttons() & Qt::LeftButton)) move(pos() + (point - m_ptPress));
}

void CTarvoDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mouseReleaseEvent(event);
    return;
  }
  m_nDragging = 0;
  if (QWidget::mouseGrabber() == this) releaseMouse();
}

void CTarvoDlg::UpdateControls() {
  m_pDelete->setEnabled(m_pContactList->selectionModel()->hasSelection());
  SetLabelColour(m_pLabelContacts, m_aSelected.GetSize() > 0);
  SetLabelColour(m_pLabelTitle, !m_pTitle->text().isEmpty());
  SetLabelColour(m_pLabelSource, !m_pSource->text().isEmpty());
}

void CTarvoDlg::SetLabelColour(QLabel* label, bool inputGiven) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, inputGiven ? kGold : kInputMissing);
  label->setPalette(palette);
  label->repaint();
}

void CTarvoDlg::RefreshContactList() {
  m_pContactModel->Refresh();
  UpdateControls();
}

void CTarvoDlg::OnDelete() {
  std::vector<int> rows;
  for (const QModelIndex& index : m_pContactList->selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());

  // From the highest row down, so that the rows still to go keep their
  // numbers; neighbouring rows leave together as one run.
  auto it = rows.rbegin();
  while (it != rows.rend()) {
    const int last = *it;
    int first = last;
    for (++it; it != rows.rend() && *it == first - 1; ++it) first = *it;
    m_pContactModel->RemoveRows(first, last - first + 1);
  }
  UpdateControls();
}

void CTarvoDlg::OnBrowseSource() {
  const std::optional<std::string> path = zplatform::GetOpenFileName(Text(IDS_SOURCE_FILTER));
  if (!path) return;
  m_pSource->setText(QString::fromStdString(*path));
  UpdateControls();
  repaint();
}

void CTarvoDlg::SetPickerFactory(PickerFactory factory) {
  m_pickerFactory = factory ? std::move(factory) : PickerFactory(&CTarvoDlg::CreatePicker);
}

std::unique_ptr<CContactPickerDlg> CTarvoDlg::CreatePicker(int buttonId) {
  switch (buttonId) {
    case IDC_ADD_TEXT_FILE: return std::make_unique<CImportDlg>();
    case IDC_ADD_WAB: return std::make_unique<CWabDlg>();
    case IDC_ADD_OUTLOOK: return std::make_unique<COutlookContactsDlg>();
    case IDC_ADD_OUTLOOK_FOLDER: return std::make_unique<COutlookFoldersDlg>();
    default: return nullptr;
  }
}

void CTarvoDlg::OnPickContacts(int buttonId) {
  std::unique_ptr<CContactPickerDlg> picker = m_pickerFactory(buttonId);
  if (!picker) {
    zplatform::MessageBox(Text(IDS_SOURCE_NOT_AVAILABLE), Text(IDS_APP_TITLE));
    return;
  }
  const int result = picker->exec();
  // The picker has no parent, so nothing hands the activation back to us
  // when it closes; without this the keyboard would stay with no window.
  activateWindow();
  if (result != QDialog::Accepted) return;
  MergeContacts(m_aSelected, picker->m_aContacts);
  RefreshContactList();
}
