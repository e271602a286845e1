// Each registry test gets a private user hive ($XDG_CONFIG_HOME in a fresh
// temporary folder) and a private machine hive, plus short helpers over the
// registry calls.
#pragma once

#include "TestEnv.h"

#include <zplatform/Registry.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

struct KeyCloser {
  void operator()(RegKeyHandle* key) const { RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<RegKeyHandle, KeyCloser>;

struct StoredValue {
  LONG rc = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::string data;
};

class RegistryFixture : public ::testing::Test {
protected:
  RegistryFixture() { zplatform::SetMachineHivePath(MachineHive().string()); }
  ~RegistryFixture() override { zplatform::SetMachineHivePath(""); }

  std::filesystem::path UserHive() const { return m_dir.path() / "config" / "zerth" / "user.reg"; }
  std::filesystem::path MachineHive() const { return m_dir.path() / "machine" / "machine.reg"; }
  const std::filesystem::path& TempPath() const { return m_dir.path(); }

  static OwnedKey Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             disposition),
              ERROR_SUCCESS)
        << "creating " << path;
    return OwnedKey(key);
  }

  static OwnedKey Open(HKEY root, const char* path, REGSAM access = KEY_READ, LONG* rc = nullptr) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyEx(root, path, 0, access, &key);
    if (rc) *rc = result;
    return OwnedKey(key);
  }

  static LONG Set(HKEY key, const char* name, DWORD type, const std::string& data) {
    return RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size()));
  }

  static LONG SetDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }

  // Asks for the size first, then reads exactly that much, as careful
  // Windows callers do.
  static StoredValue Query(HKEY key, const char* name) {
    StoredValue stored;
    DWORD size = 0;
    stored.rc = RegQueryValueEx(key, name, nullptr, &stored.type, nullptr, &size);
    if (stored.rc != ERROR_SUCCESS) return stored;
    stored.data.resize(size);
    stored.rc = RegQueryValueEx(key, name, nullptr, &stored.type, reinterpret_cast<BYTE*>(stored.data.data()), &size);
    stored.data.resize(size);
    return stored;
  }

private:
  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir.path() / "config").string()};
  testenv::ScopedEnv m_machineEnv{"ZERTH_MACHINE_HIVE", ""};
};
