// RgbImage: the record in which every picture reaches the scene.
//
// A decoded JPEG picture owns a heap buffer of rgbImageStride(width) x height
// bytes: three bytes per pixel in the order blue, green, red, rows bottom-up
// (buffer row r is picture row height - 1 - r), each row padded to a multiple
// of four bytes. That is the layout of a bottom-up 24-bit DIB, and OpenGL takes
// it unchanged with the default unpack alignment of 4. The glyph atlas is an
// RgbImage too, of one-byte samples that point into resource bytes it does not
// own.
#pragma once

#include <cstdint>

struct RgbImage {
  int32_t width;
  int32_t height;
  uint8_t* pixels;
};

// Bytes per buffer row of a decoded picture: 3 x width rounded up to a
// multiple of 4. Widths come from a 16-bit header field, so this cannot
// overflow.
inline int32_t rgbImageStride(int32_t width) { return (3 * width + 3) / 4 * 4; }
