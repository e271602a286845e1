// MailingRun: the sending part of a mailing, with plain inputs and no
// widgets. One personalised message per recipient, in table order, each
// through its own call of the sender; every recipient is tried exactly once,
// whatever became of the others, and its result is recorded by address.
// With a journal the run notes each message durably and can be resumed; a
// cancel request stops it between two messages, never inside one.
#pragma once

#include "CContactArray.h"
#include "mailing/CResultMap.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class RunJournal;
struct JournalContent;

class MailingRun {
public:
  // Sends one message to one primary recipient: the Simple MAPI result code.
  using Sender =
      std::function<std::uint32_t(const std::string& address, const std::string& subject, const std::string& text)>;
  // Told after each recipient, with the code just recorded for it.
  using Observer = std::function<void(const CContact& recipient, std::uint32_t result)>;
  // Told before each message: its recipient's place in the table (from 0),
  // the table's size and the address. Called on the run's thread for every
  // message, so a window keeps the latest and shows it on a timer of its own.
  using Progress = std::function<void(int index, int total, const std::string& address)>;

  struct Controls {
    // Notes every message. Recipients it holds a result for are not sent
    // again; those it holds as started without a result are in doubt.
    RunJournal* journal = nullptr;
    // Re-sends the recipients in doubt: only by the user's explicit choice.
    bool sendInDoubt = false;
    // Set from any thread to stop the run before its next message.
    const std::atomic<bool>* cancel = nullptr;
    Progress progress;
    Observer after;
  };

  enum class Outcome {
    Completed,      // every recipient tried (or known from the journal)
    Cancelled,      // stopped by the cancel request; the journal stays unfinished
    JournalFailed,  // a record could not be written; the run stopped there
  };

  // title: every message's subject, as it is. bodyTemplate and footer: the
  // text, in which "<NAME>" becomes each recipient's name.
  MailingRun(std::string title, std::string bodyTemplate, std::string footer, Sender sender = SendThroughMapi);

  // Sends to every recipient and records each result in results.
  void Run(const CContactArray& recipients, CResultMap& results, const Observer& after = {}) const;

  // The same under controls. The results hold every recipient in table
  // order, whatever the outcome: the journal's earlier results, the new ones,
  // and kResultInDoubt, kResultNotSentCancelled or kResultNotSentStopped for
  // the rest, so that one report covers the whole mailing. The journal must
  // have been made for these recipients.
  Outcome Run(const CContactArray& recipients, CResultMap& results, const Controls& controls) const;

  // The text of the message for a recipient of this name: body and footer
  // with every "<NAME>" replaced; the inserted name is not searched again.
  std::string TextFor(const std::string& name) const;

  // The results of a stopped run as its journal holds them, for its report:
  // each recipient's result, kResultInDoubt, or kResultNotSentStopped.
  static void ResultsSoFar(const JournalContent& journal, CResultMap& results);

  // The default sender: a CIMapi of its own for the message (which loads and
  // unloads the mail layer), sent with flags 0.
  static std::uint32_t SendThroughMapi(const std::string& address, const std::string& subject,
                                       const std::string& text);

private:
  std::string m_sTitle;
  std::string m_sText;  // body template and footer
  Sender m_send;
};
