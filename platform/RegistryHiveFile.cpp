// Locked, atomic access to a hive file.
#include "RegistryHiveFile.h"

#include "RegistryHiveFormat.h"

#include <zplatform/AtomicFile.h>
#include <zplatform/StaleFiles.h>
#include <zplatform/UniqueFd.h>
#include <zplatform/WholeFile.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zplatform::registry {
namespace {

using zplatform::UniqueFd;

LONG ErrorFromErrno(int err, LONG otherwise) {
  return (err == EACCES || err == EPERM || err == EROFS) ? ERROR_ACCESS_DENIED : otherwise;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Lock(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Like mkdir -p, but every folder made is private to the user (0700).
LONG MakeDirectories(const std::string& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_CANTWRITE;
  for (std::size_t end = 1; end <= dir.size(); ++end) {
    if (end != dir.size() && dir[end] != '/') continue;
    const std::string part = dir.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return ErrorFromErrno(errno, ERROR_CANTWRITE);
  }
  return ERROR_SUCCESS;
}

// One line per damaged file and state of it, so a program that asks again
// and again (the verbose switch is read before every network step) does
// not flood the terminal.
void ReportDamage(const std::string& path, const struct stat& st, const std::string& detail) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  std::string identity = path + '\n' + detail + '\n' + std::to_string(st.st_ino) + ':' +
                         std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
                         std::to_string(st.st_mtim.tv_nsec);
  std::lock_guard<std::mutex> guard(mutex);
  if (!reported.insert(std::move(identity)).second) return;
  std::fprintf(stderr, "zerth registry: %s: %s; the file is left as it is and changes to it are refused\n",
               path.c_str(), detail.c_str());
}

// The temporary files that WriteAtomically makes: the hive's name, a dot,
// six characters of mkostemps's alphabet and ".tmp". The suffix keeps a
// user's own "user.reg.backup" or "user.reg.old123" from ever looking like
// one of ours.
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kRandomChars = 6;

bool IsTemporaryOf(std::string_view name, std::string_view base) {
  if (name.size() != base.size() + 1 + kRandomChars + kTemporarySuffix.size() || !name.starts_with(base) ||
      name[base.size()] != '.' || !name.ends_with(kTemporarySuffix)) {
    return false;
  }
  for (const char c : name.substr(base.size() + 1, kRandomChars)) {
    const bool alphabet = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alphabet) return false;
  }
  return true;
}

// Removes the temporary files that writers killed between mkostemp and
// rename left behind, each a whole copy of the hive. Called under the
// exclusive lock: every writer holds it for as long as its temporary file
// exists, so a temporary file seen now belongs to a writer that is gone.
// Best effort: what cannot be removed is left for the next writer.
void RemoveStaleTemporaries(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  RemoveStaleFiles(DirectoryOf(path), FolderLink::Follow,
                   [&base](std::string_view name, const struct stat&) { return IsTemporaryOf(name, base); });
}

// Parsed hives kept between reads. The registry is read one value at a time
// (a mail account is a dozen values, read again for every message of a run),
// and reading and parsing the whole file for each value was most of that
// cost. A kept parse is given out again while the file at the path has the
// identity it had when it was read: device, inode, size, modification and
// change time. Writers rename a new file into place, so each write makes a
// new inode; an edit in place changes the change time, which no program can
// set back.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::timespec modified{}, changed{};

  explicit FileIdentity(const struct stat& st)
      : device(st.st_dev), inode(st.st_ino), size(st.st_size), modified(st.st_mtim), changed(st.st_ctim) {}
  bool operator==(const FileIdentity& other) const {
    const auto same = [](const std::timespec& a, const std::timespec& b) {
      return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return device == other.device && inode == other.inode && size == other.size &&
           same(modified, other.modified) && same(changed, other.changed);
  }
};

// Two changes within one tick of the file system's clock can leave the same
// time stamps, so a parse is kept only when the file's last change lies a
// clear tick before the moment its reading began: every later change then
// carries a later stamp. File systems that stamp whole seconds (FAT even
// two) show no nanoseconds; the kernel's clock for stamps lags by at most a
// scheduler tick (10 ms at the slowest).
bool SettledBefore(const std::timespec& changed, const std::timespec& readingBegan) {
  const long long margin = changed.tv_nsec != 0 ? 20'000'000LL : 2'000'000'000LL;
  const auto nanoseconds = [](const std::timespec& t) { return t.tv_sec * 1'000'000'000LL + t.tv_nsec; };
  return nanoseconds(changed) + margin < nanoseconds(readingBegan);
}

class HiveCache {
public:
  std::shared_ptr<const RegistryHive> Find(const std::string& path, const FileIdentity& identity) {
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_entries.find(path);
    return found != m_entries.end() && found->second.identity == identity ? found->second.hive : nullptr;
  }
  void Keep(const std::string& path, const FileIdentity& identity, std::shared_ptr<const RegistryHive> hive) {
    // A program reads one or two hives; tests and odd callers may name many.
    constexpr std::size_t kMaxEntries = 8;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_entries.size() >= kMaxEntries && !m_entries.contains(path)) m_entries.clear();
    m_entries.insert_or_assign(path, Entry{identity, std::move(hive)});
  }
  void Forget(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries.erase(path);
  }

private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<const RegistryHive> hive;
  };
  std::mutex m_mutex;
  std::map<std::string, Entry> m_entries;
};

HiveCache& Cache() {
  static HiveCache cache;
  return cache;
}

}  // namespace

LONG RegistryHiveFile::Read(std::shared_ptr<const RegistryHive>& hive) const {
  struct stat now {};
  if (::stat(m_path.c_str(), &now) == 0 && S_ISREG(now.st_mode)) {
    if (auto kept = Cache().Find(m_path, FileIdentity(now))) {
      hive = std::move(kept);
      return ERROR_SUCCESS;
    }
  }
  std::timespec readingBegan{};
  ::clock_gettime(CLOCK_REALTIME, &readingBegan);
  // Writers replace the file by rename, so a reader never sees half a file;
  // the shared lock only keeps reads out of the middle of a change. Without
  // a lock file (nothing written yet, or a folder we cannot write) the read
  // goes ahead unlocked.
  UniqueFd lock(::open((m_path + ".lock").c_str(), O_RDONLY | O_CLOEXEC));
  if (lock) Lock(lock.get(), LOCK_SH);
  auto fresh = std::make_shared<RegistryHive>();
  struct stat identity {};
  if (LONG rc = Load(*fresh, &identity); rc != ERROR_SUCCESS) return rc;
  // identity stays zero for a missing file: an empty hive, not kept.
  if (identity.st_ino != 0 && SettledBefore(identity.st_ctim, readingBegan))
    Cache().Keep(m_path, FileIdentity(identity), fresh);
  hive = std::move(fresh);
  return ERROR_SUCCESS;
}

LONG RegistryHiveFile::Modify(const Change& change) const {
  if (LONG rc = MakeDirectories(DirectoryOf(m_path)); rc != ERROR_SUCCESS) return rc;
  UniqueFd lock(::open((m_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock) return ErrorFromErrno(errno, ERROR_CANTWRITE);
  if (!Lock(lock.get(), LOCK_EX)) return ERROR_CANTWRITE;

  RegistryHive hive;
  if (LONG rc = Load(hive); rc != ERROR_SUCCESS) return rc;
  bool changed = false;
  if (LONG rc = change(hive, changed); rc != ERROR_SUCCESS || !changed) return rc;
  const std::string text = FormatHive(hive);
  if (text.size() > kMaxHiveBytes) return ERROR_OUTOFMEMORY;
  Cache().Forget(m_path);  // the new file has another identity; the old parse only takes room
  return WriteAtomically(text);
}

LONG RegistryHiveFile::Load(RegistryHive& hive, struct stat* identity) const {
  // O_NONBLOCK: a FIFO in the hive's place must not stall the open; it is
  // refused below like any other file that is not a regular one.
  UniqueFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return errno == ENOENT ? ERROR_SUCCESS : ErrorFromErrno(errno, ERROR_CANTREAD);
  // The file's identity for ReportDamage, so that one state of it is reported once.
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return ERROR_CANTREAD;
  if (identity) *identity = st;

  std::string text;
  switch (ReadWholeFd(fd.get(), kMaxHiveBytes, text)) {
    case WholeFileStatus::Ok: break;
    case WholeFileStatus::NotRegularFile:
      ReportDamage(m_path, st, "not a regular file");
      return ERROR_CANTREAD;
    case WholeFileStatus::TooLarge:
      ReportDamage(m_path, st, "larger than " + std::to_string(kMaxHiveBytes >> 20) + " MiB");
      return ERROR_BADDB;
    case WholeFileStatus::NotFound:
    case WholeFileStatus::CannotOpen:
    case WholeFileStatus::ReadError: return ERROR_CANTREAD;
  }

  HiveParseError error;
  if (!ParseHive(text, hive, error)) {
    ReportDamage(m_path, st, "line " + std::to_string(error.line) + ": " + error.what);
    return ERROR_BADDB;
  }
  return ERROR_SUCCESS;
}

LONG RegistryHiveFile::WriteAtomically(const std::string& text) const {
  static_assert(kRandomChars == kAtomicTempRandomChars, "RemoveStaleTemporaries must know the temporary names");
  // First, so that the space they take is free for this write.
  RemoveStaleTemporaries(m_path);
  // 0600: the hive is private from its first byte.
  const AtomicWriteResult result = WriteFileAtomically(m_path, text, 0600, kTemporarySuffix);
  return result.ok() ? ERROR_SUCCESS : ErrorFromErrno(result.error, ERROR_CANTWRITE);
}

}  // namespace zplatform::registry
