// CSystemInfo: a short description of the machine, gathered once by the
// constructor: the system (as a version code, a short name and a longer
// description), the physical memory and the size of each local disk.
//
// On Linux the version code is Unknown and its short name "Unknown" (the
// codes 0 to 7 name the Windows versions of old); the description is the
// distribution's PRETTY_NAME from /etc/os-release (else /usr/lib/os-release;
// "Linux" when neither names it), a comma, and the kernel: "Debian GNU/Linux
// 12 (bookworm), Linux 6.1.0-18-amd64".
#pragma once

#include <zerth/Export.h>

#include <string>

class ZERTH_API CSystemInfo {
public:
  enum e_OS : int {
    Unknown = -1,
    Windows95 = 0,
    Windows98 = 1,
    WindowsME = 2,
    Win32s = 3,
    WindowsNT351 = 4,
    WindowsNT40 = 5,
    Windows2000 = 6,
    WindowsXP = 7,
  };

  // Runs determineOSInfo, determineMemoryInfo and determineDriveInfo, in
  // this order; the values are not refreshed later.
  CSystemInfo();

  e_OS getVersion() const { return m_eOS; }
  std::string getDescription() const { return m_sDescription; }
  // The physical memory in whole units of 1,048,576 bytes: "24105 Mb".
  std::string getTotalRam() const { return m_sTotalRam; }
  // One line per local disk, in mount order: its mount point, a blank, its
  // total size (not its free space) in whole units of 1,048,576 bytes as
  // "%d Mb", and "\r\n"; "/ 258020 Mb\r\n/home 937000 Mb\r\n". A local disk
  // is a mounted file system on a fixed block device: pseudo, network,
  // removable, loop and optical file systems never appear, and a disk
  // mounted twice appears once (zplatform/SystemInfo.h has the whole rule).
  std::string GetDriveInfoString() const { return m_sDriveInfo; }
  // The short name of the version code: "Windows 95" to "Windows XP" for
  // 0 to 7, "Unknown" for any other.
  std::string GetOSVersionString() const;

protected:
  void determineOSInfo();
  void determineMemoryInfo();
  void determineDriveInfo();

private:
  e_OS m_eOS = Unknown;
  std::string m_sDescription;
  std::string m_sTotalRam;
  std::string m_sDriveInfo;
};
