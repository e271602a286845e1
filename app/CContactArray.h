// CContactArray: an ordered, growable array of CContact held by value and
// indexed from 0. It owns its elements. When full it grows by an eighth of
// its size (at least 4, at most 1024 elements), or to exactly the requested
// size when that is larger, so that repeated appends copy rarely.
#pragma once

#include "CContact.h"

#include <vector>

class CContactArray {
public:
  // Number of elements.
  int GetSize() const { return static_cast<int>(m_data.size()); }
  // Number of elements that fit before the next reallocation.
  int GetCapacity() const { return m_nMaxSize; }
  bool IsEmpty() const { return m_data.empty(); }

  // Element access; an index outside [0, GetSize()) throws std::out_of_range.
  const CContact& GetAt(int index) const;
  CContact& GetAt(int index);
  const CContact& operator[](int index) const { return GetAt(index); }
  CContact& operator[](int index) { return GetAt(index); }

  // Appends a copy at the end; returns the new element's index.
  int Add(const CContact& contact);
  int Add(CContact&& contact);

  // Removes count elements from index on; later elements move down in order.
  // A run that does not lie inside the array throws std::out_of_range.
  void RemoveAt(int index, int count = 1);
  // Removes every element and releases the storage.
  void RemoveAll();

  // Grows with default contacts or cuts the tail to newSize elements.
  void SetSize(int newSize);
  // Makes room for at least minCapacity elements by the growth rule, without
  // changing the elements.
  void Reserve(int minCapacity);

private:
  // Applies the growth rule when 'needed' elements do not fit.
  void GrowFor(int needed);

  std::vector<CContact> m_data;
  int m_nMaxSize = 0;
};
