// A message ready to leave: the MIME message and its SMTP envelope, which
// alone carries the Bcc recipients.
#pragma once

#include "GObjectRef.h"

#include <gmime/gmime.h>

#include <string>
#include <vector>

namespace mapi32 {

struct Envelope {
  std::string sender;                   // MAIL FROM
  std::vector<std::string> recipients;  // RCPT TO: To, Cc and Bcc, in that order of the caller
};

enum class LineEnd { Lf, CrLf };

class OutgoingMail {
public:
  OutgoingMail(GObjectRef<GMimeMessage> message, Envelope envelope)
      : m_message(std::move(message)), m_envelope(std::move(envelope)) {}

  const Envelope& envelope() const { return m_envelope; }
  GMimeMessage* message() const { return m_message.get(); }

  // The whole message as it goes on the wire (CrLf) or into a file (Lf).
  std::string bytes(LineEnd lineEnd) const;

private:
  GObjectRef<GMimeMessage> m_message;
  Envelope m_envelope;
};

}  // namespace mapi32
