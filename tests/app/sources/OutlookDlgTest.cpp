// The contacts and folders pickers with the real contacts provider over a vCard folder tree: the trees
// they show, the contact rule, what OK hands over (selected contacts; a folder's contacts merged, with
// its subfolders'), and an empty tree when the provider cannot be created.
#include "../AppTestKit.h"
#include "skin/CMultiTree.h"
#include "sources/COutlookContactsDlg.h"
#include "sources/COutlookFoldersDlg.h"

#include <zplatform/Com.h>
#include <zproviders/OutlookApi.h>

#include <QCheckBox>
#include <QTreeWidget>

using namespace apptest;

namespace {

std::string Card(const std::string& lines) { return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n"; }

// Subfolders come before a folder's own contacts; a group, and a card without
// an address, are not listed; the contact after the group still is.
const std::pair<const char*, std::string> kTree[] = {
    {"a.vcf", Card("FN:Ann Lee\r\nN:Lee;Ann;;;\r\nEMAIL:ann@x.org\r\n")},
    {"b.vcf", Card("KIND:group\r\nFN:Team\r\nEMAIL:team@x.org\r\n")},
    {"c.vcf", Card("FN:No Mail\r\nN:Mail;No;;;\r\n")},
    {"d.vcf", Card("FN:Dora Full\r\nEMAIL:dora@x.org\r\n")},
    {"Family/e.vcf", Card("N:Lee;Annie;;;\r\nEMAIL:ann@x.org\r\n")},
    {"Family/Kids/f.vcf", Card("FN:Zed Kid\r\nN:Kid;Zed;;;\r\nEMAIL:zed@x.org\r\n")},
    {"Work/g.vcf", Card("N:\xC3\x96z;G\xC3\xBCl;;;\r\nEMAIL:gul@x.org\r\n")},
};

// The tree's texts, two spaces of indent per level.
QStringList Texts(const QTreeWidget& tree) {
  QStringList out;
  std::function<void(QTreeWidgetItem*, QString)> walk = [&](QTreeWidgetItem* item, QString indent) {
    out << indent + item->text(0);
    for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), indent + "  ");
  };
  for (int i = 0; i < tree.topLevelItemCount(); ++i) walk(tree.topLevelItem(i), "");
  return out;
}

QTreeWidgetItem* Find(const QTreeWidget& tree, const QString& text) {
  const QList<QTreeWidgetItem*> found = tree.findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return found.size() == 1 ? found.front() : nullptr;
}

// What the picker the main dialog's button opens hands over after steps and OK.
template <typename Picker>
Contacts Pick(int button, const std::function<void(Picker&)>& steps) {
  CTarvoDlg main;
  Contacts handedOver;
  PickThrough<Picker>(main, button, [&](Picker& picker) {
    steps(picker);
    Click(picker, Picker::IDC_OK);
    handedOver = ContactsOf(picker.m_aContacts);
  });
  return handedOver;
}

}  // namespace

class OutlookDlgTest : public QObject {
  Q_OBJECT

  testenv::TempDir m_dir;
  std::filesystem::path m_root = std::filesystem::path(qgetenv("XDG_DATA_HOME").toStdString()) / "zerth" / "contacts";

  // A machine hive of the test's own registering the class with this library.
  void registerProvider(const std::string& library) {
    UseMachineHive(m_dir.path(), library.empty() ? "" : "[HKEY_CLASSES_ROOT\\CLSID\\" +
                   zplatform::GuidToString(CLSID_OutlookApplication) + "\\InprocServer32]\n@=\"" + library + "\"\n");
  }

private slots:
  void initTestCase() {
    tarvo::RegisterStrings();
    QCOMPARE(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    std::filesystem::remove_all(m_root);
    for (const auto& [file, card] : kTree) testenv::WriteFile(m_root / file, card);
  }
  void init() { registerProvider(TARVO_RUNTIME_DIR "/libzcontacts.so"); }

  // Labels follow FullName first; selecting a folder and two contacts hands
  // over the two, named by FirstName first, in visible order.
  void contactsTreeAndSelection() {
    QStringList texts;
    const Contacts picked = Pick<COutlookContactsDlg>(tarvo::IDC_ADD_OUTLOOK, [&](COutlookContactsDlg& picker) {
      auto* tree = Item<CMultiTree>(picker, COutlookContactsDlg::IDC_CONTACTS);
      texts = Texts(*tree);
      QVERIFY(tree->topLevelItem(0)->isExpanded() && !Find(*tree, "Family")->isExpanded());
      tree->expandAll();  // only visible items can be selected
      // Images 0 and 1 of bitmap 148, magenta transparent.
      const QImage folder = Find(*tree, "Work")->icon(0).pixmap(16).toImage();
      const QImage card = Find(*tree, "Ann Lee")->icon(0).pixmap(16).toImage();
      QVERIFY(folder.pixelColor(0, 0).alpha() == 0 && card.pixelColor(0, 0).alpha() == 0);
      QVERIFY(folder.pixelColor(8, 8) == QColor(239, 188, 75) && card.pixelColor(8, 8) == QColor(126, 136, 155));
      for (const char* text : {"Dora Full", "contacts", "Zed Kid"})
        QVERIFY(tree->SetItemState(Find(*tree, text), CMultiTree::TVIS_SELECTED, CMultiTree::TVIS_SELECTED));
    });
    QCOMPARE(texts, (QStringList{"contacts", "  Family", "    Kids", "      Zed Kid", "    Annie Lee", "  Work",
                                 QString::fromUtf8("    G\xC3\xBCl \xC3\x96z"), "  Ann Lee", "  Dora Full"}));
    QCOMPARE(picked, (Contacts{{"zed@x.org", "Zed"}, {"dora@x.org", "Dora Full"}}));
  }

  // Each folder counts its own contacts; OK merges the chosen folder's, then
  // with recursion its subfolders' in tree order, each address once.
  void foldersTreeAndRecursion() {
    QStringList texts;
    auto choose = [&](const char* folder, bool recurse) {
      return Pick<COutlookFoldersDlg>(tarvo::IDC_ADD_OUTLOOK_FOLDER, [&](COutlookFoldersDlg& picker) {
        auto* tree = Item<QTreeWidget>(picker, COutlookFoldersDlg::IDC_FOLDERS);
        texts = Texts(*tree);
        tree->setCurrentItem(Find(*tree, folder));
        Item<QCheckBox>(picker, COutlookFoldersDlg::IDC_RECURSE)->setChecked(recurse);
      });
    };
    QCOMPARE(choose("Family (1 contact(s))", false), (Contacts{{"ann@x.org", "Annie"}}));
    QCOMPARE(texts, (QStringList{"contacts (2 contact(s))", "  Family (1 contact(s))", "    Kids (1 contact(s))",
                                 "  Work (1 contact(s))"}));
    QCOMPARE(choose("contacts (2 contact(s))", true), (Contacts{{"ann@x.org", "Ann"}, {"dora@x.org", "Dora Full"},
                                                     {"zed@x.org", "Zed"}, {"gul@x.org", "G\xC3\xBCl"}}));
  }

  // Without the class's registration, or without its library, both pickers
  // open with an empty tree and hand over nothing.
  void providerMissing() {
    for (const char* library : {"", "/nonexistent/libzcontacts.so"}) {
      registerProvider(library);
      COutlookContactsDlg contacts;
      COutlookFoldersDlg folders;
      QCOMPARE(Item<QTreeWidget>(contacts, COutlookContactsDlg::IDC_CONTACTS)->topLevelItemCount(), 0);
      QCOMPARE(Item<QTreeWidget>(folders, COutlookFoldersDlg::IDC_FOLDERS)->topLevelItemCount(), 0);
      Click(contacts, COutlookContactsDlg::IDC_OK), Click(folders, COutlookFoldersDlg::IDC_OK);
      QVERIFY(contacts.result() == QDialog::Accepted && contacts.m_aContacts.IsEmpty());
      QVERIFY(folders.result() == QDialog::Accepted && folders.m_aContacts.IsEmpty());
    }
  }
};

QTEST_MAIN(OutlookDlgTest)
#include "OutlookDlgTest.moc"
