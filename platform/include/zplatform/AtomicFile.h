// Replacing a whole file so that a reader sees either the old bytes or all
// of the new ones, also after a crash: a temporary file in the same folder,
// written, synced and renamed over the target, then the folder synced.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace zplatform {

// The temporary file is named "<path>.XXXXXX<suffix>": the target's name, a
// dot, this many random characters of [A-Za-z0-9], then the suffix given.
inline constexpr std::size_t kAtomicTempRandomChars = 6;

// Where a failed replacement stopped.
enum class AtomicWriteStep {
  None,             // nothing failed
  CreateTemporary,  // no temporary file could be made beside the target
  WriteTemporary,   // setting the mode, writing, syncing or closing it failed
  Replace,          // the rename over the target failed
};

struct [[nodiscard]] AtomicWriteResult {
  int error = 0;  // 0, or the errno of the step that failed
  AtomicWriteStep failedStep = AtomicWriteStep::None;

  bool ok() const { return error == 0; }
};

// Replaces the file at path with bytes, giving it exactly mode (umask does
// not apply; the file is 0600 from its first byte on, so a more private mode
// never exposes it). On failure the target is as it was and the temporary
// file is gone. The folder must exist. A symbolic link at path is replaced
// by the file, not followed.
AtomicWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0600,
                                      std::string_view tempSuffix = {});

}  // namespace zplatform
