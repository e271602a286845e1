// Locked, atomic access to a hive file.
#include "RegistryHiveFile.h"

#include "RegistryHiveFormat.h"

#include <zplatform/AtomicFile.h>
#include <zplatform/StaleFiles.h>
#include <zplatform/UniqueFd.h>
#include <zplatform/WholeFile.h>

#include <cerrno>
#include <cstdio>
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

}  // namespace

LONG RegistryHiveFile::Read(RegistryHive& hive) const {
  // Writers replace the file by rename, so a reader never sees half a file;
  // the shared lock only keeps reads out of the middle of a change. Without
  // a lock file (nothing written yet, or a folder we cannot write) the read
  // goes ahead unlocked.
  UniqueFd lock(::open((m_path + ".lock").c_str(), O_RDONLY | O_CLOEXEC));
  if (lock) Lock(lock.get(), LOCK_SH);
  return Load(hive);
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
  return WriteAtomically(text);
}

LONG RegistryHiveFile::Load(RegistryHive& hive) const {
  // O_NONBLOCK: a FIFO in the hive's place must not stall the open; it is
  // refused below like any other file that is not a regular one.
  UniqueFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return errno == ENOENT ? ERROR_SUCCESS : ErrorFromErrno(errno, ERROR_CANTREAD);
  // The file's identity for ReportDamage, so that one state of it is reported once.
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return ERROR_CANTREAD;

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
