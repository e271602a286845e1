// The UI seams: resources, file filters, message boxes and the shell.
#include "UiRecorder.h"

#include <zplatform/Resources.h>

#include <QString>

#include <gtest/gtest.h>

#include <array>

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

TEST(ResourcesTest, StringsComeFromTheRegisteredTableAndBitmapsByKindAndId) {
  static const std::array<zplatform::StringResource, 2> table{{{101, "&About Tarvo..."}, {57344, "Tarvo"}}};
  EXPECT_EQ(zplatform::LoadStringResource(101), "");
  zplatform::RegisterStringTable(table);
  EXPECT_EQ(zplatform::LoadStringResource(101), "&About Tarvo...");
  EXPECT_EQ(zplatform::LoadStringResource(57345), "");
  zplatform::RegisterStringTable({});

  using zplatform::ResourceKind;
  EXPECT_EQ(zplatform::ResourcePath(ResourceKind::Bitmap, 129), ":/res/bitmap/129.bmp");
  EXPECT_EQ(zplatform::ResourcePath(ResourceKind::Bitmap, 130), "");
  EXPECT_EQ(zplatform::ResourcePath(ResourceKind::Icon, 129), "");
}
