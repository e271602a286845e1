// The local disks: mounts of /proc/self/mountinfo whose device is a fixed
// block device in /sys/dev/block, sized with statvfs.
#include <zplatform/SystemInfo.h>

#include <zplatform/WholeFile.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <set>
#include <utility>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace zplatform {
namespace {

constexpr std::size_t kMaxMountInfoBytes = 16 * 1024 * 1024;
constexpr std::size_t kMaxDisks = 256;
// Block devices that are no local fixed disk whatever their removable flag says.
constexpr std::array<std::string_view, 6> kNotFixed = {"loop", "ram", "zram", "nbd", "fd", "sr"};

struct Mount {
  dev_t device = 0;
  std::string mountPoint;
  std::string source;
};

// mountinfo writes a blank, tab, line break or backslash in a path as \ and
// three octal digits.
std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && field.size() - i > 3 &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4, [](char c) { return c >= '0' && c <= '7'; })) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (!line.empty()) {
    const std::size_t end = line.find(' ');
    if (end != 0) fields.push_back(line.substr(0, end));
    line.remove_prefix(end == std::string_view::npos ? line.size() : end + 1);
  }
  return fields;
}

// One line: "ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER".
std::optional<Mount> ParseMountLine(std::string_view line) {
  const std::vector<std::string_view> fields = Fields(line);
  const auto dash = std::find(fields.begin(), fields.end(), "-");
  if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3 || dash - fields.begin() < 6)
    return std::nullopt;
  const std::string_view numbers = fields[2];
  const std::size_t colon = numbers.find(':');
  unsigned major = 0, minor = 0;
  if (colon == std::string_view::npos ||
      std::from_chars(numbers.data(), numbers.data() + colon, major).ec != std::errc() ||
      std::from_chars(numbers.data() + colon + 1, numbers.data() + numbers.size(), minor).ec != std::errc())
    return std::nullopt;
  return Mount{makedev(major, minor), Unescape(fields[4]), Unescape(dash[2])};
}

std::string SysBlockDir(dev_t device) {
  return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The block device a mount lives on: its own device number, or, for a file
// system that shows a virtual one (btrfs), the device file named as its source.
std::optional<dev_t> BlockDevice(const Mount& mount) {
  struct stat info {};
  if (::stat(SysBlockDir(mount.device).c_str(), &info) == 0) return mount.device;
  if (!mount.source.starts_with("/dev/") || ::stat(mount.source.c_str(), &info) != 0 || !S_ISBLK(info.st_mode))
    return std::nullopt;
  return info.st_rdev;
}

bool ReadsOne(const std::string& path) {
  std::string text;
  return ReadWholeFile(path, 64, text) == WholeFileStatus::Ok && text.starts_with('1');
}

// A disk that stays: not removable (a partition carries no flag of its own;
// its disk, the folder above, does) and not of a kind that is never fixed.
bool IsFixedDisk(dev_t device) {
  const std::string dir = SysBlockDir(device);
  char target[4096];
  const ssize_t length = ::readlink(dir.c_str(), target, sizeof target - 1);
  if (length <= 0) return false;
  const std::string_view link(target, static_cast<std::size_t>(length));
  const std::string_view name = link.substr(link.rfind('/') + 1);
  if (std::any_of(kNotFixed.begin(), kNotFixed.end(), [&](std::string_view kind) { return name.starts_with(kind); }))
    return false;
  struct stat info {};
  const bool partition = ::stat((dir + "/partition").c_str(), &info) == 0;
  return !ReadsOne(partition ? dir + "/../removable" : dir + "/removable");
}

// The mount point shows this mount's file system (no later mount hides it)
// and is a folder, on one line.
bool IsVisibleFolder(const Mount& mount) {
  if (std::any_of(mount.mountPoint.begin(), mount.mountPoint.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return false;
  struct stat info {};
  return ::stat(mount.mountPoint.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_dev == mount.device;
}

std::uint64_t TotalBytes(const std::string& mountPoint) {
  struct statvfs info {};
  if (::statvfs(mountPoint.c_str(), &info) != 0) return 0;
  return std::uint64_t{info.f_blocks} * info.f_frsize;
}

}  // namespace

std::vector<LocalDisk> LocalDisks() {
  std::vector<LocalDisk> disks;
  std::string text;
  if (ReadWholeFile("/proc/self/mountinfo", kMaxMountInfoBytes, text) != WholeFileStatus::Ok) return disks;
  std::set<dev_t> seen;
  std::string_view rest = text;
  while (!rest.empty() && disks.size() < kMaxDisks) {
    const std::size_t end = rest.find('\n');
    const auto mount = ParseMountLine(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!mount) continue;
    const auto device = BlockDevice(*mount);
    if (!device || seen.count(*device) || !IsFixedDisk(*device) || !IsVisibleFolder(*mount)) continue;
    seen.insert(*device);
    disks.push_back({mount->mountPoint, TotalBytes(mount->mountPoint)});
  }
  return disks;
}

}  // namespace zplatform
