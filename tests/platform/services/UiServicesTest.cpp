#include <zplatform/UiServices.h>

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

TEST(UiServicesTest, HooksAnswerAndRecordEveryService) {
  std::vector<std::string> seen;
  zplatform::UiHooks hooks;
  hooks.messageBox = [&](const std::string& text, const std::string& caption, UINT type) {
    seen.push_back(caption + ":" + text + ":" + std::to_string(type));
    return IDCANCEL;
  };
  hooks.openFile = [&](const std::string& filter) { return std::optional<std::string>("/tmp/" + filter); };
  hooks.shellOpen = [&](const std::string& target) { return target == "http://www.tarvo.example"; };
  zplatform::SetUiHooks(&hooks);
  EXPECT_EQ(zplatform::MessageBox("Go?", "Tarvo", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(zplatform::GetOpenFileName("All|*.*|"), "/tmp/All|*.*|");
  EXPECT_TRUE(zplatform::ShellOpen("http://www.tarvo.example"));
  zplatform::SetUiHooks(nullptr);
  EXPECT_EQ(seen, std::vector<std::string>{"Tarvo:Go?:1"});
}

TEST(UiServicesTest, WithoutAGuiApplicationBoxesAnswerWithoutWaiting) {
  EXPECT_EQ(zplatform::MessageBox("note", "Tarvo", MB_OK), IDOK);
  EXPECT_EQ(zplatform::MessageBox("go on?", "Tarvo", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(zplatform::GetOpenFileName("All|*.*|"), std::nullopt);
  zplatform::ModalCallScope scope;  // nothing to disable
  EXPECT_EQ(scope.ownerWindowId(), 0u);
}
