// One hive file on disk and the rules for touching it: reads under a shared
// flock, changes as a read-modify-write of the whole file under an exclusive
// flock on a lock file beside it (name.lock), written to a temporary file in
// the same folder, synced and renamed over the hive (mode 0600). Temporary
// files that killed writers left (name.XXXXXX.tmp) are removed by the next
// writer. A hive that does not parse is reported once on stderr and never
// rewritten. The last good parse of each file is kept and given out again
// while the file on disk is still the one it was parsed from.
#pragma once

#include "RegistryHive.h"

#include <zplatform/WinTypes.h>

#include <sys/stat.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace zplatform::registry {

// Hives are small; anything larger is refused rather than loaded.
inline constexpr std::size_t kMaxHiveBytes = 64u << 20;

class RegistryHiveFile {
public:
  // Called with the current hive under the exclusive lock; sets changed when
  // the hive must be written back. A result other than ERROR_SUCCESS is
  // returned to the caller and nothing is written.
  using Change = std::function<LONG(RegistryHive& hive, bool& changed)>;

  explicit RegistryHiveFile(std::string path) : m_path(std::move(path)) {}

  // The hive as it is on disk now; a missing file is an empty hive.
  // ERROR_BADDB for a damaged or oversized file, ERROR_ACCESS_DENIED or
  // ERROR_CANTREAD when it cannot be read. The hive may be shared with other
  // readers: it never changes once given out.
  [[nodiscard]] LONG Read(std::shared_ptr<const RegistryHive>& hive) const;

  // Creates the folder (0700) when missing. ERROR_BADDB when the file on
  // disk is damaged, ERROR_CANTWRITE/ERROR_ACCESS_DENIED when it cannot be
  // replaced, ERROR_OUTOFMEMORY when the result would exceed kMaxHiveBytes.
  [[nodiscard]] LONG Modify(const Change& change) const;

private:
  LONG Load(RegistryHive& hive, struct stat* identity = nullptr) const;
  LONG WriteAtomically(const std::string& text) const;

  std::string m_path;
};

}  // namespace zplatform::registry
