// The contacts object model over a tree of vCard folders, reached as the
// pickers reach it: CoCreateInstance, GetNamespace, GetDefaultFolder, then
// the folders and items.
#include "TestEnv.h"

#include <zplatform/Com.h>
#include <zplatform/Registry.h>
#include <zproviders/OutlookApi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using zplatform::Bstr;
using zplatform::ComPtr;

std::string Card(const std::string& lines) { return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n"; }

std::string Field(_ContactItem* contact, HRESULT (_ContactItem::*get)(BSTR*)) {
  Bstr value;
  EXPECT_EQ((contact->*get)(value.Put()), S_OK);
  EXPECT_TRUE(!value.Get() || SysStringLen(value.Get()) > 0) << "empty text is the null BSTR";
  return value.Utf8();
}

// The folder, its subfolders and its items as lines indented by depth; an
// item is "address|first|last|full|last, first", or "(group)".
void Dump(MAPIFolder* folder, const std::string& indent, std::string& out) {
  Bstr name;
  ASSERT_EQ(folder->get_Name(name.Put()), S_OK);
  out += indent + name.Utf8() + "/\n";
  ComPtr<_Folders> folders;
  ASSERT_EQ(folder->get_Folders(folders.Put()), S_OK);
  ComPtr<MAPIFolder> sub;
  for (HRESULT hr = folders->GetFirst(sub.Put()); sub; hr = folders->GetNext(sub.Put())) {
    ASSERT_EQ(hr, S_OK);
    Dump(sub.Get(), indent + "  ", out);
  }
  ComPtr<_Items> items;
  ASSERT_EQ(folder->get_Items(items.Put()), S_OK);
  ComPtr<IDispatch> item;
  for (HRESULT hr = items->GetFirst(item.Put()); item; hr = items->GetNext(item.Put())) {
    ASSERT_EQ(hr, S_OK);
    ComPtr<_ContactItem> contact;
    if (item->QueryInterface(IID__ContactItem, contact.PutVoid()) == E_NOINTERFACE) {
      EXPECT_FALSE(contact);
      out += indent + "  (group)\n";
      continue;
    }
    ASSERT_TRUE(contact);
    out += indent + "  " + Field(contact.Get(), &_ContactItem::get_Email1Address) + "|" +
           Field(contact.Get(), &_ContactItem::get_FirstName) + "|" + Field(contact.Get(), &_ContactItem::get_LastName) +
           "|" + Field(contact.Get(), &_ContactItem::get_FullName) + "|" +
           Field(contact.Get(), &_ContactItem::get_LastNameAndFirstName) + "\n";
  }
}

class ContactsProviderTest : public testing::Test {
protected:
  void SetUp() override {
    zplatform::SetMachineHivePath(m_dir.str() + "/machine.reg");
    testenv::WriteFile(m_dir.path() / "machine.reg",
                       "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\\" + zplatform::GuidToString(CLSID_OutlookApplication) +
                           "\\InprocServer32]\n@=\"" TARVO_RUNTIME_DIR "/libzcontacts.so\"\n");
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(CLSID_OutlookApplication, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()), S_OK);
    ASSERT_EQ(object->QueryInterface(IID__Application, m_application.PutVoid()), S_OK);
  }
  void TearDown() override {
    m_application.Reset();
    CoUninitialize();
  }

  // Names the default contacts folder in the user's registry.
  void SetContactsFolder(const fs::path& folder) {
    testenv::WriteFile(m_dir.path() / "config/zerth/user.reg",
                       "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Zerth\\Contacts]\n\"Folder\"=\"" + folder.string() + "\"\n");
  }

  ComPtr<_NameSpace> Namespace() {
    ComPtr<_NameSpace> ns;
    EXPECT_EQ(m_application->GetNamespace(Bstr("MAPI").Get(), ns.Put()), S_OK);
    return ns;
  }

  testenv::TempDir m_dir;
  testenv::ScopedEnv m_config{"XDG_CONFIG_HOME", m_dir.str() + "/config"};
  ComPtr<_Application> m_application;
};

TEST_F(ContactsProviderTest, WalksFoldersInByteOrderAndSkipsUnreadableFilesGroupsAndLoops) {
  const fs::path root = m_dir.path() / "Contacts";
  testenv::WriteFile(root / "01-jane.vcf", Card("FN:Jane Roe\r\nN:Roe;Jane;;;\r\nEMAIL:jane@example.org\r\n"));
  testenv::WriteFile(root / "02-nomail.vcf", Card("FN:No Mail\r\nN:Mail;No;;;\r\n"));
  testenv::WriteFile(root / "03-support.vcf", Card("FN:Acme Support\r\nEMAIL:help@acme.example\r\n"));
  testenv::WriteFile(root / "04-team.vcf", Card("KIND:group\r\nFN:Team\r\nEMAIL:team@example.org\r\n"));
  ASSERT_EQ(::mkfifo((root / "05-fifo.vcf").c_str(), 0600), 0);
  fs::create_symlink(root / "missing", root / "06-gone.vcf");
  testenv::WriteFile(root / "07-text.vcf", "no card here\n");
  testenv::WriteFile(root / "08-two.vcf", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Zed;Amy\r\nEMAIL;INTERNET:amy@zed.example\r\n"
                                          "END:VCARD\r\n" + Card("FN:Only Given\r\nN:;Kim;;;\r\nEMAIL:kim@example.org\r\n"));
  testenv::WriteFile(root / "notes.txt", Card("FN:Not Listed\r\nEMAIL:no@example.org\r\n"));
  testenv::WriteFile(root / ".hidden" / "x.vcf", Card("FN:Hidden\r\nEMAIL:hidden@example.org\r\n"));
  testenv::WriteFile(root / "B-sub" / "bob.vcf", Card("FN:Bob Stone\r\nN:Stone;Bob;;;\r\nEMAIL:bob@example.org\r\n"));
  testenv::WriteFile(root / "a-sub" / "ann.vcf", Card("FN:Ann Lee\r\nN:Lee;Ann;;;\r\nEMAIL:ann@example.org\r\n"));
  // A link back to the root is a loop; a link to a sibling is not.
  fs::create_directory_symlink(root, root / "B-sub" / "loop");
  fs::create_directory_symlink(root / "B-sub", root / "a-sub" / "again");
  SetContactsFolder(root);

  ComPtr<MAPIFolder> folder;
  ASSERT_EQ(Namespace()->GetDefaultFolder(olFolderContacts, folder.Put()), S_OK);
  std::string tree;
  Dump(folder.Get(), "", tree);
  EXPECT_EQ(tree,
            "Contacts/\n"
            "  B-sub/\n"
            "    bob@example.org|Bob|Stone|Bob Stone|Stone, Bob\n"
            "  a-sub/\n"
            "    again/\n"
            "      bob@example.org|Bob|Stone|Bob Stone|Stone, Bob\n"
            "    ann@example.org|Ann|Lee|Ann Lee|Lee, Ann\n"
            "  jane@example.org|Jane|Roe|Jane Roe|Roe, Jane\n"
            "  |No|Mail|No Mail|Mail, No\n"
            "  help@acme.example|||Acme Support|\n"
            "  (group)\n"
            "  amy@zed.example|Amy|Zed|Amy Zed|Zed, Amy\n"
            "  kim@example.org|Kim||Only Given|Kim\n");
}

TEST_F(ContactsProviderTest, RefusesOtherNamespacesFolderKindsInterfacesAndAMissingFolder) {
  _NameSpace* unset = reinterpret_cast<_NameSpace*>(this);
  EXPECT_EQ(m_application->GetNamespace(Bstr("other").Get(), &unset), E_INVALIDARG);
  EXPECT_EQ(unset, nullptr);
  void* other = this;
  EXPECT_EQ(m_application->QueryInterface(IID__Items, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  testenv::WriteFile(m_dir.path() / "a-file", "");
  for (const fs::path& folder : {m_dir.path() / "missing", m_dir.path() / "a-file"}) {
    SetContactsFolder(folder);
    MAPIFolder* none = reinterpret_cast<MAPIFolder*>(this);
    EXPECT_LT(Namespace()->GetDefaultFolder(olFolderContacts, &none), 0) << folder;
    EXPECT_EQ(none, nullptr);
  }
  SetContactsFolder(m_dir.path());
  ComPtr<MAPIFolder> inbox;
  EXPECT_EQ(Namespace()->GetDefaultFolder(6, inbox.Put()), E_INVALIDARG);
  EXPECT_FALSE(inbox);
}

}  // namespace
