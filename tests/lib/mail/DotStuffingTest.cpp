// DotStuffing: what the client puts inside DATA for a given text.
#include "DotStuffing.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(DotStuffingTest, LeadingDotsDoubledAndLoneLineBreaksMadeCrLf) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {".abc\r\n", "..abc\r\n"},
      {"..\r\n", "...\r\n"},
      {"a.\r\n.\r\nb . c\r\n", "a.\r\n..\r\nb . c\r\n"},
      {" .x\r\n", " .x\r\n"},
      {"a\n.\nb", "a\r\n..\r\nb"},
      {"a\r.\rb", "a\r\n..\r\nb"},
      {"a\n\r.", "a\r\n\r\n.."},
      {".", ".."},
  };
  for (const auto& [text, wire] : cases) EXPECT_EQ(zerth::detail::DotStuff(text), wire) << '"' << text << '"';
}

}  // namespace
