#include "ContentsTable.h"

#include "BlockAllocator.h"
#include "EntryId.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>

namespace wab32 {

namespace {

// Frees a row set the way the caller does: each row's properties, then the set.
void FreeRowSet(SRowSet* rows) {
  if (!rows) return;
  for (ULONG i = 0; i < rows->cRows; ++i) FreeBlock(rows->aRow[i].lpProps);
  FreeBlock(rows);
}

struct RowSetDeleter {
  void operator()(SRowSet* rows) const { FreeRowSet(rows); }
};

// Bytes a row's strings and identifier take beside its property array.
std::size_t ExtraBytes(const BookRow& row, std::span<const ULONG> columns) {
  std::size_t bytes = 0;
  for (ULONG tag : columns) {
    if (tag == PR_DISPLAY_NAME_A) bytes += row.displayName.size() + 1;
    if (tag == PR_EMAIL_ADDRESS_A && !row.email.empty()) bytes += row.email.size() + 1;
    if (tag == PR_ENTRYID) bytes += kEntryIdSize;
  }
  return bytes;
}

char* PutString(std::string_view text, BYTE*& cursor) {
  char* start = reinterpret_cast<char*>(cursor);
  std::memcpy(start, text.data(), text.size());
  start[text.size()] = '\0';
  cursor += text.size() + 1;
  return start;
}

SPropValue NotFound(ULONG tag) {
  SPropValue value{};
  value.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
  value.Value.err = MAPI_E_NOT_FOUND;
  return value;
}

}  // namespace

ContentsTable::ContentsTable(std::shared_ptr<const Book> book)
    : m_book(std::move(book)), m_columns{PR_DISPLAY_NAME_A, PR_ENTRYID, PR_OBJECT_TYPE, PR_EMAIL_ADDRESS_A} {}

HRESULT ContentsTable::SetColumns(const SPropTagArray* lpPropTagArray, ULONG /*ulFlags*/) {
  if (!lpPropTagArray || lpPropTagArray->cValues > kMaxColumns) return MAPI_E_INVALID_PARAMETER;
  return Guarded([&] {
    const ULONG* tags = lpPropTagArray->aulPropTag;
    m_columns.assign(tags, tags + lpPropTagArray->cValues);
    return S_OK;
  });
}

HRESULT ContentsTable::SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) {
  const auto size = static_cast<std::int64_t>(m_book->rows.size());
  std::int64_t origin = 0;
  switch (bkOrigin) {
    case BOOKMARK_BEGINNING: origin = 0; break;
    case BOOKMARK_CURRENT: origin = static_cast<std::int64_t>(m_position); break;
    case BOOKMARK_END: origin = size; break;
    default: return MAPI_E_INVALID_PARAMETER;
  }
  const std::int64_t target = std::clamp<std::int64_t>(origin + lRowCount, 0, size);
  // |target - origin| <= |lRowCount|, so it fits a LONG.
  if (lplRowsSought) *lplRowsSought = static_cast<LONG>(target - origin);
  m_position = static_cast<std::size_t>(target);
  return S_OK;
}

HRESULT ContentsTable::QueryRows(LONG lRowCount, ULONG /*ulFlags*/, LPSRowSet* lppRows) {
  if (!lppRows) return MAPI_E_INVALID_PARAMETER;
  *lppRows = nullptr;
  if (lRowCount <= 0) return MAPI_E_INVALID_PARAMETER;
  const std::size_t count = std::min(static_cast<std::size_t>(lRowCount), m_book->rows.size() - m_position);
  // The set keeps room for one row even when empty, as its type declares.
  const std::size_t setBytes = offsetof(SRowSet, aRow) + std::max<std::size_t>(count, 1) * sizeof(SRow);
  if (setBytes > std::numeric_limits<ULONG>::max()) return MAPI_E_NOT_ENOUGH_MEMORY;
  void* block = nullptr;
  if (HRESULT hr = AllocateBlock(static_cast<ULONG>(setBytes), &block); FAILED(hr)) return hr;
  std::unique_ptr<SRowSet, RowSetDeleter> rows(static_cast<SRowSet*>(block));
  rows->cRows = 0;
  SRow* rowArray = rows->aRow;
  // cRows grows with each row built, so a failure frees exactly those built.
  for (; rows->cRows < count; ++rows->cRows) {
    if (HRESULT hr = BuildRow(m_position + rows->cRows, rowArray[rows->cRows]); FAILED(hr)) return hr;
  }
  m_position += count;
  *lppRows = rows.release();
  return S_OK;
}

HRESULT ContentsTable::BuildRow(std::size_t index, SRow& out) const {
  const BookRow& row = m_book->rows[index];
  const auto columnCount = static_cast<ULONG>(m_columns.size());
  const std::size_t extra = ExtraBytes(row, m_columns);
  if (extra > std::numeric_limits<ULONG>::max()) return MAPI_E_NOT_ENOUGH_MEMORY;

  void* block = nullptr;
  if (HRESULT hr = AllocateBlock(columnCount * static_cast<ULONG>(sizeof(SPropValue)), &block); FAILED(hr)) return hr;
  BlockPtr props(block);
  void* bytes = nullptr;
  if (extra > 0) {
    if (HRESULT hr = AllocateLinkedBlock(static_cast<ULONG>(extra), props.get(), &bytes); FAILED(hr)) return hr;
  }
  auto* cursor = static_cast<BYTE*>(bytes);
  auto* values = static_cast<SPropValue*>(props.get());
  for (ULONG i = 0; i < columnCount; ++i) {
    const ULONG tag = m_columns[i];
    SPropValue& value = values[i];
    value = SPropValue{};
    value.ulPropTag = tag;
    if (tag == PR_DISPLAY_NAME_A) {
      value.Value.lpszA = PutString(row.displayName, cursor);
    } else if (tag == PR_EMAIL_ADDRESS_A && !row.email.empty()) {
      value.Value.lpszA = PutString(row.email, cursor);
    } else if (tag == PR_OBJECT_TYPE) {
      value.Value.l = static_cast<LONG>(row.objectType);
    } else if (tag == PR_ENTRYID) {
      WriteEntryId(std::span<BYTE, kEntryIdSize>(cursor, kEntryIdSize), row.objectType, static_cast<ULONG>(index));
      value.Value.bin = {static_cast<ULONG>(kEntryIdSize), cursor};
      cursor += kEntryIdSize;
    } else {
      value = NotFound(tag);
    }
  }
  out = SRow{0, columnCount, static_cast<SPropValue*>(props.release())};
  return S_OK;
}

}  // namespace wab32
