// Entry point of tarvo.
#include "CTarvoApp.h"

int main(int argc, char** argv) {
  CTarvoApp app(argc, argv);
  return app.InitInstance() ? CTarvoApp::exec() : 0;
}
