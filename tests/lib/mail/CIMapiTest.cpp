// CIMapi against stand-in providers (missing, without entry point, recording)
// and against the real provider writing into a private Maildir.
#include "MailDump.h"
#include "RecordingProvider.h"
#include "TestEnv.h"

#include <zerth/CIMapi.h>

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <tuple>

namespace fs = std::filesystem;
using testenv::ScopedEnv;
using testenv::TempDir;

// Reported once by Error(); Send never calls through; the next object tries
// to load again.
TEST(CIMapiTest, MissingProviderOrEntryPointIsReportedOnceAndSendFails) {
  TempDir emptyPath;
  const std::pair<std::string, unsigned> cases[] = {{emptyPath.str(), 61840u}, {TEST_NOENTRY_DIR, 61841u}};
  for (const auto& [dir, error] : cases) {
    ScopedEnv path("PATH", dir);
    for (int object = 0; object < 2; ++object) {
      CIMapi mapi;
      EXPECT_EQ(mapi.Error(), error) << dir;
      EXPECT_EQ(mapi.Error(), 0u);
      ASSERT_EQ(mapi.To("ann@example.org"), 1);
      EXPECT_EQ(mapi.Send(0), unsigned{MAPI_E_FAILURE});
    }
  }
}

// Modal for the application while it runs: wait cursor, windows disabled,
// the active window as the parent; all restored afterwards.
TEST(CIMapiTest, SendHandsOverEverythingModallyAndReturnsTheProvidersResult) {
  const ScopedEnv path("PATH", TEST_RECORDER_DIR);
  // Kept loaded across CIMapi's own load and unload, so that its record survives.
  const std::unique_ptr<void, int (*)(void*)> provider(::dlopen(TEST_RECORDER_DIR "/libmapi32.so", RTLD_NOW),
                                                       ::dlclose);
  const auto recorded = reinterpret_cast<RecordedCallFn>(::dlsym(provider.get(), "RecordedMapiCall"));
  ASSERT_NE(recorded, nullptr);
  int argc = 1;
  char name[] = "zerth_mail_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QWidget window;
  window.show();
  window.activateWindow();
  QApplication::processEvents();

  const std::string names[] = {"ann@example.org", "bob@example.org", "cy@example.org"};
  const std::string subject = "3 news";  // the recorder answers with code 3
  unsigned result = 0;
  {
    CIMapi mapi;
    ASSERT_EQ(mapi.Error(), 0u);
    EXPECT_EQ(mapi.To(names[0].c_str()) + mapi.To(names[1].c_str()) + mapi.Cc(names[2].c_str()), 3);
    mapi.Subject(subject.c_str());
    std::string body = "Hi";
    mapi.Text(body.c_str());
    body = "changed";  // Text keeps its own copy
    EXPECT_EQ(mapi.Attach("/tmp/a.txt", "a.txt") + mapi.Attach("/tmp/b.txt", nullptr), 2);
    result = mapi.Send(MAPI_DIALOG);
  }
  EXPECT_EQ(result, 3u);
  const RecordedCall* call = recorded();
  EXPECT_EQ(call->calls, 1);
  EXPECT_EQ(call->flags, unsigned{MAPI_DIALOG | MAPI_LOGON_UI});
  EXPECT_EQ(call->subject, subject);
  EXPECT_EQ(call->noteText, "Hi  ");
  EXPECT_EQ(call->attachmentPositions, (std::vector<unsigned>{2, 3}));
  ASSERT_EQ(call->recipients.size(), 3u);
  const unsigned classes[] = {MAPI_TO, MAPI_TO, MAPI_CC};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(call->recipients[i].recipClass, classes[i]);
    EXPECT_EQ(call->recipients[i].name, names[i]);
    EXPECT_TRUE(call->recipients[i].addressIsNull);
  }
  EXPECT_TRUE(call->spareRecipientZeroed);
  EXPECT_TRUE(call->waitCursor);
  EXPECT_FALSE(call->ownerEnabled);
  EXPECT_EQ(call->uiParam, static_cast<unsigned long long>(window.winId()));
  EXPECT_TRUE(window.isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The real provider with a private configuration and outbox.
TEST(CIMapiOutboxTest, RealProviderDeliversIntoTheOutboxMaildir) {
  TempDir config, data, files;
  ScopedEnv path("PATH", TARVO_RUNTIME_DIR), configHome("XDG_CONFIG_HOME", config.str());
  ScopedEnv dataHome("XDG_DATA_HOME", data.str());
  const std::string attachment = (files.path() / "report.bin").string(), bytes("\x00\x01\xff tail", 8);
  testenv::WriteFile(attachment, bytes);
  {
    CIMapi mapi;
    ASSERT_EQ(mapi.Error(), 0u);
    mapi.To("ann@example.org");
    mapi.Subject("Grüße aus Tarvo");
    mapi.Text("Dear Ann,\nsee the file.\n");
    mapi.Attach(attachment.c_str(), "Bericht.bin");
    ASSERT_EQ(mapi.Send(0), 0u);
  }
  const fs::path outbox = data.path() / "zerth" / "Outbox";
  EXPECT_EQ(std::distance(fs::directory_iterator(outbox / "tmp"), fs::directory_iterator()), 0);
  ASSERT_EQ(std::distance(fs::directory_iterator(outbox / "new"), fs::directory_iterator()), 1);
  const testmail::Dump dump = testmail::DumpMail(fs::directory_iterator(outbox / "new")->path(), files.path());
  EXPECT_EQ(dump.one("to"), "<ann@example.org>");
  EXPECT_EQ(dump.one("subject"), "Grüße aus Tarvo");
  EXPECT_EQ(dump.one("body"), "Dear Ann,\nsee the file.\n");
  EXPECT_EQ(dump.all("attachment").size(), 1u);
  EXPECT_TRUE(dump.one("attachment").starts_with("Bericht.bin|")) << dump.one("attachment");
  EXPECT_EQ(testenv::ReadFile(files.path() / "0.bin"), bytes);
}

// HasEmail caches its answer for the whole process, so each scenario runs in
// a child process of its own.
TEST(CIMapiHasEmailTest, AnswersFromProfileAndLibraryAndCachesTheAnswer) {
  TempDir config, emptyPath;
  ScopedEnv configHome("XDG_CONFIG_HOME", config.str());
  auto writeProfile = [&](const char* mapi) {
    testenv::WriteFile(config.path() / "zerth" / "win.ini", std::string("[Mail]\nMAPI=") + mapi + "\n");
  };
  const std::tuple<const char*, std::string, int> cases[] = {
      {"1", TARVO_RUNTIME_DIR, 1}, {"0", TARVO_RUNTIME_DIR, 0}, {"1", emptyPath.str(), 0}};
  for (const auto& [mapi, dir, answer] : cases) {
    ScopedEnv path("PATH", dir);
    writeProfile(mapi);
    EXPECT_EXIT(
        {
          const int first = CIMapi::HasEmail();
          writeProfile(answer ? "0" : "1");  // not looked at again
          std::exit(first == answer && CIMapi::HasEmail() == first ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << mapi << " " << dir;
  }
}
