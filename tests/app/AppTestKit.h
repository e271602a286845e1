// What the tests of app/ share: program headers, recipient lists as pairs, report rows, files, a
// private home, a control by its id, and for the QTest programs a click, a picker run through the
// main dialog, a recorder of modal dialogs and an active window.
#pragma once

#include "CContactArray.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "TestEnv.h"
#include "UiRecorder.h"
#include "mailing/DeliveryReport.h"
#include "sources/CImportDlg.h"

#include <zplatform/Registry.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#ifdef QT_TESTLIB_LIB  // only the QTest programs link QtTest; the rest of the kit needs it
#include <QtTest/QTest>
#endif

#include <functional>

namespace apptest {

using Contacts = std::vector<std::pair<std::string, std::string>>;  // address, name

template <typename List>  // a CContactArray or a std::vector<CContact>
Contacts ContactsOf(const List& list) {
  Contacts out;
  if constexpr (requires { list.GetSize(); })
    for (int i = 0; i < list.GetSize(); ++i) out.emplace_back(list[i].m_sAddress, list[i].m_sName);
  else
    for (const CContact& c : list) out.emplace_back(c.m_sAddress, c.m_sName);
  return out;
}

inline CContactArray ArrayOf(const Contacts& contacts) {
  CContactArray out;
  for (const auto& [address, name] : contacts) out.Add(CContact(address, name));
  return out;
}

// The report's rows for these results, in the result map's order.
inline std::string ReportRows(const std::vector<std::pair<std::string, std::uint32_t>>& codes) {
  CResultMap results;
  for (const auto& [address, code] : codes) results.SetAt(address, code);
  return BuildDeliveryReport(results, "", "");
}

// Writes the file dir/name; its path.
inline std::string WriteIn(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
  testenv::WriteFile(dir / name, bytes);
  return (dir / name).string();
}

// A machine hive of the test's own in dir, with these entries.
inline void UseMachineHive(const std::filesystem::path& dir, const std::string& entries) {
  testenv::WriteFile(dir / "machine.reg", "REGEDIT4\n\n" + entries);
  zplatform::SetMachineHivePath((dir / "machine.reg").string());
}

// Config, data and state folders of the test's own; the program's folder first on PATH.
struct PrivateHome {
  testenv::TempDir dir;
  testenv::ScopedEnv config{"XDG_CONFIG_HOME", dir.str() + "/config"}, data{"XDG_DATA_HOME", dir.str() + "/data"},
      state{"XDG_STATE_HOME", dir.str() + "/state"}, search{"PATH", TARVO_RUNTIME_DIR ":" + std::string(getenv("PATH"))};
  const std::filesystem::path& path() const { return dir.path(); }
};

// A control's id is its objectName.
template <typename W = QWidget>
W* Item(const QWidget& dialog, int id) {
  return dialog.findChild<W*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

#ifdef QT_TESTLIB_LIB
inline void Click(const QWidget& dialog, int id) { QTest::mouseClick(Item<QPushButton>(dialog, id), Qt::LeftButton); }

// Presses the main dialog's picker button; steps act on the picker while it is up and end it.
template <typename Picker>
void PickThrough(CTarvoDlg& main, int button, const std::function<void(Picker&)>& steps) {
  QTimer::singleShot(0, &main, [&steps] {
    auto* picker = qobject_cast<Picker*>(QApplication::activeModalWidget());
    if (!picker) return QTest::qFail("the picker is not up", __FILE__, __LINE__);
    steps(*picker);
  });
  main.OnPickContacts(button);
}

// Imports a file in the import picker.
inline void ImportFile(CImportDlg& dlg, const std::string& path, int layout, const std::string& separator = "|") {
  Item<QComboBox>(dlg, CImportDlg::IDC_FILE_TYPE)->setCurrentIndex(layout);
  Item<QLineEdit>(dlg, CImportDlg::IDC_SOURCE_FILE)->setText(QString::fromStdString(path));
  Item<QLineEdit>(dlg, CImportDlg::IDC_SEPARATOR)->setText(QString::fromStdString(separator));
  Click(dlg, CImportDlg::IDC_IMPORT);
}

// Runs action; records every modal dialog of the class opened meanwhile (class, title, then the
// texts and titles of it and its children) and closes it with its first button.
inline std::vector<QStringList> ModalsOpenedBy(const std::function<void()>& action, const char* className = "QDialog") {
  std::vector<QStringList> seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&seen, className] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || !modal->inherits(className)) return;
    seen.push_back({modal->metaObject()->className(), modal->windowTitle()});
    QList<QObject*> objects = modal->findChildren<QObject*>();
    for (QObject* object : objects << modal)
      seen.back() << object->property("text").toString() << object->property("title").toString();
    QTest::mouseClick(modal->findChild<QPushButton*>(), Qt::LeftButton);
  });
  poll.start(5);
  action();
  // A dialog the action queued (a posted event, a zero timer) opens while the queue drains.
  for (int round = 0; round < 3; ++round) {
    bool drained = false;
    QTimer::singleShot(0, [&drained] { drained = true; });
    while (!drained) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return seen;
}

inline void ShowActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  if (!QTest::qWaitForWindowActive(&window)) QTest::qFail("window did not become active", __FILE__, __LINE__);
}
#endif

}  // namespace apptest
