#include "CContactArray.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>

namespace {

constexpr int kMinGrowBy = 4;
constexpr int kMaxGrowBy = 1024;

[[noreturn]] void ThrowRange(const char* what, int index, int count, int size) {
  throw std::out_of_range(std::string("CContactArray::") + what + ": index " +
                          std::to_string(index) + ", count " + std::to_string(count) +
                          ", size " + std::to_string(size));
}

}  // namespace

const CContact& CContactArray::GetAt(int index) const {
  if (index < 0 || index >= GetSize()) ThrowRange("GetAt", index, 1, GetSize());
  return m_data[static_cast<std::size_t>(index)];
}

CContact& CContactArray::GetAt(int index) {
  if (index < 0 || index >= GetSize()) ThrowRange("GetAt", index, 1, GetSize());
  return m_data[static_cast<std::size_t>(index)];
}

int CContactArray::Add(const CContact& contact) {
  // The contact may be one of ours, which growing would move away.
  if (GetSize() == m_nMaxSize) return Add(CContact(contact));
  GrowFor(GetSize() + 1);
  m_data.push_back(contact);
  return GetSize() - 1;
}

int CContactArray::Add(CContact&& contact) {
  GrowFor(GetSize() + 1);
  m_data.push_back(std::move(contact));
  return GetSize() - 1;
}

void CContactArray::RemoveAt(int index, int count) {
  if (index < 0 || count < 0 || count > GetSize() - index) ThrowRange("RemoveAt", index, count, GetSize());
  auto first = m_data.begin() + index;
  m_data.erase(first, first + count);
}

void CContactArray::RemoveAll() {
  std::vector<CContact>().swap(m_data);
  m_nMaxSize = 0;
}

void CContactArray::SetSize(int newSize) {
  if (newSize < 0) ThrowRange("SetSize", newSize, 0, GetSize());
  GrowFor(newSize);
  m_data.resize(static_cast<std::size_t>(newSize));
}

void CContactArray::Reserve(int minCapacity) {
  if (minCapacity < 0) ThrowRange("Reserve", minCapacity, 0, GetSize());
  GrowFor(minCapacity);
}

void CContactArray::GrowFor(int needed) {
  if (needed <= m_nMaxSize) return;
  const int growBy = std::clamp(GetSize() / 8, kMinGrowBy, kMaxGrowBy);
  // In 64 bits so that a huge request cannot wrap round.
  const long long grown = static_cast<long long>(m_nMaxSize) + growBy;
  const int newMax = grown > needed ? static_cast<int>(std::min<long long>(grown, INT_MAX)) : needed;
  m_data.reserve(static_cast<std::size_t>(newMax));
  m_nMaxSize = newMax;
}
