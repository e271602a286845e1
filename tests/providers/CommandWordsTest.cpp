// How SendmailCommand is split into the program and its arguments.
#include "CommandWords.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(CommandWords, SplitsLikeAShellWithoutRunningOne) {
  struct Case {
    const char* line;
    std::optional<Words> want;
  };
  const Case cases[] = {
      {"/usr/sbin/sendmail -i", Words{"/usr/sbin/sendmail", "-i"}},
      {"  msmtp\t--host=a \n ", Words{"msmtp", "--host=a"}},
      {"msmtp '--passwordeval=echo a b'", Words{"msmtp", "--passwordeval=echo a b"}},
      {R"(a "b \"c\" \\ \d" e)", Words{"a", R"(b "c" \ \d)", "e"}},
      {R"(a\ b c\'d)", Words{"a b", "c'd"}},
      {"a '' \"\" b", Words{"a", "", "", "b"}},
      {"pre'quo ted'post", Words{"prequo tedpost"}},
      {"$HOME *.txt a|b", Words{"$HOME", "*.txt", "a|b"}},
      {"", Words{}},
      {"a 'open", std::nullopt},
      {"a \"open", std::nullopt},
      {"a \\", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(mapi32::SplitCommandWords(c.line), c.want) << c.line;
}

}  // namespace
