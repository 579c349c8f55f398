// Marker segments: everything from the first byte to the start of the scan.
//
// The reader walks the stream segment by segment and fills the frame data and
// the raw tables in whatever order the stream has them. It accepts the small
// marker set of a baseline JFIF picture and refuses the rest as a header
// failure (one message for all). Every read is checked against the end of the
// data right where the bytes are taken; the segment length fields of APPn and
// COM are trusted only that far. The other segments are read field by field,
// as their content says, and the next marker must follow where that reading
// stopped.
#include <cstring>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_internal.h"

namespace {

enum Marker : int32_t {
  kSof0 = 0xC0,
  kSof1 = 0xC1,
  kDht = 0xC4,
  kSoi = 0xD8,
  kSos = 0xDA,
  kDqt = 0xDB,
  kDri = 0xDD,
  kApp0 = 0xE0,
  kApp15 = 0xEF,
  kCom = 0xFE,
};

struct FaultText {
  JpegHeaderFault fault;
  const char* text;
};
const FaultText kFaultTexts[] = {
    {JpegHeaderFault::none, "no fault"},
    {JpegHeaderFault::notAMarker, "a byte other than 0xFF where a marker must stand"},
    {JpegHeaderFault::unsupportedMarker, "a marker outside the baseline set"},
    {JpegHeaderFault::truncated, "a segment runs past the end of the data"},
    {JpegHeaderFault::badTableSelector, "a Huffman table selector other than 0x00, 0x01, 0x10, 0x11"},
    {JpegHeaderFault::tooManySymbols, "a Huffman table with more than 256 symbols"},
    {JpegHeaderFault::codeSpaceOverflow, "Huffman code counts that overflow the code space"},
    {JpegHeaderFault::badComponentCount, "a frame with no components or more than three"},
    {JpegHeaderFault::frameTooLarge, "a frame larger than 16384 pixels a side or 256 MB of pixels"},
    {JpegHeaderFault::noFrame, "a scan before the frame header"},
    {JpegHeaderFault::missingTable, "a table the scan needs was never defined"},
};
static_assert(kJpegMaxSide == 16384 && kJpegMaxPixelBytes == 256 << 20, "the frameTooLarge text states the limits");

}  // namespace

const char* const kJpegHeaderMessage = "Can not read the file header";

const char* jpegHeaderFaultText(JpegHeaderFault fault) {
  for (const FaultText& entry : kFaultTexts) {
    if (entry.fault == fault) return entry.text;
  }
  return "unknown fault";
}

JpegDecoder::JpegDecoder(JpegMessages messageTarget)
    : width(0),
      height(0),
      mcuSize(8),
      blocksPerMcu(3),
      dcPredictor{0, 0, 0},
      bitCount(0),
      bitBuffer(0),
      bytesLeft(0),
      cursor(nullptr),
      precision(0),
      componentCount(0),
      restartInterval(0),
      restartsToGo(0),
      pendingMarker(0),
      nextRestart(0),
      components{},
      messages(messageTarget),
      streamEnd(nullptr),
      fault(JpegHeaderFault::none),
      definedQuant(0),
      definedHuffman(0),
      frameSeen(false),
      tablesReady(false),
      scanFaultBits(0),
      zeroBits(0) {}

bool JpegDecoder::readHeader(const uint8_t* data, int32_t length, int32_t& widthOut, int32_t& heightOut,
                             int32_t& headerLength) {
  tablesReady = false;
  if (!parseMarkers(data, length)) {
    if (messages.show) messages.show(messages.context, kJpegHeaderMessage);
    return false;
  }
  widthOut = width;
  heightOut = height;
  headerLength = int32_t(cursor - data);
  if (width == 0 || height == 0) return false;
  bytesLeft = length - headerLength;
  prepareTables();
  tablesReady = true;
  return true;
}

bool JpegDecoder::fail(JpegHeaderFault reason) {
  fault = reason;
  return false;
}

bool JpegDecoder::readByte(uint8_t& value) {
  if (cursor >= streamEnd) return fail(JpegHeaderFault::truncated);
  value = *cursor++;
  return true;
}

bool JpegDecoder::readWord(uint16_t& value) {
  uint8_t high = 0;
  uint8_t low = 0;
  if (!readByte(high) || !readByte(low)) return false;
  value = uint16_t(high << 8 | low);
  return true;
}

// -1 when the byte at the cursor is not 0xFF (the cursor still moves on).
int32_t JpegDecoder::readMarker() {
  uint8_t first = 0;
  uint8_t code = 0;
  if (!readByte(first)) return -1;
  if (first != 0xFF) {
    fail(JpegHeaderFault::notAMarker);
    return -1;
  }
  if (!readByte(code)) return -1;
  return code;
}

bool JpegDecoder::parseMarkers(const uint8_t* data, int32_t length) {
  fault = JpegHeaderFault::none;
  if (data == nullptr || length < 0) length = 0;
  cursor = data;
  streamEnd = data + length;
  for (;;) {
    const int32_t marker = readMarker();
    bool ok = false;
    switch (marker) {
      case kSof0:
      case kSof1: ok = readFrameHeader(); break;
      case kDht: ok = readHuffmanTables(); break;
      case kSoi: ok = true; break;
      case kSos: return readScanHeader();
      case kDqt: ok = readQuantTables(); break;
      case kDri: ok = readRestartInterval(); break;
      case kCom: ok = skipSegment(); break;
      default:
        if (marker >= kApp0 && marker <= kApp15) {
          ok = skipSegment();
        } else if (marker >= 0) {
          ok = fail(JpegHeaderFault::unsupportedMarker);
        }
        break;
    }
    if (!ok) return false;
    pendingMarker = 0;
  }
}

bool JpegDecoder::skipSegment() {
  uint16_t length = 0;
  const uint8_t* segment = cursor;
  if (!readWord(length)) return false;
  if (length > streamEnd - segment) return fail(JpegHeaderFault::truncated);
  cursor = segment + length;
  return true;
}

bool JpegDecoder::readQuantTables() {
  uint16_t length = 0;
  if (!readWord(length)) return false;
  for (int32_t left = int32_t(length) - 2; left > 0; left -= 65) {
    uint8_t selector = 0;
    if (!readByte(selector)) return false;
    // Tq 1..15 all land on table 1; the precision nibble is ignored and every
    // entry is one byte (16-bit tables give wrong pixels, never a bad read).
    const int32_t table = (selector & 0x0F) == 0 ? 0 : 1;
    if (streamEnd - cursor < 64) return fail(JpegHeaderFault::truncated);
    for (int32_t k = 0; k < 64; ++k) quantTable[table][jpeg::naturalOrder[k]] = *cursor++;
    definedQuant |= uint8_t(1 << table);
  }
  return true;
}

bool JpegDecoder::readFrameHeader() {
  uint16_t length = 0;
  uint8_t samplePrecision = 0;
  uint8_t count = 0;
  if (!readWord(length) || !readByte(samplePrecision) || !readWord(height) || !readWord(width) || !readByte(count)) {
    return false;
  }
  precision = samplePrecision;
  if (width > kJpegMaxSide || height > kJpegMaxSide || int64_t(rgbImageStride(width)) * height > kJpegMaxPixelBytes) {
    return fail(JpegHeaderFault::frameTooLarge);
  }
  if (count == 0 || count > 3) return fail(JpegHeaderFault::badComponentCount);
  componentCount = count;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t id = 0;
    uint8_t sampling = 0;
    uint8_t quant = 0;
    if (!readByte(id) || !readByte(sampling) || !readByte(quant)) return false;
    components[i] = ComponentInfo{id, i, sampling >> 4, sampling & 15, quant};
  }
  // The MCU layout follows the first component alone; chroma is taken as 1 x 1.
  const bool fullChroma = components[0].h == 1 && components[0].v == 1;
  mcuSize = fullChroma ? 8 : 16;
  blocksPerMcu = fullChroma ? 3 : 6;
  frameSeen = true;
  return true;
}

// Refuses selectors without a table, tables too long for huffval, and counts
// that overflow the code space (they would index huffval out of its symbols
// and break the look-ahead's prefix ranges).
bool JpegDecoder::readHuffmanTables() {
  uint16_t length = 0;
  if (!readWord(length)) return false;
  for (int32_t left = int32_t(length) - 2; left > 0;) {
    uint8_t selector = 0;
    if (!readByte(selector)) return false;
    int32_t index = 0;
    switch (selector) {
      case 0x00: index = 0; break;
      case 0x10: index = 1; break;
      case 0x01: index = 2; break;
      case 0x11: index = 3; break;
      default: return fail(JpegHeaderFault::badTableSelector);
    }
    HuffmanTable& table = huffman[index];
    if (streamEnd - cursor < 16) return fail(JpegHeaderFault::truncated);
    table.bits[0] = 0;
    int32_t symbols = 0;
    int32_t codes = 0;
    for (int32_t l = 1; l <= 16; ++l) {
      table.bits[l] = *cursor++;
      symbols += table.bits[l];
      codes = codes * 2 + table.bits[l];  // codes of length <= l, counted in length-l code space
      if (codes > (1 << l)) return fail(JpegHeaderFault::codeSpaceOverflow);
    }
    if (symbols > 256) return fail(JpegHeaderFault::tooManySymbols);
    if (streamEnd - cursor < symbols) return fail(JpegHeaderFault::truncated);
    std::memcpy(table.huffval, cursor, size_t(symbols));
    cursor += symbols;
    definedHuffman |= uint8_t(1 << index);
    left -= 17 + symbols;
  }
  return true;
}

bool JpegDecoder::readScanHeader() {
  uint16_t length = 0;
  uint8_t count = 0;
  if (!readWord(length) || !readByte(count)) return false;
  // Component and table selectors are not read: luma always takes DC 0 / AC 0
  // and quantisation table 0, chroma DC 1 / AC 1 and table 1.
  if (streamEnd - cursor < 2 * count + 3) return fail(JpegHeaderFault::truncated);
  cursor += 2 * count + 3;
  nextRestart = 0;
  if (!frameSeen) return fail(JpegHeaderFault::noFrame);
  if (definedQuant != 0x3 || definedHuffman != 0xF) return fail(JpegHeaderFault::missingTable);
  return true;
}

bool JpegDecoder::readRestartInterval() {
  uint16_t length = 0;
  uint16_t interval = 0;
  if (!readWord(length) || !readWord(interval)) return false;
  restartInterval = interval;
  restartsToGo = interval;
  return true;
}

void JpegDecoder::prepareTables() {
  bitCount = 0;
  bitBuffer = 0;
  zeroBits = 0;
  scanFaultBits = 0;
  dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
  buildRangeLimit();
  buildColourTables();
  scaleQuantTables();
  for (int32_t i = 0; i < 4; ++i) buildHuffmanTable(huffman[i], fastHuffman[i], (i & 1) == 0);
  jpeg::buildGuardWeights(quantTable[0], guardWeight[0]);
  jpeg::buildGuardWeights(quantTable[1], guardWeight[1]);
}
