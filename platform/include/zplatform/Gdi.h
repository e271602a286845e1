// The GDI names that the media classes were designed against, on Qt: colour
// values, the BMP file and info headers, logical palettes, the owner-draw
// description of a button, and the device context, which is a QPainter.
// Self-contained: standard headers and Qt declarations only.
#pragma once

#include <zplatform/WinTypes.h>

#include <cstddef>
#include <utility>
#include <vector>

class QPainter;
class QWidget;

// A device context is a painter on a widget or an image.
using CDC = QPainter;
using HDC = QPainter*;

// 0x00BBGGRR.
using COLORREF = DWORD;
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) | (static_cast<COLORREF>(blue) << 16);
}
constexpr BYTE GetRValue(COLORREF colour) { return static_cast<BYTE>(colour & 0xFF); }
constexpr BYTE GetGValue(COLORREF colour) { return static_cast<BYTE>((colour >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF colour) { return static_cast<BYTE>((colour >> 16) & 0xFF); }

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

// The headers of a BMP file, as values: readers decode them from the
// little-endian bytes field by field, never by overlaying memory.
struct BITMAPFILEHEADER {
  WORD bfType = 0;  // "BM"
  DWORD bfSize = 0;
  WORD bfReserved1 = 0;
  WORD bfReserved2 = 0;
  DWORD bfOffBits = 0;
};
inline constexpr std::size_t kBitmapFileHeaderSize = 14;

struct BITMAPINFOHEADER {
  DWORD biSize = 0;
  LONG biWidth = 0;
  LONG biHeight = 0;  // negative: the rows run top-down
  WORD biPlanes = 0;
  WORD biBitCount = 0;
  DWORD biCompression = 0;
  DWORD biSizeImage = 0;
  LONG biXPelsPerMeter = 0;
  LONG biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
inline constexpr std::size_t kBitmapInfoHeaderSize = 40;

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_RLE8 = 1;
inline constexpr DWORD BI_RLE4 = 2;
inline constexpr DWORD BI_BITFIELDS = 3;

// A colour-table entry as stored in the file: blue, green, red, reserved.
struct RGBQUAD {
  BYTE rgbBlue = 0;
  BYTE rgbGreen = 0;
  BYTE rgbRed = 0;
  BYTE rgbReserved = 0;
};

struct PALETTEENTRY {
  BYTE peRed = 0;
  BYTE peGreen = 0;
  BYTE peBlue = 0;
  BYTE peFlags = 0;
};

// A logical palette object (what CreatePalette makes): a version and its
// entries. Qt draws in true colour, so selecting and realising one changes
// no pixel; the object keeps the image's colours for callers that ask.
class CPalette {
public:
  CPalette(WORD version, std::vector<PALETTEENTRY> entries) : m_wVersion(version), m_aEntries(std::move(entries)) {}

  WORD GetVersion() const { return m_wVersion; }
  int GetEntryCount() const { return static_cast<int>(m_aEntries.size()); }

  // Copies up to count entries from start into out; returns how many it copied.
  UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* out) const {
    UINT copied = 0;
    for (std::size_t i = start; i < m_aEntries.size() && copied < count; ++i) out[copied++] = m_aEntries[i];
    return copied;
  }

private:
  WORD m_wVersion;
  std::vector<PALETTEENTRY> m_aEntries;
};
using HPALETTE = CPalette*;

// Owner drawing: what a control asks its owner to draw.
inline constexpr UINT ODT_BUTTON = 4;
inline constexpr UINT ODA_DRAWENTIRE = 0x0001;
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_GRAYED = 0x0002;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_CHECKED = 0x0008;
inline constexpr UINT ODS_FOCUS = 0x0010;

struct DRAWITEMSTRUCT {
  UINT CtlType = ODT_BUTTON;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = ODA_DRAWENTIRE;
  UINT itemState = 0;
  QWidget* hwndItem = nullptr;
  HDC hDC = nullptr;
  RECT rcItem;
  ULONG_PTR itemData = 0;
};
