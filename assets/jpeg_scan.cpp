// The fast path: decodeImage.
//
// Same bits in, same bytes out as the plain path; the differences are all in
// how the work is laid out:
//   - a 64-bit bit buffer, refilled seven bytes at a time when the next eight
//     bytes hold no 0xFF (no stuffing, no marker near), byte by byte otherwise;
//   - a 10-bit look-ahead whose entries already hold the extended coefficient
//     for short codes with few extra bits, the bulk of every picture;
//   - blocks with only a DC value are filled with their one sample; the others
//     go through the 16-bit SSE2 IDCT when the guard sum proves it exact, the
//     32-bit one otherwise;
//   - MCUs are transformed into planes 128 pixels wide and converted to BGR a
//     whole line at a time, straight into the picture.
#include <cstring>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_internal.h"

namespace {

constexpr int32_t kPlaneWidth = 128;

// The next bits of the stream sit at the top of `buffer`; `count` of them are
// valid. Below them lie either zeros or the stream's own following bits (a
// fast refill may copy part of the next byte early), so appending a byte with
// OR is always right. The pair travels by value so that it stays in registers
// through the block loop; the byte source behind it lives in Stream.
struct Bits {
  uint64_t buffer;
  int32_t count;
};

// Once the data or a marker ends, `dry` is set and the buffer runs on zeros.
// Those sit below the real bits: `zeroBits` of the buffer's valid bits are
// made up, and a count below it means the scan has decoded some of them.
// It is looked at only where zeros are added and at the end, off the block
// loop's path.
struct Stream {
  const uint8_t* cursor;
  const uint8_t* end;
  uint32_t marker;
  bool dry;
  uint8_t faults;  // kJpegScan* bits
  int32_t zeroBits;
};

inline void noteZerosDecoded(const Bits& bits, Stream& stream) {
  if (bits.count < stream.zeroBits) stream.faults |= kJpegScanEndedEarly;
}

inline uint64_t loadBigEndian64(const uint8_t* p) {
#if defined(__GNUC__)
  uint64_t value = 0;
  std::memcpy(&value, p, 8);
  return __builtin_bswap64(value);
#else
  uint64_t value = 0;
  for (int32_t i = 0; i < 8; ++i) value = value << 8 | p[i];
  return value;
#endif
}

inline bool hasByteFF(uint64_t word) {
  const uint64_t inverted = ~word;  // a 0xFF byte becomes a zero byte
  return ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) != 0;
}

// Byte by byte: stuffing, fill bytes, markers and the end of the data.
Bits refillSlow(Bits bits, Stream& stream) {
  while (bits.count <= 56) {
    if (stream.dry) {
      noteZerosDecoded(bits, stream);
      stream.zeroBits = (bits.count < stream.zeroBits ? bits.count : stream.zeroBits) + 64 - bits.count;
      bits.count = 64;
      break;
    }
    if (stream.cursor >= stream.end) {
      stream.dry = true;
      continue;
    }
    uint32_t byte = *stream.cursor++;
    if (byte == 0xFF) {
      while (stream.cursor < stream.end && *stream.cursor == 0xFF) ++stream.cursor;
      if (stream.cursor >= stream.end) {
        stream.dry = true;
        continue;
      }
      const uint32_t next = *stream.cursor++;
      if (next != 0) {
        stream.marker = next;
        stream.dry = true;
        continue;
      }
    }
    bits.buffer |= uint64_t(byte) << (56 - bits.count);
    bits.count += 8;
  }
  return bits;
}

// Brings count to at least 32 (enough for the longest code and its extra
// bits): seven bytes at once when the next eight hold no 0xFF.
inline Bits refill(Bits bits, Stream& stream) {
  if (!stream.dry && stream.end - stream.cursor >= 8) {
    const uint64_t word = loadBigEndian64(stream.cursor);
    if (!hasByteFF(word)) {
      bits.buffer |= word >> bits.count;
      stream.cursor += (63 - bits.count) >> 3;
      bits.count |= 56;
      return bits;
    }
  }
  return refillSlow(bits, stream);
}

inline uint32_t peekBits(const Bits& bits, int32_t n) { return uint32_t(bits.buffer >> (64 - n)); }

inline void skipBits(Bits& bits, int32_t n) {
  bits.buffer <<= n;
  bits.count -= n;
}

// Takes the bits of a look-ahead entry: the chain the block loop waits on.
inline void skipEntry(Bits& bits, uint32_t entry) {
  bits.buffer <<= jpeg::entryShift(entry);
  bits.count -= jpeg::entryLength(entry);
}

inline int32_t takeBits(Bits& bits, int32_t n) {  // n in 1..16
  const int32_t value = int32_t(peekBits(bits, n));
  skipBits(bits, n);
  return value;
}

// Codes longer than the look-ahead, by the limits of T.81 F.16 (17 bits and
// symbol 0 for an invalid code, as on the plain path, noted in `faults`).
// Gives the number of bits to take in the high half and the symbol in the low
// half, so that the bit buffer never has to leave its registers.
int32_t decodeLong(uint64_t buffer, const HuffmanTable& table, uint8_t& faults) {
  int32_t length = jpeg::kFastBits + 1;
  int32_t code = int32_t(buffer >> (64 - length));
  while (length <= 16 && code > table.maxcode[length]) {
    ++length;
    code = int32_t(buffer >> (64 - length));
  }
  if (length > 16) {
    faults |= kJpegScanBadCode;
    return 17 << 16;
  }
  return length << 16 | table.huffval[(table.valptr[length] + code - table.mincode[length]) & 0xFF];
}

inline int32_t decodeLong(Bits& bits, Stream& stream, const HuffmanTable& table) {
  const int32_t result = decodeLong(bits.buffer, table, stream.faults);
  skipBits(bits, result >> 16);
  return result & 0xFF;
}

// The most bits one look-ahead step of the AC loop takes: a code of up to
// kFastBits, then up to 15 extra bits. A longer code refills to 32 for itself,
// as the DC step does, so the loop refills less often.
constexpr int32_t kStepBits = jpeg::kFastBits + 15;

struct BlockTables {
  const FastHuffmanTable* dcFast;
  const HuffmanTable* dc;
  const FastHuffmanTable* acFast;
  const HuffmanTable* ac;
  const uint16_t* quant;
  const uint16_t* guardWeight;
};

// Decodes one block into `coefficients` (all zero on entry). Returns false
// for a block whose first AC symbol is end-of-block: its samples are all one.
inline bool decodeBlockFast(Bits& bits, Stream& stream, const BlockTables& tables, int32_t& predictor,
                            int16_t* coefficients) {
  const FastHuffmanTable& acFast = *tables.acFast;
  if (bits.count < 32) bits = refill(bits, stream);
  uint32_t entry = tables.dcFast->entry[peekBits(bits, jpeg::kFastBits)];
  int32_t difference = 0;
  if (jpeg::entryComplete(entry)) {
    skipEntry(bits, entry);
    difference = jpeg::entryValue(entry);
  } else {
    int32_t size = 0;
    if (entry != 0) {
      skipEntry(bits, entry);
      size = jpeg::entrySymbol(entry);
    } else {
      size = decodeLong(bits, stream, *tables.dc) & 15;
    }
    if (size != 0) difference = jpeg::extend(takeBits(bits, size), size);
  }
  predictor = int32_t(uint32_t(predictor) + uint32_t(difference));
  coefficients[0] = int16_t(predictor);

  if (bits.count < kStepBits) bits = refill(bits, stream);
  entry = acFast.entry[peekBits(bits, jpeg::kFastBits)];
  if (jpeg::entryComplete(entry) && jpeg::entryAdvance(entry) == 64) {
    skipEntry(bits, entry);
    return false;
  }
  for (int32_t k = 1;;) {
    int32_t value = 0;
    if (jpeg::entryComplete(entry)) {
      skipEntry(bits, entry);
      k += jpeg::entryAdvance(entry);
      value = jpeg::entryValue(entry);
    } else {
      int32_t symbol = 0;
      if (entry != 0) {
        skipEntry(bits, entry);
        symbol = jpeg::entrySymbol(entry);
      } else {
        if (bits.count < 32) bits = refill(bits, stream);
        symbol = decodeLong(bits, stream, *tables.ac);
      }
      const int32_t size = symbol & 15;
      if (size == 0) {
        if (symbol != 0xF0) break;
        k += 16;
      } else {
        k += (symbol >> 4) + 1;
        value = jpeg::extend(takeBits(bits, size), size);
      }
    }
    // Zero stores of EOB and ZRL entries land on positions not yet written.
    coefficients[jpeg::naturalOrderWide[k - 1]] = int16_t(value);
    if (k >= 64) break;
    if (bits.count < kStepBits) bits = refill(bits, stream);
    entry = acFast.entry[peekBits(bits, jpeg::kFastBits)];
  }
  return true;
}

}  // namespace

bool JpegDecoder::decodeImage(const uint8_t* scan, uint8_t* pixels) {
  if (scan == nullptr || pixels == nullptr || !tablesReady) return false;
  Bits bits{0, 0};
  Stream stream{scan, scan + bytesLeft, pendingMarker, pendingMarker != 0, 0, 0};

  const int32_t size = mcuSize;
  const bool halfChroma = size == 16;
  const int32_t mcusAcross = (width + size - 1) / size;
  const int32_t mcusDown = (height + size - 1) / size;
  const size_t stride = size_t(rgbImageStride(width));
  const int32_t chunkMcus = kPlaneWidth / size;
  const uint8_t* limit = rangeLimit + 256;
  const jpeg::ColourTables colour{limit, crToR, crToG, cbToB, cbToG};
  const BlockTables lumaTables{&fastHuffman[0], &huffman[0],   &fastHuffman[1],
                               &huffman[1],     quantTable[0], guardWeight[0]};
  const BlockTables chromaTables{&fastHuffman[2], &huffman[2],   &fastHuffman[3],
                                 &huffman[3],     quantTable[1], guardWeight[1]};
  const int32_t lumaBlocks = blocksPerMcu - 2;

  alignas(16) uint8_t planes[3][16 * kPlaneWidth];
  std::memset(planes, 0, sizeof planes);  // the line tails read past the last MCU
  alignas(16) int16_t coefficients[64];
  std::memset(coefficients, 0, sizeof coefficients);

  for (int32_t row = 0; row < mcusDown; ++row) {
    for (int32_t first = 0; first < mcusAcross; first += chunkMcus) {
      const int32_t chunk = mcusAcross - first < chunkMcus ? mcusAcross - first : chunkMcus;
      for (int32_t m = 0; m < chunk; ++m) {
        if (restartInterval != 0 && restartsToGo == 0) {
          noteZerosDecoded(bits, stream);
          stream.zeroBits = 0;
          bits = Bits{0, 0};
          jpeg::resyncRestart(stream.cursor, stream.end, stream.marker, nextRestart);
          stream.dry = stream.marker != 0;
          dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
          restartsToGo = restartInterval;
        }
        for (int32_t b = 0; b < blocksPerMcu; ++b) {
          const bool luma = b < lumaBlocks;
          const BlockTables& tables = luma ? lumaTables : chromaTables;
          int32_t& predictor = dcPredictor[luma ? 0 : b - lumaBlocks + 1];
          uint8_t* out = luma ? planes[0] + (b >> 1) * 8 * kPlaneWidth + m * size + (b & 1) * 8
                              : planes[b - lumaBlocks + 1] + m * 8;
          if (!decodeBlockFast(bits, stream, tables, predictor, coefficients)) {
            const uint8_t sample = jpeg::dcOnlySample(coefficients[0], tables.quant[0], limit);
            coefficients[0] = 0;
            for (int32_t i = 0; i < 8; ++i) std::memset(out + i * kPlaneWidth, sample, 8);
          } else if (!jpeg::idctSimd(coefficients, tables.quant, tables.guardWeight, out, kPlaneWidth)) {
            jpeg::idctPlain(coefficients, tables.quant, limit, out, kPlaneWidth);
            std::memset(coefficients, 0, sizeof coefficients);
          }
        }
        --restartsToGo;
      }

      const int32_t lines = height - row * size < size ? height - row * size : size;
      const int32_t columns = width - first * size < chunk * size ? width - first * size : chunk * size;
      for (int32_t i = 0; i < lines; ++i) {
        uint8_t* line = pixels + size_t(height - 1 - (row * size + i)) * stride + size_t(first) * size * 3;
        const int32_t chromaLine = (halfChroma ? i / 2 : i) * kPlaneWidth;
        jpeg::convertLine(colour, planes[0] + i * kPlaneWidth, planes[1] + chromaLine, planes[2] + chromaLine,
                          halfChroma, line, columns);
      }
    }
  }
  noteZerosDecoded(bits, stream);
  scanFaultBits |= stream.faults;
  cursor = stream.cursor;
  bytesLeft = int32_t(stream.end - stream.cursor);
  pendingMarker = stream.marker;
  return true;
}
