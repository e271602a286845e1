// The provider's one line of diagnostics per failure.
#include "MapiError.h"

#include <cstdio>
#include <string>

namespace mapi32 {

void FailWith(MAPI_ULONG code, std::string_view message) {
  // One write call keeps the line whole when other threads print too.
  std::string line = "mapi32: ";
  line.append(message);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  throw MapiError(code);
}

}  // namespace mapi32
