// The COM layer: apartments, BSTR texts and their UTF-8 conversions, and
// CoCreateInstance over registrations in a machine hive written by the test.
#include "TestEnv.h"

#include <zplatform/Com.h>
#include <zplatform/Registry.h>
#include <zproviders/OutlookApi.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

namespace {

using zplatform::Bstr;
using zplatform::ComPtr;

// UTF-8, the UTF-16 it gives, and the UTF-8 that gives back.
struct Conversion { std::string utf8; std::u16string utf16; std::string back; };

TEST(ComTest, BstrTextsConvertWithReplacementForBadInput) {
  const std::string fffd = "\xEF\xBF\xBD";
  const Conversion cases[] = {
      {"", u"", ""},
      {"Zo\xC3\xAB \xE2\x82\xAC", u"Zo\u00EB \u20AC", "Zo\xC3\xAB \xE2\x82\xAC"},
      {"\xF0\x9F\x98\x80!", u"\xD83D\xDE00!", "\xF0\x9F\x98\x80!"},  // a pair of surrogates
      {"a\xFF" "b", u"a\uFFFDb", "a" + fffd + "b"},
      {"\xC0\xAF", u"\uFFFD\uFFFD", fffd + fffd},                          // overlong "/"
      {"\xE2\x82", u"\uFFFD", fffd},                                        // cut short: one character
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", fffd + fffd + fffd},          // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", fffd + fffd + fffd + fffd},  // beyond U+10FFFF
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.utf8));
    Bstr text(c.utf8);
    ASSERT_EQ(SysStringLen(text.Get()), c.utf16.size());
    EXPECT_EQ(std::u16string(text.Get(), c.utf16.size()), c.utf16);
    EXPECT_EQ(text.Get()[c.utf16.size()], u'\0');
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text.Get()) - sizeof prefix, sizeof prefix);
    EXPECT_EQ(prefix, 2 * c.utf16.size());
    EXPECT_EQ(text.Utf8(), c.back);
  }
  // Unpaired surrogates from the UTF-16 side.
  const std::pair<std::u16string, std::string> lone[] = {
      {u"\xD800x", fffd + "x"}, {u"x\xDC00", "x" + fffd}, {u"\xDE00\xD83D", fffd + fffd}};
  for (const auto& [utf16, utf8] : lone) {
    Bstr text;
    *text.Put() = SysAllocStringLen(utf16.data(), static_cast<UINT>(utf16.size()));
    EXPECT_EQ(text.Utf8(), utf8);
  }
  EXPECT_EQ(zplatform::BstrToUtf8(nullptr), "");
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(zplatform::GuidToString(CLSID_OutlookApplication), "{0006F03A-0000-0000-C000-000000000046}");
}

// Stands for an aggregating object; never called.
class Outer : public IUnknown {
public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
};

// The library registered for the class (none when empty), with an outer
// object or not, the context asked, in an apartment or not: the result.
struct Creation { const char* what; std::string library; bool outer; DWORD context; bool apartment; HRESULT expected; };

TEST(ComTest, CoCreateInstanceLoadsTheRegisteredProviderOrSaysWhyNot) {
  testenv::TempDir dir;
  const std::string hive = dir.str() + "/machine.reg";
  zplatform::SetMachineHivePath(hive);
  const std::string provider = TARVO_RUNTIME_DIR "/libzcontacts.so";
  const Creation cases[] = {
      {"no registration", "", false, CLSCTX_ALL, true, REGDB_E_CLASSNOTREG},
      {"no such library", dir.str() + "/libmissing.so", false, CLSCTX_ALL, true, CO_E_DLLNOTFOUND},
      {"no entry point", PLATFORM_LIBRARY, false, CLSCTX_ALL, true, CO_E_ERRORINDLL},
      {"outer object", provider, true, CLSCTX_ALL, true, CLASS_E_NOAGGREGATION},
      {"no apartment", provider, false, CLSCTX_ALL, false, CO_E_NOTINITIALIZED},
      {"local server only", provider, false, CLSCTX_LOCAL_SERVER, true, REGDB_E_CLASSNOTREG},
      {"the provider", provider, false, CLSCTX_SERVER, true, S_OK},
  };
  for (const Creation& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = "REGEDIT4\n\n";
    if (!c.library.empty()) {
      text += "[HKEY_CLASSES_ROOT\\CLSID\\" + zplatform::GuidToString(CLSID_OutlookApplication) +
              "\\InprocServer32]\n@=\"" + c.library + "\"\n";
    }
    testenv::WriteFile(hive, text);
    // A thread of its own, so that an apartment entered here ends with it.
    std::thread([&c] {
      if (c.apartment) {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
      }
      Outer outer;
      ComPtr<IUnknown> object;
      EXPECT_EQ(CoCreateInstance(CLSID_OutlookApplication, c.outer ? &outer : nullptr, c.context, IID_IUnknown,
                                 object.PutVoid()),
                c.expected);
      EXPECT_EQ(bool(object), SUCCEEDED(c.expected));
      if (object) {
        EXPECT_EQ(OleRun(object.Get()), S_OK);
        ComPtr<_Application> application;
        EXPECT_EQ(object->QueryInterface(IID__Application, application.PutVoid()), S_OK);
      }
      if (c.apartment) CoUninitialize();
    }).join();
  }
}

}  // namespace

TEST(ComTest, ApartmentIsEnteredOncePerThreadWithOneModel) {
  std::thread([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    int reserved = 0;
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_APARTMENTTHREADED), E_INVALIDARG);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // left entirely: free to choose again
  }).join();
  // Another thread has its own apartment.
  std::thread([] { EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK); }).join();
}
