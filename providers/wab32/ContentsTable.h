// The contents table of the personal address book: one row per entry of the
// book, with the columns the caller chose, handed out in MAPI's row sets.
#pragma once

#include "Book.h"
#include "ComObject.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace wab32 {

class ContentsTable final : public ComObject<IMAPITable> {
public:
  explicit ContentsTable(std::shared_ptr<const Book> book);

  // Copies the tags. Known columns: PR_DISPLAY_NAME_A, PR_ENTRYID,
  // PR_OBJECT_TYPE, PR_EMAIL_ADDRESS_A; any other tag (or a row without an
  // address asked for PR_EMAIL_ADDRESS_A) gives a PT_ERROR value holding
  // MAPI_E_NOT_FOUND. MAPI_E_INVALID_PARAMETER for no array or more than
  // kMaxColumns tags.
  HRESULT SetColumns(const SPropTagArray* lpPropTagArray, ULONG ulFlags) override;
  // From the beginning, the current row or the end, lRowCount rows on (or
  // back), stopping at either end; the rows actually moved to *lplRowsSought.
  HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override;
  // Up to lRowCount rows (MAPI_E_INVALID_PARAMETER unless positive); a set of
  // no rows at the end. The set is one block, each row's property array
  // another with its strings and identifiers allocated onto it.
  HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) override;

  static constexpr ULONG kMaxColumns = 1024;

private:
  [[nodiscard]] HRESULT BuildRow(std::size_t index, SRow& out) const;

  std::shared_ptr<const Book> m_book;
  std::vector<ULONG> m_columns;
  std::size_t m_position = 0;
};

}  // namespace wab32
