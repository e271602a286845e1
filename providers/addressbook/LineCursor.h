// Walks a text line by line for the readers. Line ends are CRLF, LF or a lone
// CR; a line starting with one of the fold characters continues the line
// before it (vCard folds with a space or tab, LDIF with a space).
#pragma once

#include <string>
#include <string_view>

namespace addressbook {

class LineCursor {
 public:
  LineCursor(std::string_view text, std::string_view foldCharacters) : text_(text), fold_(foldCharacters) {}

  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next line as it stands in the text, without its line end.
  std::string_view NextPhysical();

  // The next line, not consumed.
  std::string_view PeekPhysical() const;

  // The next logical line with its continuation lines joined (each without
  // its fold character). Points into the text when the line is not folded,
  // else into buffer, so that the common case copies nothing.
  std::string_view NextLogical(std::string& buffer) { return Unfold(NextPhysical(), buffer); }

  // first (a line just taken) with the continuation lines that follow it.
  std::string_view Unfold(std::string_view first, std::string& buffer);

 private:
  bool NextIsFolded() const { return pos_ < text_.size() && fold_.find(text_[pos_]) != std::string_view::npos; }

  std::string_view text_;
  std::string_view fold_;
  std::size_t pos_ = 0;
};

}  // namespace addressbook
