// CUTTagList: the chain of tag positions.
#include <zerth/CUTTagList.h>

#include <utility>

CUTTagList::CUTTagList() = default;

CUTTagList::~CUTTagList() {
  ClearList();
}

int CUTTagList::AddTagPos(long line, int position) {
  auto node = std::make_unique<Node>();
  node->line = line;
  node->position = position;
  Node* added = node.get();
  if (m_tail)
    m_tail->next = std::move(node);
  else
    m_head = std::move(node);
  m_tail = added;
  ++m_count;
  return 1;
}

int CUTTagList::ClearList() {
  // Node by node, not by recursion through the chain's destructors.
  while (m_head) m_head = std::move(m_head->next);
  m_tail = nullptr;
  m_count = 0;
  return 1;
}

long CUTTagList::GetCount() const {
  return m_count;
}

int CUTTagList::GetTagPos(int index, long* line, int* position) const {
  if (index < 0 || index >= m_count) return 0;
  const Node* node = m_head.get();
  for (int i = 0; i < index; ++i) node = node->next.get();
  if (line) *line = node->line;
  if (position) *position = node->position;
  return 1;
}
