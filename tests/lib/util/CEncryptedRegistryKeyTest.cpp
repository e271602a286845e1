// CEncryptedRegistryKey: the stored bytes, what reads back and what does not,
// and a value written by another process.
#include "TestEnv.h"

#include <zerth/CEncryptedRegistryKey.h>
#include <zerth/Crypt.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;
constexpr const char* kPath = "Software\\Zerth\\Secrets";

class EncryptedValueTest : public ::testing::Test {
protected:
  EncryptedValueTest() { EXPECT_EQ(m_key.Create(CRegistryKey::Root::CurrentUser, kPath), ERROR_SUCCESS); }
  // The value as the registry holds it: type and bytes.
  std::pair<DWORD, std::string> Stored(const char* name) const {
    DWORD type = REG_NONE, size = 1024;
    std::string data(size, '\0');
    EXPECT_EQ(RegQueryValueEx(m_key.GetKey(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size), 0);
    return {type, data.substr(0, size)};
  }
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str()};
  CEncryptedRegistryKey m_key{"secret key"};
};

// The length byte, then the zero-padded value in CBC from a zero block.
TEST_F(EncryptedValueTest, StoresLengthByteAndPaddedCipherTextAndReadsBack) {
  for (const std::size_t length : {5u, 8u, 9u, 255u}) {
    const std::string value(length, 'v');
    ASSERT_EQ(m_key.EncryptAndWrite("v", value), 1) << length;
    std::string expected = value + std::string((8 - length % 8) % 8, '\0');
    Crypt::Block chain{0, 0};
    Crypt("secret key").Encrypt(reinterpret_cast<unsigned char*>(expected.data()), expected.size(), chain);
    EXPECT_EQ(Stored("v"), std::make_pair(REG_BINARY, char(length) + expected)) << length;
    EXPECT_STREQ(m_key.ReadAndDecrypt("v"), value.c_str());
  }
}

// Nothing but a value this class wrote reads back; a failed read leaves the
// caller's array and the result buffer as they were.
TEST_F(EncryptedValueTest, RefusesWhatItCannotStoreOrRead) {
  EXPECT_EQ(m_key.Open(CRegistryKey::Root::CurrentUser, "Software\\Missing"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(m_key.EncryptAndWrite("kept", "kept"), 1) << "a failed Open keeps the key held";
  const char* text = m_key.ReadAndDecrypt("kept");
  EXPECT_EQ(m_key.EncryptAndWrite("long", std::string(256, 'x')), 0) << "the length byte cannot say 256";
  EXPECT_EQ(m_key.EncryptAndWrite("empty", ""), 1);
  EXPECT_EQ(Stored("empty").second, std::string(1, '\0'));
  // Sizes that belie their length bytes, and a text that would not.
  const std::tuple<const char*, DWORD, std::string> foreign[] = {
      {"padded", REG_BINARY, "\x03" + std::string(16, 'x')},
      {"short", REG_BINARY, "\xc8" + std::string(8, 'x')},
      {"text", REG_SZ, "\x0f" + std::string(15, 'x') + '\0'}};
  for (const auto& [name, type, data] : foreign)
    ASSERT_EQ(RegSetValueEx(m_key.GetKey(), name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                            DWORD(data.size())), 0);
  for (const char* name : {"long", "empty", "padded", "short", "text", "missing"}) {
    Bytes data{42};
    EXPECT_EQ(m_key.ReadAndDecrypt(name, data), 0) << name;
    EXPECT_EQ(data, Bytes{42}) << name;
    EXPECT_EQ(m_key.ReadAndDecrypt(name), nullptr) << name;
  }
  EXPECT_STREQ(text, "kept");
  CEncryptedRegistryKey closed("secret key");
  Bytes data;
  EXPECT_EQ(closed.EncryptAndWrite("kept", "x") + closed.ReadAndDecrypt("kept", data), 0);
  EXPECT_EQ(closed.ReadAndDecrypt("kept"), nullptr);
}

TEST_F(EncryptedValueTest, AnotherKeyTextReadsMeaninglessBytesOfTheRightLength) {
  ASSERT_EQ(m_key.EncryptAndWrite("v", Bytes{1, 2, 3, 4, 5}), 1);
  CEncryptedRegistryKey other("another key");
  ASSERT_EQ(other.Open(CRegistryKey::Root::CurrentUser, kPath), ERROR_SUCCESS);
  Bytes data;
  EXPECT_EQ(other.ReadAndDecrypt("v", data), 1);
  EXPECT_EQ(data.size(), 5u);
  EXPECT_NE(data, (Bytes{1, 2, 3, 4, 5}));
}

// A second process changes the value this one has just read.
TEST_F(EncryptedValueTest, ReadsAValueAnotherProcessWrote) {
  ASSERT_EQ(m_key.EncryptAndWrite("shared", "mine"), 1);
  ASSERT_STREQ(m_key.ReadAndDecrypt("shared"), "mine");
  const pid_t child = ::fork();
  if (child == 0) {
    CEncryptedRegistryKey writer("secret key");
    ::_exit(writer.Open(CRegistryKey::Root::CurrentUser, kPath) == 0 && writer.EncryptAndWrite("shared", "theirs")
                ? 0
                : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0);
  EXPECT_STREQ(m_key.ReadAndDecrypt("shared"), "theirs");
}

}  // namespace
