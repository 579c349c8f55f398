// Star layers: sizes per starsAmount, generation on the sphere, refusals and
// ownership (ASan's leak check covers the replaced and released arrays).
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "scene/star_layer.h"
#include "scene_test_clock.h"

TEST(StarCounts, ShareOfTheAmountPerLayer) {
  struct Case {
    std::uint32_t amount;
    std::int32_t small, medium, large;
  };
  for (const Case& c : {Case{3000, 2550, 300, 150}, Case{9999, 8499, 999, 499}, Case{10000, 8500, 1000, 500},
                        Case{30000, 25500, 3000, 1500}}) {
    const StarLayerCounts counts = starLayerCounts(c.amount);
    EXPECT_EQ(counts.small, c.small) << c.amount;
    EXPECT_EQ(counts.medium, c.medium) << c.amount;
    EXPECT_EQ(counts.large, c.large) << c.amount;
  }
  // Far outside the settings' range the shares saturate instead of overflowing.
  EXPECT_EQ(starLayerCounts(std::numeric_limits<std::uint32_t>::max()).small, std::numeric_limits<std::int32_t>::max());

  EXPECT_FLOAT_EQ(starPointSizeMedium(starPointSizeMin, starPointSizeMax), 1.15f);
  EXPECT_EQ(starPointSizeMedium(starPointSizeMin, starPointSizeMin), starPointSizeMin);
}

TEST(StarGenerate, EveryStarLiesOnTheSphere) {
  FixedSceneClock clock(1143000000);
  StarLayer layer;
  ASSERT_TRUE(layer.generate(starFieldRadius, 8500, 0.1f, 1.0f, 1.0f, 1.0f));
  EXPECT_EQ(layer.count(), 8500);
  EXPECT_EQ(layer.capacity(), 8500);
  EXPECT_EQ(layer.color()[3], 1.0f);
  const float* v = layer.vertices();
  for (std::int32_t i = 0; i < layer.count(); ++i) {
    const float* star = v + 3 * i;
    const double distance =
        std::sqrt(double(star[0]) * star[0] + double(star[1]) * star[1] + double(star[2]) * star[2]);
    ASSERT_NEAR(distance, 22.6, 22.6 * 1e-6) << "star " << i;
  }
}

TEST(StarGenerate, LayersOfTheSameSecondShareTheirFirstStars) {
  StarLayer small;
  StarLayer medium;
  StarLayer other;
  {
    FixedSceneClock clock(1143000000);
    ASSERT_TRUE(small.generate(starFieldRadius, 8500, 0.1f, 1.0f, 1.0f, 1.0f));
    ASSERT_TRUE(medium.generate(starFieldRadius, 1000, 1.15f, 1.0f, 1.0f, 1.0f));
  }
  {
    FixedSceneClock clock(1143000001);
    ASSERT_TRUE(other.generate(starFieldRadius, 1000, 1.15f, 1.0f, 1.0f, 1.0f));
  }
  for (int i = 0; i < 3 * 1000; ++i) {
    ASSERT_EQ(small.vertices()[i], medium.vertices()[i]) << i;
  }
  EXPECT_NE(other.vertices()[0], small.vertices()[0]);
}

TEST(StarGenerate, RefusedInputsLeaveNoStarsToDraw) {
  for (float size : {0.0f, -1.0f, std::nanf("")}) {
    StarLayer layer;
    EXPECT_FALSE(layer.generate(starFieldRadius, 100, size, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(layer.count(), 0);
    EXPECT_EQ(layer.pointSize(), 1.0f);
    EXPECT_FALSE(layer.setPointSize(size));
  }
  StarLayer flat;
  EXPECT_FALSE(flat.generate(0.0f, 100, 1.0f, 1.0f, 1.0f, 1.0f));
  EXPECT_EQ(flat.count(), 0);
  EXPECT_EQ(flat.radius(), 1.0f);

  StarLayer negative;
  EXPECT_FALSE(negative.generate(starFieldRadius, -1, 1.0f, 1.0f, 1.0f, 1.0f));
  EXPECT_EQ(negative.vertices(), nullptr);
  EXPECT_EQ(negative.count(), 0);
}

TEST(StarGenerate, SecondGenerateReplacesTheFirstAndReleaseEmpties) {
  StarLayer layer;
  EXPECT_EQ(layer.vertices(), nullptr);
  layer.setSmooth(true);
  ASSERT_TRUE(layer.generate(10.0f, 300, 2.0f, 1.0f, 0.5f, 0.25f));
  ASSERT_TRUE(layer.generate(5.0f, 20, 3.0f, 0.5f, 0.5f, 0.5f));
  EXPECT_EQ(layer.count(), 20);
  EXPECT_EQ(layer.pointSize(), 3.0f);
  EXPECT_NEAR(std::hypot(layer.vertices()[0], layer.vertices()[1], layer.vertices()[2]), 5.0, 1e-5);

  // A failed second generate leaves nothing of the first to draw.
  EXPECT_FALSE(layer.generate(5.0f, 20, 0.0f, 1.0f, 1.0f, 1.0f));
  EXPECT_EQ(layer.count(), 0);

  layer.release();
  EXPECT_EQ(layer.vertices(), nullptr);
  EXPECT_EQ(layer.count(), 0);
  EXPECT_EQ(layer.color()[0], 0.5f);  // colour and smoothing survive a release
  EXPECT_TRUE(layer.smooth());
  layer.release();  // releasing an empty layer is harmless

  StarLayer empty;
  ASSERT_TRUE(empty.generate(starFieldRadius, 0, 1.0f, 1.0f, 1.0f, 1.0f));
  EXPECT_NE(empty.vertices(), nullptr);
  EXPECT_EQ(empty.count(), 0);
}
