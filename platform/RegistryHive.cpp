// Keys and values of one hive, looked up as the registry does.
#include "RegistryHive.h"

#include <zplatform/AsciiText.h>

#include <algorithm>

namespace zplatform::registry {


bool IsSameOrAncestor(std::string_view ancestor, std::string_view path) {
  if (path.size() < ancestor.size() || !EqualsNoCase(path.substr(0, ancestor.size()), ancestor)) return false;
  return path.size() == ancestor.size() || path[ancestor.size()] == '\\';
}

bool KeyPathLess::operator()(std::string_view a, std::string_view b) const {
  // The separator ranks below every byte a key name may hold (names have no
  // control bytes), which keeps each subtree in one piece.
  auto rank = [](char c) { return c == '\\' ? 0u : static_cast<unsigned>(static_cast<unsigned char>(ToLowerAscii(c))); };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return rank(x) < rank(y); });
}

const RegValue* RegistryKey::FindValue(std::string_view name) const {
  auto it = m_index.find(ToLowerAscii(name));
  return it == m_index.end() ? nullptr : &m_values[it->second];
}

bool RegistryKey::SetValue(std::string_view name, DWORD type, std::string_view data) {
  auto [it, inserted] = m_index.try_emplace(ToLowerAscii(name), m_values.size());
  if (inserted) {
    m_values.push_back({std::string(name), type, std::string(data)});
    return true;
  }
  RegValue& value = m_values[it->second];
  if (value.type == type && value.data == data) return false;
  value.type = type;
  value.data.assign(data);
  return true;
}

bool RegistryKey::DeleteValue(std::string_view name) {
  auto it = m_index.find(ToLowerAscii(name));
  if (it == m_index.end()) return false;
  const std::size_t gone = it->second;
  m_values.erase(m_values.begin() + static_cast<std::ptrdiff_t>(gone));
  m_index.erase(it);
  for (auto& entry : m_index) {
    if (entry.second > gone) --entry.second;
  }
  return true;
}

bool RegistryHive::KeyExists(std::string_view path) const {
  auto it = m_keys.lower_bound(path);
  return it != m_keys.end() && IsSameOrAncestor(path, it->first);
}

RegistryKey* RegistryHive::FindKey(std::string_view path) {
  auto it = m_keys.find(path);
  return it == m_keys.end() ? nullptr : &it->second;
}

const RegistryKey* RegistryHive::FindKey(std::string_view path) const {
  auto it = m_keys.find(path);
  return it == m_keys.end() ? nullptr : &it->second;
}

RegistryKey& RegistryHive::CreateKey(std::string_view path, bool* created) {
  auto it = m_keys.find(path);
  if (created) *created = (it == m_keys.end());
  if (it != m_keys.end()) return it->second;
  std::string spelled = StoredSpelling(path);
  return m_keys.try_emplace(spelled, spelled).first->second;
}

std::string RegistryHive::StoredSpelling(std::string_view path) const {
  // Case folding keeps lengths, so the stored spelling of the longest
  // existing ancestor can be laid over the caller's spelling byte for byte.
  for (std::size_t end = path.size(); end != std::string_view::npos && end > 0;
       end = path.rfind('\\', end - 1)) {
    std::string_view prefix = path.substr(0, end);
    auto it = m_keys.lower_bound(prefix);
    if (it != m_keys.end() && IsSameOrAncestor(prefix, it->first)) {
      return it->first.substr(0, end) + std::string(path.substr(end));
    }
  }
  return std::string(path);
}

}  // namespace zplatform::registry
