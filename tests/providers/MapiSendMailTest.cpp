// libmapi32.so loaded as the program loads it, MAPISendMail called with
// hand-built Simple MAPI structures, and every message read back from the
// outbox by Python's email package (dump_mail.py), not by GMime.
#include "ProviderHarness.h"
#include "TestEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <regex>

namespace {

using namespace providertest;
using testenv::ScopedEnv;
using testenv::TempDir;

std::string Sha256(const std::string& data) {
  std::unique_ptr<gchar, decltype(&g_free)> hex(
      g_compute_checksum_for_data(G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(data.data()), data.size()),
      g_free);
  return hex.get();
}

std::string LoginAtHost() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  return std::string(::getpwuid(::geteuid())->pw_name) + "@" + host;
}

class MapiSendMailTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_NE(m_provider.send(), nullptr) << ::dlerror(); }

  LPMAPISENDMAIL sendMail() const { return m_provider.send(); }
  fs::path defaultOutbox() const { return m_home.path() / "data/zerth/Outbox"; }

  // Sends, expects exactly one clean new message in outbox/new, parses it
  // and removes it so that the next send starts clean.
  Dump sendAndDump(TestMessage& message, const fs::path& outbox, FLAGS flags = 0) {
    EXPECT_EQ(message.send(sendMail(), flags), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
    std::vector<fs::path> delivered = FilesIn(outbox / "new");
    EXPECT_TRUE(FilesIn(outbox / "tmp").empty());
    if (delivered.size() != 1) {
      ADD_FAILURE() << delivered.size() << " messages delivered";
      return Dump("");
    }
    Dump dump = DumpMail(delivered.front());
    fs::remove(delivered.front());
    EXPECT_EQ(dump.one("defects"), "");
    EXPECT_EQ(dump.number("8bit"), 0);
    EXPECT_LE(dump.number("max-line"), 998);
    return dump;
  }
  Dump sendAndDump(TestMessage& message) { return sendAndDump(message, defaultOutbox()); }

  TempDir m_home;
  ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.str() + "/config"};
  ScopedEnv m_data{"XDG_DATA_HOME", m_home.str() + "/data"};
  Provider m_provider;
};

TEST_F(MapiSendMailTest, WritesOneMaildirFileWithRecipientsInOrderAndBccOnlyInEnvelope) {
  TestMessage message;
  message.to("Ann Example", "SMTP:ann@example.org")
      .to("Bob <bob@example.net>")
      .cc("carol@example.com")
      .cc("Dan", "smtp:dan@example.com")
      .recipient(MAPI_BCC, "eve@example.com", std::nullopt)
      .subject("Plain")
      .text("Hello");
  // MAPI_DIALOG has no dialog to show here: the message goes out as it is.
  Dump dump = sendAndDump(message, defaultOutbox(), MAPI_LOGON_UI | MAPI_DIALOG);

  EXPECT_EQ(dump.one("from"), "<" + LoginAtHost() + ">");
  EXPECT_EQ(dump.one("to"), "Ann Example <ann@example.org>, Bob <bob@example.net>");
  EXPECT_EQ(dump.one("cc"), "<carol@example.com>, Dan <dan@example.com>");
  EXPECT_EQ(dump.one("headers"), "cc,content-transfer-encoding,content-type,date,from,message-id,mime-version,"
                                 "subject,to");
  EXPECT_EQ(dump.number("date") + dump.number("message-id"), 2) << "both parse";
  EXPECT_EQ(dump.one("mime-version") + " " + dump.one("type") + " " + dump.one("body-charset"), "1.0 text/plain utf-8");
  EXPECT_EQ(dump.one("body"), "Hello\n");

  for (const char* sub : {"", "/tmp", "/new", "/cur"}) {
    struct stat info {};
    ASSERT_EQ(::stat((defaultOutbox().string() + sub).c_str(), &info), 0) << sub;
    EXPECT_EQ(info.st_mode & 0777, 0700u) << sub;
  }

  // Two sends in one process: two distinct names of the Maildir form.
  ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  std::vector<fs::path> delivered = FilesIn(defaultOutbox() / "new");
  ASSERT_EQ(delivered.size(), 2u);
  std::regex maildirName(R"(\d+\.M\d+P\d+Q\d+\..+)");
  for (const auto& path : delivered) EXPECT_TRUE(std::regex_match(path.filename().string(), maildirName)) << path;
}

// Originator names: see SenderComesFromAccountAndOriginatorName.
TEST_F(MapiSendMailTest, NonAsciiAndHostileHeaderTextIsEncodedAndDecodesBack) {
  const struct {
    std::string subject, toName, wantSubject, wantTo;
  } cases[] = {
      {"Grüße Ünïcode ✓", "Jürgen Ünïcode", "Grüße Ünïcode ✓", "Jürgen Ünïcode"},
      // windows-1252 text from older callers becomes UTF-8.
      {"caf\xe9 \x80", "Ren\xe9", "café €", "René"},
      // A line break must not start a header of the caller's making.
      {"Hi\r\nBcc: evil@example.org", "Eve\nBcc: evil@example.org", "Hi  Bcc: evil@example.org",
       "Eve Bcc: evil@example.org"},
  };
  for (const auto& c : cases) {
    TestMessage message;
    message.to(c.toName, "j@example.org").subject(c.subject).text("x");
    Dump dump = sendAndDump(message);
    EXPECT_EQ(dump.one("subject"), c.wantSubject);
    EXPECT_EQ(dump.one("to"), c.wantTo + " <j@example.org>");
    EXPECT_EQ(dump.one("headers").find("bcc"), std::string::npos);
  }
}

TEST_F(MapiSendMailTest, RecipientIsTakenOnlyWhenTheWholeTextIsOneMailboxWithinSmtpLimits) {
  const std::string local64(64, 'l'), longest = local64 + "@" + std::string(185, 'd') + ".org";
  const struct {
    std::string text, wantTo;  // wantTo empty: refused, nothing delivered
  } cases[] = {
      {"addr@example.org", "<addr@example.org>"},
      {"Ann Example <addr@example.org>", "Ann Example <addr@example.org>"},
      {"\"Last, First\" <addr@example.org>", "Last, First <addr@example.org>"},
      {"Jürgen Ünïcode <addr@example.org>", "Jürgen Ünïcode <addr@example.org>"},
      {longest, "<" + longest + ">"},
      // Each of these once went to its first part and counted as sent.
      {"a@b@c.org", ""},
      {"a@x.example;b@y.example", ""},
      {"judy@example.com;extra", ""},
      {"ann@example.org garbage here", ""},
      {"Ann <ann@example.org> garbage", ""},
      {"\"Unclosed <ann@example.org>", ""},
      {"l" + local64 + "@example.org", ""},
      {local64 + "@d" + longest.substr(65), ""},
  };
  for (const auto& c : cases) {
    TestMessage message;
    message.to(c.text).text("x");
    if (c.wantTo.empty()) {
      EXPECT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_UNKNOWN_RECIPIENT)) << c.text;
      EXPECT_TRUE(FilesIn(defaultOutbox() / "new").empty()) << c.text;
      fs::remove_all(defaultOutbox() / "new");
    } else {
      EXPECT_EQ(sendAndDump(message).one("to"), c.wantTo) << c.text;
    }
  }
}

TEST_F(MapiSendMailTest, BodyTextSurvivesLongLinesEightBitAndLineEnds) {
  struct Case {
    std::string text, wantBody, wantCharset;
  };
  const std::string longAscii(2500, 'a');
  std::string longUmlauts;
  for (int i = 0; i < 1200; ++i) longUmlauts += "ü";
  const Case cases[] = {
      {longAscii, longAscii + "\n", "utf-8"},
      {"Grüße\nÄÖÜ ✓\n" + longUmlauts, "Grüße\nÄÖÜ ✓\n" + longUmlauts + "\n", "utf-8"},
      {"a\r\nb\rc\n\r\n.\nFrom here", "a\nb\nc\n\n.\nFrom here\n", "utf-8"},
      {"caf\xe9 \x80", "café €\n", "windows-1252"},
      {"", "", "utf-8"},
  };
  for (const Case& c : cases) {
    TestMessage message;
    message.to("a@example.org").text(c.text);
    Dump dump = sendAndDump(message);
    // Compared whole but printed short: the long cases would flood the log.
    EXPECT_TRUE(dump.one("body") == c.wantBody) << c.text.substr(0, 40) << " -> " << dump.one("body").substr(0, 40);
    EXPECT_EQ(dump.one("body-charset"), c.wantCharset);
  }
}

TEST_F(MapiSendMailTest, AttachmentsKeepNameTypeAndBytes) {
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(i % 7 == 0 ? 0 : (i * 31) & 0xFF);
  const std::string text = "line one\r\nline two\n";
  testenv::WriteFile(m_home.path() / "in/scan.bin", binary);
  testenv::WriteFile(m_home.path() / "in/data", binary.substr(0, 17));
  testenv::WriteFile(m_home.path() / "in/notes.TXT", text);
  testenv::WriteFile(m_home.path() / "in/empty.pdf", "");

  TestMessage message;
  message.to("a@example.org")
      .text("Hi    ")
      .attach(m_home.path() / "in/scan.bin", "Bericht-Ü.pdf", 2)
      .attach(m_home.path() / "in/data", std::nullopt, 3)
      .attach(m_home.path() / "in/notes.TXT", "", 4)
      .attach(m_home.path() / "in/empty.pdf", std::nullopt, 5);
  Dump dump = sendAndDump(message);

  EXPECT_EQ(dump.one("type"), "multipart/mixed");
  EXPECT_EQ(dump.one("body"), "Hi\n");
  const std::vector<std::string> want = {
      "Bericht-Ü.pdf|application/pdf|5000|" + Sha256(binary),
      "data|application/octet-stream|17|" + Sha256(binary.substr(0, 17)),
      "notes.TXT|text/plain|" + std::to_string(text.size()) + "|" + Sha256(text),
      "empty.pdf|application/pdf|0|" + Sha256(""),
  };
  EXPECT_EQ(dump.all("attachment"), want);
}

TEST_F(MapiSendMailTest, PlaceholderCharactersAreRemovedOnlyInsideTheText) {
  struct Case {
    std::string text;
    std::vector<MAPI_ULONG> positions;
    std::string wantBody;
  };
  const Case cases[] = {
      {"Hi  ", {2, 3}, "Hi\n"},
      {"A B", {1}, "AB\n"},
      {"Hi", {0xFFFFFFFF, 7}, "Hi\n"},
      {"Hi ", {2, 2}, "Hi\n"},
  };
  testenv::WriteFile(m_home.path() / "a.txt", "x");
  for (const Case& c : cases) {
    TestMessage message;
    message.to("a@example.org").text(c.text);
    for (MAPI_ULONG position : c.positions) message.attach(m_home.path() / "a.txt", std::nullopt, position);
    Dump dump = sendAndDump(message);
    EXPECT_EQ(dump.one("body"), c.wantBody) << c.text;
    EXPECT_EQ(dump.all("attachment").size(), c.positions.size());
  }
}

TEST_F(MapiSendMailTest, BadMessagesGiveTheirCodesAndDeliverNothing) {
  fs::create_directory(m_home.path() / "folder");
  testenv::WriteFile(m_home.path() / "plain", "x");
  testenv::WriteFile(m_home.path() / "huge", "");
  fs::resize_file(m_home.path() / "huge", std::uintmax_t{64} * 1024 * 1024 + 1);  // sparse: no disk, no time
  ASSERT_EQ(::mkfifo((m_home.path() / "fifo").c_str(), 0600), 0);
  struct Case {
    const char* what;
    MAPI_ULONG want;
    std::function<void(TestMessage&)> fill;
    std::function<void(MapiMessage&)> tweak;
  };
  const Case cases[] = {
      {"missing attachment", MAPI_E_ATTACHMENT_NOT_FOUND,
       [&](TestMessage& m) { m.to("a@example.org").attach(m_home.path() / "no-such-file", std::nullopt, 0); }, {}},
      {"attachment below a file", MAPI_E_ATTACHMENT_NOT_FOUND,
       [&](TestMessage& m) { m.to("a@example.org").attach(m_home.path() / "plain/x", std::nullopt, 0); }, {}},
      {"attachment is a folder", MAPI_E_ATTACHMENT_OPEN_FAILURE,
       [&](TestMessage& m) { m.to("a@example.org").attach(m_home.path() / "folder", "f", 0); }, {}},
      {"attachment over 64 MiB", MAPI_E_ATTACHMENT_OPEN_FAILURE,
       [&](TestMessage& m) { m.to("a@example.org").attach(m_home.path() / "huge", std::nullopt, 0); }, {}},
      {"attachment is a FIFO nobody writes", MAPI_E_ATTACHMENT_OPEN_FAILURE,
       [&](TestMessage& m) { m.to("a@example.org").attach(m_home.path() / "fifo", std::nullopt, 0); }, {}},
      {"attachment is a device", MAPI_E_ATTACHMENT_OPEN_FAILURE,
       [](TestMessage& m) { m.to("a@example.org").attach("/dev/zero", std::nullopt, 0); }, {}},
      {"name without @", MAPI_E_UNKNOWN_RECIPIENT, [](TestMessage& m) { m.to("Nobody"); }, {}},
      {"address without @", MAPI_E_UNKNOWN_RECIPIENT, [](TestMessage& m) { m.to("Nobody", "SMTP:nobody"); }, {}},
      {"two addresses in one", MAPI_E_UNKNOWN_RECIPIENT, [](TestMessage& m) { m.to("a@example.org, b@example.org"); },
       {}},
      {"no recipients", MAPI_E_UNKNOWN_RECIPIENT, [](TestMessage& m) { m.text("x"); }, {}},
      {"recipient class", MAPI_E_BAD_RECIPTYPE, [](TestMessage& m) { m.recipient(9, "a@example.org", {}); }, {}},
      {"count without recipient array", MAPI_E_FAILURE, [](TestMessage& m) { m.to("a@example.org"); },
       [](MapiMessage& mm) { mm.lpRecips = nullptr; }},
      {"count without file array", MAPI_E_FAILURE, [](TestMessage& m) { m.to("a@example.org"); },
       [](MapiMessage& mm) { mm.nFileCount = 3; }},
      {"all texts null", MAPI_E_UNKNOWN_RECIPIENT, [](TestMessage& m) { m.recipient(MAPI_TO, "", {}); },
       [](MapiMessage& mm) {
         mm.lpRecips[0].lpszName = nullptr;
         mm.lpszSubject = mm.lpszNoteText = nullptr;
       }},
  };
  for (const Case& c : cases) {
    TestMessage message;
    c.fill(message);
    EXPECT_EQ(message.send(sendMail(), 0, c.tweak), c.want) << c.what;
  }
  EXPECT_EQ(sendMail()(0, 0, nullptr, 0, 0), static_cast<MAPI_ULONG>(MAPI_E_FAILURE));

  SetAccountValue("Transport", "pigeon");
  TestMessage good;
  good.to("a@example.org");
  EXPECT_EQ(good.send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE)) << "unknown transport";
  EXPECT_TRUE(FilesIn(defaultOutbox() / "new").empty());
}

TEST_F(MapiSendMailTest, UnwritableOutboxGivesFailureAndLeavesNoFile) {
  // Root ignores permissions: a file where a folder belongs does not.
  const fs::path base = m_home.path() / "boxes";
  testenv::WriteFile(base / "plain-file", "x");
  fs::create_directories(base / "new-is-file/tmp");
  fs::create_directories(base / "new-is-file/cur");
  testenv::WriteFile(base / "new-is-file/new", "x");
  fs::create_directories(base / "tmp-is-file/new");
  testenv::WriteFile(base / "tmp-is-file/tmp", "x");

  for (const char* box : {"plain-file/Outbox", "new-is-file", "tmp-is-file"}) {
    const fs::path outbox = base / box;
    SetAccountValue("Outbox", outbox.string());
    TestMessage message;
    message.to("a@example.org").text("must not be half-written");
    EXPECT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE)) << box;
    EXPECT_TRUE(FilesIn(outbox / "tmp").empty()) << box;
    EXPECT_TRUE(FilesIn(outbox / "new").empty()) << box;
  }
  EXPECT_EQ(testenv::ReadFile(base / "new-is-file/new"), "x");
}

TEST_F(MapiSendMailTest, SendingRemovesOnlyRegularFilesLeftInTmpForOver36Hours) {
  enum Kind { File, Folder, Link };
  const struct {
    const char* path;
    Kind kind;
    int ageHours;
    bool kept;
  } entries[] = {
      {"tmp/left-by-a-crash", File, 37, false},  {"tmp/left-by-a-crash-2", File, 400, false},
      {"tmp/younger", File, 35, true},           {"tmp/being-written", File, 0, true},
      {"tmp/old-folder", Folder, 37, true},      {"tmp/old-link", Link, 37, true},
      {"cur/read-long-ago", File, 37, true},
  };
  const fs::path box = defaultOutbox();
  const fs::path target = m_home.path() / "link-target";
  auto makeOld = [](const fs::path& path, int ageHours) {
    const timespec when{::time(nullptr) - ageHours * 3600L, 0};
    const timespec times[2] = {when, when};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
  };
  testenv::WriteFile(target, "kept");
  ASSERT_EQ(makeOld(target, 37), 0);
  for (const auto& e : entries) {
    const fs::path path = box / e.path;
    fs::create_directories(path.parent_path());
    if (e.kind == File) testenv::WriteFile(path, "x");
    if (e.kind == Folder) fs::create_directory(path);
    if (e.kind == Link) fs::create_symlink(target, path);
    ASSERT_EQ(makeOld(path, e.ageHours), 0) << e.path;
  }

  TestMessage message;
  message.to("a@example.org").text("x");
  EXPECT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_EQ(FilesIn(box / "new").size(), 1u);
  for (const auto& e : entries) EXPECT_EQ(fs::exists(fs::symlink_status(box / e.path)), e.kept) << e.path;
  EXPECT_EQ(testenv::ReadFile(target), "kept");
}

TEST_F(MapiSendMailTest, SenderComesFromAccountAndOriginatorName) {
  struct Case {
    std::string from, fromName, originator, want;
  };
  const Case cases[] = {
      {"", "", "", "<" + LoginAtHost() + ">"},
      {"", "", "Zoë ✓", "Zoë ✓ <" + LoginAtHost() + ">"},
      {"office@example.org", "", "", "<office@example.org>"},
      {"Office <office@example.org>", "", "", "Office <office@example.org>"},
      {"office@example.org", "Mailing Office", "", "Mailing Office <office@example.org>"},
      {"office@example.org", "Mailing Office", "Zoë ✓", "Zoë ✓ <office@example.org>"},
  };
  const fs::path outbox = m_home.path() / "custom/Box";
  SetAccountValue("Outbox", outbox.string());
  for (const Case& c : cases) {
    SetAccountValue("From", c.from);
    SetAccountValue("FromName", c.fromName);
    TestMessage message;
    message.to("a@example.org");
    if (!c.originator.empty()) message.originator(c.originator);
    EXPECT_EQ(sendAndDump(message, outbox).one("from"), c.want);
  }
  EXPECT_FALSE(fs::exists(defaultOutbox()));

  // The sender's address follows the recipients' rule.
  for (const char* from : {"not an address", "office@example.org;extra", "office@example.org@evil.example"}) {
    SetAccountValue("From", from);
    TestMessage message;
    message.to("a@example.org");
    EXPECT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE)) << from;
  }
  EXPECT_TRUE(FilesIn(outbox / "new").empty());
}

TEST(MapiSendMailReload, SendsAgainAfterUnloadAndReload) {
  // CIMapi unloads the provider after every message.
  TempDir home;
  ScopedEnv config("XDG_CONFIG_HOME", home.str() + "/config");
  ScopedEnv data("XDG_DATA_HOME", home.str() + "/data");
  for (int round = 0; round < 2; ++round) {
    Provider provider;
    ASSERT_NE(provider.send(), nullptr);
    TestMessage message;
    message.to("a@example.org").subject("Grüße").text("round");
    EXPECT_EQ(message.send(provider.send()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS)) << round;
  }
  EXPECT_EQ(FilesIn(home.path() / "data/zerth/Outbox/new").size(), 2u);
}

}  // namespace
