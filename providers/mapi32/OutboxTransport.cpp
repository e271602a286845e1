// Maildir delivery: write in tmp/, sync, link into new/.
#include "OutboxTransport.h"

#include "MapiError.h"
#include <zplatform/FdIo.h>
#include <zplatform/StaleFiles.h>
#include <zplatform/UniqueFd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>

namespace mapi32 {

using zplatform::UniqueFd;

namespace {

[[noreturn]] void FailOnPath(const char* what, const std::string& path, int error) {
  FailWith(MAPI_E_FAILURE, std::string("cannot ") + what + " the outbox " + path + ": " + std::strerror(error));
}

// mkdir -p with mode 0700 for every folder it creates.
void MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) FailOnPath("create", prefix, errno);
    if (slash == std::string::npos) return;
  }
}

// Host part of the name, with the two characters that Maildir readers give a
// meaning ("/" and ":") written as octal escapes, as the format asks.
std::string MaildirHostName() {
  std::array<char, 256> host{};
  if (::gethostname(host.data(), host.size() - 1) != 0 || host[0] == '\0') return "localhost";
  std::string out;
  for (const char* c = host.data(); *c; ++c) {
    if (*c == '/')
      out += "\\057";
    else if (*c == ':')
      out += "\\072";
    else
      out += *c;
  }
  return out;
}

// Makes the directory entries durable as well as the file data.
void SyncFolder(const std::string& folder) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid()) ::fsync(fd.get());
}

// A writer that died between creating its file in tmp/ and linking it into
// new/ leaves the file behind. As Maildir readers do, a file untouched for 36
// hours counts as such a leftover: no writer takes that long.
constexpr time_t kStaleTmpSeconds = 36 * 60 * 60;

// Removes the stale regular files directly in tmpFolder, a real folder (not
// a link to one); anything else there stays.
void RemoveStaleTmpFiles(const std::string& tmpFolder) {
  const time_t staleBefore = ::time(nullptr) - kStaleTmpSeconds;
  zplatform::RemoveStaleFiles(tmpFolder, zplatform::FolderLink::Refuse,
                              [staleBefore](std::string_view, const struct stat& info) {
                                return info.st_mtime < staleBefore;
                              });
}

// Removes a file in tmp/ unless it was handed on.
class TmpFileGuard {
public:
  explicit TmpFileGuard(std::string path) : m_path(std::move(path)) {}
  ~TmpFileGuard() {
    if (!m_path.empty()) ::unlink(m_path.c_str());
  }
  TmpFileGuard(const TmpFileGuard&) = delete;
  TmpFileGuard& operator=(const TmpFileGuard&) = delete;

private:
  std::string m_path;
};

}  // namespace

std::string OutboxTransport::UniqueName() {
  static std::atomic<unsigned long> counter{0};
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return std::to_string(now.tv_sec) + ".M" + std::to_string(now.tv_nsec / 1000) + "P" +
         std::to_string(::getpid()) + "Q" + std::to_string(++counter) + "." + MaildirHostName();
}

void OutboxTransport::deliver(const OutgoingMail& mail) {
  if (m_folder.empty()) FailWith(MAPI_E_FAILURE, "no outbox folder configured");
  makeMaildir();
  RemoveStaleTmpFiles(m_folder + "/tmp");
  std::string name = UniqueName();
  std::string tmpPath = m_folder + "/tmp/" + name;
  std::string newPath = m_folder + "/new/" + name;

  std::string data = mail.bytes(LineEnd::Lf);
  TmpFileGuard guard(tmpPath);
  writeSynced(tmpPath, data);
  publish(tmpPath, newPath);
}

void OutboxTransport::makeMaildir() const {
  MakeFolders(m_folder);
  for (const char* sub : {"/tmp", "/new", "/cur"}) {
    std::string path = m_folder + sub;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) FailOnPath("create", path, errno);
  }
}

void OutboxTransport::writeSynced(const std::string& path, std::string_view data) const {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) FailOnPath("write to", path, errno);
  if (!zplatform::WriteFully(fd.get(), data)) FailOnPath("write to", path, errno);
  if (::fsync(fd.get()) != 0) FailOnPath("write to", path, errno);
  if (fd.close() != 0) FailOnPath("write to", path, errno);
}

void OutboxTransport::publish(const std::string& tmpPath, const std::string& newPath) const {
  // link() rather than rename(): it never replaces a message already in new/.
  // File systems without hard links get rename() of the unique name instead.
  if (::link(tmpPath.c_str(), newPath.c_str()) != 0) {
    int error = errno;
    bool noHardLinks = error == EPERM || error == ENOSYS || error == EOPNOTSUPP;
    if (!noHardLinks) FailOnPath("deliver into", newPath, error);
    if (::rename(tmpPath.c_str(), newPath.c_str()) != 0) FailOnPath("deliver into", newPath, errno);
  }
  SyncFolder(m_folder + "/new");
}

}  // namespace mapi32
