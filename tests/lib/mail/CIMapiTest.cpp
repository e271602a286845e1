// CIMapi against stand-in providers (missing, without entry point, recording)
// and against the real provider writing into a private Maildir.
#include "RecordingProvider.h"
#include "TestEnv.h"

#include <zerth/CIMapi.h>

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using testenv::ScopedEnv;
using testenv::TempDir;

namespace {

// Keeps the recording provider loaded across CIMapi's own load and unload so
// that its record survives the object.
class RecordingProvider {
public:
  RecordingProvider() : m_handle(::dlopen(TEST_RECORDER_DIR "/libmapi32.so", RTLD_NOW)) {}
  ~RecordingProvider() {
    if (m_handle) ::dlclose(m_handle);
  }
  const RecordedCall* call() const {
    auto fn = reinterpret_cast<RecordedCallFn>(::dlsym(m_handle, "RecordedMapiCall"));
    return fn ? fn() : nullptr;
  }
  bool loaded() const { return m_handle != nullptr; }

private:
  void* m_handle;
};

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) files.push_back(entry.path());
  return files;
}

}  // namespace

TEST(CIMapiTest, MissingProviderIsReportedOnceAndSendNeverCallsThrough) {
  TempDir emptyPath;
  ScopedEnv path("PATH", emptyPath.str());
  {
    CIMapi mapi;
    EXPECT_EQ(mapi.Error(), 61840u);
    EXPECT_EQ(mapi.Error(), 0u);
    ASSERT_EQ(mapi.To("ann@example.org"), 1);
    EXPECT_EQ(mapi.Send(0), unsigned{MAPI_E_FAILURE});
  }
  CIMapi again;  // the next object tries to load again
  EXPECT_EQ(again.Error(), 61840u);
}

TEST(CIMapiTest, ProviderWithoutEntryPointGives61841) {
  ScopedEnv path("PATH", TEST_NOENTRY_DIR);
  CIMapi mapi;
  EXPECT_EQ(mapi.Error(), 61841u);
  EXPECT_EQ(mapi.Error(), 0u);
  mapi.To("ann@example.org");
  EXPECT_EQ(mapi.Send(0), unsigned{MAPI_E_FAILURE});
}

TEST(CIMapiTest, SendHandsOverRecipientsTextAttachmentsAndLogonFlag) {
  ScopedEnv path("PATH", TEST_RECORDER_DIR);
  RecordingProvider provider;
  ASSERT_TRUE(provider.loaded());

  const std::string first = "ann@example.org", second = "bob@example.org", copy = "cy@example.org";
  const std::string subject = "3 news";  // the recorder answers with code 3
  unsigned result = 0;
  {
    CIMapi mapi;
    ASSERT_EQ(mapi.Error(), 0u);
    EXPECT_EQ(mapi.To(first.c_str()), 1);
    EXPECT_EQ(mapi.To(second.c_str()), 1);
    EXPECT_EQ(mapi.Cc(copy.c_str()), 1);
    mapi.Subject(subject.c_str());
    std::string body = "Hi";
    mapi.Text(body.c_str());
    body = "changed";  // Text keeps its own copy
    EXPECT_EQ(mapi.Attach("/tmp/a.txt", "a.txt"), 1);
    EXPECT_EQ(mapi.Attach("/tmp/b.txt", nullptr), 1);
    result = mapi.Send(MAPI_DIALOG);
  }
  EXPECT_EQ(result, 3u);

  const RecordedCall* call = provider.call();
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->calls, 1);
  EXPECT_EQ(call->flags, unsigned{MAPI_DIALOG | MAPI_LOGON_UI});
  EXPECT_EQ(call->subject, subject);
  EXPECT_EQ(call->noteText, "Hi  ");
  EXPECT_EQ(call->attachmentPositions, (std::vector<unsigned>{2, 3}));
  ASSERT_EQ(call->recipients.size(), 3u);
  const unsigned classes[] = {MAPI_TO, MAPI_TO, MAPI_CC};
  const std::string names[] = {first, second, copy};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(call->recipients[i].recipClass, classes[i]);
    EXPECT_EQ(call->recipients[i].name, names[i]);
    EXPECT_TRUE(call->recipients[i].addressIsNull);
  }
  EXPECT_TRUE(call->spareRecipientZeroed);
}

TEST(CIMapiTest, SendIsModalForTheApplicationAndRestoresTheWindow) {
  ScopedEnv path("PATH", TEST_RECORDER_DIR);
  RecordingProvider provider;
  int argc = 1;
  char name[] = "zerth_mail_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QWidget window;
  window.show();
  window.activateWindow();
  QApplication::processEvents();

  {
    CIMapi mapi;
    mapi.To("ann@example.org");
    EXPECT_EQ(mapi.Send(0), 0u);
  }
  const RecordedCall* call = provider.call();
  ASSERT_NE(call, nullptr);
  EXPECT_TRUE(call->waitCursor);
  EXPECT_FALSE(call->ownerEnabled);
  EXPECT_EQ(call->uiParam, static_cast<unsigned long long>(window.winId()));
  EXPECT_TRUE(window.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(CIMapiTest, RealProviderDeliversIntoTheOutboxMaildir) {
  TempDir config, data, files;
  ScopedEnv path("PATH", TARVO_RUNTIME_DIR);
  ScopedEnv configHome("XDG_CONFIG_HOME", config.str());
  ScopedEnv dataHome("XDG_DATA_HOME", data.str());
  const std::string attachment = (files.path() / "report.bin").string();
  testenv::WriteFile(attachment, std::string("\x00\x01\xff tail", 8));

  const std::string to = "ann@example.org", subject = "Grüße aus Tarvo";
  {
    CIMapi mapi;
    ASSERT_EQ(mapi.Error(), 0u);
    mapi.To(to.c_str());
    mapi.Subject(subject.c_str());
    mapi.Text("Dear Ann,\nsee the file.\n");
    mapi.Attach(attachment.c_str(), "Bericht.bin");
    ASSERT_EQ(mapi.Send(0), 0u);
  }
  const fs::path outbox = data.path() / "zerth" / "Outbox";
  const auto delivered = FilesIn(outbox / "new");
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_TRUE(FilesIn(outbox / "tmp").empty());

  // An independent parser reads the message back.
  const std::string dump = testenv::RunCommand(
      "/usr/bin/python3 -c '"
      "import email, email.policy, sys\n"
      "m = email.message_from_binary_file(open(sys.argv[1], \"rb\"), policy=email.policy.default)\n"
      "print(m[\"to\"]); print(m[\"subject\"]); print(m.get_body((\"plain\",)).get_content(), end=\"\")\n"
      "for a in m.iter_attachments(): print(a.get_filename(), a.get_content().hex())\n"
      "' " + delivered[0].string());
  EXPECT_EQ(dump, "ann@example.org\nGrüße aus Tarvo\nDear Ann,\nsee the file.\nBericht.bin 0001ff207461696c\n");
}

TEST(CIMapiTest, RefusedRecipientLeavesNoMessageBehind) {
  TempDir config, data;
  ScopedEnv path("PATH", TARVO_RUNTIME_DIR);
  ScopedEnv configHome("XDG_CONFIG_HOME", config.str());
  ScopedEnv dataHome("XDG_DATA_HOME", data.str());
  {
    CIMapi mapi;
    mapi.To("Ann without address");
    mapi.Text("x");
    EXPECT_EQ(mapi.Send(0), unsigned{MAPI_E_UNKNOWN_RECIPIENT});
  }
  EXPECT_TRUE(FilesIn(data.path() / "zerth" / "Outbox" / "new").empty());
}

// HasEmail caches its answer for the whole process, so each scenario runs in
// a child process of its own.
namespace {

void WriteProfile(const TempDir& config, const char* mapiValue) {
  testenv::WriteFile(config.path() / "zerth" / "win.ini", std::string("[Mail]\nMAPI=") + mapiValue + "\n");
}

}  // namespace

TEST(CIMapiHasEmailTest, AnswersFromProfileAndLibraryAndCachesTheAnswer) {
  TempDir config;
  ScopedEnv configHome("XDG_CONFIG_HOME", config.str());
  ScopedEnv path("PATH", TARVO_RUNTIME_DIR);
  WriteProfile(config, "1");
  EXPECT_EXIT(
      {
        const int first = CIMapi::HasEmail();
        WriteProfile(config, "0");  // not looked at again
        std::exit(first == 1 && CIMapi::HasEmail() == 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(CIMapiHasEmailTest, SaysNoWithoutProfileValueOrWithoutLibrary) {
  TempDir config, emptyPath;
  ScopedEnv configHome("XDG_CONFIG_HOME", config.str());
  {
    ScopedEnv path("PATH", TARVO_RUNTIME_DIR);
    WriteProfile(config, "0");
    EXPECT_EXIT(std::exit(CIMapi::HasEmail()), ::testing::ExitedWithCode(0), "");
  }
  {
    ScopedEnv path("PATH", emptyPath.str());
    WriteProfile(config, "1");
    EXPECT_EXIT(std::exit(CIMapi::HasEmail()), ::testing::ExitedWithCode(0), "");
  }
}
