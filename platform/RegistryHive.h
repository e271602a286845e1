// The in-memory form of one hive file: its keys by full path (root name
// first, e.g. HKEY_CURRENT_USER\Software\Zerth) and each key's values in the
// order they were added. Names compare as the registry compares them, without
// regard to ASCII case, and keep the spelling they were stored with.
#pragma once

#include <zplatform/AsciiText.h>
#include <zplatform/WinTypes.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zplatform::registry {

// Names compare with ASCII-only folding (zplatform/AsciiText.h): they are
// byte strings here, and bytes above 0x7F are parts of UTF-8 characters that
// must not be touched one by one.

// True when path is ancestor or itself: "A\B" is an ancestor of "a\b\C".
bool IsSameOrAncestor(std::string_view ancestor, std::string_view path);

// Orders key paths as a registry listing does: case-insensitively, one
// component at a time, so every key is followed directly by its subkeys.
struct KeyPathLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

struct RegValue {
  std::string name;
  DWORD type = 0;
  std::string data;
};

class RegistryKey {
public:
  explicit RegistryKey(std::string path) : m_path(std::move(path)) {}

  const std::string& Path() const { return m_path; }
  const std::vector<RegValue>& Values() const { return m_values; }

  const RegValue* FindValue(std::string_view name) const;

  // Stores the value; a value of the same name (any case) is replaced in
  // place and keeps its spelling. Returns false when nothing changed.
  bool SetValue(std::string_view name, DWORD type, std::string_view data);

  // Returns false when there is no such value.
  bool DeleteValue(std::string_view name);

private:
  std::string m_path;
  std::vector<RegValue> m_values;
  // Folded name -> position in m_values, so a hive with very many values
  // in one key still loads in reasonable time.
  std::unordered_map<std::string, std::size_t> m_index;
};

class RegistryHive {
public:
  using KeyMap = std::map<std::string, RegistryKey, KeyPathLess>;

  const KeyMap& Keys() const { return m_keys; }

  // A key exists when it has a section of its own or when one of its
  // subkeys has, as regedit creates the parents of every key it imports.
  bool KeyExists(std::string_view path) const;

  RegistryKey* FindKey(std::string_view path);
  const RegistryKey* FindKey(std::string_view path) const;

  // The key with a section of its own, created when missing; the parts of
  // the path that already exist keep their stored spelling.
  RegistryKey& CreateKey(std::string_view path, bool* created = nullptr);

private:
  std::string StoredSpelling(std::string_view path) const;

  KeyMap m_keys;
};

}  // namespace zplatform::registry
