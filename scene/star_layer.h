// The starfield: layers of points on one sphere around the scene, each layer
// one colour and one point size, drawn as a client-side vertex array.
//
// star_layer.cpp generates and owns the positions; star_layer_win.cpp draws
// them (one glDrawArrays per layer).
//
// Not here: no per-frame work after generation, no saving of the blend or
// point-smooth state (a smooth layer leaves both disabled).
#pragma once

#include <cstdint>

// The sphere all three layers lie on.
constexpr float starFieldRadius = 22.6f;

// The medium layer's point size: halfway between the two.
float starPointSizeMedium(float sizeMin, float sizeMax);

// Stars per layer for a starsAmount: amount times the single-precision
// factors 0.85, 0.1 and 0.05, truncated toward zero (over the settings' range
// 3000..30000 this equals 17 * amount / 20, amount / 10 and amount / 20).
struct StarLayerCounts {
  std::int32_t small = 0;
  std::int32_t medium = 0;
  std::int32_t large = 0;
};
StarLayerCounts starLayerCounts(std::uint32_t amount);

class StarLayer {
 public:
  StarLayer() { reset(); }
  ~StarLayer() { release(); }
  StarLayer(const StarLayer&) = delete;
  StarLayer& operator=(const StarLayer&) = delete;

  // Allocates count stars and puts them on the sphere of `radius` about the
  // origin, directions taken from points of the cube -1..1 drawn from a
  // clock-seeded generator (x, y, z per star). False when count is negative,
  // the allocation fails (vertices stay null), or radius or pointSize is not
  // above 0. A second call frees the first array and starts from an empty
  // layer; colour and smoothing are kept until overwritten.
  bool generate(float radius, std::int32_t count, float pointSize, float red, float green, float blue);

  // Stores size and returns true if it is above 0; otherwise changes nothing.
  bool setPointSize(float size);

  // Stores the colour with alpha 1.
  void setColor(float red, float green, float blue);

  void setSmooth(bool on) { smooth_ = on; }

  // Draws the layer as points into the current GL context; no GL call at
  // all when nothing was allocated. Defined in star_layer_win.cpp.
  void draw() const;

  // Frees the positions, then reset().
  void release();

  // Empties the layer without freeing anything: no vertices, radius and
  // point size 1, capacity and count 0. Colour and smoothing stay.
  void reset();

  const float* vertices() const { return vertices_; }  // x, y, z per star
  float pointSize() const { return pointSize_; }
  float radius() const { return radius_; }
  std::int32_t capacity() const { return capacity_; }
  std::int32_t count() const { return count_; }
  const float* color() const { return color_; }  // R, G, B, A
  bool smooth() const { return smooth_; }

 private:
  float* vertices_;
  float pointSize_;
  float radius_;
  std::int32_t capacity_;
  std::int32_t count_;
  float color_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  bool smooth_ = false;
};
