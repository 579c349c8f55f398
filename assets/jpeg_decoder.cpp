// decodeJpeg and the plain path's MCU loop.
//
// decodeJpeg is the only place that allocates: the record and the pixel
// buffer, both with nothrow new. The decoder object itself lives on the stack
// for the length of one picture.
//
// The plain MCU loop does one thing at a time: decode the blocks of one MCU,
// transform each, convert the MCU into a small pixel area, copy the area's
// lines into the bottom-up picture, clipped at the right and bottom edges.
#include <cstring>
#include <new>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_internal.h"

namespace {

RgbImage* decodeWith(const uint8_t* data, int32_t length, bool plain, JpegMessages messages, JpegDecodeReport* report) {
  JpegDecoder decoder(messages);
  int32_t width = 0;
  int32_t height = 0;
  int32_t headerLength = 0;
  const bool headerRead = decoder.readHeader(data, length, width, height, headerLength);
  if (report != nullptr) *report = JpegDecodeReport{decoder.headerFault(), 0};
  if (!headerRead) return nullptr;

  RgbImage* image = new (std::nothrow) RgbImage{width, height, nullptr};
  if (image == nullptr) return nullptr;
  const size_t size = size_t(rgbImageStride(width)) * size_t(height);
  image->pixels = new (std::nothrow) uint8_t[size];
  if (image->pixels == nullptr) {
    delete image;
    return nullptr;
  }
  const uint8_t* scan = data + headerLength;
  const bool decoded = plain ? decoder.decodeImagePlain(scan, image->pixels) : decoder.decodeImage(scan, image->pixels);
  if (!decoded) {
    freeRgbImage(image);
    return nullptr;
  }
  if (report != nullptr) report->scanFaults = decoder.scanFaults();
  return image;
}

}  // namespace

RgbImage* decodeJpeg(const uint8_t* data, int32_t length, JpegMessages messages, JpegDecodeReport* report) {
  return decodeWith(data, length, false, messages, report);
}

RgbImage* decodeJpegPlain(const uint8_t* data, int32_t length, JpegMessages messages, JpegDecodeReport* report) {
  return decodeWith(data, length, true, messages, report);
}

void freeRgbImage(RgbImage* image) {
  if (image == nullptr) return;
  delete[] image->pixels;
  delete image;
}

bool JpegDecoder::decodeImagePlain(const uint8_t* scan, uint8_t* pixels) {
  if (scan == nullptr || pixels == nullptr || !tablesReady) return false;
  cursor = scan;
  const int32_t size = mcuSize;
  const int32_t mcusAcross = (width + size - 1) / size;
  const int32_t mcusDown = (height + size - 1) / size;
  const size_t stride = size_t(rgbImageStride(width));
  uint8_t mcuPixelArea[16 * 16 * 3];
  for (int32_t r = 0; r < mcusDown; ++r) {
    for (int32_t c = 0; c < mcusAcross; ++c) {
      decodeMcu(mcuPixelArea);
      const int32_t rows = height - r * size < size ? height - r * size : size;
      const int32_t cols = width - c * size < size ? width - c * size : size;
      for (int32_t i = 0; i < rows; ++i) {
        uint8_t* line = pixels + size_t(height - 1 - (r * size + i)) * stride + size_t(c) * size * 3;
        std::memcpy(line, mcuPixelArea + i * size * 3, size_t(cols) * 3);
      }
    }
  }
  if (bitCount < zeroBits) scanFaultBits |= kJpegScanEndedEarly;
  return true;
}

bool JpegDecoder::decodeMcu(uint8_t* mcuPixelArea) {
  if (restartInterval != 0 && restartsToGo == 0) {
    if (bitCount < zeroBits) scanFaultBits |= kJpegScanEndedEarly;
    zeroBits = 0;
    bitCount = 0;  // the padding bits of the interval
    processRestart();
    dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
    restartsToGo = restartInterval;
  }
  int16_t coefficients[64];
  uint8_t sampleBlocks[6 * 64];
  for (int32_t b = 0; b < blocksPerMcu; ++b) {
    decodeBlock(b, coefficients);
    inverseDct(coefficients, b, sampleBlocks + b * 64);
  }
  convertMcu(sampleBlocks, mcuPixelArea);
  --restartsToGo;
  return true;
}
