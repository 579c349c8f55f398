// Data pack layout: splitting a pack into its images and building one.
#include "assets/data_pack.h"

namespace {

constexpr size_t kCountBytes = 1;
constexpr size_t kLengthBytes = 4;

struct FaultText {
  DataPackFault fault;
  const char* text;
};
const FaultText kFaultTexts[] = {
    {DataPackFault::none, "no fault"},
    {DataPackFault::noCountByte, "the pack is empty"},
    {DataPackFault::lengthPastEnd, "a length field runs past the end of the pack"},
    {DataPackFault::imagePastEnd, "an image runs past the end of the pack"},
    {DataPackFault::emptyImage, "an image of length 0"},
    {DataPackFault::imageTooLarge, "an image longer than 2^31 - 1 bytes"},
    {DataPackFault::extraBytes, "bytes after the last image"},
};

uint32_t readLength(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool refuse(DataPackFault reason, DataPackFault* fault) {
  if (fault != nullptr) *fault = reason;
  return false;
}

}  // namespace

const char* dataPackFaultText(DataPackFault fault) {
  for (const FaultText& entry : kFaultTexts) {
    if (entry.fault == fault) return entry.text;
  }
  return "unknown fault";
}

bool readDataPack(const uint8_t* pack, size_t size, int32_t count, PackImage* images, DataPackFault* fault) {
  if (pack == nullptr || size < kCountBytes) return refuse(DataPackFault::noCountByte, fault);
  size_t offset = kCountBytes;
  for (int32_t i = 0; i < count; ++i) {
    if (size - offset < kLengthBytes) return refuse(DataPackFault::lengthPastEnd, fault);
    const uint32_t length = readLength(pack + offset);
    offset += kLengthBytes;
    if (length == 0) return refuse(DataPackFault::emptyImage, fault);
    if (length > uint32_t(INT32_MAX)) return refuse(DataPackFault::imageTooLarge, fault);
    if (size - offset < length) return refuse(DataPackFault::imagePastEnd, fault);
    images[i] = PackImage{pack + offset, int32_t(length)};
    offset += length;
  }
  if (offset != size) return refuse(DataPackFault::extraBytes, fault);
  if (fault != nullptr) *fault = DataPackFault::none;
  return true;
}

std::vector<uint8_t> makeDataPack(const PackImage* images, int32_t count) {
  std::vector<uint8_t> pack;
  pack.push_back(uint8_t(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t length = uint32_t(images[i].length);
    for (int32_t shift = 0; shift < 32; shift += 8) pack.push_back(uint8_t(length >> shift));
    pack.insert(pack.end(), images[i].data, images[i].data + images[i].length);
  }
  return pack;
}
