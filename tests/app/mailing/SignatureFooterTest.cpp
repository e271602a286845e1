#include "KeySigFile.h"
#include "mailing/SignatureFooter.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

using testenv::TempDir;

TEST(SignatureFooterTest, SealsPinnedBytesAndReadsByTheLengthRules) {
  const std::string text = "--\nSent to <NAME> with Tarvo\n";  // 29 bytes: a partial last block
  const std::string big(100000, 'x');
  // N = 20 little-endian, then the text and 4 zero bytes enciphered from a
  // zero chaining block: computed with tests/lib/crypto/crypt_reference.py.
  const std::string pinnedText = "--\nSent with Tarvo.\n";
  const std::string pinnedFile(
      "\x14\x00\x00\x00\x45\xef\x7f\xa3\xf1\x27\x42\x25\x10\x4f\x40\x78\x61\x39\x49\x20\x2e\xa9\x32\x08"
      "\x15\xa1\xa5\x02",
      28);
  EXPECT_EQ(SealSignatureFooter(pinnedText, kFooterKey), pinnedFile);
  struct FooterCase {
    const char* what;
    std::string file;
    FooterStatus status;
    std::string footer;
  };
  const FooterCase cases[] = {
      {"whole footer", testkeysig::Make(text), FooterStatus::Ok, text},
      {"pinned bytes", pinnedFile, FooterStatus::Ok, pinnedText},
      {"first bytes only", testkeysig::Make(text, 4), FooterStatus::Ok, "--\nS"},
      {"N = 0", testkeysig::Make(text, 0), FooterStatus::BadFormat, ""},
      {"N negative", testkeysig::Make(text, 0xFFFFFFFF), FooterStatus::BadFormat, ""},
      {"N = 100000", testkeysig::Make(big), FooterStatus::Ok, big},
      {"N = 100001", testkeysig::Make(big + "y"), FooterStatus::BadFormat, ""},
      {"N beyond the data", testkeysig::Make(text, 33), FooterStatus::BadFormat, ""},
      {"three bytes", std::string("\x05\x00\x00", 3), FooterStatus::CannotRead, ""},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const auto path = dir.path() / "key.sig";
    testenv::WriteFile(path, c.file);
    std::string footer = "unchanged";
    EXPECT_EQ(ReadSignatureFooter(path.string(), kFooterKey, footer), c.status) << c.what;
    EXPECT_EQ(footer, c.status == FooterStatus::Ok ? c.footer : "unchanged") << c.what;
  }
  std::string footer;
  EXPECT_EQ(ReadSignatureFooter((dir.path() / "missing.sig").string(), kFooterKey, footer),
            FooterStatus::CannotOpen);
  EXPECT_EQ(ReadSignatureFooter(dir.str(), kFooterKey, footer), FooterStatus::CannotRead);
}

TEST(SignatureFooterTest, TrailingPartialBlockIsTakenAsStored) {
  // 8 enciphered bytes, then 3 bytes outside any whole block; N covers all 11.
  TempDir dir;
  testenv::WriteFile(dir.path() / "key.sig", testkeysig::Make("ABCDEFGH", 11, "xyz"));
  std::string footer;
  ASSERT_EQ(ReadSignatureFooter((dir.path() / "key.sig").string(), kFooterKey, footer), FooterStatus::Ok);
  EXPECT_EQ(footer, "ABCDEFGHxyz");
}
