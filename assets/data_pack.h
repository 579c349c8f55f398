// Data packs: the layout of the saver's JPEG resources, without the platform.
//
// A pack is a count byte, then per image a 32-bit little-endian length and
// that many bytes of a complete JPEG stream (SOI to EOI), one or two images,
// nothing after the last. The count byte is written by whoever builds the
// pack and never trusted: each loader knows how many images its pack holds.
//
// readDataPack checks the lengths against the size of the resource: a pack
// whose lengths run past it, fall short of it, or name an empty image is
// refused as a whole, so a damaged resource never reaches the decoder with
// bytes that are not its own. Finding and locking the resource is the Win32
// loader's part (texture_loader_win.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One image of a pack: a view into the pack bytes.
struct PackImage {
  const uint8_t* data;
  int32_t length;
};

enum class DataPackFault : uint8_t {
  none,
  noCountByte,    // the pack is empty
  lengthPastEnd,  // fewer than four bytes left where a length must stand
  imagePastEnd,   // an image runs past the end of the pack
  emptyImage,     // a length of 0
  imageTooLarge,  // a length above 2^31 - 1 (the decoder takes a signed 32-bit length)
  extraBytes,     // bytes after the last image
};
const char* dataPackFaultText(DataPackFault fault);

// Splits a pack of `size` bytes into `count` images (1 or 2 for the saver's
// packs). On failure returns false, leaves `images` unspecified and, when
// `fault` is given, says why.
bool readDataPack(const uint8_t* pack, size_t size, int32_t count, PackImage* images, DataPackFault* fault = nullptr);

// The count byte as the builder wrote it (for tools; loaders ignore it).
inline int32_t dataPackCountByte(const uint8_t* pack, size_t size) { return size == 0 ? -1 : pack[0]; }

// Builds a pack from its images (tools and tests).
std::vector<uint8_t> makeDataPack(const PackImage* images, int32_t count);
