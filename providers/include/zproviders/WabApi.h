// The address-book interface: WABOpen and the objects it returns, with the
// MAPI structures, property tags and result conventions their callers rely
// on. libwab32.so implements it; the program's address-book picker calls it.
#pragma once

#include <zplatform/Com.h>

// MAPI results are HRESULTs: negative for failures.
inline constexpr HRESULT MAPI_E_CALL_FAILED = E_FAIL;
inline constexpr HRESULT MAPI_E_NOT_ENOUGH_MEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT MAPI_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT MAPI_E_NO_SUPPORT = static_cast<HRESULT>(0x80040102u);
inline constexpr HRESULT MAPI_E_NOT_FOUND = static_cast<HRESULT>(0x8004010Fu);
inline constexpr HRESULT MAPI_E_INVALID_ENTRYID = static_cast<HRESULT>(0x80040107u);
inline constexpr HRESULT MAPI_E_UNKNOWN_ENTRYID = static_cast<HRESULT>(0x80040201u);
inline constexpr HRESULT MAPI_E_NO_ACCESS = static_cast<HRESULT>(0x80070005u);

// Property types and tags (type in the low word, identifier in the high word).
inline constexpr ULONG PT_LONG = 0x0003;
inline constexpr ULONG PT_STRING8 = 0x001E;
inline constexpr ULONG PT_BINARY = 0x0102;
inline constexpr ULONG PT_ERROR = 0x000A;
constexpr ULONG PROP_TYPE(ULONG tag) { return tag & 0xFFFFu; }
constexpr ULONG PROP_ID(ULONG tag) { return tag >> 16; }
constexpr ULONG PROP_TAG(ULONG type, ULONG id) { return (id << 16) | type; }

inline constexpr ULONG PR_DISPLAY_NAME_A = 0x3001001E;
inline constexpr ULONG PR_ENTRYID = 0x0FFF0102;
inline constexpr ULONG PR_OBJECT_TYPE = 0x0FFE0003;
inline constexpr ULONG PR_EMAIL_ADDRESS_A = 0x3003001E;

// Object types (PR_OBJECT_TYPE).
inline constexpr ULONG MAPI_ABCONT = 4;
inline constexpr ULONG MAPI_MAILUSER = 6;
inline constexpr ULONG MAPI_DISTLIST = 8;

using BOOKMARK = ULONG;
inline constexpr BOOKMARK BOOKMARK_BEGINNING = 0;
inline constexpr BOOKMARK BOOKMARK_CURRENT = 1;
inline constexpr BOOKMARK BOOKMARK_END = 2;

// An entry identifier: four flag bytes, then the provider's bytes. Handed out
// as a length and a pointer; the bytes after abFlags follow in the same block.
struct ENTRYID {
  BYTE abFlags[4];
  BYTE ab[1];
};
using LPENTRYID = ENTRYID*;

struct SBinary {
  ULONG cb;
  LPBYTE lpb;
};

union PropValueUnion {
  short i;
  LONG l;
  ULONG ul;
  LPSTR lpszA;
  SBinary bin;
  HRESULT err;
};

struct SPropValue {
  ULONG ulPropTag;
  ULONG dwAlignPad;
  PropValueUnion Value;
};
using LPSPropValue = SPropValue*;

struct SRow {
  ULONG ulAdrEntryPad;
  ULONG cValues;
  LPSPropValue lpProps;
};

// A row set: cRows rows in one block (the array continues past aRow[0]).
// The rows' property arrays are separate blocks; the caller frees each of
// them, then the set, with IWABObject::FreeBuffer.
struct SRowSet {
  ULONG cRows;
  SRow aRow[1];
};
using LPSRowSet = SRowSet*;

// A property-tag array of N tags, laid out like the variable-length one.
template <ULONG N>
struct SizedSPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[N];
};
struct SPropTagArray {
  ULONG cValues;
  ULONG aulPropTag[1];
};
using LPSPropTagArray = SPropTagArray*;

class IMAPITable : public IUnknown {
public:
  // Chooses the columns of the rows QueryRows returns, in this order.
  virtual HRESULT SetColumns(const SPropTagArray* lpPropTagArray, ULONG ulFlags) = 0;
  virtual HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) = 0;
  // Up to lRowCount rows from the current position, which moves past them; at
  // the end a set with 0 rows.
  virtual HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) = 0;

protected:
  ~IMAPITable() = default;
};

class IABContainer : public IUnknown {
public:
  virtual HRESULT GetContentsTable(ULONG ulFlags, IMAPITable** lppTable) = 0;

protected:
  ~IABContainer() = default;
};

class IAddrBook : public IUnknown {
public:
  // Opens an entry; with no interface identifier the entry's own interface
  // (an IABContainer for a container), its object type to *lpulObjType.
  virtual HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* lpInterface, ULONG ulFlags,
                            ULONG* lpulObjType, IUnknown** lppUnk) = 0;
  // The identifier of the personal address book; freed with FreeBuffer.
  virtual HRESULT GetPAB(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) = 0;

protected:
  ~IAddrBook() = default;
};

class IWABObject : public IUnknown {
public:
  virtual HRESULT AllocateBuffer(ULONG cbSize, void** lppBuffer) = 0;
  virtual HRESULT AllocateMore(ULONG cbSize, void* lpObject, void** lppBuffer) = 0;
  // Frees a block and every block allocated onto it with AllocateMore.
  virtual ULONG FreeBuffer(void* lpBuffer) = 0;

protected:
  ~IWABObject() = default;
};

// What WABOpen reads: the book's file, or none for the default address book.
struct WAB_PARAM {
  ULONG cbSize;
  void* hwnd;
  LPSTR szFileName;
  ULONG ulFlags;
};

// Opens the address book; 0 on success with both objects, which the caller
// releases; a failure result leaves both null.
using LPWABOPEN = HRESULT (*)(IAddrBook** lppAdrBook, IWABObject** lppWABObject, WAB_PARAM* lpWP,
                              DWORD Reserved2);
