// Text from the caller's structures into UTF-8. This system's "ANSI code
// page" is UTF-8, but programs written for Windows still hand over
// windows-1252 text; such text is recognised by not being valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace mapi32 {

// The text of a structure field; null counts as empty.
inline std::string_view FieldText(const char* text) { return text ? std::string_view(text) : std::string_view(); }

[[nodiscard]] bool IsUtf8(std::string_view text);

// The text itself when it is valid UTF-8, else the text read as windows-1252
// and converted (the five bytes that code page leaves undefined map to the
// C1 controls of the same number, as web browsers do).
std::string Utf8FromAnsi(std::string_view text);

// A value for a header field: UTF-8 (see above), every control character
// (CR and LF above all, which would start a header of the caller's making)
// replaced by a space, and surrounding white space removed.
std::string HeaderText(std::string_view text);

}  // namespace mapi32
