#include "CResumeDlg.h"

#include "DialogFont.h"
#include "TarvoStrings.h"
#include "mailing/RunJournal.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

namespace {

using tarvo::Put;
using tarvo::Text;

// The recipients in doubt named one by line; beyond these, a count.
constexpr int kNamedInDoubt = 10;

QLabel* AddText(QVBoxLayout* layout, const std::string& text, const char* name = "") {
  auto* label = new QLabel(QString::fromStdString(text));  // owned by the dialog through the layout
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  layout->addWidget(label);
  return label;
}

std::string InDoubtList(const JournalContent& content) {
  std::string list = Text(tarvo::IDS_RESUME_IN_DOUBT);
  int named = 0;
  for (int i = 0; i < content.recipients.GetSize(); ++i) {
    if (content.entries[static_cast<std::size_t>(i)].state != JournalEntry::InDoubt) continue;
    if (named++ < kNamedInDoubt) list += "\n" + content.recipients[i].m_sAddress;
  }
  if (named > kNamedInDoubt) list += "\n" + Put(Text(tarvo::IDS_RESUME_MORE), "%1", GroupedNumber(named - kNamedInDoubt));
  return list;
}

}  // namespace

CResumeDlg::CResumeDlg(const JournalContent& content, QWidget* parent) : QDialog(parent) {
  setFont(tarvo::DialogFont(font()));
  setWindowTitle(QString::fromStdString(Text(tarvo::IDS_RESUME_TITLE)));
  setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  AddText(layout, StoppedMailingText(content), "stopped");
  AddText(layout, Put(Text(tarvo::IDS_RESUME_MAILING), "%1", content.title));
  AddText(layout, Text(tarvo::IDS_RESUME_SOURCE_HINT));
  if (content.Count(JournalEntry::InDoubt) > 0) {
    AddText(layout, InDoubtList(content), "inDoubt");
    m_sendInDoubt = new QCheckBox(QString::fromStdString(Text(tarvo::IDS_RESUME_SEND_IN_DOUBT)));  // owned via layout
    m_sendInDoubt->setObjectName(QStringLiteral("sendInDoubt"));
    layout->addWidget(m_sendInDoubt);
  }
  auto* buttons = new QHBoxLayout;
  for (auto [choice, text, name] : {std::tuple{Resume, tarvo::IDS_RESUME_RESUME, "resume"},
                                    std::tuple{ShowReport, tarvo::IDS_RESUME_SHOW_REPORT, "showReport"},
                                    std::tuple{Discard, tarvo::IDS_RESUME_DISCARD, "discard"},
                                    std::tuple{Later, tarvo::IDS_RESUME_LATER, "later"}}) {
    auto* button = new QPushButton(QString::fromStdString(Text(text)));  // owned via the layout
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, choice = choice] { done(choice); });
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
}

CResumeDlg::Choice CResumeDlg::Ask() { return static_cast<Choice>(exec()); }

bool CResumeDlg::SendInDoubt() const { return m_sendInDoubt && m_sendInDoubt->isChecked(); }
