// tarvo-send: the Send command without windows, for scripts and schedulers.
// The same checks and messages as the main dialog and the import dialog (on
// stderr), the same mailing run, mail provider, footer and report, and a
// journal that lets a stopped run be resumed. --help tells the rest.
#include "MergeContacts.h"
#include "TarvoStrings.h"
#include "mailing/DeliveryReport.h"
#include "mailing/MailingRun.h"
#include "mailing/MessageSource.h"
#include "mailing/RunJournal.h"
#include "mailing/SignatureFooter.h"
#include "sources/CContactFileReader.h"

#include <zerth/CZerthUtility.h>
#include <zerth/mapi.h>
#include <zplatform/FdIo.h>
#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>
#include <zplatform/UniqueFd.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tarvo::Put;
using tarvo::Text;

constexpr int kAllSent = 0, kSomeNotSent = 1, kBadInput = 2;

std::atomic<bool> g_cancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int) { g_cancel = true; }

void Say(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

struct Options {
  std::map<std::string, std::string> values;  // "--contacts" -> FILE ...
  bool dryRun = false, resume = false, discard = false, help = false;

  const std::string* Value(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? nullptr : &found->second;
  }
};

// Fills options; on a bad command line the text that says what is wrong.
std::optional<std::string> ParseArguments(int argc, char** argv, Options& options) {
  static const std::string kWithValue[] = {"--contacts", "--layout", "--separator", "--title", "--body", "--report"};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::optional<std::string> inlineValue;
    if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos)
      inlineValue = arg.substr(equals + 1), arg.resize(equals);
    if (std::find(std::begin(kWithValue), std::end(kWithValue), arg) != std::end(kWithValue)) {
      if (!inlineValue && i + 1 >= argc) return Put(Text(tarvo::IDS_SEND_NEEDS_VALUE), "%1", arg);
      options.values[arg] = inlineValue ? *inlineValue : argv[++i];
      continue;
    }
    bool* flag = arg == "--dry-run" ? &options.dryRun
                 : arg == "--resume" ? &options.resume
                 : arg == "--discard" ? &options.discard
                 : arg == "--help"    ? &options.help
                                      : nullptr;
    if (!flag || inlineValue) return Put(Text(tarvo::IDS_SEND_UNKNOWN_OPTION), "%1", argv[i]);
    *flag = true;
  }
  if (options.help) return std::nullopt;
  for (const char* required : {"--contacts", "--title", "--body"})
    if (!options.Value(required)) return Put(Text(tarvo::IDS_SEND_REQUIRED), "%1", required);
  const auto exclusive = [](const char* a, const char* b) {
    return Put(Put(Text(tarvo::IDS_SEND_EXCLUSIVE), "%1", a), "%2", b);
  };
  if (options.resume && options.discard) return exclusive("--resume", "--discard");
  if (options.dryRun && (options.resume || options.discard))
    return exclusive("--dry-run", options.resume ? "--resume" : "--discard");
  return std::nullopt;
}

std::optional<int> LayoutIndex(const std::string& name) {
  if (name == "address") return CContactFileReader::kAddressOnly;
  if (name == "address-name") return CContactFileReader::kAddressThenName;
  if (name == "name-address") return CContactFileReader::kNameThenAddress;
  return std::nullopt;
}

// The import dialog's reading and messages, then the recipient table's merge.
bool ReadContacts(const Options& options, CContactArray& recipients) {
  const std::string* layoutName = options.Value("--layout");
  const std::optional<int> layout = layoutName ? LayoutIndex(*layoutName) : CContactFileReader::kAddressOnly;
  if (!layout) {
    const std::string wrong = Put(Text(tarvo::IDS_SEND_BAD_LAYOUT), "%1", *layoutName);
    Say(stderr, Put(Text(tarvo::IDS_SEND_BAD_ARGUMENT), "%1", wrong));
    return false;
  }
  const std::string* separator = options.Value("--separator");
  const CContactFileReader reader(*layout, separator ? *separator : "|");
  CContactFileReader::Result result = reader.Read(*options.Value("--contacts"));
  switch (result.status) {
    case CContactFileReader::Status::CannotOpen: Say(stderr, Text(tarvo::IDS_IMPORT_CANNOT_OPEN)); return false;
    case CContactFileReader::Status::ReadError: Say(stderr, Text(tarvo::IDS_IMPORT_CANNOT_READ)); return false;
    case CContactFileReader::Status::BadLayout: Say(stderr, Text(tarvo::IDS_IMPORT_BAD_LAYOUT)); return false;
    case CContactFileReader::Status::Completed: break;
  }
  CContactArray imported;
  imported.Reserve(static_cast<int>(result.contacts.size()));
  for (CContact& contact : result.contacts) imported.Add(std::move(contact));
  MergeContacts(recipients, imported);
  Say(stdout, Put(Put(Text(tarvo::IDS_IMPORT_SUMMARY), "%d", std::to_string(result.ImportedCount())), "%d",
                  std::to_string(result.IgnoredCount())));
  if (recipients.IsEmpty()) Say(stderr, Text(tarvo::IDS_NO_RECIPIENTS));
  return !recipients.IsEmpty();
}

// Body and footer as the Send command reads them, with its messages.
bool ReadTexts(const std::string& bodyPath, std::string& body, std::string& footer) {
  if (const SourceStatus status = ReadMessageSource(bodyPath, body); status != SourceStatus::Ok) {
    Say(stderr,
        Text(status == SourceStatus::CannotOpen ? tarvo::IDS_CANNOT_OPEN_SOURCE : tarvo::IDS_CANNOT_READ_SOURCE));
    return false;
  }
  const std::string footerPath = std::string(CZerthUtility::GetAppDir()) + "/key.sig";
  const FooterStatus status = ReadSignatureFooter(footerPath, Text(tarvo::IDS_FOOTER_KEY), footer);
  if (status == FooterStatus::Ok) return true;
  Say(stderr, Text(status == FooterStatus::CannotOpen   ? tarvo::IDS_CANNOT_OPEN_FOOTER
                   : status == FooterStatus::CannotRead ? tarvo::IDS_CANNOT_READ_FOOTER
                                                        : tarvo::IDS_BAD_FOOTER));
  return false;
}

bool SameRecipients(const CContactArray& a, const CContactArray& b) {
  if (a.GetSize() != b.GetSize()) return false;
  for (int i = 0; i < a.GetSize(); ++i)
    if (a[i].m_sAddress != b[i].m_sAddress || a[i].m_sName != b[i].m_sName) return false;
  return true;
}

// The journal the run writes to: a stopped one of this mailing when resuming,
// else a new one. Nothing when the start is refused (the reason is said).
std::optional<RunJournal> JournalFor(const Options& options, const std::string& title, const std::string& digest,
                                     const CContactArray& recipients) {
  const std::string folder = RunJournal::DefaultFolder();
  std::optional<RunJournal> stopped;
  for (RunJournal& journal : RunJournal::FindUnfinished(folder)) {
    const JournalContent& content = journal.Content();
    if (content.title != title || content.digest != digest || !SameRecipients(content.recipients, recipients)) continue;
    if (options.discard) journal.Discard();
    else if (!stopped) stopped = std::move(journal);  // the newest
  }
  if (options.resume && !stopped) Say(stderr, Text(tarvo::IDS_SEND_NOTHING_TO_RESUME));
  if (options.resume) return stopped;
  if (stopped) {
    const JournalContent& content = stopped->Content();
    Say(stderr, StoppedMailingText(content));
    const std::string notTried = GroupedNumber(content.Count(JournalEntry::NotTried));
    Say(stderr, Put(Text(tarvo::IDS_SEND_RESUME_HINT), "%1", notTried));
    return std::nullopt;
  }
  std::optional<RunJournal> journal;
  if (RunJournal::Create(folder, title, digest, recipients, journal) != JournalStatus::Ok)
    Say(stderr, Put(Text(tarvo::IDS_SEND_JOURNAL_FAILED), "%1", folder));
  return journal;
}

// A bar redrawn in place on a terminal, at most ten times a second; a line
// per message elsewhere.
class ProgressDisplay {
public:
  ProgressDisplay() : m_terminal(::isatty(STDOUT_FILENO) == 1) {}
  ~ProgressDisplay() {
    if (m_drawn) std::fputc('\n', stdout);
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  void Before(int index, int total) { m_index = index, m_total = total; }
  void After(const CContact& recipient, std::uint32_t code) {
    if (!m_terminal) {
      std::printf("%d/%d %s: %s\n", m_index + 1, m_total, recipient.m_sAddress.c_str(), DeliveryStatusText(code));
      std::fflush(stdout);
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_drawn && m_index + 1 < m_total && now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now, m_drawn = true;
    constexpr int kWidth = 40;
    const int done = m_total > 0 ? static_cast<int>(static_cast<long long>(m_index + 1) * kWidth / m_total) : kWidth;
    std::printf("\r[%s%s] %d/%d", std::string(static_cast<std::size_t>(done), '#').c_str(),
                std::string(static_cast<std::size_t>(kWidth - done), '.').c_str(), m_index + 1, m_total);
    std::fflush(stdout);
  }

private:
  bool m_terminal;
  bool m_drawn = false;
  int m_index = 0, m_total = 0;
  std::chrono::steady_clock::time_point m_last;
};

// The page where the Send command puts it, or at reportPath; its path is said.
bool WriteReport(const CResultMap& results, const std::string* reportPath) {
  const std::string page = BuildDeliveryReport(
      results, DeliveryReportHeader(Text(tarvo::IDS_REPORT_HEADER), Text(tarvo::IDS_APP_TITLE)),
      Text(tarvo::IDS_REPORT_FOOTER));
  if (reportPath) {
    zplatform::UniqueFd fd(::open(reportPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const bool whole = fd && zplatform::WriteFully(fd.get(), page) && fd.close() == 0;
    Say(whole ? stdout : stderr, Put(Text(whole ? tarvo::IDS_SEND_REPORT : tarvo::IDS_SEND_REPORT_NOT_WRITTEN), "%1",
                                     *reportPath));
    return whole;
  }
  const std::string folder = CZerthUtility::GetAppDir();
  const SavedReport saved = SaveDeliveryReport(page, folder);
  switch (saved.outcome) {
    case SavedReport::Saved: Say(stdout, Put(Text(tarvo::IDS_SEND_REPORT), "%1", saved.path)); return true;
    case SavedReport::Incomplete: Say(stderr, Put(Text(tarvo::IDS_REPORT_INCOMPLETE), "%1", saved.path)); return false;
    case SavedReport::NoFile: break;
  }
  Say(stderr, Put(Put(Text(tarvo::IDS_REPORT_NOT_WRITTEN), "%1", DeliveryReportPath(folder, 0)), "%2",
                  DeliveryReportPath(folder, kMaxReportNumbers - 1)));
  return false;
}

// The outbox transport's folder, as the mail provider finds it.
std::string OutboxFolder() {
  const std::string named = zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Zerth\\Mail", "Outbox");
  return named.empty() ? zplatform::UserDataDir() + "/Outbox" : named;
}

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the program at once
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int Send(const Options& options) {
  const std::string& bodyPath = *options.Value("--body");
  const std::string& title = *options.Value("--title");
  if (bodyPath.empty()) return Say(stderr, Text(tarvo::IDS_NO_SOURCE)), kBadInput;
  if (title.empty()) return Say(stderr, Text(tarvo::IDS_NO_TITLE)), kBadInput;
  CContactArray recipients;
  std::string body, footer;
  if (!ReadContacts(options, recipients) || !ReadTexts(bodyPath, body, footer)) return kBadInput;

  std::optional<RunJournal> journal;
  if (options.dryRun) {
    ::setenv("ZERTH_MAIL_TRANSPORT", "outbox", 1);  // read by the mail provider for each message
  } else {
    journal = JournalFor(options, title, MailingDigest(body, footer), recipients);
    if (!journal) return kBadInput;
    if (const int inDoubt = journal->Content().Count(JournalEntry::InDoubt))
      Say(stderr, Put(Text(tarvo::IDS_SEND_IN_DOUBT), "%1", GroupedNumber(inDoubt)));
  }

  CatchInterrupts();
  CResultMap results;
  MailingRun::Outcome outcome;
  {
    ProgressDisplay display;
    MailingRun::Controls controls;
    controls.journal = journal ? &*journal : nullptr;
    controls.cancel = &g_cancel;
    controls.progress = [&display](int index, int total, const std::string&) { display.Before(index, total); };
    controls.after = [&display](const CContact& recipient, std::uint32_t code) { display.After(recipient, code); };
    outcome = MailingRun(title, std::move(body), std::move(footer)).Run(recipients, results, controls);
  }
  if (outcome == MailingRun::Outcome::Cancelled) Say(stderr, Text(tarvo::IDS_SEND_CANCELLED));
  if (outcome == MailingRun::Outcome::JournalFailed)
    Say(stderr, Put(Text(tarvo::IDS_SEND_JOURNAL_FAILED), "%1", RunJournal::DefaultFolder()));
  if (options.dryRun) Say(stdout, Put(Text(tarvo::IDS_SEND_DRY_RUN), "%1", OutboxFolder()));

  bool allSent = true;
  results.ForEach([&allSent](const std::string&, std::uint32_t code) { allSent = allSent && code == SUCCESS_SUCCESS; });
  const bool reported = WriteReport(results, options.Value("--report"));
  return allSent && reported ? kAllSent : kSomeNotSent;
}

}  // namespace

int main(int argc, char** argv) {
  tarvo::RegisterStrings();
  Options options;
  if (const std::optional<std::string> error = ParseArguments(argc, argv, options)) {
    Say(stderr, Put(Text(tarvo::IDS_SEND_BAD_ARGUMENT), "%1", *error));
    return kBadInput;
  }
  if (options.help) {
    std::fputs(Text(tarvo::IDS_SEND_HELP).c_str(), stdout);
    return kAllSent;
  }
  return Send(options);
}
