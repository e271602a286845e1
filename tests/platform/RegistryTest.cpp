// The registry calls as Windows callers use them, over REGEDIT4 hive files
// written, raced on, killed in mid-write, damaged.
#include "FileChecks.h"
#include "TestEnv.h"

#include <zplatform/ProgramDir.h>
#include <zplatform/Registry.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

struct KeyCloser {
  void operator()(RegKeyHandle* key) const { RegCloseKey(key); }
};
using OwnedKey = std::unique_ptr<RegKeyHandle, KeyCloser>;

struct StoredValue {
  LONG rc = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::string data;
  bool operator==(const StoredValue&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const StoredValue& v) {
    return out << "rc " << v.rc << ", type " << v.type << ", " << testing::PrintToString(v.data);
  }
};

OwnedKey Create(HKEY root, const char* path, DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition), ERROR_SUCCESS);
  return OwnedKey(key);
}

OwnedKey Open(HKEY root, const char* path, REGSAM access = KEY_READ) {
  HKEY key = nullptr;
  RegOpenKeyEx(root, path, 0, access, &key);
  return OwnedKey(key);
}

LONG Set(HKEY key, const char* name, DWORD type, const std::string& data) {
  return RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

LONG SetDword(HKEY key, const char* name, DWORD value) {
  return Set(key, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

// The size first, then exactly that much, as careful callers do.
StoredValue Query(HKEY key, const char* name) {
  StoredValue stored;
  DWORD size = 0;
  stored.rc = RegQueryValueEx(key, name, nullptr, &stored.type, nullptr, &size);
  if (stored.rc != ERROR_SUCCESS) return stored;
  stored.data.resize(size);
  stored.rc = RegQueryValueEx(key, name, nullptr, &stored.type, reinterpret_cast<BYTE*>(stored.data.data()), &size);
  stored.data.resize(size);
  return stored;
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
  return pid != 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A private user hive ($XDG_CONFIG_HOME in a fresh folder) and machine hive.
class RegistryTest : public ::testing::Test {
protected:
  RegistryTest() { zplatform::SetMachineHivePath(MachineHive().string()); }
  ~RegistryTest() override { zplatform::SetMachineHivePath(""); }
  fs::path UserHive() const { return m_dir.path() / "config/zerth/user.reg"; }
  fs::path MachineHive() const { return m_dir.path() / "machine/machine.reg"; }

  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str() + "/config"};
  testenv::ScopedEnv m_machineEnv{"ZERTH_MACHINE_HIVE", ""};
};

TEST_F(RegistryTest, ValuesAndNamesOfAnyBytesComeBackExactly) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::tuple<std::string, DWORD, std::string> cases[] = {
      {"Text", REG_SZ, "hello\0"s}, {"No bytes", REG_SZ, ""}, {"", REG_BINARY, ""}, {"\\x41", REG_SZ, "abc"},
      {"with \"quotes\" and back\\slash", REG_SZ, "say \"hi\" to C:\\dir\\ and \\\"\0"s},
      {"new\nline\r", REG_SZ, "one\ntwo\r\nthree\r\0"s}, {"high \xff", REG_SZ, "Gr\xfc\xdf" "e \xc3\0"s},
      {"[Section]", REG_SZ, "a\0b\0\0"s}, {"dword:00000001", REG_SZ, "\"x\"=dword:00000001\0"s},
      {" lead;a=b ", REG_DWORD, "\xff\xff\xff\xff"s}, {"@", REG_BINARY, "\0\x01\0\xff\0"s},
      {"Every byte as text", REG_SZ, all}, {"Every byte", REG_BINARY, all},
  };
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth\\Types");
  for (const auto& [name, type, data] : cases) ASSERT_EQ(Set(key.get(), name.c_str(), type, data), ERROR_SUCCESS);
  for (const auto& [name, type, data] : cases)
    EXPECT_EQ(Query(key.get(), name.c_str()), (StoredValue{ERROR_SUCCESS, type, data})) << name;
}

TEST_F(RegistryTest, KeysAndValuesAreMatchedWithoutCaseAndKeepTheirFirstSpelling) {
  DWORD disposition = 0;
  OwnedKey deep = Create(HKEY_CURRENT_USER, "Software\\Zerth\\A\\B", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  Create(HKEY_CURRENT_USER, "software\\ZERTH\\a", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY)) << "the keys above a created key exist";
  Create(deep.get(), "Child");
  Create(HKEY_CURRENT_USER, "SOFTWARE\\ZERTH\\A\\NewOne");
  ASSERT_EQ(SetDword(deep.get(), "VerboseMode", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(Open(HKEY_CURRENT_USER, "software\\zerth\\a\\b", KEY_ALL_ACCESS).get(), "verbosemode", 2),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(deep.get(), "VERBOSEMODE").data, "\2\0\0\0"s);
  const std::string text = testenv::ReadFile(UserHive());
  for (const char* line : {"[HKEY_CURRENT_USER\\Software\\Zerth\\A\\B\\Child]\n", "\"VerboseMode\"=dword:00000002\n",
                           "[HKEY_CURRENT_USER\\Software\\Zerth\\A\\NewOne]\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;

  for (const char* name : {"First", "Second", "Third"}) ASSERT_EQ(SetDword(deep.get(), name, 1), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(deep.get(), "SECOND"), ERROR_SUCCESS);
  EXPECT_EQ(Query(deep.get(), "Second").rc, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(deep.get(), "First").rc, ERROR_SUCCESS);
  ASSERT_EQ(SetDword(deep.get(), "third", 33), ERROR_SUCCESS);
  EXPECT_EQ(Query(deep.get(), "Third").data, "\x21\0\0\0"s);
}

TEST_F(RegistryTest, BadHandlesArgumentsAndAccessAreRefusedAndSmallBuffersAskForMore) {
  OwnedKey full = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(full.get(), "Name", REG_SZ, "abc\0"s), ERROR_SUCCESS);
  OwnedKey readOnly = Open(HKEY_CURRENT_USER, "Software\\Zerth", KEY_READ);
  OwnedKey writeOnly = Open(HKEY_CURRENT_USER, "Software\\Zerth", KEY_WRITE);
  ASSERT_TRUE(readOnly && writeOnly);
  HKEY closed = Open(HKEY_CURRENT_USER, "Software").release();
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  BYTE bytes[3] = {1, 2, 3};
  DWORD reserved = 0, size = 3, needed = sizeof bytes, type = REG_NONE;
  HKEY out = nullptr;
  const std::tuple<const char*, LONG, LONG> cases[] = {
      {"close twice", RegCloseKey(closed), ERROR_INVALID_HANDLE},
      {"set closed", SetDword(closed, "x", 1), ERROR_INVALID_HANDLE},
      {"set through read-only key", SetDword(readOnly.get(), "x", 1), ERROR_ACCESS_DENIED},
      {"create below read-only key", RegCreateKeyEx(readOnly.get(), "New", 0, nullptr, 0, KEY_READ, nullptr, &out,
                                                    nullptr), ERROR_ACCESS_DENIED},
      {"query through write-only key", RegQueryValueEx(writeOnly.get(), "x", nullptr, nullptr, nullptr, nullptr),
       ERROR_ACCESS_DENIED},
      {"dword of three bytes", RegSetValueEx(full.get(), "x", 0, REG_DWORD, bytes, 3), ERROR_INVALID_PARAMETER},
      {"unsupported type", RegSetValueEx(full.get(), "x", 0, 7, bytes, 3), ERROR_INVALID_PARAMETER},
      {"bytes counted but none given", RegSetValueEx(full.get(), "x", 0, REG_BINARY, nullptr, 4),
       ERROR_INVALID_PARAMETER},
      {"buffer too small", RegQueryValueEx(full.get(), "Name", nullptr, &type, bytes, &needed), ERROR_MORE_DATA},
      {"data without a size", RegQueryValueEx(full.get(), "Name", nullptr, nullptr, bytes, nullptr),
       ERROR_INVALID_PARAMETER},
      {"reserved given", RegQueryValueEx(full.get(), "Name", &reserved, nullptr, nullptr, nullptr),
       ERROR_INVALID_PARAMETER},
      {"missing value", RegQueryValueEx(full.get(), "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND},
      {"default value unset", RegQueryValueEx(full.get(), nullptr, nullptr, nullptr, nullptr, &size),
       ERROR_FILE_NOT_FOUND},
      {"delete a missing value", RegDeleteValue(full.get(), "Missing"), ERROR_FILE_NOT_FOUND},
      {"open a missing key", RegOpenKeyEx(full.get(), "Missing", 0, KEY_READ, &out), ERROR_FILE_NOT_FOUND},
      {"create with an empty part",
       RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"create with a line break in the name",
       RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\a\nb", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"close a root key", RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS},
  };
  for (const auto& [what, got, expected] : cases) EXPECT_EQ(got, expected) << what;
  EXPECT_EQ(needed, 4u) << "the size of text counts its terminating zero";
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(out, nullptr) << "failed calls leave no handle behind";
  EXPECT_EQ(Query(full.get(), "x").rc, ERROR_FILE_NOT_FOUND) << "nothing refused reached the file";
}

TEST_F(RegistryTest, ClassesRootIsTheClassesKeyOfTheMachineHiveFoundWhereConfigured) {
  const char* clsid = "CLSID\\{0006F03A-0000-0000-C000-000000000046}\\InprocServer32";
  ASSERT_EQ(Set(Create(HKEY_CLASSES_ROOT, clsid).get(), nullptr, REG_SZ, "libcontacts.so\0"s), ERROR_SUCCESS);
  EXPECT_EQ(zplatform::RegReadString(HKEY_LOCAL_MACHINE, "Software\\Classes\\"s + clsid, ""), "libcontacts.so");
  EXPECT_FALSE(fs::exists(UserHive())) << "the user hive is another file";
  // A machine hive may name the classes root itself.
  testenv::WriteFile(MachineHive(), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Zerth.Contacts\\CLSID]\n@=\"{1234}\"\n");
  EXPECT_EQ(zplatform::RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Zerth.Contacts\\CLSID", ""), "{1234}");
  EXPECT_EQ(zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Classes\\Zerth.Contacts\\CLSID", "", "-"), "-");

  EXPECT_EQ(zplatform::UserHivePath(), UserHive().string());
  const std::string fromEnvironment = m_dir.str() + "/env/machine.reg";
  testenv::ScopedEnv env("ZERTH_MACHINE_HIVE", fromEnvironment);
  EXPECT_EQ(zplatform::MachineHivePath(), MachineHive().string()) << "the call wins over the environment";
  zplatform::SetMachineHivePath("");
  EXPECT_EQ(zplatform::MachineHivePath(), fromEnvironment);
  testenv::ScopedEnv unset("ZERTH_MACHINE_HIVE", "");
  EXPECT_EQ(zplatform::MachineHivePath(), zplatform::ProgramDir() + "/machine.reg");
}

// Reads may keep a parse of the file, never past a change of it: by this
// program, by another, or by hand in place with the same size (even with the
// modification time put back).
TEST_F(RegistryTest, EveryReadSeesTheHiveAsItIsNow) {
  const auto text = [](const char* value) {
    return "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Zerth]\n\"Value\"=\"" + std::string(value) + "\"\n";
  };
  const auto read = [] {
    return zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Value", "-") + "," +
           std::to_string(zplatform::RegReadDword(HKEY_CURRENT_USER, "Software\\ZerthRace", "Other0", 7));
  };
  const auto inPlace = [&](const char* value, bool keepTime) {
    struct stat before {};
    ASSERT_EQ(::stat(UserHive().c_str(), &before), 0);
    testenv::WriteFile(UserHive(), text(value));
    const struct timespec times[] = {before.st_atim, before.st_mtim};
    if (keepTime) { ASSERT_EQ(::utimensat(AT_FDCWD, UserHive().c_str(), times, 0), 0); }
  };
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"two,7", [&] { ASSERT_EQ(Set(Create(HKEY_CURRENT_USER, "Software\\Zerth").get(), "Value", REG_SZ, "two"), 0); }},
      {"two,0", [&] { ASSERT_EQ(WaitFor(StartWriter({"Other", "1"})), 0); }},
      {"ten,7", [&] { inPlace("ten", false); }}, {"six,7", [&] { inPlace("six", false); }},
      {"one,7", [&] { inPlace("one", true); }},
  };
  testenv::WriteFile(UserHive(), text("one"));
  std::string before = "one,7";
  for (const auto& [expected, change] : cases) {
    // Long enough after the last change for a parse to be kept.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(read(), before);
    change();
    EXPECT_EQ(read(), expected);
    before = expected;
  }
}

TEST_F(RegistryTest, ConvenienceReadersFallBackWhenTheValueDoesNotFit) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(key.get(), "Cut", REG_SZ, "first\0second\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Bare", REG_SZ, "bare"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.get(), "Number", 0x12345678), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Bytes", REG_BINARY, "\1\0\0\0"s), ERROR_SUCCESS);
  using zplatform::RegReadDword, zplatform::RegReadString;
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "cut", "-"), "first");
  EXPECT_EQ(RegReadString(key.get(), "", "Bare", "-"), "bare");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Number", "-"), "-");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Nowhere", "Cut", "-"), "-");
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Number", 7), 0x12345678u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Bytes", 7), 7u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Missing", 7), 7u);
}

TEST_F(RegistryTest, WritesRegedit4TextAndReadsHandWrittenFiles) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  for (const auto& [name, type, data] : std::vector<std::tuple<const char*, DWORD, std::string>>{
           {"", REG_SZ, "default\0"s}, {"VerboseMode", REG_DWORD, "\x2a\0\0\0"s}, {"Blob", REG_BINARY, "\0\xff\x10"s},
           {"Path", REG_SZ, "C:\\dir \"q\"\0"s}, {"Two lines", REG_SZ, "a\nb\0"s}, {"tab\there", REG_SZ, "\0"s}})
    ASSERT_EQ(Set(key.get(), name, type, data), ERROR_SUCCESS);
  Create(HKEY_CURRENT_USER, "Software\\Alpha");
  EXPECT_EQ(testenv::ReadFile(UserHive()),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Alpha]\n\n[HKEY_CURRENT_USER\\Software\\Zerth]\n"
            "@=\"default\"\n\"VerboseMode\"=dword:0000002a\n\"Blob\"=hex:00,ff,10\n\"Path\"=\"C:\\\\dir \\\"q\\\"\"\n"
            "\"Two lines\"=hex(1):61,0a,62,00\n\"tab\\x09here\"=\"\"\n\n");

  testenv::WriteFile(UserHive(), "REGEDIT4\r\n\r\n; written by hand\r\n[hkey_current_user\\Software\\Zerth]   \r\n"
                                 "  \"VerboseMode\" = DWORD:0000ABCD\r\n\"Long\"=hex:01,02,03,\\\r\n  04,05\r\n"
                                 "\"Expand\"=hex(2):25,00\r\n\"Twice\"=\"first\"\r\n\"TWICE\"=\"second\"\r\n"
                                 "\"Escaped\"=\"\\x41\\\\\"\r\n");
  EXPECT_EQ(Query(key.get(), "VerboseMode").data, "\xcd\xab\0\0"s);
  EXPECT_EQ(Query(key.get(), "Long").data, "\1\2\3\4\5"s);
  EXPECT_EQ(Query(key.get(), "Expand"), (StoredValue{ERROR_SUCCESS, 2, "%\0"s}));
  EXPECT_EQ(Query(key.get(), "twice").data, "second\0"s) << "a later line wins, as on import";
  EXPECT_EQ(Query(key.get(), "Escaped").data, "A\\\0"s);
}

TEST_F(RegistryTest, FilesArePrivateAndOnlyTheTemporariesOfKilledWritersAreRemoved) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 1), ERROR_SUCCESS);
  const fs::path dir = UserHive().parent_path();
  const std::pair<fs::path, mode_t> modes[] = {{UserHive(), 0600}, {dir, 0700}, {dir.parent_path(), 0700}};
  for (const auto& [path, mode] : modes) EXPECT_EQ(ModeOf(path), mode) << path;
  EXPECT_EQ(NamesIn(dir), (std::set<std::string>{"user.reg", "user.reg.lock"})) << "no temporary";

  // Names that merely look like a writer's temporary are not its to remove.
  const std::set<std::string> stale = {"user.reg.a1B2c3.tmp", "user.reg.ZZZZZZ.tmp", "user.reg.000000.tmp"};
  std::set<std::string> kept = {"user.reg.backup",     "user.reg.a1B2c.tmp",  "user.reg.a1B2c3d.tmp",
                                "user.reg.a_B-c3.tmp", "user.regXa1B2c3.tmp", "xuser.reg.a1B2c3.tmp",
                                "user.reg.a1B2c3.tmp.bak"};
  for (const auto& name : stale) testenv::WriteFile(dir / name, "REGEDIT4\n\n");
  for (const auto& name : kept) testenv::WriteFile(dir / name, "REGEDIT4\n\n");
  fs::create_symlink("user.reg", dir / "user.reg.Linked.tmp");
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 2), ERROR_SUCCESS);
  kept.insert({"user.reg", "user.reg.lock", "user.reg.Linked.tmp"});
  EXPECT_EQ(NamesIn(dir), kept);
}

TEST_F(RegistryTest, ConcurrentWritersInTwoProcessesLoseNothing) {
  constexpr DWORD kValuesEach = 100;
  const std::string count = std::to_string(kValuesEach);
  const pid_t writers[] = {StartWriter({"A", count}), StartWriter({"B", count})};
  for (pid_t pid : writers) EXPECT_EQ(WaitFor(pid), 0);
  OwnedKey key = Open(HKEY_CURRENT_USER, "Software\\ZerthRace");
  int missing = 0;
  for (const std::string prefix : {"A", "B"}) {
    for (DWORD i = 0; i < kValuesEach; ++i)
      missing += Query(key.get(), (prefix + std::to_string(i)).c_str()) !=
                 StoredValue{ERROR_SUCCESS, REG_DWORD, std::string(reinterpret_cast<const char*>(&i), 4)};
  }
  EXPECT_EQ(missing, 0);
}

TEST_F(RegistryTest, KilledWritersLeaveTheHiveWholeAndTheirTemporariesGo) {
  // 768 KiB of text: a write lasts long enough to be caught.
  const std::string bulk(256u << 10, '\x5a');
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\ZerthRace");
  ASSERT_EQ(Set(key.get(), "Bulk", REG_BINARY, bulk), ERROR_SUCCESS);
  const fs::path dir = UserHive().parent_path();
  const std::set<std::string> own = NamesIn(dir);
  const auto temporaries = [&] {
    std::set<std::string> names = NamesIn(dir);
    for (const std::string& name : own) names.erase(name);
    return names;
  };
  // At least five writers, and on until the last one killed left its file.
  std::set<std::string> seen;
  for (int round = 0; round < 20 && (round < 5 || temporaries().empty()); ++round) {
    const pid_t pid = StartWriter({"K", "1000"});
    ASSERT_NE(pid, 0);
    bool caught = false;
    for (const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !caught && std::chrono::steady_clock::now() < giveUp;
         std::this_thread::sleep_for(std::chrono::microseconds(100))) {
      for (const std::string& name : temporaries()) caught |= seen.insert(name).second;
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

TEST_F(RegistryTest, DamagedOrOddHivesAreReportedOnceAndNeverRewritten) {
  const std::string good = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Zerth]\n";
  const struct {
    const char* what;
    std::string text;  // "<folder>", "<fifo>" or "<sparse>": not written as text
    HKEY root = HKEY_CURRENT_USER;
    LONG rc = ERROR_BADDB;
    const char* reason = ": ";
  } cases[] = {
      {"empty file", ""}, {"version 5 export", "Windows Registry Editor Version 5.00\n\n"},
      {"unknown line", good + "VerboseMode=1\n"}, {"bad hex byte", good + "\"b\"=hex:01,0g\n"},
      {"continuation past the end", good + "\"b\"=hex:01,\\\n"}, {"dword of 7 digits", good + "\"d\"=dword:0000002\n"},
      {"string not closed", good + "\"s\"=\"abc\n"}, {"unknown escape", good + "\"s\"=\"a\\qb\"\n"},
      {"value before any key", "REGEDIT4\n\n\"s\"=\"a\"\n"}, {"unknown root", "REGEDIT4\n\n[HKEY_USERS\\S-1-5]\n"},
      {"cut inside a value", good + "\"VerboseMode\"=dword:000"},
      {"cut after a whole value", good + "\"VerboseMode\"=dword:00000001"},
      {"machine hive", good + "\"d\"=dword:1\n", HKEY_LOCAL_MACHINE},
      {"over 64 MiB", "<sparse>", HKEY_CURRENT_USER, ERROR_BADDB, ": larger than 64 MiB"},
      {"folder", "<folder>", HKEY_CURRENT_USER, ERROR_CANTREAD, ": not a regular file"},
      {"FIFO", "<fifo>", HKEY_CURRENT_USER, ERROR_CANTREAD, ": not a regular file"},
  };
  int number = 0;
  for (const auto& c : cases) {
    testenv::ScopedEnv config("XDG_CONFIG_HOME", m_dir.str() + "/case" + std::to_string(++number));
    const fs::path hive = c.root == HKEY_CURRENT_USER ? zplatform::UserHivePath() : MachineHive().string();
    fs::create_directories(c.text == "<folder>" ? hive : hive.parent_path());
    if (c.text == "<fifo>") { ASSERT_EQ(::mkfifo(hive.c_str(), 0600), 0); }
    if (c.text == "<sparse>") {
      testenv::WriteFile(hive, "REGEDIT4\n\n");
      fs::resize_file(hive, (64u << 20) + 1);  // costs no disk
    } else if (c.text[0] != '<') {
      testenv::WriteFile(hive, c.text);
    }
    const auto size = fs::is_regular_file(hive) ? fs::file_size(hive) : 0;
    testing::internal::CaptureStderr();
    const auto [opened, set, deleted] = CallWithoutBlockingOn(hive, [&] {
      HKEY key = nullptr;
      return std::tuple(RegOpenKeyEx(c.root, "Software", 0, KEY_READ, &key), SetDword(c.root, "Added", 1),
                        RegDeleteValue(c.root, "Added"));
    });
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(opened, c.rc) << c.what;
    EXPECT_EQ(set, c.rc) << c.what;
    EXPECT_EQ(deleted, c.rc) << c.what;
    if (c.text[0] != '<') { EXPECT_EQ(testenv::ReadFile(hive), c.text) << c.what; }
    if (fs::is_regular_file(hive)) { EXPECT_EQ(fs::file_size(hive), size) << c.what; }
    EXPECT_NE(report.find(hive.string() + c.reason), std::string::npos) << c.what << ": " << report;
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << c.what << ": " << report;
  }
  EXPECT_EQ(zplatform::RegReadString(HKEY_CLASSES_ROOT, "CLSID", "", "fallback"), "fallback");
}

// 22 MiB of bytes take 66 MiB as hex text, more than any reader accepts.
TEST_F(RegistryTest, ValueTooLargeForTheHiveIsRefusedAndTheHiveKept) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "Kept", 1), ERROR_SUCCESS);
  const std::string before = testenv::ReadFile(UserHive());
  EXPECT_EQ(Set(key.get(), "Huge", REG_BINARY, std::string(22u << 20, '\x5a')), ERROR_OUTOFMEMORY);
  EXPECT_EQ(testenv::ReadFile(UserHive()), before);
}

// What the reader accepts of a damaged hive, the writer writes back in a form
// the reader accepts again and reproduces exactly.
TEST_F(RegistryTest, MutatedHivesAreReadSafelyAndAcceptedOnesSurviveARewrite) {
  const std::string valid = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Zerth]\n@=\"d\"\n"
                            "\"Name \\\"q\\\"\"=\"C:\\\\x\"\n\"Num\"=dword:0000002a\n\"Bin\"=hex:00,01,\\\n  02\n"
                            "\"Sz\"=hex(1):61,0a,00\n\"\\x01\"=hex(7):00\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Zerth\\Sub]\n";
  const std::string alphabet = "\"\\[]@=:,;x0aF \t\r\n\x01\xff";
  std::mt19937 random(20240601);
  int accepted = 0;
  testing::internal::CaptureStderr();
  for (int round = 0; round < 400; ++round) {
    std::string text = valid;
    // Up to four edits: a byte replaced, bytes erased, a byte inserted, the rest cut.
    for (int e = 0, edits = 1 + static_cast<int>(random() % 4); e < edits && !text.empty(); ++e) {
      const std::size_t at = random() % text.size(), how = random() % 4;
      const char c = alphabet[random() % alphabet.size()];
      how == 0 ? void(text[at] = c) : how == 1 ? void(text.erase(at, 1 + random() % 3))
                                    : how == 2 ? void(text.insert(at, 1, c)) : text.resize(at);
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

// The writer runs without capabilities, so that root is refused too.
TEST_F(RegistryTest, UnwritableMachineHiveRefusesChangesButStillReads) {
  const std::string shipped = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\ZerthRace]\n\"Shipped\"=dword:00000001\n\n";
  testenv::WriteFile(MachineHive(), shipped);
  const fs::path dir = MachineHive().parent_path();
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  testenv::ScopedEnv machine("ZERTH_MACHINE_HIVE", MachineHive().string());
  const int status = WaitFor(StartWriter({"--machine", "Shipped", "1"}));
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_EQ(status, ERROR_ACCESS_DENIED) << "the helper opens the existing key, then fails to set the value";
  EXPECT_EQ(testenv::ReadFile(MachineHive()), shipped);
  EXPECT_EQ(NamesIn(dir), std::set<std::string>{"machine.reg"});
  EXPECT_EQ(zplatform::RegReadDword(HKEY_LOCAL_MACHINE, "Software\\ZerthRace", "Shipped"), 1u);
}

}  // namespace
