// Values of the user's mail account, HKEY_CURRENT_USER\Software\Zerth\Mail.
#pragma once

#include <zplatform/Registry.h>

#include <gtest/gtest.h>

#include <string>

namespace testaccount {

inline void SetAccountValue(const std::string& name, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zerth\\Mail", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                           nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueEx(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

}  // namespace testaccount
