// tarvo-send as a script runs it, against the real SMTP server: bad input, a dry run, a stopped run
// resumed and discarded, and a run killed twenty times at random moments and resumed each time.
#include "../AppTestKit.h"
#include "MailAccountValues.h"
#include "SmtpTestServer.h"
#include "mailing/RunJournal.h"
#include "mailing/SignatureFooter.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <random>
#include <thread>

namespace fs = std::filesystem;
using providertest::UniqueAddress;

namespace {

class TarvoSendTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const auto& [name, value] : std::vector<std::pair<const char*, std::string>>{
             {"From", "Tester <tester@example.org>"}, {"Transport", "smtp"}, {"Server", m_server.plainUrl()},
             {"StartTLS", "when offered"}, {"ConnectTimeout", "5"}, {"Timeout", "5"}})
      testaccount::SetAccountValue(name, value);
    testenv::WriteFile(m_body, "Dear <NAME>\n");
  }
  std::string file(const std::string& name, const std::string& bytes) { return apptest::WriteIn(m_home.path(), name, bytes); }
  // Starts tarvo-send with its output in out.txt and err.txt.
  pid_t start(std::vector<std::string> args) {
    args.insert(args.begin(), TARVO_RUNTIME_DIR "/tarvo-send");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string out = (m_home.path() / "out.txt").string(), err = (m_home.path() / "err.txt").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  static int wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  int run(const std::vector<std::string>& args) { return wait(start(args)); }
  std::string out(const char* name = "out.txt") const { return testenv::ReadFile(m_home.path() / name); }
  std::string err() const { return out("err.txt"); }
  std::vector<std::string> mailing(const fs::path& contacts, const std::string& flag = "--report") const {
    std::vector<std::string> args{"--contacts", contacts, "--title", "T", "--body", m_body, "--report", m_report};
    if (flag != "--report") args.push_back(flag);
    return args;
  }
  bool reportEndsWith(const std::vector<std::pair<std::string, std::uint32_t>>& codes) const {  // these rows exactly
    return testenv::ReadFile(m_report).ends_with(apptest::ReportRows(codes) + "</table>\n</html>");
  }

  apptest::PrivateHome m_home;
  bool m_strings = (tarvo::RegisterStrings(), true);
  providertest::SmtpTestServer m_server;
  const fs::path m_body = m_home.path() / "body.txt", m_report = m_home.path() / "report.html";
};

TEST_F(TarvoSendTest, BadInputGetsTheDialogsMessagesAndStatus2) {
  const std::string contacts = file("c.txt", "ann@example.org\n"), blank = file("blank.txt", "\n \n");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "tarvo-send: --contacts is required\nTry 'tarvo-send --help' for more information.\n"},
      {{"--contacts", contacts, "--title", "T", "--body", m_body, "--bogus"}, "unknown option --bogus"},
      {{"--contacts", contacts, "--title"}, "--title needs a value"},
      {{"--contacts", contacts, "--title=T", "--body", m_body, "--layout", "x"}, "--layout is address, address-name"},
      {{"--contacts", contacts, "--title", "T", "--body", m_body, "--resume", "--discard"}, "cannot be used together"},
      {{"--contacts", contacts, "--title", "T", "--body", ""}, "You have not selected a source file"},
      {{"--contacts", contacts, "--title", "", "--body", m_body}, "Message title is empty."},
      {{"--contacts", "/nonexistent", "--title", "T", "--body", m_body}, "Unable to open source file\n"},
      {{"--contacts", blank, "--title", "T", "--body", m_body}, "Selected Contacts list is empty."},
      {{"--contacts", contacts, "--title", "T", "--body", "/nonexistent"}, "Can't open message source file.\n"},
      {{"--contacts", contacts, "--title", "T", "--body", m_body, "--resume"}, "No stopped mailing of these"},
  };
  for (const auto& [args, message] : cases) EXPECT_TRUE(run(args) == 2 && err().find(message) != std::string::npos) << err();
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_TRUE(out().starts_with("Usage: tarvo-send --contacts FILE")) << out();
}

// The account's server is one that never answers: only the outbox can make this run succeed.
TEST_F(TarvoSendTest, DryRunWritesEveryMessageIntoTheOutbox) {
  testaccount::SetAccountValue("Server", "smtp://127.0.0.1:" + m_server.value("QUIRKS_SILENT_PORT"));
  const fs::path contacts = file("c.txt", "Ann;ann@x\nBob;bob@x\nAnn again;ann@x\n");
  std::vector<std::string> args = mailing(contacts, "--dry-run");
  args.insert(args.end(), {"--layout", "name-address", "--separator", ";"});
  EXPECT_EQ(run(args), 0) << err();
  const fs::directory_iterator outbox(m_home.path() / "data/zerth/Outbox/new");
  EXPECT_EQ(std::distance(outbox, fs::directory_iterator()), 2);  // the repeated address merged away
  EXPECT_TRUE(out().ends_with("Delivery report: " + m_report.string() + "\n")) << out();
  EXPECT_FALSE(fs::exists(m_home.path() / "state/zerth/runs"));
}

// A run stopped after Ann's result and Cy's start: refused without a choice, resumed to those not
// tried (Cy in doubt, never re-sent), or discarded and sent anew.
TEST_F(TarvoSendTest, AStoppedRunIsResumedOrDiscarded) {
  const std::string ann = UniqueAddress("ann"), cy = UniqueAddress("cy"), bob = UniqueAddress("refuse-bob"),
                    dan = UniqueAddress("dan");
  const fs::path contacts = file("c.txt", ann + "\n" + cy + "\n" + bob + "\n" + dan + "\n");
  std::string footer;
  ASSERT_EQ(ReadSignatureFooter(TARVO_RUNTIME_DIR "/key.sig", kFooterKey, footer), FooterStatus::Ok);
  const auto stop = [&] {
    std::optional<RunJournal> journal;
    ASSERT_EQ(RunJournal::Create(RunJournal::DefaultFolder(), "T", MailingDigest("Dear <NAME>\n", footer),
                                 apptest::ArrayOf({{ann, ann}, {cy, cy}, {bob, bob}, {dan, dan}}), journal),
              JournalStatus::Ok);
    ASSERT_TRUE(journal->RecordStarted(0) && journal->RecordResult(0, 0) && journal->RecordStarted(1));
  };
  stop();
  EXPECT_EQ(run(mailing(contacts)), 2);
  EXPECT_EQ(err(), "A mailing to 4 recipients stopped after 2.\nRun the same command with --resume to send to the 2 "
                   "recipient(s) not yet tried, or with --discard to send the mailing anew to everyone.\n");
  EXPECT_EQ(run(mailing(contacts, "--resume")), 1);
  EXPECT_TRUE(reportEndsWith({{ann, 0}, {cy, kResultInDoubt}, {bob, MAPI_E_UNKNOWN_RECIPIENT}, {dan, 0}}));
  for (const auto& [address, count] : {std::pair{ann, 0u}, std::pair{cy, 0u}, std::pair{bob, 0u}, std::pair{dan, 1u}})
    EXPECT_EQ(m_server.messagesFor(address).size(), count) << address;

  stop();
  const fs::path good = file("good.txt", ann + "\n" + cy + "\n" + dan + "\n");
  EXPECT_EQ(run(mailing(good)), 0) << err();  // another mailing: not held up by the stopped one
  EXPECT_EQ(run(mailing(contacts, "--discard")), 1);
  for (const auto& [address, count] : {std::pair{ann, 2u}, std::pair{cy, 2u}, std::pair{dan, 3u}})
    EXPECT_EQ(m_server.messagesFor(address).size(), count) << address;
  EXPECT_EQ(RunJournal::FindUnfinished(RunJournal::DefaultFolder()).size(), 0u);
}

// Killed twenty times, each a random instant after the server took a random number of messages,
// and resumed: everyone not in doubt has exactly one copy, at most one in doubt per kill, none two.
TEST_F(TarvoSendTest, KilledTwentyTimesAndResumedEachTimeNobodyGetsTwo) {
  const unsigned seed = std::getenv("TARVO_KILL_SEED") ? unsigned(std::atoi(std::getenv("TARVO_KILL_SEED"))) : 1207u;
  SCOPED_TRACE("TARVO_KILL_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::vector<std::string> addresses;
  std::string lines;
  for (int i = 0; i < 300; ++i) lines += addresses.emplace_back(UniqueAddress("kill")) + "\n";
  const fs::path contacts = file("c.txt", lines), runs = m_home.path() / "state/zerth/runs";
  const auto resumable = [&runs] { return !RunJournal::FindUnfinished(runs.string()).empty(); };
  // Messages the server has taken: a kill just after one lands where a start recorded too late
  // would let the message go out twice.
  const std::string taken = "kill." + std::to_string(::getpid()) + ".";
  const auto delivered = [&] {
    long n = 0;
    for (const auto& entry : fs::directory_iterator(m_server.value("SMTP_SPOOL")))
      n += entry.path().filename().string().starts_with(taken);
    return n;
  };
  int kills = 0;
  for (; kills < 20; ++kills) {
    const long target = delivered() + std::uniform_int_distribution<long>(0, 12)(random);
    const auto pause = std::chrono::microseconds(std::uniform_int_distribution<int>(0, 1000)(random));
    const pid_t pid = start(mailing(contacts, resumable() ? "--resume" : "--report"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (siginfo_t ended{}; delivered() < target && std::chrono::steady_clock::now() < deadline; ended = {})
      if (::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid != 0) break;
      else std::this_thread::sleep_for(std::chrono::microseconds(100));
    std::this_thread::sleep_for(pause);
    ::kill(pid, SIGKILL);
    if (wait(pid) != -SIGKILL) break;  // it had ended on its own
  }
  ASSERT_EQ(kills, 20);
  EXPECT_LE(run(mailing(contacts, resumable() ? "--resume" : "--report")), 1) << err();

  std::optional<RunJournal> journal;
  std::string path;
  for (const auto& entry : fs::directory_iterator(runs))
    if (entry.path().extension() == ".journal") path = entry.path().string();
  ASSERT_EQ(RunJournal::Open(path, journal), JournalStatus::Ok);
  ASSERT_TRUE(journal->Content().finished);
  std::vector<std::pair<std::string, std::uint32_t>> expected;
  int inDoubt = 0;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const bool doubt = journal->Content().entries[i].state == JournalEntry::InDoubt;
    inDoubt += doubt;
    const std::size_t copies = m_server.messagesFor(addresses[i]).size();
    EXPECT_TRUE(doubt ? copies <= 1 : copies == 1) << addresses[i] << " has " << copies;
    expected.emplace_back(addresses[i], doubt ? kResultInDoubt : 0);
  }
  EXPECT_LE(inDoubt, kills);
  EXPECT_TRUE(reportEndsWith(expected)) << "one report for the whole mailing";
}

}  // namespace
