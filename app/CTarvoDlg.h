// CTarvoDlg: the program's main window, a frameless dialog shaped by the
// skin's outline and moved by dragging its body, holding the
// recipient table m_aSelected, the list that shows it, the picker buttons,
// the title and source fields and Send, Delete and Close. Its child widgets
// belong to it through Qt's parent tree; the pointers below only name them.
#pragma once

#include "CContactArray.h"
#include "CContactPickerDlg.h"
#include "mailing/MailingRun.h"

#include <QCursor>
#include <QDialog>
#include <QIcon>

#include <functional>
#include <memory>
#include <string>

class CContactListModel;
class CSkinButton;
class CResultMap;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;
class RunJournal;

class CTarvoDlg : public QDialog {
  Q_OBJECT

public:
  // Makes the picker for a picker button's id; nullptr when the source is not
  // available.
  using PickerFactory = std::function<std::unique_ptr<CContactPickerDlg>(int buttonId)>;

  explicit CTarvoDlg(QWidget* parent = nullptr);
  ~CTarvoDlg() override;

  // The control with this id (its objectName), or nullptr.
  QWidget* GetDlgItem(int id) const;

  // Replaces the way pickers are made; an empty factory restores the default.
  void SetPickerFactory(PickerFactory factory);
  // The default: the pickers this version of the program has.
  static std::unique_ptr<CContactPickerDlg> CreatePicker(int buttonId);

  // Rebuilds the list from m_aSelected; clears the selection.
  void RefreshContactList();
  // Enables "&Delete" when a row is selected and recolours the state labels.
  void UpdateControls();
  // Window menu commands: IDM_ABOUTBOX shows the About box; SC_MINIMIZE and
  // SC_CLOSE do what their names say; others are ignored.
  void OnSysCommand(int command);

  // The mailing run: one message per recipient under a progress window, with
  // a journal that lets a stopped run be resumed, then the delivery report.
  // Returns when the run has ended and its report is written; the progress
  // window stays open with the outcome until the user closes it.
  void OnSend();
  // Saves the report of a run beside the program and opens it; its path, or
  // nothing when no file holds the whole page.
  std::string WriteDeliveryReport(CResultMap& results);
  // Offers Resume, Show report and Discard for each stopped mailing whose
  // journal is in folder: the program does this at start.
  void OfferStoppedRuns(const std::string& folder);
  // Replaces the way each message is sent (tests); empty restores the mail layer.
  void SetSender(MailingRun::Sender sender);
  void OnDelete();
  void OnBrowseSource();
  // Runs the picker of that button and merges what the user confirmed.
  void OnPickContacts(int buttonId);

protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // The body drags the window; a click on the logo opens the web site.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void CreateControls();
  void CreateBackground();
  void CreateContactList();
  void ConnectControls();
  void InitDialog();
  void BuildSystemMenu();
  void ShowSystemMenu();
  void SetLabelColour(QLabel* label, bool inputGiven);
  void ShowMessage(const std::string& text);
  // Body and footer for a run from the message source at sourcePath; false
  // after saying why not.
  bool ReadMailTexts(const std::string& sourcePath, std::string& body, std::string& footer);
  // Runs the mailing under a progress window, then writes its report.
  void RunMailing(const MailingRun& run, const CContactArray& recipients, RunJournal& journal, bool sendInDoubt);
  // One offer for one stopped mailing, until the user resumes, discards or
  // puts it off.
  void OfferStoppedRun(RunJournal& journal);
  // False when the user gave no message source or not the mailing's.
  bool ResumeRun(RunJournal& journal, bool sendInDoubt);
  bool OverHotspot(QPoint point) const;

  // Controls bound by id.
  QWidget* m_pHotspot = nullptr;
  QTreeView* m_pContactList = nullptr;
  QPushButton* m_pAddWab = nullptr;
  CSkinButton* m_pCloseButton = nullptr;
  CSkinButton* m_pHelpButton = nullptr;
  QLabel* m_pLabelTitle = nullptr;
  QLabel* m_pLabelContacts = nullptr;
  QLabel* m_pLabelSource = nullptr;
  QLineEdit* m_pTitle = nullptr;
  QPushButton* m_pSend = nullptr;
  QLineEdit* m_pSource = nullptr;
  QPushButton* m_pDelete = nullptr;
  QPushButton* m_pBrowse = nullptr;

  QIcon m_hIcon;
  QCursor m_hHandCursor;  // over the logo hotspot
  // Dragging by the body: on while the left button is held after a press
  // outside the logo; the press point in client coordinates.
  int m_nDragging = 0;
  QPoint m_ptPress;
  QMenu* m_pSystemMenu = nullptr;
  QMenu* m_pContextMenu = nullptr;
  CContactListModel* m_pContactModel = nullptr;
  PickerFactory m_pickerFactory;
  MailingRun::Sender m_sender;

public:
  // The recipient table, empty at construction; the list mirrors it row by row.
  CContactArray m_aSelected;
};
