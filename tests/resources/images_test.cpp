#include <gtest/gtest.h>

#include <QImage>

#include "resources/images.h"

namespace tk::res {
namespace {

const int kAllIds[] = {128, 136, 137, 138, 139, 140, 141, 142, 146, 147, 148,
                       149, 150, 151, 154, 155, 156, 165, 166, 167, 172, 174};

TEST(Images, EveryIdOfTheProgramLoadsAtOneAndTwoTimesScale) {
  for (int id : kAllIds) {
    ASSERT_FALSE(ImagePath(id).isEmpty()) << id;
    const QSize size = NaturalSize(id);
    const QPixmap one = LoadPixmap(id, size, 1.0);
    const QPixmap two = LoadPixmap(id, size, 2.0);
    ASSERT_FALSE(one.isNull()) << id;
    EXPECT_EQ(one.size(), size) << id;
    EXPECT_EQ(two.size(), size * 2) << id;
    EXPECT_EQ(two.deviceIndependentSize().toSize(), size) << id;
    EXPECT_FALSE(LoadIcon(id).isNull()) << id;
  }
  EXPECT_TRUE(ImagePath(129).isEmpty());
  EXPECT_TRUE(LoadIcon(129).isNull());
  EXPECT_TRUE(LoadBitmap(129).isNull());
}

TEST(Images, BitmapsHaveTheirFixedSizes) {
  for (int id : {154, 155, 156}) EXPECT_EQ(LoadBitmap(id).size(), QSize(40, 30)) << id;
  for (int id : {165, 166, 167}) EXPECT_EQ(LoadBitmap(id).size(), QSize(12, 11)) << id;
}

// Pictures that must differ from one another to show anything: the frames of an animation and the
// three tree marks. A missing or repeated file would make two of them equal.
TEST(Images, AnimationFramesAndMarksAreDistinctPictures) {
  auto image = [](int id) { return LoadPixmap(id, NaturalSize(id)).toImage(); };
  const std::vector<std::vector<int>> sets{{136, 137, 138, 139, 140, 141}, {146, 147, 148},
                                           {149, 150}, {154, 155, 156}, {165, 166, 167}};
  for (const auto& set : sets)
    for (size_t i = 0; i < set.size(); ++i)
      for (size_t j = i + 1; j < set.size(); ++j)
        EXPECT_NE(image(set[i]), image(set[j])) << set[i] << " vs " << set[j];
}

TEST(Images, BlankIconIsFullyTransparent) {
  const QImage blank = LoadPixmap(kIconBlank, {32, 32}).toImage();
  for (int y = 0; y < blank.height(); ++y)
    for (int x = 0; x < blank.width(); ++x) ASSERT_EQ(qAlpha(blank.pixel(x, y)), 0);
  const QImage product = LoadPixmap(kIconProduct, {32, 32}).toImage();
  EXPECT_GT(qAlpha(product.pixel(16, 16)), 0);
}

}  // namespace
}  // namespace tk::res
