#include "CTarvoApp.h"

#include "CTarvoDlg.h"
#include "TarvoStrings.h"

#include <zplatform/Com.h>

CTarvoApp::CTarvoApp(int& argc, char** argv) : QApplication(argc, argv) { tarvo::RegisterStrings(); }

CTarvoApp::~CTarvoApp() = default;

bool CTarvoApp::InitInstance() {
  // The Outlook pickers talk to the contacts object model from this thread.
  // COM stays initialised until the process ends.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  CTarvoDlg dlg;
  dlg.exec();
  return false;
}
