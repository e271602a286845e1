// CEncryptedRegistryKey: the stored bytes, what reads back (also when another
// process wrote it) and what does not.
#include "TestEnv.h"

#include <zerth/CEncryptedRegistryKey.h>
#include <zerth/Crypt.h>

#include <gtest/gtest.h>

#include <tuple>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;
constexpr const char* kPath = "Software\\Zerth\\Secrets";

class EncryptedValueTest : public ::testing::Test {
protected:
  EncryptedValueTest() { EXPECT_EQ(m_key.Create(CRegistryKey::Root::CurrentUser, kPath), ERROR_SUCCESS); }
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str()};
  CEncryptedRegistryKey m_key{"secret key"};
};

// The length byte, then the zero-padded value in CBC from a zero block;
// under another key text the same number of other bytes.
TEST_F(EncryptedValueTest, StoresLengthByteAndPaddedCipherTextAndReadsBack) {
  CEncryptedRegistryKey other("another key");
  ASSERT_EQ(other.Open(CRegistryKey::Root::CurrentUser, kPath), ERROR_SUCCESS);
  for (const std::size_t length : {5u, 8u, 9u, 255u}) {
    const std::string value(length, 'v');
    ASSERT_EQ(m_key.EncryptAndWrite("v", value), 1) << length;
    std::string expected = value + std::string((8 - length % 8) % 8, '\0'), stored(300, '\0');
    Crypt::Block chain{0, 0};
    Crypt("secret key").Encrypt(reinterpret_cast<unsigned char*>(expected.data()), expected.size(), chain);
    DWORD type = REG_NONE, size = 300;
    RegQueryValueEx(m_key.GetKey(), "v", nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &size);
    EXPECT_EQ(std::make_pair(type, stored.substr(0, size)), std::make_pair(REG_BINARY, char(length) + expected));
    EXPECT_STREQ(m_key.ReadAndDecrypt("v"), value.c_str());
    Bytes garbage;
    EXPECT_TRUE(other.ReadAndDecrypt("v", garbage) && garbage.size() == length && garbage != Bytes(length, 'v'));
  }
  // A second process changes the value this one has just read.
  if (const pid_t child = ::fork(); child == 0) {
    CEncryptedRegistryKey writer("secret key");
    ::_exit(writer.Open(CRegistryKey::Root::CurrentUser, kPath) || !writer.EncryptAndWrite("v", "theirs"));
  } else {
    int status = -1;
    ASSERT_TRUE(::waitpid(child, &status, 0) == child && status == 0);
  }
  EXPECT_STREQ(m_key.ReadAndDecrypt("v"), "theirs");
}

// Only values this class wrote read back; a failed read changes nothing.
TEST_F(EncryptedValueTest, RefusesWhatItCannotStoreOrRead) {
  EXPECT_EQ(m_key.Open(CRegistryKey::Root::CurrentUser, "Software\\Missing"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(m_key.EncryptAndWrite("kept", "kept"), 1) << "a failed Open keeps the key held";
  const char* text = m_key.ReadAndDecrypt("kept");
  EXPECT_EQ(m_key.EncryptAndWrite("long", std::string(256, 'x')), 0) << "the length byte cannot say 256";
  ASSERT_EQ(m_key.EncryptAndWrite("empty", ""), 1);
  DWORD size = 8;
  BYTE stored[8];
  EXPECT_EQ(RegQueryValueEx(m_key.GetKey(), "empty", nullptr, nullptr, stored, &size), 0);
  EXPECT_EQ(std::make_pair(size, stored[0]), std::make_pair(DWORD{1}, BYTE{0}));
  // Sizes that belie their length bytes, and a text that would not.
  const std::tuple<const char*, DWORD, std::string> foreign[] = {
      {"padded", REG_BINARY, "\x03" + std::string(16, 'x')}, {"short", REG_BINARY, "\xc8" + std::string(8, 'x')},
      {"text", REG_SZ, "\x0f" + std::string(15, 'x') + '\0'}};
  for (const auto& [name, type, data] : foreign)
    ASSERT_EQ(
        RegSetValueEx(m_key.GetKey(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size())),
        0);
  for (const char* name : {"long", "empty", "padded", "short", "text", "missing"}) {
    Bytes data{42};
    EXPECT_EQ(m_key.ReadAndDecrypt(name, data), 0) << name;
    EXPECT_EQ(data, Bytes{42}) << name;
    EXPECT_EQ(m_key.ReadAndDecrypt(name), nullptr) << name;
  }
  EXPECT_STREQ(text, "kept");
  CEncryptedRegistryKey closed("secret key");
  EXPECT_TRUE(!closed.EncryptAndWrite("kept", "x") && !closed.ReadAndDecrypt("kept"));
}

}  // namespace
