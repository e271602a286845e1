#include <zplatform/Resources.h>

#include <gtest/gtest.h>

#include <array>

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
