// The REGEDIT4 text form of a hive, read and written so that every value
// comes back byte for byte:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Zerth]
//   @="default value"
//   "VerboseMode"=dword:00000001
//   "Blob"=hex:00,ff,10
//   "Odd text"=hex(1):61,0a,62,00
//
// REG_SZ is written as "text" only when it is printable UTF-8 ending in one
// zero byte; any other REG_SZ data (control bytes, bytes that are not UTF-8,
// a missing or inner zero) is written as hex(1):. Value names escape \ and "
// as regedit does, and write control bytes and, in names that are not UTF-8,
// every byte above 0x7F as \xHH. Sections naming HKEY_CLASSES_ROOT are read as
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes. Comment lines (;) and CR LF line ends
// are accepted on reading; the writer emits LF, keys in registry order and
// values in the order they were added, so comments do not survive a rewrite.
#pragma once

#include "RegistryHive.h"

#include <zplatform/Registry.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace zplatform::registry {

inline constexpr std::string_view kCurrentUserRoot = "HKEY_CURRENT_USER";
inline constexpr std::string_view kLocalMachineRoot = "HKEY_LOCAL_MACHINE";
inline constexpr std::string_view kClassesRootPath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";

struct HiveParseError {
  std::size_t line = 0;
  std::string what;
};

// Reads a whole hive file. Anything that is not a well-formed hive (wrong
// first line, a line of no known kind, bad escapes or hex, a dword without
// exactly 8 hex digits, text ending inside a line, ...) fails with the line
// and the reason; hive is then incomplete and must not be used.
[[nodiscard]] bool ParseHive(std::string_view text, RegistryHive& hive, HiveParseError& error);

std::string FormatHive(const RegistryHive& hive);

// A key name as the registry accepts it: not empty, at most 255 bytes, no
// backslash and no control bytes (the text form has no escape for them).
bool IsValidKeyName(std::string_view name);

// Key names joined by single backslashes ("Software\Zerth").
bool IsValidKeyPath(std::string_view path);

}  // namespace zplatform::registry
