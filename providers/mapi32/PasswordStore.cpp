// Value layout: 8 random bytes (the CBC initialisation vector, big-endian
// halves), then the ciphertext of "ZPW1", the password length as 4 bytes
// big-endian, the password and zero bytes up to a multiple of 8. The marker
// tells a value enciphered under another key from a real one.
#include "PasswordStore.h"

#include "MailAccount.h"

#include <zerth/Crypt.h>
#include <zplatform/AtomicFile.h>
#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>
#include <zplatform/UniqueFd.h>
#include <zplatform/WholeFile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace mapi32 {

using zplatform::UniqueFd;

namespace {

constexpr std::string_view kMarker = "ZPW1";
constexpr std::size_t kBlock = 8;
constexpr std::size_t kKeyHexDigits = 48;  // 192 bits
constexpr std::size_t kHeader = kMarker.size() + 4;
constexpr std::size_t kMaxValue = kBlock + kHeader + PasswordStore::kMaxPassword + kBlock;

void Warn(const std::string& text) {
  std::string line = "mapi32: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

bool RandomBytes(unsigned char* out, std::size_t size) {
  while (size > 0) {
    ssize_t got = ::getrandom(out, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool IsKeyText(std::string_view text) {
  if (text.size() != kKeyHexDigits) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The key text, or nothing when the file is missing, damaged or not a
// regular file. A link is not followed, and O_NONBLOCK keeps a FIFO in its
// place from stalling the open.
std::optional<std::string> ReadKeyFile() {
  UniqueFd fd(::open(PasswordStore::KeyFilePath().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
  std::string text;
  if (!fd || zplatform::ReadWholeFd(fd.get(), kKeyHexDigits + 1, text) != zplatform::WholeFileStatus::Ok)
    return std::nullopt;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!IsKeyText(text)) return std::nullopt;
  return text;
}

std::optional<std::string> NewKeyText() {
  std::array<unsigned char, kKeyHexDigits / 2> bytes{};
  if (!RandomBytes(bytes.data(), bytes.size())) return std::nullopt;
  std::string text;
  constexpr char kHex[] = "0123456789abcdef";
  for (unsigned char b : bytes) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

// A new key file, replacing the old one whole; a key file that is damaged
// is replaced (what it enciphered is lost anyway).
std::optional<std::string> CreateKeyFile() {
  std::optional<std::string> key = NewKeyText();
  if (!key) return std::nullopt;
  const std::string path = PasswordStore::KeyFilePath();
  ::mkdir(zplatform::UserConfigDir().c_str(), 0700);
  const zplatform::AtomicWriteResult written = zplatform::WriteFileAtomically(path, *key + "\n", 0600);
  if (!written.ok()) {
    Warn("cannot write the key file " + path + ": " + std::strerror(written.error));
    return std::nullopt;
  }
  return key;
}

Crypt::Block ReadBlock(const unsigned char* bytes) {
  auto word = [](const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
  };
  return {word(bytes), word(bytes + 4)};
}

void PutWord(std::vector<unsigned char>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

std::optional<std::vector<unsigned char>> ReadValue() {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMailAccountKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = REG_NONE;
  DWORD size = 0;
  std::optional<std::vector<unsigned char>> value;
  if (RegQueryValueEx(key, "Password", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_BINARY &&
      size <= kMaxValue) {
    std::vector<unsigned char> data(size);
    if (RegQueryValueEx(key, "Password", nullptr, &type, data.data(), &size) == ERROR_SUCCESS &&
        size == data.size())
      value = std::move(data);
  }
  RegCloseKey(key);
  return value;
}

bool WriteValue(const std::vector<unsigned char>& data) {
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kMailAccountKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                     &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueEx(key, "Password", 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

// The plain text of a value: everything after the vector, deciphered.
std::optional<std::string> Decipher(std::vector<unsigned char> value, const std::string& keyText) {
  if (value.size() < 2 * kBlock || value.size() % kBlock != 0) return std::nullopt;
  Crypt::Block chain = ReadBlock(value.data());
  unsigned char* text = value.data() + kBlock;
  const std::size_t size = value.size() - kBlock;
  Crypt(keyText.c_str()).Decrypt(text, static_cast<std::uint32_t>(size), chain);
  if (std::memcmp(text, kMarker.data(), kMarker.size()) != 0) return std::nullopt;
  std::uint32_t length = ReadBlock(text).right;
  if (length > size - kHeader || size - kHeader - length >= kBlock) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(text + kHeader), length);
}

}  // namespace

std::string PasswordStore::KeyFilePath() { return zplatform::UserConfigDir() + "/mail.key"; }

std::optional<std::string> PasswordStore::Load() {
  std::optional<std::vector<unsigned char>> value = ReadValue();
  if (!value) return std::nullopt;
  std::optional<std::string> key = ReadKeyFile();
  std::optional<std::string> password = key ? Decipher(std::move(*value), *key) : std::nullopt;
  if (!password)
    Warn("the stored password (HKEY_CURRENT_USER\\" + std::string(kMailAccountKey) +
         "\\Password) cannot be read with the key in " + KeyFilePath() + "; it is not used");
  return password;
}

bool PasswordStore::Save(std::string_view password) {
  if (password.size() > kMaxPassword) {
    Warn("the password is too long to be remembered");
    return false;
  }
  std::optional<std::string> key = ReadKeyFile();
  if (!key) key = CreateKeyFile();
  std::vector<unsigned char> value(kBlock);
  if (!key || !RandomBytes(value.data(), kBlock)) return false;

  std::vector<unsigned char> plain(kMarker.begin(), kMarker.end());
  PutWord(plain, static_cast<std::uint32_t>(password.size()));
  plain.insert(plain.end(), password.begin(), password.end());
  plain.resize((plain.size() + kBlock - 1) / kBlock * kBlock, 0);

  Crypt::Block chain = ReadBlock(value.data());
  value.resize(kBlock + plain.size());
  Crypt(key->c_str()).Encrypt(value.data() + kBlock, plain.data(), static_cast<std::uint32_t>(plain.size()), chain);
  std::fill(plain.begin(), plain.end(), 0);
  if (WriteValue(value)) return true;
  Warn("cannot store the password in " + zplatform::UserHivePath());
  return false;
}

}  // namespace mapi32
