// make-keysig: what it writes deciphers back under the footer key, it refuses
// what tarvo would refuse, and the shipped key.sig holds app/res/footer.txt.
#include "CryptTestData.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace crypttest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kFooterKey = "KDW Tansy Lanterns 2.7";

struct ToolRun {
  int exitCode;
  std::string errors;
};

// At most 20 s (then exit status 124), so that a tool that blocks fails the test.
ToolRun RunTool(const fs::path& input, const fs::path& output, const fs::path& errors) {
  const std::string command = std::string("timeout 20 '") + MAKE_KEYSIG + "' '" + input.string() + "' '" +
                              output.string() + "' 2>'" + errors.string() + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, testenv::ReadFile(errors)};
}

// The footer a key.sig holds, deciphered the way tarvo reads it; the test
// fails when the layout is off.
std::string Unseal(const std::string& file) {
  EXPECT_GE(file.size(), 4u);
  if (file.size() < 4) return {};
  Bytes bytes = FromText(file);
  const std::uint32_t n = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                          std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
  const std::size_t cipherLength = bytes.size() - 4;
  EXPECT_EQ(cipherLength % 8, 0u) << "the ciphertext is whole blocks";
  EXPECT_EQ(cipherLength, (std::size_t{n} + 7) / 8 * 8) << "N is the text's length";
  if (n > cipherLength) return {};
  Crypt::Block chain{0, 0};
  Crypt(kFooterKey).Decrypt(bytes.data() + 4, static_cast<std::uint32_t>(cipherLength), chain);
  EXPECT_TRUE(std::all_of(bytes.begin() + 4 + n, bytes.end(), [](unsigned char b) { return b == 0; }))
      << "padding deciphers to zero bytes";
  return std::string(bytes.begin() + 4, bytes.begin() + 4 + n);
}

class MakeKeysig : public testing::Test {
protected:
  testenv::TempDir dir;
  fs::path input = dir.path() / "footer.txt";
  fs::path output = dir.path() / "key.sig";
  fs::path errors = dir.path() / "errors.txt";
};

TEST_F(MakeKeysig, SealsTextsOfEveryBlockShapeSoTheyDecipherBack) {
  const std::string texts[] = {"12345678", "--\nSent to <NAME> with Tarvo.\r\n\t\x01\xff", std::string(100000, 'z')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.size());
    testenv::WriteFile(input, text);
    const ToolRun run = RunTool(input, output, errors);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Unseal(testenv::ReadFile(output)), text);
  }
  // Only the result and our own files remain: no temporary left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST_F(MakeKeysig, RefusesClearlyAndLeavesTheOldFile) {
  const fs::path fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Refusal {
    fs::path path;
    std::optional<std::string> text;  // written to path first, when given
    const char* says;
  };
  const Refusal refusals[] = {{dir.path() / "missing.txt", std::nullopt, "cannot open"},
                              {input, std::string(), "is empty"},
                              {input, std::string(100001, 'z'), "longer than 100000 bytes"},
                              {fifo, std::nullopt, "not a regular file"}};
  for (const Refusal& r : refusals) {
    if (r.text) testenv::WriteFile(r.path, *r.text);
    testenv::WriteFile(output, "previous");
    const ToolRun run = RunTool(r.path, output, errors);
    EXPECT_NE(run.exitCode, 0) << r.says;
    EXPECT_NE(run.errors.find(r.says), std::string::npos) << run.errors;
    EXPECT_EQ(testenv::ReadFile(output), "previous");
  }
}

TEST(ShippedKeysig, HoldsTheFooterTextBesideTheProgram) {
  const std::string footer = testenv::ReadFile(fs::path(TARVO_SOURCE_DIR) / "app/res/footer.txt");
  ASSERT_FALSE(footer.empty());
  EXPECT_EQ(Unseal(testenv::ReadFile(fs::path(TARVO_RUNTIME_DIR) / "key.sig")), footer);
}

}  // namespace
