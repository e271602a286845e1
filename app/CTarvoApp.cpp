#include "CTarvoApp.h"

#include "CTarvoDlg.h"
#include "TarvoStrings.h"
#include "mailing/RunJournal.h"

#include <zplatform/Com.h>

#include <QTimer>

CTarvoApp::CTarvoApp(int& argc, char** argv) : QApplication(argc, argv) { tarvo::RegisterStrings(); }

CTarvoApp::~CTarvoApp() = default;

bool CTarvoApp::InitInstance() {
  // The Outlook pickers talk to the contacts object model from this thread.
  // COM stays initialised until the process ends.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  CTarvoDlg dlg;
  // A mailing that a crash, a kill or a logout stopped is offered before the
  // user can send, over the main dialog.
  QTimer::singleShot(0, &dlg, [&dlg] { dlg.OfferStoppedRuns(RunJournal::DefaultFolder()); });
  dlg.exec();
  return false;
}
