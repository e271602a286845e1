#include "MergeContacts.h"

#include <functional>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

// The set holds element numbers instead of copies of the addresses: a value
// v >= 0 is target[v], a value v < 0 is source[-v - 1]. Look-ups go by the
// address bytes themselves (transparent hash and equality).
class AddressIndex {
public:
  AddressIndex(const CContactArray& target, const CContactArray& source)
      : m_set(0, Hash{this}, Equal{this}), m_target(target), m_source(source) {}

  std::string_view AddressOf(int key) const {
    return key >= 0 ? std::string_view(m_target[key].m_sAddress)
                    : std::string_view(m_source[-key - 1].m_sAddress);
  }

  void Reserve(std::size_t count) { m_set.reserve(count); }
  // Adds the key; false when an element with the same address is there already.
  bool Insert(int key) {
    if (m_set.find(AddressOf(key)) != m_set.end()) return false;
    m_set.insert(key);
    return true;
  }

private:
  struct Hash {
    using is_transparent = void;
    const AddressIndex* index;
    std::size_t operator()(std::string_view address) const { return std::hash<std::string_view>{}(address); }
    std::size_t operator()(int key) const { return (*this)(index->AddressOf(key)); }
  };
  struct Equal {
    using is_transparent = void;
    const AddressIndex* index;
    std::string_view View(std::string_view s) const { return s; }
    std::string_view View(int key) const { return index->AddressOf(key); }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const { return View(a) == View(b); }
  };

  std::unordered_set<int, Hash, Equal> m_set;
  const CContactArray& m_target;
  const CContactArray& m_source;
};

}  // namespace

void MergeContacts(CContactArray& target, const CContactArray& source) {
  const int targetSize = target.GetSize();
  const int sourceSize = source.GetSize();
  if (sourceSize == 0) return;

  // A repeated address inside the table keeps only its first element in the
  // set; the address blocks the source all the same.
  AddressIndex index(target, source);
  index.Reserve(static_cast<std::size_t>(targetSize) + static_cast<std::size_t>(sourceSize));
  for (int i = 0; i < targetSize; ++i) index.Insert(i);

  std::vector<int> accepted;
  for (int i = 0; i < sourceSize; ++i) {
    if (index.Insert(-i - 1)) accepted.push_back(i);
  }
  if (accepted.empty()) return;

  // Room for all new contacts at once: one reallocation instead of one per
  // growth step.
  target.Reserve(targetSize + static_cast<int>(accepted.size()));
  for (int i : accepted) target.Add(source[i]);
}
