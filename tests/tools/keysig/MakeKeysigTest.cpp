// make-keysig: it writes the footer sealed as the program reads it, it
// refuses what tarvo would refuse, and the shipped key.sig holds
// app/res/footer.txt.
#include "mailing/SignatureFooter.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

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

class MakeKeysig : public testing::Test {
protected:
  testenv::TempDir dir;
  fs::path input = dir.path() / "footer.txt";
  fs::path output = dir.path() / "key.sig";
  fs::path errors = dir.path() / "errors.txt";
};

TEST_F(MakeKeysig, SealsTextsOfEveryBlockShapeAsTheProgramReadsThem) {
  const std::string texts[] = {"12345678", "--\nSent to <NAME> with Tarvo.\r\n\t\x01\xff", std::string(100000, 'z')};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.size());
    testenv::WriteFile(input, text);
    const ToolRun run = RunTool(input, output, errors);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(testenv::ReadFile(output), SealSignatureFooter(text, kFooterKey));
  }
  // Only the result and our own files remain: no temporary left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST_F(MakeKeysig, RefusesClearlyAndLeavesTheOldFile) {
  const fs::path fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path folder = dir.path() / "folder.sig";
  fs::create_directory(folder);
  struct Refusal {
    fs::path path;
    std::optional<std::string> text;  // written to path first, when given
    const char* says;
    fs::path target = {};  // where the tool writes; output when empty
  };
  const Refusal refusals[] = {{dir.path() / "missing.txt", std::nullopt, "cannot open"},
                              {input, std::string(), "is empty"},
                              {input, std::string(100001, 'z'), "longer than 100000 bytes"},
                              {fifo, std::nullopt, "not a regular file"},
                              {input, "text", "cannot create a file beside", dir.path() / "none" / "key.sig"},
                              {input, "text", "cannot write", folder}};
  for (const Refusal& r : refusals) {
    if (r.text) testenv::WriteFile(r.path, *r.text);
    testenv::WriteFile(output, "previous");
    const ToolRun run = RunTool(r.path, r.target.empty() ? output : r.target, errors);
    EXPECT_NE(run.exitCode, 0) << r.says;
    EXPECT_NE(run.errors.find(r.says), std::string::npos) << run.errors;
    EXPECT_EQ(testenv::ReadFile(output), "previous");
  }
}

TEST(ShippedKeysig, HoldsTheFooterTextBesideTheProgram) {
  const std::string footer = testenv::ReadFile(fs::path(TARVO_SOURCE_DIR) / "app/res/footer.txt");
  ASSERT_FALSE(footer.empty());
  EXPECT_EQ(testenv::ReadFile(fs::path(TARVO_RUNTIME_DIR) / "key.sig"), SealSignatureFooter(footer, kFooterKey));
}

}  // namespace
