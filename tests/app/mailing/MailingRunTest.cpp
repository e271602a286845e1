// The mailing run without widgets, a recording sender in place of the mail layer; its journal on its
// own and under a run: round trip, torn and damaged files, in doubt, resume, cancel, finished.
#include "../AppTestKit.h"
#include "mailing/MailingRun.h"
#include "mailing/RunJournal.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

// The subject stays as typed; a name that is itself "<NAME>" is not replaced
// again; a failure does not stop the run; each result is told and recorded.
TEST(MailingRunTest, OneMessagePerRecipientInTableOrderWithTheNamePutIn) {
  std::vector<std::string> sent, seen;
  const MailingRun run("Hi <NAME>", "Dear <NAME>, <name>, <NAME>!\n", "-- for <NAME>",
                       [&sent](const std::string& address, const std::string& subject, const std::string& text) {
                         sent.push_back(address + "|" + subject + "|" + text);
                         return address == "bad" ? MAPI_E_UNKNOWN_RECIPIENT : SUCCESS_SUCCESS;
                       });
  CResultMap results;
  run.Run(apptest::ArrayOf({{"ann@x", "Ann"}, {"bad", "Bob"}, {"cy@x", "<NAME>"}}), results,
          [&seen](const CContact& c, std::uint32_t code) { seen.push_back(c.m_sAddress + "|" + std::to_string(code)); });
  EXPECT_EQ(sent, (std::vector<std::string>{"ann@x|Hi <NAME>|Dear Ann, <name>, Ann!\n-- for Ann",
                                            "bad|Hi <NAME>|Dear Bob, <name>, Bob!\n-- for Bob",
                                            "cy@x|Hi <NAME>|Dear <NAME>, <name>, <NAME>!\n-- for <NAME>"}));
  EXPECT_EQ(seen, (std::vector<std::string>{"ann@x|0", "bad|14", "cy@x|0"}));
  std::uint32_t code = 99;
  EXPECT_TRUE(results.GetCount() == 3 && results.Lookup("bad", code) && code == MAPI_E_UNKNOWN_RECIPIENT);
  EXPECT_FALSE(results.Lookup("Bad", code));
  // Body and footer are one text: a "<NAME>" split between them counts.
  EXPECT_EQ(MailingRun("T", "ab<NA", "ME>cd", {}).TextFor("Zoe"), "abZoecd");
}

// Any bytes survive: spaces, '%', line ends, UTF-8, an empty name.
const CContactArray kRecipients =
    apptest::ArrayOf({{"ann@x", "Ann B%20erg\r\n"}, {"b o\tb@x", ""}, {"cy@x", "Cy \xC3\x96kland"}, {"dan@x", "Dan"}});

TEST(RunJournalTest, RecordsSurviveTornTailsAndAResumeSkipsWhatWasDone) {
  tarvo::RegisterStrings();
  testenv::TempDir dir;
  const std::string folder = (dir.path() / "runs").string();
  std::optional<RunJournal> journal;
  ASSERT_EQ(RunJournal::Create(folder, "T\n%", MailingDigest("body", "foot"), kRecipients, journal), JournalStatus::Ok);
  ASSERT_TRUE(journal->RecordStarted(0) && journal->RecordResult(0, 14) && journal->RecordStarted(1));
  EXPECT_TRUE(RunJournal::FindUnfinished(folder).empty());  // held by this run
  const std::string path = journal->Path();
  journal.reset();
  // A crash in the middle of a record: the torn record is cut off before anything is appended.
  std::ofstream(path, std::ios::app) << "R 1 0";

  std::vector<RunJournal> found = RunJournal::FindUnfinished(folder);
  ASSERT_EQ(found.size(), 1u);
  const JournalContent& content = found[0].Content();
  EXPECT_TRUE(content.title == "T\n%" && content.digest == MailingDigest("body", "foot"));
  EXPECT_NE(content.digest, MailingDigest("bod", "yfoot"));
  EXPECT_EQ(apptest::ContactsOf(content.recipients), apptest::ContactsOf(kRecipients));
  EXPECT_TRUE(content.entries[0].state == JournalEntry::Done && content.entries[1].state == JournalEntry::InDoubt);
  EXPECT_EQ(StoppedMailingText(content), "A mailing to 4 recipients stopped after 2.");
  CResultMap results;
  MailingRun::ResultsSoFar(content, results);
  EXPECT_EQ(BuildDeliveryReport(results, "", ""),
            apptest::ReportRows({{"ann@x", 14}, {"b o\tb@x", kResultInDoubt}, {"cy@x", kResultNotSentStopped},
                  {"dan@x", kResultNotSentStopped}}));

  // The resumed run: the done one keeps its result, the one in doubt is not sent, the rest go out
  // until the cancel request; one set of results for the whole mailing, in table order.
  std::vector<std::string> sent;
  std::atomic<bool> cancel = false;
  MailingRun::Controls controls;
  controls.journal = &found[0];
  controls.cancel = &cancel;
  controls.after = [&cancel](const CContact&, std::uint32_t) { cancel = true; };
  const MailingRun run("T", "b", "", [&sent](const std::string& address, const std::string&, const std::string&) {
    sent.push_back(address);
    return 0u;
  });
  results = {};
  EXPECT_EQ(run.Run(kRecipients, results, controls), MailingRun::Outcome::Cancelled);
  EXPECT_EQ(sent, std::vector<std::string>{"cy@x"});
  EXPECT_EQ(BuildDeliveryReport(results, "", ""),
            apptest::ReportRows({{"ann@x", 14}, {"b o\tb@x", kResultInDoubt}, {"cy@x", 0}, {"dan@x", kResultNotSentCancelled}}));
  EXPECT_NE(BuildDeliveryReport(results, "", "").find("Not sent: the mailing was cancelled."), std::string::npos);

  // Going on: a finished journal is no longer offered; discarding removes the file.
  found.clear();  // released before looking again
  found = RunJournal::FindUnfinished(folder);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Content().entries[2].state, JournalEntry::Done);
  cancel = false;
  controls = {};
  controls.journal = &found[0];
  EXPECT_EQ(run.Run(kRecipients, results, controls), MailingRun::Outcome::Completed);
  EXPECT_EQ(sent, (std::vector<std::string>{"cy@x", "dan@x"}));
  found.clear();
  EXPECT_TRUE(RunJournal::FindUnfinished(folder).empty());
  std::optional<RunJournal> finished;
  ASSERT_EQ(RunJournal::Open(path, finished), JournalStatus::Ok);
  EXPECT_TRUE(finished->Content().finished && finished->Discard() && !fs::exists(path));
}

// A header that does not read, or a whole record that does not fit, is refused, never half-used.
TEST(RunJournalTest, DamagedJournalsAreRefused) {
  const std::string header = JournalHeader("T", "d", kRecipients);
  JournalContent content;
  ASSERT_EQ(ParseJournal(header + "S 3\nR 3 0\nS 3", content), JournalStatus::Ok);
  EXPECT_EQ(content.validLength, header.size() + 10);
  const std::string damaged[] = {
      "",
      header.substr(0, header.size() - 1),                              // the check line torn
      std::string(header).replace(header.find("title T"), 7, "title U"),  // a changed byte
      std::string(header).replace(header.find("recipients 4"), 12, "recipients 9"),
      header + "S 4\n",         // no such recipient
      header + "R 0 0\n",       // a result without a start
      header + "S 0\nR 0 x\n",  // not a number
      header + "S 0\nR 0 0\nS 0\n",  // done, then started again
  };
  for (const std::string& bytes : damaged) EXPECT_EQ(ParseJournal(bytes, content), JournalStatus::Damaged) << bytes;
}
