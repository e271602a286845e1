// The HTTP client's tag scan: a keyword matched character by character over
// the body lines, each character in either of the keyword's two spellings
// ("href=" or "HREF="), the match carried from the end of one line into the
// next. A mismatch restarts the keyword without trying the mismatching
// character again as its first (so "hhref=" is no match).
#pragma once

#include <functional>
#include <string_view>

class CUTStringList;

namespace zerth::detail {

// Calls found(line index, position of the keyword's last character in that
// line) for every complete match of lower/upper in lines, in order; returns
// the number of matches. The two spellings have the same length.
int ScanKeyword(const CUTStringList& lines, std::string_view lower, std::string_view upper,
                const std::function<void(long line, int position)>& found);

}  // namespace zerth::detail
