// CUTTagList: an ordered list of tag positions (a line number and a
// character position in that line), as the HTTP client's tag scans record
// them. Like CUTStringList it keeps its last node and its length beside the
// head, and cannot be copied (a copy would share the nodes).
#pragma once

#include <zerth/Export.h>

#include <memory>

class ZERTH_API CUTTagList {
public:
  CUTTagList();
  // Frees every entry (ClearList).
  virtual ~CUTTagList();
  CUTTagList(const CUTTagList&) = delete;
  CUTTagList& operator=(const CUTTagList&) = delete;

  // Appends the pair; returns 1.
  int AddTagPos(long line, int position);
  // Frees every entry; returns 1.
  int ClearList();
  // The number of entries.
  long GetCount() const;
  // 1 with the pair of entry index (from 0) in *line and *position (each
  // may be null), or 0 when there is no such entry.
  int GetTagPos(int index, long* line, int* position) const;

private:
  struct Node {
    long line = 0;
    int position = 0;
    std::unique_ptr<Node> next;
  };

  std::unique_ptr<Node> m_head;
  Node* m_tail = nullptr;
  long m_count = 0;
};
