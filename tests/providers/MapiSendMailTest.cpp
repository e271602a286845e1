// MAPISendMail through the outbox transport, read back by Python's email
// package; the sendmail transport's command line split into words.
#include "CommandWords.h"
#include "ProviderHarness.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <regex>

namespace {

using namespace providertest;

std::string Sha256Of(const fs::path& file) {
  return testenv::RunCommand("sha256sum '" + file.string() + "'").substr(0, 64);
}

std::string LoginAtHost() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  return std::string(::getpwuid(::geteuid())->pw_name) + "@" + host;
}

class MapiSendMailTest : public ProviderTest {
protected:
  fs::path outbox() const { return m_home.path() / "data/zerth/Outbox"; }

  // Sends, expects exactly one clean new message in outbox/new, parses it
  // and removes it so that the next send starts clean.
  Dump sendAndDump(TestMessage& message, const fs::path& box = {}, FLAGS flags = 0) {
    const fs::path folder = box.empty() ? outbox() : box;
    EXPECT_EQ(message.send(sendMail(), flags), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
    const std::vector<fs::path> delivered = FilesIn(folder / "new");
    EXPECT_TRUE(FilesIn(folder / "tmp").empty());
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
};

TEST_F(MapiSendMailTest, WritesOneMaildirFileWithRecipientsInOrderAndBccOnlyInEnvelope) {
  TestMessage message;
  message.to("Ann Example", "SMTP:ann@example.org").to("Bob <bob@example.net>").cc("carol@example.com");
  message.cc("Dan", "smtp:dan@example.com").bcc("eve@example.com").subject("Plain").text("Hello");
  // MAPI_DIALOG has no dialog to show here: the message goes out as it is.
  Dump dump = sendAndDump(message, {}, MAPI_LOGON_UI | MAPI_DIALOG);
  EXPECT_EQ(dump.one("from"), "<" + LoginAtHost() + ">");
  EXPECT_EQ(dump.one("to"), "Ann Example <ann@example.org>, Bob <bob@example.net>");
  EXPECT_EQ(dump.one("cc"), "<carol@example.com>, Dan <dan@example.com>");
  EXPECT_EQ(dump.one("headers"), "cc,content-transfer-encoding,content-type,date,from,message-id,mime-version,"
                                 "subject,to");
  EXPECT_EQ(dump.number("date") + dump.number("message-id"), 2) << "both parse";
  EXPECT_EQ(dump.one("mime-version") + " " + dump.one("type") + " " + dump.one("body-charset"), "1.0 text/plain utf-8");
  EXPECT_EQ(dump.one("body"), "Hello\n");
  for (const char* sub : {"", "/tmp", "/new", "/cur"})
    EXPECT_EQ(fs::status(outbox().string() + sub).permissions(), fs::perms::owner_all) << sub;

  // Two sends in one process: two distinct names of the Maildir form.
  ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  ASSERT_EQ(message.send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  const std::vector<fs::path> delivered = FilesIn(outbox() / "new");
  ASSERT_EQ(delivered.size(), 2u);
  for (const auto& path : delivered)
    EXPECT_TRUE(std::regex_match(path.filename().string(), std::regex(R"(\d+\.M\d+P\d+Q\d+\..+)"))) << path;
}

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
    Dump dump = sendAndDump(message.to(c.toName, "j@example.org").subject(c.subject).text("x"));
    EXPECT_EQ(dump.one("subject"), c.wantSubject);
    EXPECT_EQ(dump.one("to"), c.wantTo + " <j@example.org>");
    EXPECT_EQ(dump.one("headers").find("bcc"), std::string::npos);
  }
}

TEST_F(MapiSendMailTest, RecipientIsOneMailboxWithinSmtpLimitsOrANameInTheAddressBook) {
  const std::string local64(64, 'l'), longest = local64 + "@" + std::string(185, 'd') + ".org";
  const fs::path book = m_home.path() / "data/zerth/addressbook.vcf";
  const auto cardOf = [](const std::string& name, const std::string& address) {
    return "BEGIN:VCARD\nVERSION:3.0\nFN:" + name + "\nEMAIL:" + address + "\nEND:VCARD\n";
  };
  testenv::WriteFile(book, cardOf("Ann Book", "ann@example.org") + cardOf("Twin", "t1@example.org") +
                               cardOf("Twin", "t2@example.org") + cardOf("Same", "same@example.org") +
                               cardOf("Same", "same@example.org") + cardOf("Bad", "bad@@example.org"));
  const struct {
    std::string name, address, wantTo;  // wantTo empty: refused, nothing delivered
    MAPI_ULONG refusal = MAPI_E_UNKNOWN_RECIPIENT;
  } cases[] = {
      {"addr@example.org", "", "<addr@example.org>"},
      {"Ann Example <addr@example.org>", "", "Ann Example <addr@example.org>"},
      {"\"Last, First\" <addr@example.org>", "", "Last, First <addr@example.org>"},
      {"Jürgen Ünïcode <addr@example.org>", "", "Jürgen Ünïcode <addr@example.org>"},
      {longest, "", "<" + longest + ">"}, {"Nobody", "", ""}, {"Nobody", "SMTP:nobody", ""},
      {"Ann Book", "", "Ann Book <ann@example.org>"}, {"Ann", "SMTP:Ann Book", "Ann <ann@example.org>"},
      {"Twin", "", "", MAPI_E_AMBIGUOUS_RECIPIENT}, {"Same", "", "Same <same@example.org>"}, {"Bad", "", ""},
      // Each of these once went to its first part and counted as sent.
      {"a@b@c.org", "", ""}, {"a@x.example;b@y.example", "", ""}, {"a@example.org, b@example.org", "", ""},
      {"judy@example.com;extra", "", ""}, {"ann@example.org garbage here", "", ""},
      {"Ann <ann@example.org> garbage", "", ""}, {"\"Unclosed <ann@example.org>", "", ""},
      {"l" + local64 + "@example.org", "", ""}, {local64 + "@d" + longest.substr(65), "", ""},
  };
  for (const auto& c : cases) {
    TestMessage message;
    message.to(c.name, c.address.empty() ? TestMessage::Address() : c.address).text("x");
    if (!c.wantTo.empty()) {
      EXPECT_EQ(sendAndDump(message).one("to"), c.wantTo) << c.name;
      continue;
    }
    EXPECT_EQ(message.send(sendMail()), c.refusal) << c.name;
    EXPECT_TRUE(FilesIn(outbox() / "new").empty()) << c.name;
  }
  // The book is read again once it has changed.
  testenv::WriteFile(book, cardOf("Ann Book", "ann.book@example.org"));
  TestMessage message;
  EXPECT_EQ(sendAndDump(message.to("Ann Book").text("x")).one("to"), "Ann Book <ann.book@example.org>");
}

TEST_F(MapiSendMailTest, BodyTextSurvivesLongLinesEightBitAndLineEnds) {
  const std::string longAscii(2500, 'a');
  std::string umlauts = "Grüße\nÄÖÜ ✓\n";
  for (int i = 0; i < 1200; ++i) umlauts += "ü";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {longAscii, longAscii + "\n", "utf-8"}, {umlauts, umlauts + "\n", "utf-8"},
      {"a\r\nb\rc\n\r\n.\nFrom here", "a\nb\nc\n\n.\nFrom here\n", "utf-8"},
      {"caf\xe9 \x80", "café €\n", "windows-1252"}, {"", "", "utf-8"}};
  for (const auto& [text, wantBody, wantCharset] : cases) {
    TestMessage message;
    Dump dump = sendAndDump(message.to("a@example.org").text(text));
    // Compared whole but printed short: the long cases would flood the log.
    EXPECT_TRUE(dump.one("body") == wantBody) << text.substr(0, 40) << " -> " << dump.one("body").substr(0, 40);
    EXPECT_EQ(dump.one("body-charset"), wantCharset);
  }
}

TEST_F(MapiSendMailTest, AttachmentsKeepNameTypeAndBytesAndTheirPlaceholdersGo) {
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(i % 7 == 0 ? 0 : (i * 31) & 0xFF);
  const std::string text = "line one\r\nline two\n";
  const fs::path in = m_home.path() / "in";
  testenv::WriteFile(in / "scan.bin", binary);
  testenv::WriteFile(in / "data", binary.substr(0, 17));
  testenv::WriteFile(in / "notes.TXT", text);
  testenv::WriteFile(in / "empty.pdf", "");
  TestMessage message;
  message.to("a@example.org").text("Hi    ").attach(in / "scan.bin", "Bericht-Ü.pdf", 2).attach(in / "data", {}, 3);
  Dump dump = sendAndDump(message.attach(in / "notes.TXT", "", 4).attach(in / "empty.pdf", {}, 5));
  EXPECT_EQ(dump.one("type"), "multipart/mixed");
  EXPECT_EQ(dump.one("body"), "Hi\n");
  const std::vector<std::string> want = {
      "Bericht-Ü.pdf|application/pdf|5000|" + Sha256Of(in / "scan.bin"),
      "data|application/octet-stream|17|" + Sha256Of(in / "data"),
      "notes.TXT|text/plain|" + std::to_string(text.size()) + "|" + Sha256Of(in / "notes.TXT"),
      "empty.pdf|application/pdf|0|" + Sha256Of(in / "empty.pdf")};
  EXPECT_EQ(dump.all("attachment"), want);

  // A placeholder character is removed only where it is inside the text.
  const std::tuple<std::string, std::vector<MAPI_ULONG>, std::string> cases[] = {
      {"Hi  ", {2, 3}, "Hi\n"}, {"A B", {1}, "AB\n"}, {"Hi", {0xFFFFFFFF, 7}, "Hi\n"}, {"Hi ", {2, 2}, "Hi\n"}};
  for (const auto& [body, positions, wantBody] : cases) {
    TestMessage placed;
    placed.to("a@example.org").text(body);
    for (MAPI_ULONG position : positions) placed.attach(in / "data", {}, position);
    Dump placedDump = sendAndDump(placed);
    EXPECT_EQ(placedDump.one("body"), wantBody) << body;
    EXPECT_EQ(placedDump.all("attachment").size(), positions.size());
  }
}

TEST_F(MapiSendMailTest, BadMessagesGiveTheirCodesAndDeliverNothing) {
  const fs::path home = m_home.path();
  fs::create_directory(home / "folder");
  testenv::WriteFile(home / "plain", "x");
  testenv::WriteFile(home / "huge", "");
  fs::resize_file(home / "huge", std::uintmax_t{64} * 1024 * 1024 + 1);  // sparse: no disk, no time
  ASSERT_EQ(::mkfifo((home / "fifo").c_str(), 0600), 0);
  const struct {
    const char* what;
    MAPI_ULONG want;
    fs::path attachment;
    std::function<void(MapiMessage&)> tweak = {};
  } cases[] = {
      {"missing attachment", MAPI_E_ATTACHMENT_NOT_FOUND, home / "no-such-file"},
      {"attachment below a file", MAPI_E_ATTACHMENT_NOT_FOUND, home / "plain/x"},
      {"attachment is a folder", MAPI_E_ATTACHMENT_OPEN_FAILURE, home / "folder"},
      {"attachment over 64 MiB", MAPI_E_ATTACHMENT_OPEN_FAILURE, home / "huge"},
      {"attachment is a FIFO nobody writes", MAPI_E_ATTACHMENT_OPEN_FAILURE, home / "fifo"},
      {"attachment is a device", MAPI_E_ATTACHMENT_OPEN_FAILURE, "/dev/zero"},
      {"no recipients", MAPI_E_UNKNOWN_RECIPIENT, {}, [](MapiMessage& m) { m.nRecipCount = 0; }},
      {"recipient class", MAPI_E_BAD_RECIPTYPE, {}, [](MapiMessage& m) { m.lpRecips[0].ulRecipClass = 9; }},
      {"count without recipient array", MAPI_E_FAILURE, {}, [](MapiMessage& m) { m.lpRecips = nullptr; }},
      {"count without file array", MAPI_E_FAILURE, {}, [](MapiMessage& m) { m.nFileCount = 3; }},
      {"all texts null", MAPI_E_UNKNOWN_RECIPIENT, {},
       [](MapiMessage& m) { m.lpRecips[0].lpszName = m.lpszSubject = m.lpszNoteText = nullptr; }},
  };
  for (const auto& c : cases) {
    TestMessage message;
    message.to("a@example.org").text("x");
    if (!c.attachment.empty()) message.attach(c.attachment, "f");
    EXPECT_EQ(message.send(sendMail(), 0, c.tweak), c.want) << c.what;
  }
  EXPECT_EQ(sendMail()(0, 0, nullptr, 0, 0), static_cast<MAPI_ULONG>(MAPI_E_FAILURE));
  SetAccountValue("Transport", "pigeon");
  EXPECT_EQ(TestMessage().to("a@example.org").send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE));
  EXPECT_TRUE(FilesIn(outbox() / "new").empty());
}

TEST_F(MapiSendMailTest, UnwritableOutboxGivesFailureAndLeavesNoFile) {
  // Root ignores permissions: a file where a folder belongs does not.
  const fs::path base = m_home.path() / "boxes";
  for (const char* file : {"plain-file", "new-is-file/new", "tmp-is-file/tmp"}) testenv::WriteFile(base / file, "x");
  for (const char* folder : {"new-is-file/tmp", "new-is-file/cur", "tmp-is-file/new"})
    fs::create_directories(base / folder);
  for (const char* box : {"plain-file/Outbox", "new-is-file", "tmp-is-file"}) {
    SetAccountValue("Outbox", (base / box).string());
    EXPECT_EQ(TestMessage().to("a@example.org").text("x").send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE));
    EXPECT_TRUE(FilesIn(base / box / "tmp").empty()) << box;
    EXPECT_TRUE(FilesIn(base / box / "new").empty()) << box;
  }
  EXPECT_EQ(testenv::ReadFile(base / "new-is-file/new"), "x");
}

TEST_F(MapiSendMailTest, SendingRemovesOnlyRegularFilesLeftInTmpForOver36Hours) {
  enum Kind { File, Folder, Link };
  const std::tuple<const char*, Kind, int, bool> entries[] = {  // path, kind, age in hours, kept
      {"tmp/left-by-a-crash", File, 37, false}, {"tmp/left-by-a-crash-2", File, 400, false},
      {"tmp/younger", File, 35, true},          {"tmp/being-written", File, 0, true},
      {"tmp/old-folder", Folder, 37, true},     {"tmp/old-link", Link, 37, true},
      {"cur/read-long-ago", File, 37, true}};
  const fs::path target = m_home.path() / "link-target";
  const auto makeOld = [](const fs::path& path, int ageHours) {
    const timespec when{::time(nullptr) - ageHours * 3600L, 0};
    const timespec times[2] = {when, when};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
  };
  testenv::WriteFile(target, "kept");
  ASSERT_EQ(makeOld(target, 37), 0);
  for (const auto& [name, kind, ageHours, kept] : entries) {
    const fs::path path = outbox() / name;
    fs::create_directories(path.parent_path());
    kind == File ? testenv::WriteFile(path, "x") : kind == Folder ? void(fs::create_directory(path))
                                                                  : fs::create_symlink(target, path);
    ASSERT_EQ(makeOld(path, ageHours), 0) << name;
  }
  EXPECT_EQ(TestMessage().to("a@example.org").text("x").send(sendMail()), static_cast<MAPI_ULONG>(SUCCESS_SUCCESS));
  EXPECT_EQ(FilesIn(outbox() / "new").size(), 1u);
  for (const auto& [name, kind, ageHours, kept] : entries)
    EXPECT_EQ(fs::exists(fs::symlink_status(outbox() / name)), kept) << name;
  EXPECT_EQ(testenv::ReadFile(target), "kept");
}

TEST_F(MapiSendMailTest, SenderComesFromAccountAndOriginatorName) {
  const struct {
    std::string from, fromName, originator, want;
  } cases[] = {
      {"", "", "", "<" + LoginAtHost() + ">"},
      {"", "", "Zoë ✓", "Zoë ✓ <" + LoginAtHost() + ">"},
      {"office@example.org", "", "", "<office@example.org>"},
      {"Office <office@example.org>", "", "", "Office <office@example.org>"},
      {"office@example.org", "Mailing Office", "", "Mailing Office <office@example.org>"},
      {"office@example.org", "Mailing Office", "Zoë ✓", "Zoë ✓ <office@example.org>"},
  };
  const fs::path box = m_home.path() / "custom/Box";
  SetAccountValue("Outbox", box.string());
  for (const auto& c : cases) {
    SetAccountValue("From", c.from);
    SetAccountValue("FromName", c.fromName);
    TestMessage message;
    if (!c.originator.empty()) message.originator(c.originator);
    EXPECT_EQ(sendAndDump(message.to("a@example.org"), box).one("from"), c.want);
  }
  EXPECT_FALSE(fs::exists(outbox()));

  // The sender's address follows the recipients' rule.
  for (const char* from : {"not an address", "office@example.org;extra", "office@example.org@evil.example"}) {
    SetAccountValue("From", from);
    EXPECT_EQ(TestMessage().to("a@example.org").send(sendMail()), static_cast<MAPI_ULONG>(MAPI_E_FAILURE)) << from;
  }
  EXPECT_TRUE(FilesIn(box / "new").empty());
}

// How SendmailCommand is split into the program and its arguments.
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
