// The version and memory queries: uname(2), os-release(5) and sysinfo(2).
#include <zplatform/SystemInfo.h>

#include <cstring>

#include <sys/sysinfo.h>
#include <sys/utsname.h>

namespace zplatform {

SystemVersion QuerySystemVersion() {
  SystemVersion version;
  version.distribution = DistributionName();
  struct utsname names {};
  if (::uname(&names) == 0) version.kernelRelease.assign(names.release, ::strnlen(names.release, sizeof names.release));
  return version;
}

std::uint64_t TotalPhysicalMemory() {
  struct sysinfo info {};
  if (::sysinfo(&info) != 0) return 0;
  return std::uint64_t{info.totalram} * info.mem_unit;
}

}  // namespace zplatform
