// A QApplication for the length of one test (offscreen under ctest).
#pragma once

#include <QApplication>

class GuiApp {
public:
  GuiApp() = default;
  GuiApp(const GuiApp&) = delete;
  GuiApp& operator=(const GuiApp&) = delete;

private:
  int m_argc = 1;
  char m_name[16] = "zerth_util";
  char* m_argv[2] = {m_name, nullptr};
  QApplication m_app{m_argc, m_argv};
};
