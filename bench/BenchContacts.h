// Contact lists for the benchmarks: distinct addresses from a number range.
#pragma once

#include "CContactArray.h"

#include <string>

namespace bench {

inline CContact NumberedContact(int n) {
  return {"user" + std::to_string(n) + "@mail.example.org", "Contact Number " + std::to_string(n)};
}

// count contacts numbered from first on.
inline CContactArray NumberedContacts(int first, int count) {
  CContactArray out;
  out.Reserve(count);
  for (int i = 0; i < count; ++i) out.Add(NumberedContact(first + i));
  return out;
}

}  // namespace bench
