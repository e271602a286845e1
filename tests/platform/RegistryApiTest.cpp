// The registry calls as Windows callers use them: values of each type, sizes
// and error codes, key creation, names without regard to case, the root keys.
#include "RegistryFixture.h"

#include <zplatform/ProgramDir.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class RegistryApiTest : public RegistryFixture {};

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

TEST_F(RegistryApiTest, ValuesAndNamesOfAnyBytesComeBackExactly) {
  struct ValueCase {
    std::string name;
    DWORD type;
    std::string data;
  };
  const std::vector<ValueCase> cases = {
      {"Text", REG_SZ, "hello\0"s},
      {"No bytes", REG_SZ, ""},
      {"with \"quotes\" and back\\slash", REG_SZ, "say \"hi\" to C:\\dir\\ and \\\"\0"s},
      {"new\nline\r", REG_SZ, "one\ntwo\r\nthree\r\0"s},
      {"high \xff", REG_SZ, "Gr\xfc\xdf" "e \xc3\0"s},
      {"[Section]", REG_SZ, "a\0b\0\0"s},
      {"dword:00000001", REG_SZ, "\"x\"=dword:00000001\0"s},
      {"\\x41", REG_SZ, "abc"},
      {" lead;a=b ", REG_DWORD, "\xff\xff\xff\xff"s},
      {"@", REG_BINARY, "\0\x01\0\xff\0"s},
      {"", REG_BINARY, ""},
      {"Every byte as text", REG_SZ, AllBytes()},
      {"Every byte", REG_BINARY, AllBytes()},
  };
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth\\Types");
  for (const ValueCase& c : cases) ASSERT_EQ(Set(key.get(), c.name.c_str(), c.type, c.data), ERROR_SUCCESS) << c.name;
  for (const ValueCase& c : cases) {
    const StoredValue stored = Query(key.get(), c.name.c_str());
    EXPECT_EQ(stored.rc, ERROR_SUCCESS) << c.name;
    EXPECT_EQ(stored.type, c.type) << c.name;
    EXPECT_EQ(stored.data, c.data) << c.name;
  }
}

TEST_F(RegistryApiTest, QueryGivesSizesAndErrorsAsWindowsDoes) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(key.get(), "Name", REG_SZ, "abc\0"s), ERROR_SUCCESS);

  DWORD type = REG_NONE;
  BYTE small[3] = {'x', 'x', 'x'};
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u) << "the size of text counts its terminating zero";
  EXPECT_EQ(type, REG_SZ);

  BYTE roomy[16] = {};
  size = sizeof roomy;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, nullptr, roomy, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_STREQ(reinterpret_cast<const char*>(roomy), "abc");

  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", nullptr, nullptr, roomy, nullptr), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueEx(key.get(), "Name", &reserved, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueEx(key.get(), "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  // The default value: unset until written; a null or empty name reaches it.
  EXPECT_EQ(RegQueryValueEx(key.get(), nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(Set(key.get(), "", REG_SZ, "dflt\0"s), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), nullptr).data, "dflt\0"s);
}

TEST_F(RegistryApiTest, KeysAreCreatedOnceAndMatchedWithoutCase) {
  DWORD disposition = 0;
  OwnedKey deep = Create(HKEY_CURRENT_USER, "Software\\Zerth\\A\\B", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  Create(HKEY_CURRENT_USER, "software\\ZERTH\\a", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY)) << "the keys above a created key exist";

  LONG rc = ERROR_SUCCESS;
  EXPECT_FALSE(Open(HKEY_CURRENT_USER, "Software\\Zerth\\Missing", KEY_READ, &rc));
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);

  // New parts keep the caller's spelling, existing parts the stored one.
  HKEY child = nullptr;
  ASSERT_EQ(RegCreateKeyEx(deep.get(), "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_SUCCESS);
  OwnedKey ownedChild(child);
  OwnedKey upper = Create(HKEY_CURRENT_USER, "SOFTWARE\\ZERTH\\A\\NewOne");
  ASSERT_EQ(SetDword(deep.get(), "VerboseMode", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(Open(HKEY_CURRENT_USER, "software\\zerth\\a\\b", KEY_ALL_ACCESS).get(), "verbosemode", 2),
            ERROR_SUCCESS);
  EXPECT_EQ(Query(deep.get(), "VERBOSEMODE").data, "\2\0\0\0"s);
  const std::string text = testenv::ReadFile(UserHive());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Zerth\\A\\B\\Child]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Zerth\\A\\NewOne]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"VerboseMode\"=dword:00000002\n"), std::string::npos) << text;
}

TEST_F(RegistryApiTest, DeleteValueRemovesOnlyThatValue) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  for (const char* name : {"First", "Second", "Third"}) ASSERT_EQ(SetDword(key.get(), name, 1), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(key.get(), "SECOND"), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), "Second").rc, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValue(key.get(), "Second"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(key.get(), "First").rc, ERROR_SUCCESS);
  // Still found after the positions behind the deleted value moved.
  ASSERT_EQ(SetDword(key.get(), "third", 33), ERROR_SUCCESS);
  EXPECT_EQ(Query(key.get(), "Third").data, "\x21\0\0\0"s);
}

TEST_F(RegistryApiTest, BadHandlesArgumentsAndAccessAreRefused) {
  OwnedKey full = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  OwnedKey readOnly = Open(HKEY_CURRENT_USER, "Software\\Zerth", KEY_READ);
  OwnedKey writeOnly = Open(HKEY_CURRENT_USER, "Software\\Zerth", KEY_WRITE);
  ASSERT_TRUE(readOnly && writeOnly);
  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &closed), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  const BYTE three[3] = {1, 2, 3};
  HKEY out = nullptr;

  struct Case {
    const char* what;
    LONG got;
    LONG expected;
  };
  const Case cases[] = {
      {"close twice", RegCloseKey(closed), ERROR_INVALID_HANDLE},
      {"set closed", SetDword(closed, "x", 1), ERROR_INVALID_HANDLE},
      {"set through read-only key", SetDword(readOnly.get(), "x", 1), ERROR_ACCESS_DENIED},
      {"create below read-only key",
       RegCreateKeyEx(readOnly.get(), "New", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr), ERROR_ACCESS_DENIED},
      {"query through write-only key", RegQueryValueEx(writeOnly.get(), "x", nullptr, nullptr, nullptr, nullptr),
       ERROR_ACCESS_DENIED},
      {"dword of three bytes", RegSetValueEx(full.get(), "x", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER},
      {"unsupported type", RegSetValueEx(full.get(), "x", 0, 7, three, 3), ERROR_INVALID_PARAMETER},
      {"bytes counted but none given", RegSetValueEx(full.get(), "x", 0, REG_BINARY, nullptr, 4),
       ERROR_INVALID_PARAMETER},
      {"create with an empty part",
       RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"create with a line break in the name",
       RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\a\nb", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
       ERROR_INVALID_PARAMETER},
      {"close a root key", RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
  EXPECT_EQ(out, nullptr) << "failed calls leave no handle behind";
  EXPECT_EQ(Query(full.get(), "x").rc, ERROR_FILE_NOT_FOUND) << "nothing refused reached the file";
}

TEST_F(RegistryApiTest, ClassesRootIsTheClassesKeyOfTheMachineHive) {
  const char* clsid = "CLSID\\{0006F03A-0000-0000-C000-000000000046}\\InprocServer32";
  ASSERT_EQ(Set(Create(HKEY_CLASSES_ROOT, clsid).get(), nullptr, REG_SZ, "libcontacts.so\0"s), ERROR_SUCCESS);
  EXPECT_EQ(zplatform::RegReadString(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + clsid).c_str(), ""),
            "libcontacts.so");
  EXPECT_FALSE(std::filesystem::exists(UserHive())) << "the user hive is another file";

  // A machine hive may name the classes root itself.
  testenv::WriteFile(MachineHive(), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\Zerth.Contacts\\CLSID]\n@=\"{1234}\"\n");
  EXPECT_EQ(zplatform::RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Zerth.Contacts\\CLSID", ""), "{1234}");
  EXPECT_EQ(zplatform::RegReadString(HKEY_CURRENT_USER, "Software\\Classes\\Zerth.Contacts\\CLSID", "", "-"), "-");
}

TEST_F(RegistryApiTest, MachineHiveIsFoundWhereConfigured) {
  EXPECT_EQ(zplatform::UserHivePath(), UserHive().string());
  const std::string fromEnvironment = (TempPath() / "env" / "machine.reg").string();
  testenv::ScopedEnv env("ZERTH_MACHINE_HIVE", fromEnvironment);
  EXPECT_EQ(zplatform::MachineHivePath(), MachineHive().string()) << "the call wins over the environment";
  zplatform::SetMachineHivePath("");
  EXPECT_EQ(zplatform::MachineHivePath(), fromEnvironment);
  testenv::ScopedEnv unset("ZERTH_MACHINE_HIVE", "");
  EXPECT_EQ(zplatform::MachineHivePath(), zplatform::ProgramDir() + "/machine.reg");
}

TEST_F(RegistryApiTest, ConvenienceReadersFallBackWhenTheValueDoesNotFit) {
  OwnedKey key = Create(HKEY_CURRENT_USER, "Software\\Zerth");
  ASSERT_EQ(Set(key.get(), "Cut", REG_SZ, "first\0second\0"s), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Bare", REG_SZ, "bare"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.get(), "Number", 0x12345678), ERROR_SUCCESS);
  ASSERT_EQ(Set(key.get(), "Bytes", REG_BINARY, "\1\0\0\0"s), ERROR_SUCCESS);

  using zplatform::RegReadDword;
  using zplatform::RegReadString;
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "cut", "-"), "first");
  EXPECT_EQ(RegReadString(key.get(), "", "Bare", "-"), "bare");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Zerth", "Number", "-"), "-");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\Nowhere", "Cut", "-"), "-");
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Number", 7), 0x12345678u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Bytes", 7), 7u);
  EXPECT_EQ(RegReadDword(HKEY_CURRENT_USER, "Software\\Zerth", "Missing", 7), 7u);
}

}  // namespace
