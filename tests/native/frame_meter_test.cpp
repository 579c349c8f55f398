#include <gtest/gtest.h>

#include "scene/frame_meter.h"

namespace {

// A counter the test moves by hand.
int64_t fakeFrequency = 1000;
int64_t fakeNow = 0;
const PerformanceCounter fakeCounter{[] { return fakeFrequency; }, [] { return fakeNow; }};

class FrameMeterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeFrequency = 1000;
    fakeNow = 0;
  }
  FrameMeter meter;
};

TEST_F(FrameMeterTest, StartingFrameCountsAndExactly200MsDoesNotUpdate) {
  fakeNow = 5000;
  EXPECT_EQ(meter.measure(fakeCounter), 0.0f);  // frame 1 starts the meter
  for (int frame = 2; frame <= 9; ++frame) {
    fakeNow = 5000 + frame * 20;  // 9 frames reach exactly 200 ms at most
    EXPECT_EQ(meter.measure(fakeCounter), 0.0f) << frame;
  }
  fakeNow = 5200;
  EXPECT_EQ(meter.measure(fakeCounter), 0.0f) << "exactly 200 ms is not more than 200";
  fakeNow = 5250;
  EXPECT_FLOAT_EQ(meter.measure(fakeCounter), 1000.0f / (250.0f / 11.0f));
}

TEST_F(FrameMeterTest, WorkedExample250MsOverTenFramesGives40) {
  fakeFrequency = 10'000'000;
  fakeNow = 123;
  meter.measure(fakeCounter);
  for (int frame = 2; frame <= 9; ++frame) meter.measure(fakeCounter);
  fakeNow = 123 + 2'500'000;
  EXPECT_EQ(meter.measure(fakeCounter), 40.0f);
  EXPECT_EQ(meter.framesSinceUpdate, 0);
  // Holds between updates.
  fakeNow += 1'000'000;
  EXPECT_EQ(meter.measure(fakeCounter), 40.0f);
}

TEST_F(FrameMeterTest, ZeroFrequencyKeepsTheMeterUnstarted) {
  fakeFrequency = 0;
  for (int frame = 0; frame < 5; ++frame) {
    fakeNow += 1000;
    EXPECT_EQ(meter.measure(fakeCounter), 0.0f);
  }
  EXPECT_EQ(meter.counterFrequency, 0.0f);
}

TEST_F(FrameMeterTest, LargeCounterValuesKeepTheirLowBits) {
  // A 10 MHz counter after about 11 days: 10^13 ticks. 250 ms over 10 frames
  // must still read 40, which a float stamp (steps of 2^20 ticks there) cannot.
  fakeFrequency = 10'000'000;
  fakeNow = 10'000'000'000'000 + 777'777;
  meter.measure(fakeCounter);
  for (int frame = 2; frame <= 9; ++frame) meter.measure(fakeCounter);
  fakeNow += 2'500'000;
  EXPECT_EQ(meter.measure(fakeCounter), 40.0f);
  const int64_t stamp = fakeNow;
  for (int frame = 1; frame <= 9; ++frame) {
    fakeNow = stamp + frame * 100'000;
    meter.measure(fakeCounter);
  }
  fakeNow = stamp + 2'000'001;  // 200.0001 ms over 10 frames
  EXPECT_NEAR(meter.measure(fakeCounter), 50.0f, 0.001f);
}

}  // namespace
