// CBase64: Base64 of RFC 4648 (standard alphabet, "=" padding, no line
// breaks), the encoder behind MIME attachments. The object owns the working
// state of the current call, so one object serves one call at a time; the
// alphabet and masks are shared and read-only.
#pragma once

#include <zerth/CMIMECode.h>
#include <zerth/Export.h>

#include <cstdint>
#include <string>

class ZERTH_API CBase64 : public CMIMECode {
public:
  CBase64() = default;
  CBase64(const CBase64&) = default;
  CBase64& operator=(const CBase64&) = default;
  ~CBase64() override;

  // Decodes text into out. Before decoding, the first strlen(text) + 1 bytes
  // of out are set to zero, so out must hold that many bytes and the result
  // is always followed by a zero byte. Each character counts by its lowest
  // 7 bits; "=" is skipped wherever it stands; bits left over at the end
  // (fewer than 8) are dropped. Returns the number of bytes written, or 0 for
  // a null argument, an empty text, a text longer than INT_MAX, or any other
  // character (blanks and line breaks included; the bytes written before it
  // stay in out).
  int Decode(const char* text, char* out) override;

  // Returns the Base64 text of length bytes from data, padded with "=" to a
  // multiple of 4 characters: empty for null data or a length of 0 or less.
  std::string Encode(const char* data, int length) override;

  // The 64 characters; the one at index v stands for the 6-bit value v.
  static constexpr char m_sBase64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  // Masks of 0 to 8 low bits.
  static constexpr int m_nMask[9] = {0, 1, 3, 7, 15, 31, 63, 127, 255};

protected:
  // Reads up to numBits (at most 8) from the current input at position
  // current, which it advances; bitsRead receives the number delivered (less
  // than numBits at the end of input, 0 once everything has been read).
  // A short last group is filled up with zero bits on the right.
  unsigned read_bits(int numBits, int& bitsRead, int& current);
  // Adds numBits of value to the bit store and writes every complete byte to
  // output at position written, which it advances.
  void write_bits(unsigned value, int numBits, char* output, int& written);

private:
  int m_nInputSize = 0;
  int m_nBitsRemaining = 0;
  std::uint32_t m_lBitStorage = 0;
  const char* m_szInput = nullptr;
};
