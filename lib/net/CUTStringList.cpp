// CUTStringList: the chain of owned lines.
#include <zerth/CUTStringList.h>

#include <utility>

CUTStringList::CUTStringList() = default;

CUTStringList::~CUTStringList() {
  ClearList();
}

int CUTStringList::AddString(const char* text) {
  auto node = std::make_unique<Node>();
  if (text) node->text = text;
  Node* added = node.get();
  if (m_tail)
    m_tail->next = std::move(node);
  else
    m_head = std::move(node);
  m_tail = added;
  ++m_count;
  return 1;
}

int CUTStringList::ClearList() {
  // Node by node: letting the head's destructor free the chain would recurse
  // once per line.
  while (m_head) m_head = std::move(m_head->next);
  m_tail = nullptr;
  m_count = 0;
  m_cursor = nullptr;
  return 1;
}

long CUTStringList::GetCount() const {
  return m_count;
}

CUTStringList::Node* CUTStringList::NodeAt(long index) const {
  if (index < 0 || index >= m_count) return nullptr;
  const bool fromCursor = m_cursor && m_cursorIndex <= index;
  Node* node = fromCursor ? m_cursor : m_head.get();
  for (long i = fromCursor ? m_cursorIndex : 0; i < index; ++i) node = node->next.get();
  m_cursor = node;
  m_cursorIndex = index;
  return node;
}

int CUTStringList::DeleteString(long index) {
  if (index < 0 || index >= m_count) return 0;
  Node* previous = index == 0 ? nullptr : NodeAt(index - 1);
  std::unique_ptr<Node>& link = previous ? previous->next : m_head;
  m_cursor = nullptr;  // it may be the node going
  link = std::move(link->next);
  if (index == m_count - 1) m_tail = previous;
  --m_count;
  return 1;
}

const char* CUTStringList::GetString(long index) const {
  const Node* node = NodeAt(index);
  return node ? node->text.c_str() : nullptr;
}
