// The mailing run without widgets: a recording sender in place of the mail layer.
#include "../AppTestKit.h"
#include "mailing/MailingRun.h"

#include <zerth/mapi.h>

#include <gtest/gtest.h>

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
