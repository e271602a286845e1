#include "mailing/MailingRun.h"

#include "mailing/DeliveryReport.h"
#include "mailing/RunJournal.h"

#include <zerth/CIMapi.h>

#include <string_view>
#include <utility>

namespace {

constexpr std::string_view kNamePlaceholder = "<NAME>";

}  // namespace

MailingRun::MailingRun(std::string title, std::string bodyTemplate, std::string footer, Sender sender)
    : m_sTitle(std::move(title)), m_sText(std::move(bodyTemplate) + footer), m_send(std::move(sender)) {}

void MailingRun::Run(const CContactArray& recipients, CResultMap& results, const Observer& after) const {
  Controls controls;
  controls.after = after;
  Run(recipients, results, controls);
}

MailingRun::Outcome MailingRun::Run(const CContactArray& recipients, CResultMap& results,
                                    const Controls& controls) const {
  RunJournal* const journal = controls.journal;
  if (journal && journal->Content().entries.size() != static_cast<std::size_t>(recipients.GetSize()))
    return Outcome::JournalFailed;
  Outcome outcome = Outcome::Completed;
  for (int i = 0; i < recipients.GetSize(); ++i) {
    const std::string& address = recipients[i].m_sAddress;
    const JournalEntry entry = journal ? journal->Content().entries[static_cast<std::size_t>(i)] : JournalEntry{};
    if (entry.state == JournalEntry::Done) {
      results.SetAt(address, entry.code);
      continue;
    }
    if (entry.state == JournalEntry::InDoubt && !controls.sendInDoubt) {
      results.SetAt(address, kResultInDoubt);
      continue;
    }
    if (outcome == Outcome::Completed && controls.cancel && controls.cancel->load()) outcome = Outcome::Cancelled;
    if (outcome != Outcome::Completed) {
      results.SetAt(address, outcome == Outcome::Cancelled ? kResultNotSentCancelled : kResultNotSentStopped);
      continue;
    }
    if (controls.progress) controls.progress(i, recipients.GetSize(), address);
    // The start is on the disk before the message leaves: a crash in between
    // leaves the recipient in doubt, never silently unsent or sent twice.
    if (journal && !journal->RecordStarted(i)) {
      outcome = Outcome::JournalFailed;
      results.SetAt(address, kResultNotSentStopped);
      continue;
    }
    const std::uint32_t result = m_send(address, m_sTitle, TextFor(recipients[i].m_sName));
    results.SetAt(address, result);
    if (journal && !journal->RecordResult(i, result)) outcome = Outcome::JournalFailed;
    if (controls.after) controls.after(recipients[i], result);
  }
  if (journal && outcome == Outcome::Completed && !journal->RecordFinished()) outcome = Outcome::JournalFailed;
  // A cancelled or stopped run still leaves its last result on the disk.
  if (journal && !journal->Flush() && outcome == Outcome::Completed) outcome = Outcome::JournalFailed;
  return outcome;
}

void MailingRun::ResultsSoFar(const JournalContent& journal, CResultMap& results) {
  for (int i = 0; i < journal.recipients.GetSize(); ++i) {
    const JournalEntry& entry = journal.entries[static_cast<std::size_t>(i)];
    results.SetAt(journal.recipients[i].m_sAddress, entry.state == JournalEntry::Done      ? entry.code
                                                    : entry.state == JournalEntry::InDoubt ? kResultInDoubt
                                                                                           : kResultNotSentStopped);
  }
}

std::string MailingRun::TextFor(const std::string& name) const {
  std::string out;
  out.reserve(m_sText.size() + name.size());
  std::size_t from = 0;
  for (auto at = m_sText.find(kNamePlaceholder); at != std::string::npos; at = m_sText.find(kNamePlaceholder, from)) {
    out.append(m_sText, from, at - from);
    out += name;
    from = at + kNamePlaceholder.size();
  }
  out.append(m_sText, from, std::string::npos);
  return out;
}

std::uint32_t MailingRun::SendThroughMapi(const std::string& address, const std::string& subject,
                                          const std::string& text) {
  CIMapi mapi;
  mapi.To(address.c_str());
  mapi.Subject(subject.c_str());
  mapi.Text(text.c_str());
  return mapi.Send(0);
}
