#include "mailing/CResultMap.h"

std::uint32_t CResultMap::HashKey(std::string_view key) {
  std::uint32_t hash = 0;
  for (char c : key) hash = hash * 33u + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
  return hash;
}

void CResultMap::SetAt(const std::string& key, std::uint32_t value) {
  if (auto found = m_index.find(key); found != m_index.end()) {
    m_entries[found->second].value = value;
    return;
  }
  const auto number = static_cast<std::uint32_t>(m_entries.size());
  const Entry& entry = m_entries.emplace_back(Entry{key, value});
  m_chains[HashKey(key) % kBucketCount].push_back(number);
  m_index.emplace(entry.key, number);
}

bool CResultMap::Lookup(std::string_view key, std::uint32_t& value) const {
  auto found = m_index.find(key);
  if (found == m_index.end()) return false;
  value = m_entries[found->second].value;
  return true;
}
