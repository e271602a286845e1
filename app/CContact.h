// CContact: one recipient, an e-mail address and a display name, kept exactly
// as the contact source gave them (no trimming, no case folding, no checks).
#pragma once

#include <string>
#include <utility>

class CContact {
public:
  CContact() = default;
  CContact(std::string address, std::string name)
      : m_sAddress(std::move(address)), m_sName(std::move(name)) {}
  virtual ~CContact() = default;

  // The virtual destructor would suppress the implicit moves; keep them so that
  // a growing array moves its elements instead of copying the texts.
  CContact(const CContact&) = default;
  CContact(CContact&&) noexcept = default;
  CContact& operator=(const CContact&) = default;
  CContact& operator=(CContact&&) noexcept = default;

  // The Simple MAPI recipient, and the key for duplicates and delivery results.
  std::string m_sAddress;
  // Shown in the list and put into the message in place of "<NAME>".
  std::string m_sName;
};
