#include <addressbook/LineCursor.h>

namespace addressbook {

std::string_view LineCursor::NextPhysical() {
  const std::size_t start = pos_;
  std::size_t end = start;
  while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r') ++end;
  pos_ = end;
  if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
  // LF alone or the LF of CRLF; a CR followed by a lone LF would be two ends.
  if (pos_ < text_.size() && text_[pos_] == '\n' && (pos_ == end || text_[end] == '\r')) ++pos_;
  return text_.substr(start, end - start);
}

std::string_view LineCursor::PeekPhysical() const {
  LineCursor copy = *this;
  return copy.NextPhysical();
}

std::string_view LineCursor::Unfold(std::string_view first, std::string& buffer) {
  if (!NextIsFolded()) return first;
  buffer.assign(first);
  while (NextIsFolded()) {
    ++pos_;  // the fold character itself
    buffer.append(NextPhysical());
  }
  return buffer;
}

}  // namespace addressbook
