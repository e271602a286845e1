// The mailing run without widgets: a recording sender in place of the mail
// layer.
#include "mailing/MailingRun.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Call = std::tuple<std::string, std::string, std::string>;  // address, subject, text

}  // namespace

TEST(MailingRunTest, OneMessagePerRecipientInTableOrderWithTheNamePutIn) {
  CContactArray table;
  table.Add(CContact("ann@example.org", "Ann"));
  table.Add(CContact("bad", "Bob"));
  table.Add(CContact("cy@example.org", "<NAME>"));

  std::vector<Call> sent;
  const MailingRun run("Hi <NAME>", "Dear <NAME>, <name>, <NAME>!\n", "-- for <NAME>",
                       [&sent](const std::string& address, const std::string& subject, const std::string& text) {
                         sent.emplace_back(address, subject, text);
                         return address == "bad" ? MAPI_E_UNKNOWN_RECIPIENT : SUCCESS_SUCCESS;
                       });
  std::vector<std::pair<std::string, std::uint32_t>> seen;
  CResultMap results;
  run.Run(table, results, [&](const CContact& c, std::uint32_t code) { seen.emplace_back(c.m_sAddress, code); });

  // The subject stays as typed; a name that is itself "<NAME>" is not
  // replaced again; a failure does not stop the run.
  EXPECT_EQ(sent, (std::vector<Call>{
                      {"ann@example.org", "Hi <NAME>", "Dear Ann, <name>, Ann!\n-- for Ann"},
                      {"bad", "Hi <NAME>", "Dear Bob, <name>, Bob!\n-- for Bob"},
                      {"cy@example.org", "Hi <NAME>", "Dear <NAME>, <name>, <NAME>!\n-- for <NAME>"},
                  }));
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::uint32_t>>{
                      {"ann@example.org", 0}, {"bad", MAPI_E_UNKNOWN_RECIPIENT}, {"cy@example.org", 0}}));
  std::uint32_t code = 99;
  EXPECT_EQ(results.GetCount(), 3);
  EXPECT_TRUE(results.Lookup("bad", code));
  EXPECT_EQ(code, MAPI_E_UNKNOWN_RECIPIENT);
}

// The footer's "<NAME>" counts even when the placeholder is split between
// the end of the body and the start of the footer: they are one text.
TEST(MailingRunTest, BodyAndFooterAreOneText) {
  const MailingRun run("T", "ab<NA", "ME>cd", {});
  EXPECT_EQ(run.TextFor("Zoe"), "abZoecd");
}
