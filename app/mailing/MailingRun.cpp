#include "mailing/MailingRun.h"

#include <zerth/CIMapi.h>

#include <string_view>
#include <utility>

namespace {

constexpr std::string_view kNamePlaceholder = "<NAME>";

}  // namespace

MailingRun::MailingRun(std::string title, std::string bodyTemplate, std::string footer, Sender sender)
    : m_sTitle(std::move(title)), m_sText(std::move(bodyTemplate) + footer), m_send(std::move(sender)) {}

void MailingRun::Run(const CContactArray& recipients, CResultMap& results, const Observer& after) const {
  for (int i = 0; i < recipients.GetSize(); ++i) {
    const CContact& recipient = recipients[i];
    const std::uint32_t result = m_send(recipient.m_sAddress, m_sTitle, TextFor(recipient.m_sName));
    results.SetAt(recipient.m_sAddress, result);
    if (after) after(recipient, result);
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
