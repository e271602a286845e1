// CUTStringList: an ordered list of text lines, each an owned copy, in a
// singly linked chain. The HTTP client keeps its request header tags and the
// header and body lines of a reply in it.
//
// Beside the head the list keeps its last node and its length, so that
// appending does not walk the chain, and the node last looked up, so that
// reading the lines in order does not walk it from the head each time: a
// reply of many thousands of lines is stored and read in linear time. Copies are not allowed: a copy would share the
// nodes, and destroying either list would free them under the other.
#pragma once

#include <zerth/Export.h>

#include <memory>
#include <string>

class ZERTH_API CUTStringList {
public:
  CUTStringList();
  // Frees every line (ClearList).
  virtual ~CUTStringList();
  CUTStringList(const CUTStringList&) = delete;
  CUTStringList& operator=(const CUTStringList&) = delete;

  // Appends a copy of text (a null text as an empty line); returns 1.
  int AddString(const char* text);
  // Frees every line; returns 1.
  int ClearList();
  // The number of lines.
  long GetCount() const;
  // Removes line index (from 0): 1 when it existed, else 0.
  int DeleteString(long index);
  // Line index (from 0), or null when there is none. Valid until that line
  // is deleted or the list cleared.
  const char* GetString(long index) const;

private:
  struct Node {
    std::string text;
    std::unique_ptr<Node> next;
  };

  Node* NodeAt(long index) const;

  std::unique_ptr<Node> m_head;
  Node* m_tail = nullptr;
  long m_count = 0;
  // The node last looked up and its index; null after a deletion.
  mutable Node* m_cursor = nullptr;
  mutable long m_cursorIndex = 0;
};
