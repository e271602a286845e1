// MailingRun: the sending part of a mailing, with plain inputs and no
// widgets. One personalised message per recipient, in table order, each
// through its own call of the sender; every recipient is tried exactly once,
// whatever became of the others, and its result is recorded by address.
#pragma once

#include "CContactArray.h"
#include "mailing/CResultMap.h"

#include <cstdint>
#include <functional>
#include <string>

class MailingRun {
public:
  // Sends one message to one primary recipient: the Simple MAPI result code.
  using Sender =
      std::function<std::uint32_t(const std::string& address, const std::string& subject, const std::string& text)>;
  // Told after each recipient, with the code just recorded for it.
  using Observer = std::function<void(const CContact& recipient, std::uint32_t result)>;

  // title: every message's subject, as it is. bodyTemplate and footer: the
  // text, in which "<NAME>" becomes each recipient's name.
  MailingRun(std::string title, std::string bodyTemplate, std::string footer, Sender sender = SendThroughMapi);

  // Sends to every recipient and records each result in results.
  void Run(const CContactArray& recipients, CResultMap& results, const Observer& after = {}) const;

  // The text of the message for a recipient of this name: body and footer
  // with every "<NAME>" replaced; the inserted name is not searched again.
  std::string TextFor(const std::string& name) const;

  // The default sender: a CIMapi of its own for the message (which loads and
  // unloads the mail layer), sent with flags 0.
  static std::uint32_t SendThroughMapi(const std::string& address, const std::string& subject,
                                       const std::string& text);

private:
  std::string m_sTitle;
  std::string m_sText;  // body template and footer
  Sender m_send;
};
