// Star layer generation and ownership. Stars are directions drawn from the
// cube -1..1 and pushed out to the sphere, so the corner directions are about
// 5.2 times as densely starred as the face centres: that unevenness is part of
// the look and is kept.
#include "scene/star_layer.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "scene/scene_random.h"

float starPointSizeMedium(float sizeMin, float sizeMax) { return sizeMin + (sizeMax - sizeMin) * 0.5f; }

namespace {

// amount x factor in single precision, truncated; saturates instead of
// overflowing for amounts far outside the settings' range.
std::int32_t truncatedShare(std::uint32_t amount, float factor) {
  const float share = static_cast<float>(amount) * factor;
  if (share >= static_cast<float>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(share);
}

// One draw n mapped to n / 32767 x 2 - 1, a coordinate in -1..1.
double cubeCoordinate(SceneRandom& random) { return random.nextUnit() * 2.0 - 1.0; }

}  // namespace

StarLayerCounts starLayerCounts(std::uint32_t amount) {
  StarLayerCounts counts;
  counts.small = truncatedShare(amount, 0.85f);
  counts.medium = truncatedShare(amount, 0.1f);
  counts.large = truncatedShare(amount, 0.05f);
  return counts;
}

bool StarLayer::generate(float radius, std::int32_t count, float pointSize, float red, float green, float blue) {
  if (count < 0) {
    return false;
  }
  release();  // a layer owns one array; a second generate replaces the first

  // At least one byte, so that an empty layer is not mistaken for a failed
  // allocation. A count whose bytes do not fit size_t counts as a failed one.
  constexpr std::size_t starBytes = 3u * sizeof(float);
  if (static_cast<std::size_t>(count) > std::numeric_limits<std::size_t>::max() / starBytes) {
    return false;
  }
  const std::size_t bytes = static_cast<std::size_t>(count) * starBytes;
  vertices_ = static_cast<float*>(std::malloc(bytes > 0 ? bytes : 1));
  if (vertices_ == nullptr) {
    return false;
  }
  if (!(radius > 0.0f)) {
    return false;  // the array stays with the layer and is freed by release()
  }
  radius_ = radius;
  if (!setPointSize(pointSize)) {
    return false;
  }
  capacity_ = count;
  count_ = count;
  setColor(red, green, blue);

  SceneRandom random = SceneRandom::fromClock();
  for (std::int32_t i = 0; i < capacity_; ++i) {
    double a = cubeCoordinate(random);
    double b = cubeCoordinate(random);
    double c = cubeCoordinate(random);
    const double length = std::sqrt(a * a + b * b + c * c);
    if (length != 0.0) {  // integer draws never give 0; a zero sample stays unscaled
      a /= length;
      b /= length;
      c /= length;
    }
    float* star = vertices_ + 3 * static_cast<std::size_t>(i);
    star[0] = static_cast<float>(a * radius_);
    star[1] = static_cast<float>(b * radius_);
    star[2] = static_cast<float>(c * radius_);
  }
  return true;
}

bool StarLayer::setPointSize(float size) {
  if (!(size > 0.0f)) {
    return false;  // also refuses NaN
  }
  pointSize_ = size;
  return true;
}

void StarLayer::setColor(float red, float green, float blue) {
  color_[0] = red;
  color_[1] = green;
  color_[2] = blue;
  color_[3] = 1.0f;
}

void StarLayer::release() {
  std::free(vertices_);
  reset();
}

void StarLayer::reset() {
  vertices_ = nullptr;
  pointSize_ = 1.0f;
  radius_ = 1.0f;
  capacity_ = 0;
  count_ = 0;
}
