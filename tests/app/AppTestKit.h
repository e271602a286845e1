// What the tests of app/ share: program headers, recipient lists as pairs, a control by its id, and
// for the QTest programs a click, a recorder of modal dialogs and an active window.
#pragma once

#include "CContactArray.h"
#include "CTarvoDlg.h"
#include "ResourceIds.h"
#include "TarvoStrings.h"
#include "TestEnv.h"
#include "UiRecorder.h"

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

// A control's id is its objectName.
template <typename W = QWidget>
W* Item(const QWidget& dialog, int id) {
  return dialog.findChild<W*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

#ifdef QT_TESTLIB_LIB
inline void Click(const QWidget& dialog, int id) { QTest::mouseClick(Item<QPushButton>(dialog, id), Qt::LeftButton); }

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
