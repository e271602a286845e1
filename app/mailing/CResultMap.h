// CResultMap: the result code of every recipient of a mailing run, by
// address. Its iteration order fixes the order of the delivery report's rows:
// 17 buckets chosen by the address hash, visited from 0 to 16, each with its
// most recently inserted address first. An overwrite keeps the entry's place.
// Lookups go through a separate hash index, so filling the map stays linear
// however many entries share a bucket.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CResultMap {
public:
  static constexpr std::uint32_t kBucketCount = 17;

  // h = h * 33 + c over the key's bytes, each taken as a signed 8-bit value,
  // modulo 2^32.
  static std::uint32_t HashKey(std::string_view key);

  // Stores the code under the address; an existing address keeps its place.
  void SetAt(const std::string& key, std::uint32_t value);
  // The code stored under the address, if any.
  bool Lookup(std::string_view key, std::uint32_t& value) const;
  int GetCount() const { return static_cast<int>(m_entries.size()); }
  bool IsEmpty() const { return m_entries.empty(); }

  // Calls visit(address, code) for every entry in iteration order.
  template <typename Visit>
  void ForEach(Visit&& visit) const {
    for (const auto& chain : m_chains) {
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Entry& entry = m_entries[*it];
        visit(entry.key, entry.value);
      }
    }
  }

private:
  struct Entry {
    std::string key;
    std::uint32_t value;
  };

  std::deque<Entry> m_entries;  // insertion order; a deque keeps keys in place
  // Per bucket, entry numbers in insertion order: the chain read backwards.
  std::array<std::vector<std::uint32_t>, kBucketCount> m_chains;
  std::unordered_map<std::string_view, std::uint32_t> m_index;  // views into m_entries
};
