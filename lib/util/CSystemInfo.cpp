// CSystemInfo: the platform's version, memory and disk queries as texts.
#include "zerth/CSystemInfo.h"

#include <zplatform/SystemInfo.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace {

constexpr const char* kShortNames[] = {"Windows 95",      "Windows 98",     "Windows ME",   "Win32S",
                                       "Windows NT 3.51", "Windows NT 4.0", "Windows 2000", "Windows XP"};

// "%d Mb" of whole units of 1,048,576 bytes; past INT_MAX units (2 PiB) the
// figure stays at INT_MAX rather than turn negative.
std::string Megabytes(std::uint64_t bytes) {
  const auto units = static_cast<int>(std::min<std::uint64_t>(bytes >> 20, INT_MAX));
  char text[24];
  std::snprintf(text, sizeof text, "%d Mb", units);
  return text;
}

}  // namespace

CSystemInfo::CSystemInfo() {
  determineOSInfo();
  determineMemoryInfo();
  determineDriveInfo();
}

std::string CSystemInfo::GetOSVersionString() const {
  if (m_eOS < 0 || m_eOS >= static_cast<int>(std::size(kShortNames))) return "Unknown";
  return kShortNames[m_eOS];
}

void CSystemInfo::determineOSInfo() {
  // No Windows version ever runs this: the platform reports Linux, which
  // has no code of its own.
  const zplatform::SystemVersion version = zplatform::QuerySystemVersion();
  m_eOS = Unknown;
  m_sDescription = version.distribution;
  if (!version.kernelRelease.empty()) m_sDescription += ", " + version.platform + " " + version.kernelRelease;
}

void CSystemInfo::determineMemoryInfo() { m_sTotalRam = Megabytes(zplatform::TotalPhysicalMemory()); }

void CSystemInfo::determineDriveInfo() {
  m_sDriveInfo.clear();
  for (const zplatform::LocalDisk& disk : zplatform::LocalDisks())
    m_sDriveInfo += disk.mountPoint + " " + Megabytes(disk.totalBytes) + "\r\n";
}
