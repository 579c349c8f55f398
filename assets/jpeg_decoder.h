// The saver's own baseline JPEG decoder.
//
// It decodes the kind of picture the data packs carry: sequential Huffman
// JPEG, 8-bit samples, three interleaved components, with either 8 x 8 MCUs
// (all components 1 x 1) or 16 x 16 MCUs (luma 2 x 2 or 2 x 1). Output is a
// bottom-up BGR buffer (see rgb_image.h).
//
// The pixel arithmetic is fixed: the AAN scaled integer IDCT with 8-bit
// constants, a >> 5 descale through the range-limit table, and table-driven
// YCbCr conversion. On pictures from ordinary encoders this is exactly what
// libjpeg-turbo's fast integer IDCT gives without fancy upsampling.
//
// Two decode paths share the header reader and the tables:
//   decodeImagePlain - one step after another as the arithmetic reads; kept
//                      simple so that it can serve as the reference;
//   decodeImage      - the one the saver uses: a 64-bit bit buffer, combined
//                      Huffman look-ahead, SSE2 IDCT and colour conversion.
//                      It gives the same bytes as the plain path for every
//                      input, damaged ones included (the tests check this).
//
// What it does not do: progressive, lossless, hierarchical or
// arithmetic-coded frames (refused as header failures), samples of other than
// 8 bits (a 12-bit frame is decoded as if it were 8-bit: wrong pixels, never
// unsafe), other sampling layouts (decoded as one of the two above, likewise),
// frames larger than kJpegMaxSide a side or kJpegMaxPixelBytes of pixels
// (refused before anything is allocated), heap allocation (the whole state
// lives in the object, about 30 KB, meant for the stack). One object decodes
// one picture: readHeader, then one of the two decode calls.
//
// Safety: no read goes past the given length. A segment that runs past the end
// is a header failure; the entropy reader feeds zero bits once the data or a
// marker ends; restart markers that do not come in turn are resynchronised.
// The saver decodes such a scan to the end without a word; the decoder notes
// what it had to make up (scanFaults) for the tools that check pictures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "assets/rgb_image.h"

// Where the header failure's message goes, so that the decoder needs no
// platform header: the saver shows a message box, the tools print it. No
// function means silence.
struct JpegMessages {
  void (*show)(void* context, const char* text) = nullptr;
  void* context = nullptr;
};

// The text JpegMessages::show receives on every header failure.
extern const char* const kJpegHeaderMessage;

// The largest frame the decoder takes: a frame header is a few bytes, and
// 65535 x 65535 would cost 12.9 GB and minutes of decoding. The limits keep
// every real picture (the largest pack holds 4096 x 2048, 25 MB) with room for
// replacements several times larger.
constexpr int32_t kJpegMaxSide = 16384;
constexpr int64_t kJpegMaxPixelBytes = int64_t(256) << 20;

// Why a header was refused. The user always sees kJpegHeaderMessage; the code
// is for tests and for the pack checking tool.
enum class JpegHeaderFault : uint8_t {
  none,
  notAMarker,         // no 0xFF where a marker must stand
  unsupportedMarker,  // SOF2 and other frame types, EOI or RSTn before the scan, fill bytes
  truncated,          // a segment runs past the end of the data
  badTableSelector,   // DHT class/destination other than 0x00, 0x01, 0x10, 0x11
  tooManySymbols,     // more than 256 symbols in one Huffman table
  codeSpaceOverflow,  // more codes of some length than prefix codes allow
  badComponentCount,  // a frame with no components or more than three
  frameTooLarge,      // wider or higher than kJpegMaxSide, or more than kJpegMaxPixelBytes of pixels
  noFrame,            // a scan before any frame header
  missingTable,       // a quantisation or Huffman table the scan needs was never defined
};
const char* jpegHeaderFaultText(JpegHeaderFault fault);

// What a scan had to make up, one bit each (both paths note the same):
// zero bits decoded because the data or a marker ended the scan (or a
// restart interval) before its last block; a bit pattern that no Huffman
// table holds, decoded as symbol 0.
constexpr uint8_t kJpegScanEndedEarly = 1;
constexpr uint8_t kJpegScanBadCode = 2;

// One DC or AC Huffman table: the DHT contents and the derived decoding limits
// of T.81 F.16, plus an 8-bit look-ahead for the plain path.
struct HuffmanTable {
  int32_t mincode[17];     // [l] first code of length l
  int32_t maxcode[18];     // [l] last code of length l, -1 if none; [17] = 0xFFFFF ends every search
  int32_t valptr[17];      // [l] index in huffval of the first symbol of length l
  uint8_t bits[17];        // [l] number of codes of length l, from DHT; [0] = 0
  uint8_t huffval[256];    // symbols in order of increasing code
  int32_t lookNbits[256];  // [8-bit prefix] length of the code it begins, 0 if longer than 8
  uint8_t lookSym[256];    // [8-bit prefix] that code's symbol
};

// The fast path's look-ahead for one table: one entry per 10-bit prefix, which
// for short codes already holds the decoded coefficient (see jpeg_internal.h).
struct FastHuffmanTable {
  uint32_t entry[1 << 10];
};

struct ComponentInfo {
  int32_t id;          // Ci
  int32_t index;       // position in the frame header
  int32_t h;           // Hi
  int32_t v;           // Vi
  int32_t quantTable;  // Tqi (stored only: luma uses table 0, chroma table 1)
};

class JpegDecoder {
 public:
  explicit JpegDecoder(JpegMessages messages = {});

  // Reads the marker segments up to the first entropy-coded byte. Gives the
  // picture size and the header length (offset of the scan data). A header
  // failure shows the message; a zero width or height fails silently.
  bool readHeader(const uint8_t* data, int32_t length, int32_t& widthOut, int32_t& heightOut, int32_t& headerLength);

  // Decode the scan at data + headerLength into pixels (rgbImageStride(width)
  // x height bytes). Fail only on a null pointer (or without a header read
  // first). Row padding stays unwritten.
  bool decodeImage(const uint8_t* scan, uint8_t* pixels);
  bool decodeImagePlain(const uint8_t* scan, uint8_t* pixels);

  JpegHeaderFault headerFault() const { return fault; }
  uint8_t scanFaults() const { return scanFaultBits; }
  int32_t mcuPixels() const { return mcuSize; }

  // The plain path's steps, usable after a successful readHeader.
  bool decodeMcu(uint8_t* mcuPixelArea);
  void decodeBlock(int32_t block, int16_t* coefficients);
  void processRestart();
  void inverseDct(const int16_t* coefficients, int32_t block, uint8_t* samples) const;
  void convertMcu(const uint8_t* sampleBlocks, uint8_t* mcuPixelArea) const;

 private:
  bool parseMarkers(const uint8_t* data, int32_t length);
  int32_t readMarker();
  bool skipSegment();
  bool readQuantTables();
  bool readFrameHeader();
  bool readHuffmanTables();
  bool readScanHeader();
  bool readRestartInterval();
  bool readByte(uint8_t& value);
  bool readWord(uint16_t& value);
  bool fail(JpegHeaderFault reason);
  void prepareTables();
  void buildHuffmanTable(HuffmanTable& table, FastHuffmanTable& fast, bool isDc);
  void buildRangeLimit();
  void buildColourTables();
  void scaleQuantTables();
  void fillBitBuffer();
  int32_t takeBits(int32_t count);
  int32_t decodeSymbol(const HuffmanTable& table);
  int32_t decodeSlow(const HuffmanTable& table, int32_t length);

  // Tables (contents: jpeg_color.cpp, jpeg_idct.cpp, jpeg_huffman.cpp).
  uint8_t rangeLimit[1408];
  int32_t crToR[256];
  int32_t crToG[256];
  int32_t cbToB[256];
  int32_t cbToG[256];
  uint16_t quantTable[2][64];
  HuffmanTable huffman[4];  // DC 0, AC 0, DC 1, AC 1: each AC table lies behind its DC table

  // Frame and entropy state.
  uint16_t width;
  uint16_t height;
  uint16_t mcuSize;
  uint16_t blocksPerMcu;
  int32_t dcPredictor[3];
  int32_t bitCount;
  uint32_t bitBuffer;
  int32_t bytesLeft;
  const uint8_t* cursor;
  uint32_t precision;
  int32_t componentCount;
  int32_t restartInterval;
  int32_t restartsToGo;
  uint32_t pendingMarker;
  int32_t nextRestart;
  ComponentInfo components[3];

  // Bookkeeping of the safe header reader and the fast path's extra tables.
  JpegMessages messages;
  const uint8_t* streamEnd;
  JpegHeaderFault fault;
  uint8_t definedQuant;    // bit t: quantisation table t seen
  uint8_t definedHuffman;  // bit i: huffman[i] seen
  bool frameSeen;
  bool tablesReady;  // readHeader succeeded: the tables behind the scan are built
  uint8_t scanFaultBits;
  int32_t zeroBits;  // the plain reader's: how many of the bitCount bits at the bottom are made-up zeros
  FastHuffmanTable fastHuffman[4];
  uint16_t guardWeight[2][64];  // the 16-bit IDCT's overflow bound (jpeg_idct.cpp)
};

// What a decode met, for the tools: why the header was refused, or what the
// scan had to make up (kJpegScan* bits).
struct JpegDecodeReport {
  JpegHeaderFault headerFault = JpegHeaderFault::none;
  uint8_t scanFaults = 0;
};

// Decodes a whole picture into a new RgbImage (record and buffer from the
// heap, nothrow). Null on any failure; a header failure has shown its message.
RgbImage* decodeJpeg(const uint8_t* data, int32_t length, JpegMessages messages = {},
                     JpegDecodeReport* report = nullptr);
// The same through the plain path, for tests and tools.
RgbImage* decodeJpegPlain(const uint8_t* data, int32_t length, JpegMessages messages = {},
                          JpegDecodeReport* report = nullptr);
// Releases a picture made by decodeJpeg (null is fine).
void freeRgbImage(RgbImage* image);
