// Composes the MIME message (RFC 5322 headers, RFC 2047 encoded words for
// non-ASCII text, a text/plain body, base64 attachments in multipart/mixed)
// and its envelope from resolved parts of a Simple MAPI message.
#pragma once

#include "Attachment.h"
#include "GObjectRef.h"
#include "NoteText.h"
#include "OutgoingMail.h"
#include "Recipient.h"

#include <gmime/gmime.h>

#include <string>
#include <string_view>
#include <vector>

namespace mapi32 {

class MessageBuilder {
public:
  MessageBuilder();

  // Names and subject are UTF-8 without control characters (see HeaderText).
  void setFrom(const std::string& name, const std::string& address);
  // To and Cc go into their headers in call order; Bcc only into the envelope.
  void addRecipient(const Recipient& recipient);
  void setSubject(const std::string& subject);
  void setBody(const NoteBody& body);
  void addAttachment(const Attachment& attachment);

  // Adds Date, Message-ID and MIME-Version and hands the message over; the
  // builder is spent afterwards.
  OutgoingMail build();

private:
  void addEnvelopeRecipient(const std::string& address);

  GObjectRef<GMimeMessage> m_message;
  GObjectRef<GMimeTextPart> m_body;
  std::vector<GObjectRef<GMimePart>> m_attachments;
  std::string m_subject;
  std::string m_fromName;
  std::string m_fromAddress;
  std::vector<Recipient> m_recipients;
  Envelope m_envelope;
};

}  // namespace mapi32
