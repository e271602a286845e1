// The address-book provider listed through the picker's calls, over books written here.
#include "TestEnv.h"

#include <zplatform/DynamicLibrary.h>
#include <zproviders/WabApi.h>

#include <gtest/gtest.h>

#include <malloc.h>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using zplatform::ComPtr;
using Row = std::pair<ULONG, std::string>;  // object type, display name

const std::string kVCards =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Alice Archer\r\nEMAIL:alice@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Address\r\nTEL:123\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Team\r\nMEMBER:mailto:alice@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Sam Lee\r\nEMAIL:sam1@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Sam Lee\r\nEMAIL:sam2@example.org\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Carl\r\nEMAIL;INTERNET:carl@example.org\r\nEND:VCARD\r\n";
const std::vector<Row> kListed = {{MAPI_MAILUSER, "Alice Archer"}, {MAPI_DISTLIST, "Team"}, {MAPI_MAILUSER, "Sam Lee"},
                                  {MAPI_MAILUSER, "Sam Lee"},      {MAPI_MAILUSER, "Carl Berg"}};

class WabTest : public ::testing::Test {
protected:
  void SetUp() override { Load(); }
  // (Re)loads the library, releasing the objects of the one loaded before.
  void Load() {
    m_book.Reset();
    m_wab.Reset();
    m_library.reset();  // first, so that the library is unloaded in between
    m_library.reset(LoadLibrary("WAB32.DLL"));
    ASSERT_TRUE(m_library) << zplatform::LastLoadError();
    m_open = reinterpret_cast<LPWABOPEN>(GetProcAddress(m_library.get(), "WABOpen"));
    ASSERT_NE(m_open, nullptr);
  }

  // Opens the book (the default one for null), leaving m_book and m_wab set.
  HRESULT Open(const char* file) {
    WAB_PARAM param{sizeof(WAB_PARAM), nullptr, const_cast<char*>(file), 0};
    return m_open(m_book.Put(), m_wab.Put(), &param, 0);
  }
  ComPtr<IMAPITable> Table() {
    ULONG cb = 0, type = 0;
    LPENTRYID id = nullptr;
    ComPtr<IUnknown> container;
    ComPtr<IMAPITable> table;
    EXPECT_EQ(m_book->GetPAB(&cb, &id), S_OK);
    EXPECT_EQ(m_book->OpenEntry(cb, id, nullptr, 0, &type, container.Put()), S_OK);
    m_wab->FreeBuffer(id);
    EXPECT_TRUE(container && type == MAPI_ABCONT &&
                static_cast<IABContainer*>(container.Get())->GetContentsTable(0, table.Put()) == S_OK);
    return table;
  }
  void Free(LPSRowSet set) {
    for (ULONG i = 0; i < set->cRows; ++i) m_wab->FreeBuffer(set->aRow[i].lpProps);
    m_wab->FreeBuffer(set);
  }
  // The picker's steps; every row, and the count of distinct entry ids.
  std::pair<std::vector<Row>, std::size_t> List() {
    std::vector<Row> rows;
    std::set<std::string> ids;
    ComPtr<IMAPITable> table = Table();
    const SizedSPropTagArray<3> columns = {3, {PR_DISPLAY_NAME_A, PR_ENTRYID, PR_OBJECT_TYPE}};
    EXPECT_EQ(table->SetColumns(reinterpret_cast<const SPropTagArray*>(&columns), 0), S_OK);
    EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
    for (ULONG count = 1; count > 0;) {
      LPSRowSet set = nullptr;
      if (table->QueryRows(1, 0, &set) != S_OK) break;
      if ((count = set->cRows) > 0) {
        const SPropValue* props = set->aRow[0].lpProps;
        rows.emplace_back(props[2].Value.ul, props[0].Value.lpszA);
        ids.emplace(reinterpret_cast<char*>(props[1].Value.bin.lpb), props[1].Value.bin.cb);
      }
      Free(set);
    }
    return {rows, ids.size()};
  }

  testenv::TempDir m_home;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.str() + "/config"};
  testenv::ScopedEnv m_data{"XDG_DATA_HOME", m_home.str() + "/data"};
  testenv::ScopedEnv m_path{"PATH", TARVO_RUNTIME_DIR};
  // Closed after the objects below are released.
  std::unique_ptr<LibraryHandle, decltype(&FreeLibrary)> m_library{nullptr, FreeLibrary};
  LPWABOPEN m_open = nullptr;
  ComPtr<IAddrBook> m_book;
  ComPtr<IWABObject> m_wab;
};

// The default book (opened with no name), then a book named by its path.
TEST_F(WabTest, ListsMailUsersAndGroupsInFileOrderAcrossReloads) {
  const std::string defaultBook = m_home.str() + "/data/zerth/addressbook.vcf", named = m_home.str() + "/a.vcf";
  for (const auto& [path, name] : {std::pair(defaultBook, (const char*)nullptr), std::pair(named, named.c_str())}) {
    testenv::WriteFile(path, kVCards);
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(path + " round " + std::to_string(round));
      ASSERT_EQ(Open(name), S_OK);
      EXPECT_EQ(List(), std::pair(kListed, kListed.size()));
      Load();
    }
  }
}

TEST_F(WabTest, BooksThatCannotBeReadFailWithNoObjects) {
  testenv::WriteFile(m_home.path() / "notes.txt", "Shopping: milk, eggs\n");
  const std::string missing = m_home.str() + "/none.vcf", folder = m_home.str(), notes = folder + "/notes.txt";
  for (const auto& [file, expected] : {std::pair(missing.c_str(), MAPI_E_NOT_FOUND),
                                       std::pair(folder.c_str(), MAPI_E_NO_ACCESS),
                                       std::pair(notes.c_str(), MAPI_E_CALL_FAILED)}) {
    SCOPED_TRACE(file);
    auto* book = reinterpret_cast<IAddrBook*>(&m_book);  // anything but null
    auto* wab = reinterpret_cast<IWABObject*>(&m_wab);
    WAB_PARAM param{sizeof(WAB_PARAM), nullptr, const_cast<char*>(file), 0};
    EXPECT_EQ(m_open(&book, &wab, &param, 0), expected);
    EXPECT_TRUE(!book && !wab);
  }
  EXPECT_EQ(m_open(m_book.Put(), nullptr, nullptr, 0), MAPI_E_INVALID_PARAMETER);
  // The default book not written yet: an empty book.
  ASSERT_EQ(Open(nullptr), S_OK);
  EXPECT_EQ(List().first, std::vector<Row>{});
}

TEST_F(WabTest, TablePagesSeeksAndMarksUnknownColumns) {
  const std::string path = m_home.str() + "/book.vcf";
  testenv::WriteFile(path, kVCards);
  ASSERT_EQ(Open(path.c_str()), S_OK);
  ComPtr<IMAPITable> table = Table();
  const SizedSPropTagArray<2> columns = {2, {PR_EMAIL_ADDRESS_A, PROP_TAG(PT_LONG, 0x6789)}};
  ASSERT_EQ(table->SetColumns(reinterpret_cast<const SPropTagArray*>(&columns), 0), S_OK);
  // The address column of each row read (a group has none), or "end".
  auto next = [&](LONG count) {
    LPSRowSet set = nullptr;
    std::string addresses;
    EXPECT_EQ(table->QueryRows(count, 0, &set), S_OK);
    for (ULONG i = 0; i < set->cRows; ++i) {
      const SPropValue* props = set->aRow[i].lpProps;
      EXPECT_EQ(props[1].ulPropTag, PROP_TAG(PT_ERROR, 0x6789));
      EXPECT_EQ(props[1].Value.err, MAPI_E_NOT_FOUND);
      addresses += props[0].ulPropTag == PR_EMAIL_ADDRESS_A ? std::string(props[0].Value.lpszA) + " " : "(none) ";
    }
    Free(set);
    return addresses.empty() ? "end" : addresses;
  };
  EXPECT_EQ(next(2), "alice@example.org (none) ");
  for (const auto& [origin, count, sought, read] :
       {std::tuple(BOOKMARK_CURRENT, -1, -1, "(none) sam1@example.org "), std::tuple(BOOKMARK_CURRENT, 5, 2, "end"),
        std::tuple(BOOKMARK_END, -1, -1, "carl@example.org "),
        std::tuple(BOOKMARK_BEGINNING, -3, 0, "alice@example.org (none) "),
        std::tuple(BOOKMARK_BEGINNING, 3, 3, "sam2@example.org carl@example.org ")}) {
    LONG moved = 99;
    EXPECT_EQ(table->SeekRow(origin, count, &moved), S_OK);
    EXPECT_EQ(moved, sought);
    EXPECT_EQ(next(2), read) << origin << " " << count;
  }
  LPSRowSet set = nullptr;
  EXPECT_EQ(table->QueryRows(0, 0, &set), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(set, nullptr);
}

TEST_F(WabTest, OpensOnlyTheContainerAndFreesBlocksWithThoseAllocatedOntoThem) {
  ASSERT_EQ(Open(nullptr), S_OK);
  ULONG cb = 0;
  LPENTRYID pab = nullptr;
  ASSERT_EQ(m_book->GetPAB(&cb, &pab), S_OK);
  std::string other(reinterpret_cast<char*>(pab), cb);
  other.back() ^= 1;
  for (const auto& [id, size, iid, expected] :
       {std::tuple(pab, cb, &IID_IUnknown, S_OK), std::tuple(pab, cb - 1, (const IID*)nullptr, MAPI_E_UNKNOWN_ENTRYID),
        std::tuple(reinterpret_cast<LPENTRYID>(other.data()), cb, (const IID*)nullptr, MAPI_E_UNKNOWN_ENTRYID),
        std::tuple(pab, cb, &IID_IDispatch, E_NOINTERFACE)}) {
    ULONG type = 0;
    ComPtr<IUnknown> opened;
    EXPECT_EQ(m_book->OpenEntry(size, id, iid, 0, &type, opened.Put()), expected);
    EXPECT_EQ(bool(opened), expected == S_OK);
  }
  m_wab->FreeBuffer(pab);
  // The heap in use (large blocks, as small freed ones stay counted in use);
  // a sanitizer's heap reports nothing and the test passes.
  auto inUse = [] { return ::mallinfo2().uordblks + ::mallinfo2().hblkhd; };
  const std::size_t before = inUse();
  void *block = nullptr, *more = nullptr;
  ASSERT_EQ(m_wab->AllocateBuffer(64, &block), S_OK);
  for (ULONG size : {1u << 20, 1u << 20}) ASSERT_EQ(m_wab->AllocateMore(size, block, &more), S_OK);
  m_wab->FreeBuffer(block);
  m_wab->FreeBuffer(nullptr);
  EXPECT_EQ(inUse(), before);
}

}  // namespace
