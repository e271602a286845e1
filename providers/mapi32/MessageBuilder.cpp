// Message composition with GMime.
#include "MessageBuilder.h"

#include "GMimeRuntime.h"

#include <memory>

namespace mapi32 {

namespace {

GObjectRef<GMimeDataWrapper> ContentOf(std::string_view data) {
  GObjectRef<GMimeStream> stream(
      g_mime_stream_mem_new_with_buffer(data.data(), data.size()));
  return GObjectRef<GMimeDataWrapper>(
      g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// 7bit while every byte is ASCII and every line fits the 998 octets that
// RFC 5322 allows; otherwise quoted-printable, which keeps mostly-Latin text
// readable, or base64 when more than a quarter of the bytes are 8-bit (Greek,
// Cyrillic, Asian scripts), where quoted-printable would triple the size.
GMimeContentEncoding BodyEncoding(std::string_view text) {
  constexpr std::size_t kMaxLine = 998;
  std::size_t eightBit = 0;
  std::size_t line = 0;
  bool longLine = false;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) ++eightBit;
    line = c == '\n' ? 0 : line + 1;
    longLine = longLine || line > kMaxLine;
  }
  if (eightBit == 0 && !longLine) return GMIME_CONTENT_ENCODING_7BIT;
  return eightBit * 4 > text.size() ? GMIME_CONTENT_ENCODING_BASE64 : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
}

std::string DomainOf(const std::string& address) {
  auto at = address.rfind('@');
  return at == std::string::npos ? std::string("localhost") : address.substr(at + 1);
}

}  // namespace

MessageBuilder::MessageBuilder() {
  EnsureGMime();
  // Without "pretty headers" the fields appear in the order they are added.
  m_message = GObjectRef<GMimeMessage>(g_mime_message_new(FALSE));
  setBody(NoteBody{{}, "utf-8"});
}

void MessageBuilder::setFrom(const std::string& name, const std::string& address) {
  m_fromName = name;
  m_fromAddress = address;
  m_envelope.sender = address;
}

void MessageBuilder::addRecipient(const Recipient& recipient) {
  m_recipients.push_back(recipient);
  m_envelope.recipients.push_back(recipient.address);
}

void MessageBuilder::setSubject(const std::string& subject) { m_subject = subject; }

void MessageBuilder::setBody(const NoteBody& body) {
  m_body = GObjectRef<GMimeTextPart>(g_mime_text_part_new());
  // The content goes in as bytes: g_mime_text_part_set_text would pick a
  // charset of its own (iso-8859-1 for text that fits) instead of the one the
  // text is in.
  g_mime_part_set_content(GMIME_PART(m_body.get()), ContentOf(body.text).get());
  g_mime_text_part_set_charset(m_body.get(), body.charset.c_str());
  // Chosen here rather than by g_mime_object_encode, which leaves ASCII lines
  // longer than 998 octets in 7bit.
  g_mime_part_set_content_encoding(GMIME_PART(m_body.get()), BodyEncoding(body.text));
}

void MessageBuilder::addAttachment(const Attachment& attachment) {
  auto slash = attachment.contentType.find('/');
  std::string type = attachment.contentType.substr(0, slash);
  std::string subtype = attachment.contentType.substr(slash + 1);
  GObjectRef<GMimePart> part(g_mime_part_new_with_type(type.c_str(), subtype.c_str()));
  g_mime_part_set_content(part.get(), ContentOf(attachment.data).get());
  g_mime_object_set_disposition(GMIME_OBJECT(part.get()), GMIME_DISPOSITION_ATTACHMENT);
  // Sets the disposition's filename and the type's name; non-ASCII names are
  // written as RFC 2231 parameters.
  g_mime_part_set_filename(part.get(), attachment.fileName.c_str());
  g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
  m_attachments.push_back(std::move(part));
}

OutgoingMail MessageBuilder::build() {
  GMimeMessage* message = m_message.get();
  g_mime_message_add_mailbox(message, GMIME_ADDRESS_TYPE_FROM, OrNull(m_fromName), m_fromAddress.c_str());
  for (const Recipient& recipient : m_recipients) {
    if (recipient.recipClass == MAPI_BCC) continue;
    auto type = recipient.recipClass == MAPI_CC ? GMIME_ADDRESS_TYPE_CC : GMIME_ADDRESS_TYPE_TO;
    g_mime_message_add_mailbox(message, type, OrNull(recipient.name), recipient.address.c_str());
  }
  if (!m_subject.empty()) g_mime_message_set_subject(message, m_subject.c_str(), "utf-8");

  std::unique_ptr<GDateTime, decltype(&g_date_time_unref)> now(g_date_time_new_now_local(), &g_date_time_unref);
  g_mime_message_set_date(message, now.get());
  std::unique_ptr<char, decltype(&g_free)> id(g_mime_utils_generate_message_id(DomainOf(m_fromAddress).c_str()),
                                              &g_free);
  g_mime_message_set_message_id(message, id.get());
  g_mime_object_set_header(GMIME_OBJECT(message), "MIME-Version", "1.0", nullptr);

  if (m_attachments.empty()) {
    g_mime_message_set_mime_part(message, GMIME_OBJECT(m_body.get()));
  } else {
    GObjectRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(m_body.get()));
    for (const auto& part : m_attachments) g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
    g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed.get()));
  }
  return OutgoingMail(std::move(m_message), std::move(m_envelope));
}

}  // namespace mapi32
