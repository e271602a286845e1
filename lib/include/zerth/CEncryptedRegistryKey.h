// CEncryptedRegistryKey: values kept in the registry enciphered with Crypt
// under a key text of the caller's, and read back deciphered. Open or create
// the key first through the CRegistryKey base; this class opens nothing.
//
// A value is stored as REG_BINARY: one byte with the plain length, then the
// plain bytes padded with zero bytes to a multiple of 8 and enciphered with
// Crypt in CBC mode from a chaining block of zero. So 5 bytes are stored as
// 9, 8 bytes as 9, and an empty value as the single byte 0 (which does not
// read back: a stored value must be longer than 8 bytes). The length byte
// limits a value to 255 bytes; a longer one is refused rather than stored
// with a length that would read back cut short.
#pragma once

#include <zerth/CRegistryKey.h>
#include <zerth/Export.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class ZERTH_API CEncryptedRegistryKey : public CRegistryKey {
public:
  // The longest value stored.
  static constexpr std::size_t kMaxValueBytes = 255;

  // The key text goes to Crypt up to its first zero byte.
  explicit CEncryptedRegistryKey(std::string keyText);
  // Frees the result buffer and closes the key.
  ~CEncryptedRegistryKey() override;

  // Stores the bytes enciphered as the named value of the open key (an empty
  // name is the key's default value). Non-zero when the registry took it;
  // zero when no key is open, the value is longer than kMaxValueBytes, or
  // the registry refused it (no write access, a hive that cannot be written).
  int EncryptAndWrite(const std::string& valueName, const std::vector<unsigned char>& data);
  // The same for the bytes of the text (no terminating zero is stored).
  int EncryptAndWrite(const std::string& valueName, const std::string& text);

  // Reads the named value and deciphers it into data. Non-zero on success;
  // zero, with data untouched, when no key is open, the value is missing, is
  // not REG_BINARY, is 8 bytes or shorter, or its size does not match its
  // length byte (damaged, or not written by this class). Under another key
  // text the read succeeds with the right number of meaningless bytes.
  int ReadAndDecrypt(const std::string& valueName, std::vector<unsigned char>& data);
  // The same, returning the value as a zero-terminated text in the object's
  // result buffer, valid until the next call of this form or the object's
  // end; null on failure, leaving the buffer as it was.
  const char* ReadAndDecrypt(const std::string& valueName);

private:
  std::string m_sKey;
  std::unique_ptr<char[]> m_pResult;
  int m_nResultSize = 0;  // bytes allocated at m_pResult
};
