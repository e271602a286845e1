// CTarvoApp: the application object. It makes the program's strings known,
// enters COM's single-threaded apartment for the Outlook pickers, and runs the
// main dialog modally; when the dialog ends, the program ends.
#pragma once

#include <QApplication>

class CTarvoApp : public QApplication {
  Q_OBJECT

public:
  CTarvoApp(int& argc, char** argv);
  ~CTarvoApp() override;

  // Runs the program; returns when the main dialog has closed. False: there
  // is no message loop to enter afterwards.
  bool InitInstance();
};
