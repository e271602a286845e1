#include "mailing/RunJournal.h"

#include "TarvoStrings.h"

#include <zplatform/AtomicFile.h>
#include <zplatform/FdIo.h>
#include <zplatform/ProgramDir.h>
#include <zplatform/StaleFiles.h>

#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

namespace {

constexpr std::string_view kMagic = "tarvo run journal 1";
constexpr std::string_view kSuffix = ".journal";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr char kHex[] = "0123456789abcdef";
// Far beyond the journal of any mailing (ten million recipients take some
// 600 MB): a bigger file is not read into memory.
constexpr off_t kMaxJournalBytes = off_t{1} << 30;

std::string Sha256Hex(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  const bool ok = ctx && EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) && EVP_DigestUpdate(ctx, a.data(), a.size()) &&
                  EVP_DigestUpdate(ctx, b.data(), b.size()) && EVP_DigestUpdate(ctx, c.data(), c.size()) &&
                  EVP_DigestFinal_ex(ctx, digest.data(), &size);
  EVP_MD_CTX_free(ctx);
  if (!ok) throw std::bad_alloc();  // OpenSSL fails here only for want of memory
  std::string hex;
  for (unsigned int i = 0; i < size && i < digest.size(); ++i) (hex += kHex[digest[i] >> 4]) += kHex[digest[i] & 15];
  return hex;
}

// Any bytes on one line without spaces: control bytes, space, '%' and DEL as
// %XX; everything else, UTF-8 included, as it is.
std::string Encode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == '%' || byte == 0x7F) (out += '%') += kHex[byte >> 4], out += kHex[byte & 15];
    else out += c;
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Decode(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

// The text after "key ", when line begins with it.
bool Field(std::string_view line, std::string_view key, std::string_view& value) {
  if (line.size() <= key.size() || !line.starts_with(key) || line[key.size()] != ' ') return false;
  value = line.substr(key.size() + 1);
  return true;
}

// A whole decimal number, as written by this file: no sign, no spaces.
template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// Splits off the next line; false when no line feed ends it.
bool NextLine(std::string_view& rest, std::string_view& line) {
  const auto feed = rest.find('\n');
  if (feed == std::string_view::npos) return false;
  line = rest.substr(0, feed);
  rest.remove_prefix(feed + 1);
  return true;
}

JournalStatus ParseHeader(std::string_view& rest, JournalContent& content) {
  const std::string_view start = rest;
  std::string_view line, value;
  std::size_t count = 0;
  if (!NextLine(rest, line) || line != kMagic) return JournalStatus::Damaged;
  if (!NextLine(rest, line) || !Field(line, "title", value) || !Decode(value, content.title))
    return JournalStatus::Damaged;
  if (!NextLine(rest, line) || !Field(line, "digest", value)) return JournalStatus::Damaged;
  content.digest = value;
  if (!NextLine(rest, line) || !Field(line, "recipients", value) || !ParseNumber(value, count) ||
      count > rest.size() / 2)  // each recipient takes at least " \n"
    return JournalStatus::Damaged;
  content.recipients.Reserve(static_cast<int>(count));
  for (std::size_t i = 0; i < count; ++i) {
    CContact contact;
    if (!NextLine(rest, line)) return JournalStatus::Damaged;
    const auto space = line.find(' ');
    if (space == std::string_view::npos || !Decode(line.substr(0, space), contact.m_sAddress) ||
        !Decode(line.substr(space + 1), contact.m_sName))
      return JournalStatus::Damaged;
    content.recipients.Add(std::move(contact));
  }
  const std::string_view header = start.substr(0, start.size() - rest.size());
  if (!NextLine(rest, line) || !Field(line, "check", value) || value != Sha256Hex(header))
    return JournalStatus::Damaged;
  content.entries.assign(count, {});
  return JournalStatus::Ok;
}

// Applies one whole record; false for one that does not fit the story so far.
bool ApplyRecord(std::string_view line, JournalContent& content) {
  std::string_view value;
  std::size_t index = 0;
  if (line == "F") return content.finished = true;
  if (Field(line, "S", value)) {
    if (!ParseNumber(value, index) || index >= content.entries.size()) return false;
    JournalEntry& entry = content.entries[index];
    // A second start is a resumed run sending to one in doubt, by the user's choice.
    if (entry.state == JournalEntry::Done) return false;
    entry.state = JournalEntry::InDoubt;
    return true;
  }
  if (!Field(line, "R", value)) return false;
  const auto space = value.find(' ');
  std::uint32_t code = 0;
  if (space == std::string_view::npos || !ParseNumber(value.substr(0, space), index) ||
      !ParseNumber(value.substr(space + 1), code) || index >= content.entries.size() ||
      content.entries[index].state != JournalEntry::InDoubt)
    return false;
  content.entries[index] = {JournalEntry::Done, code};
  return true;
}

// Taken while journals are made, looked for or removed, so that a program
// looking never sees a new journal before its maker holds it, nor resumes one
// that is being removed.
class FolderLock {
public:
  explicit FolderLock(const std::string& folder)
      : m_fd(::open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (m_fd) ::flock(m_fd.get(), LOCK_EX);
  }

private:
  zplatform::UniqueFd m_fd;  // closing it releases the lock
};

// A name whose order is the order of making: seconds and nanoseconds, fixed width, then the process.
std::string NewJournalName() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  std::array<char, 64> name{};
  std::snprintf(name.data(), name.size(), "%012lld-%09lld-%d", static_cast<long long>(ns / 1000000000),
                static_cast<long long>(ns % 1000000000), static_cast<int>(::getpid()));
  return std::string(name.data()) + std::string(kSuffix);
}

}  // namespace

int JournalContent::Count(JournalEntry::State state) const {
  const auto inState = [state](const JournalEntry& entry) { return entry.state == state; };
  return static_cast<int>(std::count_if(entries.begin(), entries.end(), inState));
}

std::string MailingDigest(std::string_view body, std::string_view footer) {
  std::array<char, 8> length{};
  for (std::size_t i = 0; i < length.size(); ++i) length[i] = static_cast<char>((body.size() >> (8 * i)) & 0xFF);
  return Sha256Hex(std::string_view(length.data(), length.size()), body, footer);
}

std::string JournalHeader(std::string_view title, std::string_view digest, const CContactArray& recipients) {
  std::string header = std::string(kMagic) + "\ntitle " + Encode(title) + "\ndigest " + Encode(digest) +
                       "\nrecipients " + std::to_string(recipients.GetSize()) + "\n";
  for (int i = 0; i < recipients.GetSize(); ++i)
    header += Encode(recipients[i].m_sAddress) + " " + Encode(recipients[i].m_sName) + "\n";
  return header + "check " + Sha256Hex(header) + "\n";
}

JournalStatus ParseJournal(std::string_view bytes, JournalContent& content) {
  content = {};
  std::string_view rest = bytes, line;
  if (const JournalStatus status = ParseHeader(rest, content); status != JournalStatus::Ok) return status;
  content.validLength = bytes.size() - rest.size();
  while (!content.finished && NextLine(rest, line)) {
    if (!ApplyRecord(line, content)) return JournalStatus::Damaged;
    content.validLength = bytes.size() - rest.size();
  }
  return JournalStatus::Ok;
}

std::string GroupedNumber(int number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

std::string StoppedMailingText(const JournalContent& content) {
  const std::string text = tarvo::Text(tarvo::IDS_RUN_STOPPED);
  return tarvo::Put(tarvo::Put(text, "%1", GroupedNumber(content.recipients.GetSize())), "%2",
                    GroupedNumber(content.TriedCount()));
}

std::string RunJournal::DefaultFolder() { return zplatform::UserStateDir() + "/runs"; }

JournalStatus RunJournal::Create(const std::string& folder, std::string_view title, std::string_view digest,
                                 const CContactArray& recipients, std::optional<RunJournal>& journal) {
  std::error_code ec;
  // A folder made now must outlive a power loss too, or its first journal would.
  if (std::filesystem::create_directories(folder, ec))
    for (std::filesystem::path up = folder; up.has_relative_path() && up != up.parent_path(); up = up.parent_path()) {
      const zplatform::UniqueFd dir(::open(up.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (!dir || ::fsync(dir.get()) != 0) break;
    }
  const FolderLock lock(folder);
  const std::string path = folder + "/" + NewJournalName();
  const std::string header = JournalHeader(title, digest, recipients);
  if (!zplatform::WriteFileAtomically(path, header, 0600, kTempSuffix).ok()) return JournalStatus::CannotWrite;
  zplatform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return JournalStatus::CannotWrite;
  JournalContent content;
  if (ParseJournal(header, content) != JournalStatus::Ok) return JournalStatus::CannotWrite;
  // The maker holds the list: a second copy would only cost memory (some
  // 13 MB for 100,000 recipients).
  content.recipients = CContactArray();
  journal = RunJournal(path, std::move(fd), std::move(content));
  return JournalStatus::Ok;
}

JournalStatus RunJournal::Open(const std::string& path, std::optional<RunJournal>& journal) {
  zplatform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
  if (!fd) return JournalStatus::CannotOpen;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return JournalStatus::Busy;
  struct stat info {};
  // Removed between the open and the lock: the remover held it.
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink == 0) return JournalStatus::CannotOpen;
  if (info.st_size > kMaxJournalBytes) return JournalStatus::Damaged;
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  if (zplatform::ReadFully(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    return JournalStatus::CannotOpen;
  JournalContent content;
  if (const JournalStatus status = ParseJournal(bytes, content); status != JournalStatus::Ok) return status;
  if (content.validLength < bytes.size() &&
      (::ftruncate(fd.get(), static_cast<off_t>(content.validLength)) != 0 || ::fdatasync(fd.get()) != 0))
    return JournalStatus::CannotWrite;
  journal = RunJournal(path, std::move(fd), std::move(content));
  return JournalStatus::Ok;
}

std::vector<RunJournal> RunJournal::FindUnfinished(const std::string& folder) {
  std::vector<RunJournal> found;
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return found;
  const FolderLock lock(folder);
  // Temporary files of makers that died before their rename.
  const auto hourAgo = std::time(nullptr) - 3600;
  const auto stale = [hourAgo](std::string_view name, const struct stat& info) {
    return name.ends_with(kTempSuffix) && info.st_mtime < hourAgo;
  };
  zplatform::RemoveStaleFiles(folder, zplatform::FolderLink::Refuse, stale);
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.path().filename().string().ends_with(kSuffix)) paths.push_back(entry.path().string());
  std::sort(paths.rbegin(), paths.rend());  // names sort by the time they were made
  for (const std::string& path : paths) {
    std::optional<RunJournal> journal;
    if (Open(path, journal) == JournalStatus::Ok && !journal->m_content.finished) found.push_back(std::move(*journal));
  }
  return found;
}

bool RunJournal::Append(const std::string& record) {
  const std::string bytes = std::exchange(m_pending, {}) + record;
  m_broken = m_broken || !zplatform::WriteFully(m_fd.get(), bytes) || ::fdatasync(m_fd.get()) != 0;
  return !m_broken;
}

bool RunJournal::RecordStarted(int index) {
  if (!Append("S " + std::to_string(index) + "\n")) return false;
  m_content.entries.at(static_cast<std::size_t>(index)).state = JournalEntry::InDoubt;
  return true;
}

bool RunJournal::RecordResult(int index, std::uint32_t code) {
  if (m_broken) return false;
  m_content.entries.at(static_cast<std::size_t>(index)) = {JournalEntry::Done, code};
  m_pending += "R " + std::to_string(index) + " " + std::to_string(code) + "\n";
  return true;
}

bool RunJournal::Flush() { return m_pending.empty() ? !m_broken : Append({}); }

bool RunJournal::RecordFinished() { return Append("F\n") && (m_content.finished = true); }

bool RunJournal::Discard() {
  const std::string folder = std::filesystem::path(m_path).parent_path().string();
  const FolderLock lock(folder);
  const bool removed = ::unlink(m_path.c_str()) == 0;
  m_fd.close();
  return removed;
}
