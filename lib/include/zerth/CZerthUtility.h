// CZerthUtility: static helpers for programs using the library: the folder of
// the running program, and the per-user network verbose mode switch kept in
// the registry (HKEY_CURRENT_USER\Software\Zerth, value "VerboseMode").
#pragma once

#include <zerth/Export.h>

#include <string>

class ZERTH_API CZerthUtility {
public:
  // The directory of the running program's executable (not of this library),
  // without a trailing slash, whatever its length: empty for a program in the
  // root folder, "." when the system cannot tell the executable's path, so
  // that GetAppDir() + "/name" always names a file beside the program (or in
  // the current folder). The text lives in a class-wide buffer
  // that the next call rewrites; callers that keep it copy it.
  static const char* GetAppDir();

  // The switch, read anew on every call: 0 when off, when the key or value is
  // missing or unreadable, or when the value is not exactly four bytes long.
  static int GetVerboseFlag();
  // Stores the switch; fails silently when the key cannot be created.
  static void SetVerboseFlag(int flag);

protected:
  CZerthUtility() = default;
  virtual ~CZerthUtility() = default;

private:
  static std::string m_PathHolder;
};
