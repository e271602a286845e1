// Serialising the message.
#include "OutgoingMail.h"

#include <memory>

namespace mapi32 {

std::string OutgoingMail::bytes(LineEnd lineEnd) const {
  std::unique_ptr<GMimeFormatOptions, decltype(&g_mime_format_options_free)> options(
      g_mime_format_options_new(), &g_mime_format_options_free);
  g_mime_format_options_set_newline_format(
      options.get(), lineEnd == LineEnd::CrLf ? GMIME_NEWLINE_FORMAT_DOS : GMIME_NEWLINE_FORMAT_UNIX);

  GObjectRef<GMimeStream> stream(g_mime_stream_mem_new());
  g_mime_object_write_to_stream(GMIME_OBJECT(m_message.get()), options.get(), stream.get());
  GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
  return std::string(reinterpret_cast<const char*>(array->data), array->len);
}

}  // namespace mapi32
