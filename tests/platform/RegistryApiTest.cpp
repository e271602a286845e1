// The registry calls as Windows callers use them: values of each type, sizes
// and error codes, key creation, names without regard to case, the root keys.
#include "RegistryFixture.h"

#include <zplatform/ProgramDir.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class RegistryApiTest : public RegistryFixture {};

struct ValueCase {
  const char* name;
  DWORD type;
  std::string data;
};

std::string AllBytesTwice() {
  std::string bytes;
  for (int round = 0; round < 2; ++round) {
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

TEST_F(RegistryApiTest, ValuesOfEveryTypeComeBackByteForByte) {
  const std::vector<ValueCase> cases = {
      {"Text", REG_SZ, "hello\0"s},
      {"Empty text", REG_SZ, "\0"s},
      {"No bytes", REG_SZ, ""},
      {"Quotes and backslashes", REG_SZ, "say \"hi\" to C:\\dir\\ and \\\"\0"s},
      {"Line breaks", REG_SZ, "one\ntwo\r\nthree\r\0"s},
      {"Control bytes", REG_SZ, "tab\there\x01\x1f\x7f end\0"s},
      {"UTF-8", REG_SZ, "Grüße, € and 日本\0"s},
      {"Not UTF-8", REG_SZ, "Gr\xfc\xdf" "e \xc3\0"s},
      {"No terminator", REG_SZ, "abc"},
      {"Inner zero", REG_SZ, "a\0b\0"s},
      {"Two terminators", REG_SZ, "ab\0\0"s},
      {"Looks like a hive line", REG_SZ, "\"x\"=dword:00000001\0"s},
      {"Number", REG_DWORD, "\x2a\0\0\0"s},
      {"All ones", REG_DWORD, "\xff\xff\xff\xff"s},
      {"Binary with zeros", REG_BINARY, "\0\x01\0\xff\0"s},
      {"Empty binary", REG_BINARY, ""},
      {"Long binary", REG_BINARY, AllBytesTwice()},
      {"Every byte as text", REG_SZ, AllBytesTwice()},
  };
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth\\Types");
  for (const ValueCase& c : cases) ASSERT_EQ(Set(key.get(), c.name, c.type, c.data), ERROR_SUCCESS) << c.name;
  for (const ValueCase& c : cases) {
    StoredValue stored = Query(key.get(), c.name);
    EXPECT_EQ(stored.rc, ERROR_SUCCESS) << c.name;
    EXPECT_EQ(stored.type, c.type) << c.name;
    EXPECT_EQ(stored.data, c.data) << c.name;
  }
}

TEST_F(RegistryApiTest, ValueNamesOfAnyBytesStayDistinct) {
  const std::vector<std::string> names = {
      "",          "@",          "with \"quotes\"", "back\\slash", "new\nline", "cr\r",  "\x01",
      "high \xff", "Ümlaut",     "[Section]",       "a=b",         " lead",     "trail ", "semi;colon",
      "\\x41",     "hex:01,02",  "dword:00000001",
  };
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth\\Names");
  for (std::size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(SetDword(key.get(), names[i].c_str(), static_cast<DWORD>(i)), ERROR_SUCCESS) << names[i];
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    StoredValue stored = Query(key.get(), names[i].c_str());
    ASSERT_EQ(stored.rc, ERROR_SUCCESS) << names[i];
    EXPECT_EQ(stored.data, std::string(reinterpret_cast<const char*>(&i), 4)) << names[i];
  }
}

TEST_F(RegistryApiTest, QueryGivesSizesAndErrorsAsWindowsDoes) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(key.get(), "Name", REG_SZ, "abc\0"s), ERROR_SUCCESS);

  DWORD type = REG_NONE;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 4u) << "the size of text counts its terminating zero";

  BYTE small[3] = {'x', 'x', 'x'};
  size = sizeof small;
  type = REG_NONE;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, REG_SZ);

  BYTE roomy[16] = {};
  size = sizeof roomy;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, nullptr, roomy, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_STREQ(reinterpret_cast<const char*>(roomy), "abc");

  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, nullptr, roomy, nullptr), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", &reserved, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueEx(key.get(), "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  // The default value: unset until written; a null or empty name reaches it.
  EXPECT_EQ(RegQueryValueEx(key.get(), nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(Set(key.get(), "", REG_SZ, "dflt\0"s), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), nullptr).data, "dflt\0"s);
}

TEST_F(RegistryApiTest, CreateKeyTellsWhetherTheKeyIsNew) {
  DWORD disposition = 0;
  OwnedKey deep = Create(HKEY_CURRENT_USER, "Software\\Zerth\\A\\B", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  Create(HKEY_CURRENT_USER, "Software\\Zerth\\A\\B", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  // The keys above a created key exist too.
  Create(HKEY_CURRENT_USER, "software\\ZERTH\\a", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

  LONG rc = ERROR_SUCCESS;
  EXPECT_TRUE(Open(HKEY_CURRENT_USER, "Software", KEY_READ, &rc));
  EXPECT_EQ(rc, ERROR_SUCCESS);
  OwnedKey missing = Open(HKEY_CURRENT_USER, "Software\\Zerth\\Missing", KEY_READ, &rc);
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(missing);

  // A subkey made through an open key; new parts keep the caller's spelling,
  // existing parts the stored one.
  HKEY child = nullptr;
  ASSERT_EQ(RegCreateKeyEx(deep.get(), "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
            ERROR_SUCCESS);
  OwnedKey ownedChild(child);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  Create(HKEY_CURRENT_USER, "SOFTWARE\\ZERTH\\A\\NewOne");
  const std::string text = testenv::ReadFile(UserHive());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Zerth\\A\\B\\Child]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Zerth\\A\\NewOne]\n"), std::string::npos) << text;
}

TEST_F(RegistryApiTest, NamesMatchWithoutCaseAndKeepTheirSpelling) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "VerboseMode", 1), ERROR_SUCCESS);
  OwnedKey other = Open(HKEY_CURRENT_USER, "SOFTWARE\\zerth", KEY_ALL_ACCESS);
  ASSERT_TRUE(other);
  EXPECT_EQ(Query(other.get(), "VERBOSEMODE").data, "\1\0\0\0"s);
  ASSERT_EQ(SetDword(other.get(), "verbosemode", 2), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), "VerboseMode").data, "\2\0\0\0"s);
  const std::string text = testenv::ReadFile(UserHive());
  EXPECT_NE(text.find("\"VerboseMode\"=dword:00000002\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("verbosemode"), std::string::npos) << text;
}

TEST_F(RegistryApiTest, DeleteValueRemovesOnlyThatValue) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "First", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.get(), "Second", 2), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.get(), "Third", 3), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(key.get(), "SECOND"), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), "Second").rc, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValue(key.get(), "Second"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(key.get(), "First").data, "\1\0\0\0"s);
  EXPECT_EQ(Query(key.get(), "Third").data, "\3\0\0\0"s);
  // Still found after the positions behind the deleted value moved.
  ASSERT_EQ(SetDword(key.get(), "third", 33), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), "Third").data, "\x21\0\0\0"s);
  OwnedKey missingKey = Create(HKEY_CURRENT_USER, "Software\\Empty");
  EXPECT_EQ(RegDeleteValue(missingKey.get(), "First"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApiTest, BadHandlesArgumentsAndAccessAreRefused) {
  OwnedKey full = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  OwnedKey readOnly = Open(HKEY_CURRENT_USER, "Software\\Zerth", KEY_READ);
  OwnedKey writeOnly = Open(HKEY_CURRENT_USER, "Software\\Zerth", KEY_WRITE);
  ASSERT_TRUE(readOnly && writeOnly);
  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &closed), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  const DWORD four = 4;
  const BYTE three[3] = {1, 2, 3};
  HKEY out = nullptr;

  struct Case {
    const char* what;
    LONG got;
    LONG expected;
  };
  const Case cases[] = {
      {"close twice", RegCloseKey(closed), ERROR_INVALID_HANDLE},
      {"close null", RegCloseKey(nullptr), ERROR_INVALID_HANDLE},
      {"query closed", RegQueryValueEx(closed, "x", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE},
      {"set closed", SetDword(closed, "x", 1), ERROR_INVALID_HANDLE},
      {"open below closed", RegOpenKeyEx(closed, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE},
      {"set through read-only key", SetDword(readOnly.get(), "x", 1), ERROR_ACCESS_DENIED},
      {"delete through read-only key", RegDeleteValue(readOnly.get(), "x"), ERROR_ACCESS_DENIED},
      {"create below read-only key",
       RegCreateKeyEx(readOnly.get(), "New", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr), ERROR_ACCESS_DENIED},
      {"query through write-only key", RegQueryValueEx(writeOnly.get(), "x", nullptr, nullptr, nullptr, nullptr),
       ERROR_ACCESS_DENIED},
      {"dword of three bytes", RegSetValueEx(full.get(), "x", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER},
      {"unsupported type", RegSetValueEx(full.get(), "x", 0, 7, three, 3), ERROR_INVALID_PARAMETER},
      {"reserved not zero", RegSetValueEx(full.get(), "x", 1, REG_BINARY, three, 3), ERROR_INVALID_PARAMETER},
      {"bytes counted but none given", RegSetValueEx(full.get(), "x", 0, REG_BINARY, nullptr, four),
       ERROR_INVALID_PARAMETER},
      {"no result pointer", RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr),
       ERROR_INVALID_PARAMETER},
      {"create with an empty part",
       RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"create with a leading backslash",
       RegCreateKeyEx(HKEY_CURRENT_USER, "\\Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"create with a line break in the name",
       RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\a\nb", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"open with an empty part", RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\\\Zerth", 0, KEY_READ, &out),
       ERROR_FILE_NOT_FOUND},
      {"close a root key", RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
  EXPECT_EQ(out, nullptr) << "failed calls leave no handle behind";
  // A key path may end in one backslash.
  EXPECT_TRUE(Open(HKEY_CURRENT_USER, "Software\\Zerth\\"));
  // Nothing refused above reached the file.
  EXPECT_EQ(Query(full.get(), "x").rc, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApiTest, ClassesRootIsTheClassesKeyOfTheMachineHive) {
  const char* clsid = "CLSID\\{0006F03A-0000-0000-C000-000000000046}\\InprocServer32";
  OwnedKey viaClasses = Create(HKEY_CLASSES_ROOT, clsid);
  ASSERT_EQ(Set(viaClasses.get(), nullptr, REG_SZ, "libcontacts.so\0"s), ERROR_SUCCESS);

  OwnedKey viaMachine = Open(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + clsid).c_str());
  ASSERT_TRUE(viaMachine);
  EXPECT_EQ(Query(viaMachine.get(), "").data, "libcontacts.so\0"s);
  EXPECT_TRUE(std::filesystem::exists(MachineHive()));
  EXPECT_FALSE(std::filesystem::exists(UserHive())) << "the user hive is another file";
  EXPECT_NE(testenv::ReadFile(MachineHive()).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\"),
            std::string::npos);

  // A machine hive may name the classes root itself.
  testenv::WriteFile(MachineHive(),
                     "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Zerth.Contacts\\CLSID]\n@=\"{1234}\"\n"
                     "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\WAB\\DLLPath]\n@=\"/opt/libwab32.so\"\n");
  EXPECT_EQ(zplatform::RegReadString(HKEY_CLASSES_ROOT, "Zerth.Contacts\\CLSID", ""), "{1234}");
  EXPECT_EQ(zplatform::RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Zerth.Contacts\\CLSID", ""), "{1234}");
  EXPECT_EQ(zplatform::RegReadString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\WAB\\DLLPath", ""),
            "/opt/libwab32.so");
  EXPECT_EQ(zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Microsoft\\WAB\\DLLPath", "", "none"), "none");
}

TEST_F(RegistryApiTest, HivesAreFoundWhereConfigured) {
  EXPECT_EQ(zplatform::UserHivePath(), (TempPath() / "config" / "zerth" / "user.reg").string());
  EXPECT_EQ(zplatform::MachineHivePath(), MachineHive().string());

  const std::string fromEnvironment = (TempPath() / "env" / "machine.reg").string();
  testenv::ScopedEnv env("ZERTH_MACHINE_HIVE", fromEnvironment);
  EXPECT_EQ(zplatform::MachineHivePath(), MachineHive().string()) << "the call wins over the environment";
  zplatform::SetMachineHivePath("");
  EXPECT_EQ(zplatform::MachineHivePath(), fromEnvironment);
  OwnedKey key = Create(HKEY_LOCAL_MACHINE, "Software\\Zerth");
  ASSERT_EQ(SetDword(key.get(), "Installed", 1), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(fromEnvironment));
  EXPECT_FALSE(std::filesystem::exists(MachineHive()));

  testenv::ScopedEnv unset("ZERTH_MACHINE_HIVE", "");
  EXPECT_EQ(zplatform::MachineHivePath(), zplatform::ProgramDir() + "/machine.reg");
}

TEST_F(RegistryApiTest, ConvenienceReadersFallBackWhenTheValueDoesNotFit) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(key.get(), "Text", REG_SZ, "value\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Cut", REG_SZ, "first\0second\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Bare", REG_SZ, "bare"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.get(), "Number", 0x12345678), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Bytes", REG_BINARY, "\1\0\0\0"s), ERROR_SUCCESS);

  using zplatform::RegReadDword;
  using zplatform::RegReadString;
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "text", "-"), "value");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Cut", "-"), "first");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Bare", "-"), "bare");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Number", "-"), "-");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Missing", "-"), "-");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Nowhere", "Text", "-"), "-");
  EXPECT_EQ(RegReadString(key.get(), "", "Text", "-"), "value");
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Number", 7), 0x12345678u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Bytes", 7), 7u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Text", 7), 7u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Missing", 7), 7u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Nowhere", "Number", 7), 7u);
}

}  // namespace
