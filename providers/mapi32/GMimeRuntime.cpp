// GMime initialisation.
#include "GMimeRuntime.h"

#include <gmime/gmime.h>

#include <mutex>

namespace mapi32 {

void EnsureGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

}  // namespace mapi32
