// CEncryptedRegistryKey: the stored format of an enciphered value.
#include "zerth/CEncryptedRegistryKey.h"

#include "zerth/Crypt.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kBlockBytes = 8;

constexpr std::size_t Padded(std::size_t length) { return (length + kBlockBytes - 1) / kBlockBytes * kBlockBytes; }

// The length byte and the longest padded value.
constexpr std::size_t kMaxStoredBytes = 1 + Padded(CEncryptedRegistryKey::kMaxValueBytes);

}  // namespace

CEncryptedRegistryKey::CEncryptedRegistryKey(std::string keyText) : m_sKey(std::move(keyText)) {}

CEncryptedRegistryKey::~CEncryptedRegistryKey() = default;

int CEncryptedRegistryKey::EncryptAndWrite(const std::string& valueName, const std::vector<unsigned char>& data) {
  if (m_hKey == nullptr || data.size() > kMaxValueBytes) return 0;
  std::vector<unsigned char> stored(1 + Padded(data.size()), 0);
  stored[0] = static_cast<unsigned char>(data.size());
  std::copy(data.begin(), data.end(), stored.begin() + 1);
  Crypt::Block chain{0, 0};
  Crypt(m_sKey.c_str()).Encrypt(stored.data() + 1, static_cast<std::uint32_t>(stored.size() - 1), chain);
  return RegSetValueEx(m_hKey, valueName.c_str(), 0, REG_BINARY, stored.data(), static_cast<DWORD>(stored.size())) ==
         ERROR_SUCCESS;
}

int CEncryptedRegistryKey::EncryptAndWrite(const std::string& valueName, const std::string& text) {
  return EncryptAndWrite(valueName, std::vector<unsigned char>(text.begin(), text.end()));
}

int CEncryptedRegistryKey::ReadAndDecrypt(const std::string& valueName, std::vector<unsigned char>& data) {
  if (m_hKey == nullptr) return 0;
  // Type and bytes in one query, so that the value cannot change in between;
  // one larger than any this class writes does not fit (ERROR_MORE_DATA).
  unsigned char stored[kMaxStoredBytes];
  DWORD type = REG_NONE;
  DWORD size = sizeof stored;
  if (RegQueryValueEx(m_hKey, valueName.c_str(), nullptr, &type, stored, &size) != ERROR_SUCCESS) return 0;
  if (type != REG_BINARY || size <= kBlockBytes) return 0;
  // The length must be what the size says: a length byte that fell short of
  // the real length (more than 255 bytes) would return a value cut short.
  const std::size_t length = stored[0];
  if (Padded(length) != size - 1) return 0;

  Crypt::Block chain{0, 0};
  Crypt(m_sKey.c_str()).Decrypt(stored + 1, size - 1, chain);
  data.assign(stored + 1, stored + 1 + length);
  return 1;
}

const char* CEncryptedRegistryKey::ReadAndDecrypt(const std::string& valueName) {
  std::vector<unsigned char> value;
  if (!ReadAndDecrypt(valueName, value)) return nullptr;
  const int needed = static_cast<int>(value.size()) + 1;
  if (m_nResultSize < needed) {
    m_pResult = std::make_unique<char[]>(static_cast<std::size_t>(needed));
    m_nResultSize = needed;
  }
  std::memcpy(m_pResult.get(), value.data(), value.size());
  m_pResult[value.size()] = '\0';
  return m_pResult.get();
}
