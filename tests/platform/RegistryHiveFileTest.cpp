// The hive files themselves: their REGEDIT4 text, file modes, concurrent
// and killed writers in separate processes, and damaged files reported and
// left as they are.
#include "RegistryFixture.h"
#include "WithoutBlocking.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

using namespace std::string_literals;

namespace {

class RegistryHiveFileTest : public RegistryFixture {};

mode_t ModeOf(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::set<std::string> NamesIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

// Starts the writer helper with these arguments; 0 when it could not start.
pid_t StartWriter(std::vector<std::string> args) {
  std::string helper = REG_WRITER_HELPER;
  std::vector<char*> argv{helper.data()};
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  return ::posix_spawn(&pid, REG_WRITER_HELPER, nullptr, nullptr, argv.data(), environ) == 0 ? pid : 0;
}

// The helper's exit status, or -1 when it did not exit by itself.
int WaitFor(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(RegistryHiveFileTest, WritesRegedit4Text) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(key.get(), "", REG_SZ, "default\0"s), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 0x2a), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Blob", REG_BINARY, "\0\xff\x10"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Path", REG_SZ, "C:\\dir \"q\"\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Two lines", REG_SZ, "a\nb\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "tab\there", REG_SZ, "\0"s), ERROR_SUCCESS);
  Create(HKEY_CURRENT_USER, "Software\\Alpha");
  EXPECT_EQ(testenv::ReadFile(UserHive()),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Alpha]\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Zerth]\n"
            "@=\"default\"\n"
            "\"VerboseMode\"=dword:0000002a\n"
            "\"Blob\"=hex:00,ff,10\n"
            "\"Path\"=\"C:\\\\dir \\\"q\\\"\"\n"
            "\"Two lines\"=hex(1):61,0a,62,00\n"
            "\"tab\\x09here\"=\"\"\n"
            "\n");
}

TEST_F(RegistryHiveFileTest, ReadsHandWrittenRegeditFiles) {
  testenv::WriteFile(UserHive(),
                     "REGEDIT4\r\n\r\n; written by hand\r\n"
                     "[hkey_current_user\\Software\\Zerth]   \r\n"
                     "  \"VerboseMode\" = DWORD:0000ABCD\r\n"
                     "\"Long\"=hex:01,02,03,\\\r\n  04,05\r\n"
                     "\"Expand\"=hex(2):25,00\r\n"
                     "\"Twice\"=\"first\"\r\n\"TWICE\"=\"second\"\r\n"
                     "\"Escaped\"=\"\\x41\\\\\"\r\n");
  OwnedKey key = Open(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_TRUE(key);
  EXPECT_EQ(Query(key.get(), "VerboseMode").data, "\xcd\xab\0\0"s);
  EXPECT_EQ(Query(key.get(), "Long").data, "\1\2\3\4\5"s);
  EXPECT_EQ(Query(key.get(), "Expand").type, 2u);
  EXPECT_EQ(Query(key.get(), "twice").data, "second\0"s) << "a later line wins, as on import";
  EXPECT_EQ(Query(key.get(), "Escaped").data, "A\\\0"s);
}

TEST_F(RegistryHiveFileTest, FilesArePrivateAndNoTemporaryFileStays) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 1), ERROR_SUCCESS);
  EXPECT_EQ(ModeOf(UserHive()), 0600u);
  const std::filesystem::path dir = UserHive().parent_path();
  EXPECT_EQ(ModeOf(dir), 0700u);
  EXPECT_EQ(ModeOf(dir.parent_path()), 0700u) << "missing folders above are made private too";
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"user.reg", "user.reg.lock"})) << "no temporary";

  // What writers killed before their rename left is removed by the next
  // write; names that merely look alike are not the writers' and stay.
  const std::set<std::string> stale = {"user.reg.a1B2c3.tmp", "user.reg.ZZZZZZ.tmp", "user.reg.000000.tmp"};
  const std::set<std::string> lookAlikes = {"user.reg.backup",   "user.reg.a1B2c.tmp",  "user.reg.a1B2c3d.tmp",
                                            "user.reg.a_B-c3.tmp", "user.regXa1B2c3.tmp", "xuser.reg.a1B2c3.tmp",
                                            "user.reg.a1B2c3.tmp.bak"};
  for (const std::set<std::string>* names : {&stale, &lookAlikes}) {
    for (const std::string& name : *names) testenv::WriteFile(dir / name, "REGEDIT4\n\n");
  }
  std::filesystem::create_symlink("user.reg", dir / "user.reg.Linked.tmp");
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 2), ERROR_SUCCESS);
  std::set<std::string> kept = lookAlikes;
  kept.insert({"user.reg", "user.reg.lock", "user.reg.Linked.tmp"});
  EXPECT_EQ(NamesIn(dir), kept);
}

TEST_F(RegistryHiveFileTest, ConcurrentWritersInTwoProcessesLoseNothing) {
  constexpr int kValuesEach = 100;
  std::vector<pid_t> writers;
  for (const char* prefix : {"A", "B"}) writers.push_back(StartWriter({prefix, std::to_string(kValuesEach)}));
  for (pid_t pid : writers) {
    ASSERT_NE(pid, 0);
    EXPECT_EQ(WaitFor(pid), 0);
  }

  OwnedKey key = Open(HKEY_CURRENT_USER, "Software\\ZerthRace");
  ASSERT_TRUE(key);
  int missing = 0;
  for (const std::string prefix : {"A", "B"}) {
    for (int i = 0; i < kValuesEach; ++i) {
      const StoredValue stored = Query(key.get(), (prefix + std::to_string(i)).c_str());
      missing += stored.rc != ERROR_SUCCESS || stored.data != std::string(reinterpret_cast<const char*>(&i), 4);
    }
  }
  EXPECT_EQ(missing, 0);
}

// kill -9 while the temporary file exists: the hive stays whole, and the
// next write removes what the dead writers left.
TEST_F(RegistryHiveFileTest, KilledWritersLeaveTheHiveWholeAndTheirTemporariesGo) {
  // 256 KiB of bytes is 768 KiB of text: each write takes long enough to be
  // caught while its temporary file is there.
  const std::string bulk(256u << 10, '\x5a');
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\ZerthRace");
  ASSERT_EQ(Set(key.get(), "Bulk", REG_BINARY, bulk), ERROR_SUCCESS);
  const std::filesystem::path dir = UserHive().parent_path();
  const std::set<std::string> own = NamesIn(dir);
  const auto temporaries = [&] {
    std::set<std::string> names = NamesIn(dir);
    for (const std::string& name : own) names.erase(name);
    return names;
  };

  // At least five writers, and on until the last one killed left its file
  // (the next writer removes what earlier ones left).
  std::set<std::string> seen;
  for (int round = 0; round < 20 && (round < 5 || temporaries().empty()); ++round) {
    const pid_t pid = StartWriter({"K", "1000"});
    ASSERT_NE(pid, 0);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool caught = false;
    while (!caught && std::chrono::steady_clock::now() < giveUp) {
      for (const std::string& name : temporaries()) caught |= seen.insert(name).second;
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ::kill(pid, SIGKILL);
    EXPECT_EQ(WaitFor(pid), -1);
    ASSERT_TRUE(caught) << "no temporary file seen in round " << round;
  }
  ASSERT_FALSE(temporaries().empty()) << "no writer was killed in mid-write";

  EXPECT_EQ(Query(key.get(), "Bulk").data, bulk) << "the hive stays whole";
  ASSERT_EQ(SetDword(key.get(), "After", 1), ERROR_SUCCESS);
  EXPECT_EQ(temporaries(), std::set<std::string>{});
}

struct DamagedCase {
  const char* what;
  std::string text;
};

const std::string kGoodStart = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Zerth]\n";

const std::vector<DamagedCase> kDamagedHives = {
    {"empty file", ""},
    {"version 5 export", "Windows Registry Editor Version 5.00\n\n"},
    {"unknown line", kGoodStart + "VerboseMode=1\n"},
    {"bad hex byte", kGoodStart + "\"b\"=hex:01,0g\n"},
    {"continuation past the end", kGoodStart + "\"b\"=hex:01,\\\n"},
    {"dword of 7 digits", kGoodStart + "\"d\"=dword:0000002\n"},
    {"string not closed", kGoodStart + "\"s\"=\"abc\n"},
    {"unknown escape", kGoodStart + "\"s\"=\"a\\qb\"\n"},
    {"value before any key", "REGEDIT4\n\n\"s\"=\"a\"\n"},
    {"unknown root", "REGEDIT4\n\n[HKEY_USERS\\S-1-5]\n"},
    {"cut inside a value", kGoodStart + "\"VerboseMode\"=dword:000"},
    {"cut after a whole value", kGoodStart + "\"VerboseMode\"=dword:00000001"},
};

// Every call fails with ERROR_BADDB, the file keeps every byte, and stderr
// gets one line naming the file however many calls run into it.
void ExpectRefusedAndUntouched(const std::filesystem::path& hive, HKEY root, const std::string& text,
                               const char* what) {
  testenv::WriteFile(hive, text);
  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyEx(root, "Software", 0, KEY_READ, &key), ERROR_BADDB) << what;
  const DWORD one = 1;
  EXPECT_EQ(RegSetValueEx(root, "Added", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_BADDB) << what;
  EXPECT_EQ(RegDeleteValue(root, "Added"), ERROR_BADDB) << what;
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(testenv::ReadFile(hive), text) << what;
  EXPECT_NE(report.find(hive.string() + ": "), std::string::npos) << what << ": " << report;
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << what << ": " << report;
}

TEST_F(RegistryHiveFileTest, DamagedUserHiveIsReportedAndNeverRewritten) {
  for (std::size_t i = 0; i < kDamagedHives.size(); ++i) {
    // A folder of its own per case, so each damaged file is a new report.
    testenv::ScopedEnv config("XDG_CONFIG_HOME", (TempPath() / ("case" + std::to_string(i))).string());
    ExpectRefusedAndUntouched(zplatform::UserHivePath(), HKEY_CURRENT_USER, kDamagedHives[i].text,
                              kDamagedHives[i].what);
  }
}

TEST_F(RegistryHiveFileTest, DamagedMachineHiveIsReportedAndNeverRewritten) {
  ExpectRefusedAndUntouched(MachineHive(), HKEY_LOCAL_MACHINE, kGoodStart + "\"d\"=dword:1\n", "machine");
  EXPECT_EQ(zplatform::RegReadString(HKEY_CLASSES_ROOT, "CLSID", "", "fallback"), "fallback");
}

// Random damage to a valid hive: every call answers ERROR_SUCCESS or
// ERROR_BADDB, never crashes, and whatever the reader accepts, the writer
// writes back in a form the reader accepts again and reproduces exactly.
TEST_F(RegistryHiveFileTest, MutatedHivesAreReadSafelyAndAcceptedOnesSurviveARewrite) {
  const std::string valid = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Zerth]\n@=\"d\"\n"
                            "\"Name \\\"q\\\"\"=\"C:\\\\x\"\n\"Num\"=dword:0000002a\n\"Bin\"=hex:00,01,\\\n  02\n"
                            "\"Sz\"=hex(1):61,0a,00\n\"\\x01\"=hex(7):00\n\n[HKEY_CURRENT_USER\\Software\\Zerth\\Sub]\n";
  const char alphabet[] = "\"\\[]@=:,;x0aF \t\r\n\x01\xff";
  std::mt19937 random(20240601);
  int accepted = 0;
  testing::internal::CaptureStderr();
  for (int round = 0; round < 400; ++round) {
    std::string text = valid;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !text.empty(); ++e) {
      const std::size_t at = random() % text.size();
      switch (random() % 4) {
        case 0: text[at] = alphabet[random() % (sizeof alphabet - 1)]; break;
        case 1: text.erase(at, 1 + random() % 3); break;
        case 2: text.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]); break;
        default: text.resize(at); break;
      }
    }
    testenv::WriteFile(UserHive(), text);
    const LONG read = RegQueryValueEx(HKEY_CURRENT_USER, "x", nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(read == ERROR_FILE_NOT_FOUND || read == ERROR_BADDB) << read << " for:\n" << text;
    if (read == ERROR_BADDB) continue;
    ++accepted;
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_SUCCESS) << text;
    const std::string rewritten = testenv::ReadFile(UserHive());
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "x", 2), ERROR_SUCCESS) << "rewrite of:\n" << text << "\nas:\n" << rewritten;
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_SUCCESS);
    ASSERT_EQ(testenv::ReadFile(UserHive()), rewritten) << "from:\n" << text;
  }
  testing::internal::GetCapturedStderr();
  EXPECT_GT(accepted, 20) << "the mutations should leave some hives readable";
}

TEST_F(RegistryHiveFileTest, OversizedHiveIsRefusedWithoutLoadingIt) {
  testenv::WriteFile(UserHive(), "REGEDIT4\n\n");
  const std::uintmax_t size = (64u << 20) + 1;
  std::filesystem::resize_file(UserHive(), size);  // sparse: costs no disk
  testing::internal::CaptureStderr();
  EXPECT_EQ(RegQueryValueEx(HKEY_CURRENT_USER, "x", nullptr, nullptr, nullptr, nullptr), ERROR_BADDB);
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_BADDB);
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("larger than 64 MiB"), std::string::npos) << report;
  EXPECT_EQ(std::filesystem::file_size(UserHive()), size);
}

// 22 MiB of bytes take 66 MiB as hex text: writing that would leave a hive
// that no reader accepts, so the write is refused and the hive kept.
TEST_F(RegistryHiveFileTest, ValueTooLargeForTheHiveIsRefusedAndTheHiveKept) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "Kept", 1), ERROR_SUCCESS);
  const std::string before = testenv::ReadFile(UserHive());
  const std::string huge(22u << 20, '\x5a');
  EXPECT_EQ(Set(key.get(), "Huge", REG_BINARY, huge), ERROR_OUTOFMEMORY);
  EXPECT_EQ(testenv::ReadFile(UserHive()), before);
  EXPECT_EQ(Query(key.get(), "Kept").rc, ERROR_SUCCESS);
}

// A hive path that is no file is reported, and neither read nor rewritten;
// a FIFO there is not waited on.
TEST_F(RegistryHiveFileTest, HiveThatIsNoFileIsReportedWithoutWaiting) {
  for (const char* kind : {"folder", "FIFO"}) {
    testenv::ScopedEnv config("XDG_CONFIG_HOME", (TempPath() / kind).string());
    const std::filesystem::path hive = zplatform::UserHivePath();
    const bool fifo = kind == "FIFO"s;
    std::filesystem::create_directories(fifo ? hive.parent_path() : hive);
    if (fifo) {
      ASSERT_EQ(::mkfifo(hive.c_str(), 0600), 0);
    }
    testing::internal::CaptureStderr();
    const auto [read, written] = CallWithoutBlockingOn(hive, [] {
      return std::pair(RegQueryValueEx(HKEY_CURRENT_USER, "x", nullptr, nullptr, nullptr, nullptr),
                       SetDword(HKEY_CURRENT_USER, "x", 1));
    });
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read, ERROR_CANTREAD) << kind;
    EXPECT_EQ(written, ERROR_CANTREAD) << kind;
    EXPECT_NE(report.find(hive.string() + ": not a regular file"), std::string::npos) << kind << ": " << report;
  }
}

// A machine hive in a folder the user may not write, as beside a program in
// /usr. The writer runs without capabilities, so that root is refused too.
TEST_F(RegistryHiveFileTest, UnwritableMachineHiveRefusesChangesButStillReads) {
  const std::string shipped = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\ZerthRace]\n\"Shipped\"=dword:00000001\n\n";
  testenv::WriteFile(MachineHive(), shipped);
  const std::filesystem::path dir = MachineHive().parent_path();
  std::filesystem::permissions(dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  testenv::ScopedEnv machine("ZERTH_MACHINE_HIVE", MachineHive().string());
  const pid_t writer = StartWriter({"--machine", "Shipped", "1"});
  const int status = writer != 0 ? WaitFor(writer) : -1;
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  EXPECT_EQ(status, ERROR_ACCESS_DENIED) << "the helper opens the existing key, then fails to set the value";
  EXPECT_EQ(testenv::ReadFile(MachineHive()), shipped);
  EXPECT_EQ(NamesIn(dir), std::set<std::string>{"machine.reg"});
  EXPECT_EQ(zplatform::RegReadDword(HKEY_LOCAL_MACHINE, "Software\\ZerthRace", "Shipped"), 1u);
}

}  // namespace
