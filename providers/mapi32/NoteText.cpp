// Placeholder removal and line-end normalisation of the note text.
#include "NoteText.h"

#include "Charset.h"

#include <algorithm>
#include <vector>

namespace mapi32 {

namespace {

std::string RemovePlaceholders(std::string_view text, std::span<const MAPI_ULONG> positions) {
  std::vector<std::size_t> inside;
  for (MAPI_ULONG position : positions) {
    if (position < text.size()) inside.push_back(position);
  }
  std::sort(inside.begin(), inside.end());
  inside.erase(std::unique(inside.begin(), inside.end()), inside.end());

  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t position : inside) {
    out.append(text.substr(from, position - from));
    from = position + 1;
  }
  out.append(text.substr(from));
  return out;
}

std::string NormaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
      continue;
    }
    out += '\n';
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return out;
}

}  // namespace

NoteBody PrepareNoteText(std::string_view text, std::span<const MAPI_ULONG> placeholderPositions) {
  NoteBody body;
  body.text = NormaliseLineEnds(RemovePlaceholders(text, placeholderPositions));
  // Every line of a message ends in a line break, the last one too; whether
  // the caller ended its text with one must not depend on the encoding.
  if (!body.text.empty() && body.text.back() != '\n') body.text += '\n';
  body.charset = IsUtf8(body.text) ? "utf-8" : "windows-1252";
  return body;
}

}  // namespace mapi32
