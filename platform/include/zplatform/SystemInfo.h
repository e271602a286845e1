// System queries behind the library's system information: which system and
// kernel, how much memory, and the local disks. All of it from Linux itself:
// os-release(5), uname(2), sysinfo(2), /proc/self/mountinfo, /sys/dev/block
// and statvfs(3). Every file read is capped in size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zplatform {

// The platform the version query reports: always Linux here.
inline constexpr std::string_view kLinuxPlatform = "Linux";

struct SystemVersion {
  std::string platform = std::string(kLinuxPlatform);
  std::string distribution;   // PRETTY_NAME of os-release, "Linux" when it has none
  std::string kernelRelease;  // uname's release, such as "6.1.0-18-amd64"; empty if unknown
};

SystemVersion QuerySystemVersion();

// PRETTY_NAME of the os-release file below root ("/" for the system's):
// etc/os-release, or usr/lib/os-release when that one does not exist;
// "Linux", as os-release(5) says, when the one read names none (or is
// unreadable or over 64 KiB). Quoting and escapes are undone as a shell
// would, the last assignment wins, and a control character becomes a blank.
std::string DistributionName(const std::string& root = "/");

// Bytes of physical memory (sysinfo's total RAM), 0 when unknown.
std::uint64_t TotalPhysicalMemory();

struct LocalDisk {
  std::string mountPoint;
  std::uint64_t totalBytes = 0;  // 0 when statvfs fails
};

// The mounted file systems that live on a local disk, in mount order. A
// mount is listed when its device (the device number of /proc/self/mountinfo
// or, when that is a virtual one as btrfs gives, the block device named as
// its source) is in /sys/dev/block, is not removable (its removable flag, or
// its disk's for a partition, is 0), and is not a loop, RAM, network block,
// floppy or optical device (loop*, ram*, zram*, nbd*, fd*, sr*). So pseudo
// and network file systems, which have no block device, never appear. Each
// device is listed once, at its first mount; a mount point that is not a
// folder (a file bound in place) or is hidden under a later mount, or holds
// a control character, is skipped. At most 256 disks.
std::vector<LocalDisk> LocalDisks();

}  // namespace zplatform
