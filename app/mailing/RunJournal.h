// RunJournal: the file in which a mailing run notes what it does, so that a
// run stopped by a crash, a kill or a power loss can be resumed exactly.
//
// The file is created whole, with its header, by an atomic replace: a line
// naming the format, the title, a digest of body and footer, the recipients
// in order and a check sum of these lines. After that it is only appended to:
// "S i" before the message to recipient i goes out, "R i code" after it, and
// "F" when the run is over; each record is on the disk (fdatasync) before the
// caller goes on. A recipient with S but no R is in doubt: the message may or
// may not have left.
//
// While a program works with a journal it holds an exclusive flock on it, so
// two programs never resume the same journal.
#pragma once

#include "CContactArray.h"

#include <zplatform/UniqueFd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the journal says of one recipient.
struct JournalEntry {
  enum State : std::uint8_t { NotTried, InDoubt, Done } state = NotTried;
  std::uint32_t code = 0;  // the result, when Done
};

struct JournalContent {
  std::string title;
  std::string digest;  // MailingDigest of body and footer
  CContactArray recipients;
  std::vector<JournalEntry> entries;  // one per recipient
  bool finished = false;
  // The bytes up to the end of the last whole record: a torn record lies beyond.
  std::size_t validLength = 0;

  int Count(JournalEntry::State state) const;
  // Recipients whose message was started, in doubt or done.
  int TriedCount() const { return static_cast<int>(entries.size()) - Count(JournalEntry::NotTried); }
};

enum class JournalStatus {
  Ok,
  CannotOpen,   // missing, unreadable, or the folder could not be made
  Busy,         // another program holds it
  Damaged,      // a header or a whole record that does not read
  CannotWrite,  // creating, repairing or appending failed
};

// SHA-256 (OpenSSL) of the body's length as 8 bytes, the body and the footer,
// as 64 lower-case hex digits: a changed text never passes for the old one.
std::string MailingDigest(std::string_view body, std::string_view footer);

// The header of a new journal, with its check line.
std::string JournalHeader(std::string_view title, std::string_view digest, const CContactArray& recipients);

// Reads the bytes of a journal file. A last record without its line feed is
// torn (the program stopped while writing it) and is left out.
JournalStatus ParseJournal(std::string_view bytes, JournalContent& content);

// "A mailing to 10,000 recipients stopped after 4,211." for a stopped run.
std::string StoppedMailingText(const JournalContent& content);
// A count as that text writes it: 10000 as "10,000".
std::string GroupedNumber(int number);

class RunJournal {
public:
  // $XDG_STATE_HOME/zerth/runs (default ~/.local/state/zerth/runs).
  static std::string DefaultFolder();

  // A new journal in folder (made when missing), held by this program. Its
  // Content() has the entries but no recipients: the caller has the list.
  static JournalStatus Create(const std::string& folder, std::string_view title, std::string_view digest,
                              const CContactArray& recipients, std::optional<RunJournal>& journal);
  // Opens, locks and reads the journal at path; a torn last record is cut
  // off so that appending goes on after the last whole one.
  static JournalStatus Open(const std::string& path, std::optional<RunJournal>& journal);
  // The unfinished journals of folder that no other program holds, newest
  // first, each held by this program. Damaged ones are left where they are.
  static std::vector<RunJournal> FindUnfinished(const std::string& folder);

  const JournalContent& Content() const { return m_content; }
  const std::string& Path() const { return m_path; }

  // Each appends its record and syncs it; false when that failed, and from
  // then on every record fails too, so that no record follows a broken one.
  // A result is written with the record after it (the next start, the end,
  // or Flush) under one sync: it is still on the disk before the next
  // message starts, and a run syncs once per message instead of twice.
  bool RecordStarted(int index);
  bool RecordResult(int index, std::uint32_t code);
  bool RecordFinished();
  // Writes a result still waiting for the next record.
  bool Flush();

  // Removes the file.
  bool Discard();

private:
  RunJournal(std::string path, zplatform::UniqueFd fd, JournalContent content)
      : m_path(std::move(path)), m_fd(std::move(fd)), m_content(std::move(content)) {}
  bool Append(const std::string& record);

  std::string m_path;
  zplatform::UniqueFd m_fd;  // open for appending, flock'ed
  JournalContent m_content;  // kept up to date by the records
  std::string m_pending;     // a result record waiting for the next record
  bool m_broken = false;
};
