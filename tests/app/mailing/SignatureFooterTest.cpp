#include "mailing/SignatureFooter.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

namespace {

// A sealed footer file with the length N (little-endian, the first 4 bytes) forged and a tail added.
std::string Sealed(const std::string& text, std::int64_t forgedLength = -1, const std::string& tail = {}) {
  std::string file = SealSignatureFooter(text, kFooterKey);
  for (int i = 0; forgedLength >= 0 && i < 4; ++i) file[std::size_t(i)] = char((forgedLength >> (8 * i)) & 0xFF);
  return file + tail;
}

TEST(SignatureFooterTest, SealsPinnedBytesAndReadsByTheLengthRules) {
  // N = 20, then the text and 4 zero bytes enciphered by the cipher's plain reference implementation.
  const std::string pinnedText = "--\nSent with Tarvo.\n";
  const std::string pinnedFile("\x14\x00\x00\x00\x45\xef\x7f\xa3\xf1\x27\x42\x25\x10\x4f\x40\x78\x61\x39\x49\x20"
                               "\x2e\xa9\x32\x08\x15\xa1\xa5\x02", 28);
  EXPECT_EQ(Sealed(pinnedText), pinnedFile);
  const std::string text = "--\nSent to <NAME> with Tarvo\n", big(100000, 'x');  // 29 bytes: a partial last block
  const std::tuple<const char*, std::string, FooterStatus, std::string> cases[] = {
      {"whole footer", Sealed(text), FooterStatus::Ok, text},
      {"pinned bytes", pinnedFile, FooterStatus::Ok, pinnedText},
      {"first bytes only", Sealed(text, 4), FooterStatus::Ok, "--\nS"},
      // 8 enciphered bytes, then 3 outside any whole block, taken as stored.
      {"trailing partial block", Sealed("ABCDEFGH", 11, "xyz"), FooterStatus::Ok, "ABCDEFGHxyz"},
      {"N = 0", Sealed(text, 0), FooterStatus::BadFormat, ""},
      {"N negative", Sealed(text, 0xFFFFFFFF), FooterStatus::BadFormat, ""},
      {"N = 100000", Sealed(big), FooterStatus::Ok, big},
      {"N = 100001", Sealed(big + "y"), FooterStatus::BadFormat, ""},
      {"N beyond the data", Sealed(text, 33), FooterStatus::BadFormat, ""},
      {"three bytes", std::string("\x05\x00\x00", 3), FooterStatus::CannotRead, ""},
  };
  testenv::TempDir dir;
  const auto path = dir.path() / "key.sig";
  for (const auto& [what, file, status, expected] : cases) {
    testenv::WriteFile(path, file);
    std::string footer = "unchanged";
    EXPECT_EQ(ReadSignatureFooter(path.string(), kFooterKey, footer), status) << what;
    EXPECT_EQ(footer, status == FooterStatus::Ok ? expected : "unchanged") << what;
  }
  std::string footer;
  EXPECT_EQ(ReadSignatureFooter((dir.path() / "missing.sig").string(), kFooterKey, footer), FooterStatus::CannotOpen);
  EXPECT_EQ(ReadSignatureFooter(dir.str(), kFooterKey, footer), FooterStatus::CannotRead);
}

}  // namespace
