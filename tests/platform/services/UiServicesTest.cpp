#include "UiRecorder.h"

#include <QString>

#include <gtest/gtest.h>

TEST(UiServicesTest, WindowsFiltersBecomeQtFilters) {
  const std::pair<const char*, const char*> cases[] = {
      {"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|", "Text Files (*.txt);;All Files (*)"},
      {"Pictures|*.bmp;*.png|", "Pictures (*.bmp *.png)"},
      {"Contacts (*.csv)|*.csv", "Contacts (*.csv)"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(zplatform::QtFilterFromWindows(in).toStdString(), out) << in;
}

TEST(UiServicesTest, HooksAnswerEveryServiceAndWithoutThemNoBoxWaits) {
  {
    testui::UiRecorder ui;
    ui.answer = IDCANCEL;
    ui.fileAnswer = "/tmp/chosen.txt";
    EXPECT_EQ(zplatform::MessageBox("Go?", "Tarvo", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(zplatform::GetOpenFileName("All|*.*|"), "/tmp/chosen.txt");
    EXPECT_TRUE(zplatform::ShellOpen("http://www.tarvo.example"));
    EXPECT_EQ(ui.messages, (std::vector<testui::ShownMessage>{{"Go?", "Tarvo", MB_OKCANCEL}}));
    EXPECT_EQ(ui.fileFilters, std::vector<std::string>{"All|*.*|"});
    EXPECT_EQ(ui.opened, std::vector<std::string>{"http://www.tarvo.example"});
  }
  // The real services, without a QApplication.
  EXPECT_EQ(zplatform::MessageBox("note", "Tarvo", MB_OK), IDOK);
  EXPECT_EQ(zplatform::MessageBox("go on?", "Tarvo", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(zplatform::GetOpenFileName("All|*.*|"), std::nullopt);
  zplatform::ModalCallScope scope;  // nothing to disable
  EXPECT_EQ(scope.ownerWindowId(), 0u);
}
