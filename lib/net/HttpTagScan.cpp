// The keyword scan over the body lines.
#include "HttpTagScan.h"

#include <zerth/CUTStringList.h>

#include <climits>
#include <cstring>

namespace zerth::detail {

int ScanKeyword(const CUTStringList& lines, std::string_view lower, std::string_view upper,
                const std::function<void(long line, int position)>& found) {
  int count = 0;
  std::size_t matched = 0;
  const long lineCount = lines.GetCount();
  for (long index = 0; index < lineCount; ++index) {
    const std::string_view line = lines.GetString(index);
    // A stored line is at most 511 characters (the read buffer), so its
    // positions fit an int.
    for (std::size_t i = 0; i < line.size() && i <= INT_MAX; ++i) {
      if (line[i] != lower[matched] && line[i] != upper[matched]) {
        matched = 0;
        continue;
      }
      if (++matched < lower.size()) continue;
      matched = 0;
      if (count < INT_MAX) ++count;
      if (found) found(index, static_cast<int>(i));
    }
  }
  return count;
}

}  // namespace zerth::detail
