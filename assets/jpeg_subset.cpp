// The pack tools' subset check: a marker walk of its own, with every read
// checked against the end of the data, then the decoder as the last word.
#include "assets/jpeg_subset.h"

#include "assets/jpeg_decoder.h"

namespace {

struct DepartureText {
  JpegDeparture departure;
  const char* text;
};
const DepartureText kDepartureTexts[] = {
    {JpegDeparture::noSoi, "does not begin with SOI"},
    {JpegDeparture::noEoi, "does not end with EOI after the scan"},
    {JpegDeparture::truncated, "a segment runs past the end of the data"},
    {JpegDeparture::badMarker, "a byte other than 0xFF where a marker must stand"},
    {JpegDeparture::notBaselineFrame, "frame type is not SOF0 (baseline)"},
    {JpegDeparture::notEightBit, "sample precision is not 8 bits"},
    {JpegDeparture::widthNotMultipleOf4,
     "width is not a multiple of 4 (the scene uploads rows tightly packed: the picture would show sheared)"},
    {JpegDeparture::notThreeComponents, "not three components"},
    {JpegDeparture::notOneByOne, "a component is not sampled 1 x 1"},
    {JpegDeparture::quantAssignment, "Y does not use quantisation table 0, or Cb/Cr not table 1"},
    {JpegDeparture::sharedDqtSegment, "several quantisation tables share one DQT segment"},
    {JpegDeparture::sixteenBitDqt, "a quantisation table has 16-bit entries"},
    {JpegDeparture::otherQuantTable, "a quantisation table other than 0 and 1"},
    {JpegDeparture::huffmanSelector, "a Huffman table other than DC 0, AC 0, DC 1, AC 1"},
    {JpegDeparture::missingHuffmanTable, "one of the Huffman tables DC 0, AC 0, DC 1, AC 1 is missing"},
    {JpegDeparture::restartInterval, "a restart interval (DRI) is defined"},
    {JpegDeparture::notOneScan, "not exactly one scan"},
    {JpegDeparture::scanComponents, "the scan does not hold the three frame components in order"},
    {JpegDeparture::scanTables, "the scan puts a component on other Huffman tables than luma 0, chroma 1"},
    {JpegDeparture::scanEndsEarly,
     "the scan's data ends before the picture does (cut short or damaged): the decoder fills the rest with zero bits"},
    {JpegDeparture::badHuffmanCode, "the scan holds codes that no Huffman table has (damaged data)"},
    {JpegDeparture::notDecodable, "the saver's decoder cannot decode it"},
};

struct Component {
  uint8_t id;
  uint8_t sampling;
  uint8_t quant;
};

class SubsetWalk {
 public:
  SubsetWalk(const uint8_t* data, size_t length) : cursor(data), end(data + length) {}

  void run();
  bool has(JpegDeparture departure) const { return (found >> int(departure)) & 1; }
  void note(JpegDeparture departure) { found |= uint32_t(1) << int(departure); }

 private:
  bool take(size_t count, const uint8_t*& at);
  bool readSegment(const uint8_t*& body, size_t& bodyLength);
  void frame(const uint8_t* body, size_t length, int32_t marker);
  void quantTables(const uint8_t* body, size_t length);
  void huffmanTables(const uint8_t* body, size_t length);
  void scan(const uint8_t* body, size_t length);
  void skipEntropyData();
  void finish(bool endedWithEoi);

  const uint8_t* cursor;
  const uint8_t* end;
  uint32_t found = 0;
  Component components[4] = {};
  int32_t componentCount = -1;
  uint32_t huffmanDefined = 0;  // bit 0 DC 0, 1 AC 0, 2 DC 1, 3 AC 1
  int32_t scans = 0;
};

bool SubsetWalk::take(size_t count, const uint8_t*& at) {
  if (size_t(end - cursor) < count) {
    note(JpegDeparture::truncated);
    return false;
  }
  at = cursor;
  cursor += count;
  return true;
}

// A segment body after its two-byte length.
bool SubsetWalk::readSegment(const uint8_t*& body, size_t& bodyLength) {
  const uint8_t* field = nullptr;
  if (!take(2, field)) return false;
  const size_t length = size_t(field[0]) << 8 | field[1];
  if (length < 2) {
    note(JpegDeparture::truncated);
    return false;
  }
  bodyLength = length - 2;
  return take(bodyLength, body);
}

void SubsetWalk::frame(const uint8_t* body, size_t length, int32_t marker) {
  if (marker != 0xC0) note(JpegDeparture::notBaselineFrame);
  if (length < 6) return note(JpegDeparture::truncated);
  if (body[0] != 8) note(JpegDeparture::notEightBit);
  if ((size_t(body[3]) << 8 | body[4]) % 4 != 0) note(JpegDeparture::widthNotMultipleOf4);
  componentCount = body[5];
  if (componentCount != 3) note(JpegDeparture::notThreeComponents);
  if (length < size_t(6 + 3 * componentCount)) return note(JpegDeparture::truncated);
  for (int32_t i = 0; i < componentCount; ++i) {
    const uint8_t* c = body + 6 + 3 * i;
    if (i < 4) components[i] = Component{c[0], c[1], c[2]};
    if (c[1] != 0x11) note(JpegDeparture::notOneByOne);
    if (c[2] != (i == 0 ? 0 : 1)) note(JpegDeparture::quantAssignment);
  }
}

void SubsetWalk::quantTables(const uint8_t* body, size_t length) {
  int32_t tables = 0;
  for (size_t at = 0; at < length; ++tables) {
    const int32_t precision = body[at] >> 4;
    const int32_t table = body[at] & 15;
    if (precision != 0) note(JpegDeparture::sixteenBitDqt);
    if (table > 1) note(JpegDeparture::otherQuantTable);
    at += 1 + (precision != 0 ? 128 : 64);
    if (at > length) return note(JpegDeparture::truncated);
  }
  if (tables > 1) note(JpegDeparture::sharedDqtSegment);
}

void SubsetWalk::huffmanTables(const uint8_t* body, size_t length) {
  for (size_t at = 0; at < length;) {
    if (length - at < 17) return note(JpegDeparture::truncated);
    switch (body[at]) {
      case 0x00: huffmanDefined |= 1; break;
      case 0x10: huffmanDefined |= 2; break;
      case 0x01: huffmanDefined |= 4; break;
      case 0x11: huffmanDefined |= 8; break;
      default: note(JpegDeparture::huffmanSelector); break;
    }
    size_t symbols = 0;
    for (size_t l = 1; l <= 16; ++l) symbols += body[at + l];
    at += 17 + symbols;
    if (at > length) return note(JpegDeparture::truncated);
  }
}

void SubsetWalk::scan(const uint8_t* body, size_t length) {
  ++scans;
  if (length < 1 || length < size_t(1 + 2 * body[0] + 3)) return note(JpegDeparture::truncated);
  const int32_t count = body[0];
  if (count != 3 || componentCount != 3) note(JpegDeparture::scanComponents);
  for (int32_t i = 0; i < count && i < 3 && i < componentCount; ++i) {
    const uint8_t selector = body[1 + 2 * i];
    const uint8_t tables = body[2 + 2 * i];
    if (selector != components[i].id) note(JpegDeparture::scanComponents);
    if (tables != (i == 0 ? 0x00 : 0x11)) note(JpegDeparture::scanTables);
  }
}

// Up to the next marker that is neither stuffing nor a restart marker.
void SubsetWalk::skipEntropyData() {
  while (cursor < end) {
    if (*cursor != 0xFF) {
      ++cursor;
      continue;
    }
    if (end - cursor < 2) break;
    const uint8_t next = cursor[1];
    if (next == 0x00 || next == 0xFF || (next >= 0xD0 && next <= 0xD7)) {
      cursor += next == 0xFF ? 1 : 2;
      continue;
    }
    return;
  }
  cursor = end;
}

void SubsetWalk::run() {
  const uint8_t* start = cursor;
  if (end - cursor < 2 || cursor[0] != 0xFF || cursor[1] != 0xD8) note(JpegDeparture::noSoi);
  for (;;) {
    const uint8_t* marker = nullptr;
    if (cursor == end) return finish(false);
    if (!take(2, marker)) return finish(false);
    if (marker[0] != 0xFF) {
      note(JpegDeparture::badMarker);
      return finish(false);
    }
    const int32_t code = marker[1];
    if (code == 0xD8) continue;
    if (code == 0xD9) return finish(scans > 0 && cursor == end && marker > start);
    const uint8_t* body = nullptr;
    size_t length = 0;
    if (!readSegment(body, length)) return finish(false);
    switch (code) {
      case 0xC4: huffmanTables(body, length); break;
      case 0xDB: quantTables(body, length); break;
      case 0xDD: note(JpegDeparture::restartInterval); break;
      case 0xDA:
        scan(body, length);
        skipEntropyData();
        break;
      default:
        if (code >= 0xC0 && code <= 0xCF && code != 0xC8 && code != 0xCC) frame(body, length, code);
        break;
    }
  }
}

void SubsetWalk::finish(bool endedWithEoi) {
  if (!endedWithEoi) note(JpegDeparture::noEoi);
  if (componentCount < 0) note(JpegDeparture::notBaselineFrame);
  if ((huffmanDefined & 0xF) != 0xF) note(JpegDeparture::missingHuffmanTable);
  if (scans != 1) note(JpegDeparture::notOneScan);
}

}  // namespace

const char* jpegDepartureText(JpegDeparture departure) {
  for (const DepartureText& entry : kDepartureTexts) {
    if (entry.departure == departure) return entry.text;
  }
  return "unknown departure";
}

std::vector<JpegDeparture> checkJpegSubset(const uint8_t* data, size_t length) {
  SubsetWalk walk(data, length);
  walk.run();
  JpegDecodeReport report;
  RgbImage* image = length <= size_t(INT32_MAX) ? decodeJpeg(data, int32_t(length), {}, &report) : nullptr;
  if (image == nullptr) walk.note(JpegDeparture::notDecodable);
  if (report.scanFaults & kJpegScanEndedEarly) walk.note(JpegDeparture::scanEndsEarly);
  if (report.scanFaults & kJpegScanBadCode) walk.note(JpegDeparture::badHuffmanCode);
  freeRgbImage(image);
  std::vector<JpegDeparture> departures;
  for (const DepartureText& entry : kDepartureTexts) {
    if (walk.has(entry.departure)) departures.push_back(entry.departure);
  }
  return departures;
}
