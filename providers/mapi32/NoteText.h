// The message body as Simple MAPI hands it over, made ready for the text
// part: attachment placeholders removed, line ends unified, charset named.
#pragma once

#include <zerth/mapi.h>

#include <span>
#include <string>
#include <string_view>

namespace mapi32 {

struct NoteBody {
  std::string text;     // lines end in LF only
  std::string charset;  // "utf-8", or "windows-1252" for text that is not UTF-8
};

// Each attachment names, by its position, the character of the note text that
// stands for it (callers put one space there per attachment); those
// characters are removed. Positions outside the text, such as 0xFFFFFFFF
// ("no position"), are ignored, and a position named twice removes one
// character. CR LF and lone CR become LF, and text that is not empty ends in LF.
NoteBody PrepareNoteText(std::string_view text, std::span<const MAPI_ULONG> placeholderPositions);

}  // namespace mapi32
