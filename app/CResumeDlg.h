// CResumeDlg: what the program offers at start for a mailing that stopped
// before its end. It says what happened ("A mailing to 10,000 recipients
// stopped after 4,211."), names the recipients in doubt with an unchecked
// box to send to them too, and offers Resume, Show report, Discard and Later.
//
// Child names for tests: "stopped", "inDoubt", "sendInDoubt", "resume",
// "showReport", "discard", "later".
#pragma once

#include <QDialog>

class QCheckBox;
struct JournalContent;

class CResumeDlg : public QDialog {
  Q_OBJECT

public:
  enum Choice { Later = 0, Resume, ShowReport, Discard };

  CResumeDlg(const JournalContent& content, QWidget* parent);

  // Runs the dialog modally; Escape and the title bar's close are Later.
  Choice Ask();
  // The box "send to them too" was checked (false when nobody is in doubt).
  bool SendInDoubt() const;

private:
  QCheckBox* m_sendInDoubt = nullptr;
};
