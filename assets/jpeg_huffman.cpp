// Huffman tables, the plain path's bit reader and block decoder, and the
// restart resync shared by both paths.
//
// The plain reader is the simple one: a 32-bit buffer refilled a byte at a
// time to at least 25 bits, an 8-bit look-ahead for short codes and a bit by
// bit search (T.81 F.16) for the rest. It is the reference for the fast path,
// which must deliver the same symbols from the same bits.
//
// What both readers see is one bit sequence per restart interval: the
// unstuffed data bytes up to the next marker or the end of the data, then
// zero bits without end. Because that sequence, and not the moment a byte is
// fetched, decides every symbol, the fast reader may read ahead in bigger
// steps and still agree bit for bit, damaged streams included.
#include <cstring>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_internal.h"

namespace jpeg {

static_assert(sizeof(FastHuffmanTable::entry) == sizeof(uint32_t) << kFastBits,
              "one fast entry per kFastBits-bit prefix");

const int32_t naturalOrder[80] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,  //
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,  // runs past the end
};

const uint8_t naturalOrderWide[128] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,  //
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,  // end-of-block and
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,  // zero-run entries
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,  // store a zero up to
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,  // 63 places ahead
};

const int32_t extendTest[16] = {0, 1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384};
const int32_t extendOffset[16] = {0,    -1,   -3,    -7,    -15,   -31,   -63,    -127,
                                  -255, -511, -1023, -2047, -4095, -8191, -16383, -32767};

namespace {

// The next marker at or after the cursor: 0xFF followed by a byte other than
// 0x00 (a stuffed data byte) or 0xFF (fill). 0 when the data ends first.
uint32_t scanToMarker(const uint8_t*& cursor, const uint8_t* end) {
  while (cursor < end) {
    if (*cursor++ != 0xFF) continue;
    while (cursor < end && *cursor == 0xFF) ++cursor;
    if (cursor == end) break;
    const uint8_t code = *cursor++;
    if (code != 0) return code;
  }
  return 0;
}

// One look-ahead entry of the fast table: the code of `length` bits for
// `symbol`, followed in the prefix by `tail` (the remaining `spare` bits).
uint32_t fastEntry(bool isDc, int32_t length, int32_t symbol, int32_t tail, int32_t spare) {
  const int32_t size = symbol & 15;
  const int32_t run = symbol >> 4;
  if (!isDc && size == 0) return makeCompleteEntry(length, run == 15 ? 16 : 64, 0);
  if (length + size > kFastBits) return makeSymbolEntry(length, isDc ? size : symbol);
  const int32_t value = size == 0 ? 0 : extend((tail >> (spare - size)) & ((1 << size) - 1), size);
  return makeCompleteEntry(length + size, isDc ? 0 : run + 1, value);
}

}  // namespace

void resyncRestart(const uint8_t*& cursor, const uint8_t* end, uint32_t& pendingMarker, int32_t& nextRestart) {
  for (;;) {
    if (pendingMarker == 0) pendingMarker = scanToMarker(cursor, end);
    if (pendingMarker < 0xD0 || pendingMarker > 0xD7) break;  // none, or not a restart: zeros
    const int32_t ahead = (int32_t(pendingMarker - 0xD0) - nextRestart) & 7;
    if (ahead == 1 || ahead == 2) break;  // the expected one was lost: meet this one next time
    if (ahead >= 6) {                     // one already passed: skip it
      pendingMarker = 0;
      continue;
    }
    nextRestart = int32_t(pendingMarker - 0xD0);  // the expected one, or too far off to judge
    pendingMarker = 0;
    break;
  }
  nextRestart = (nextRestart + 1) & 7;
}

}  // namespace jpeg

// Code assignment of T.81 C.1/C.2 and the limits of F.16, then both
// look-ahead tables. The header reader has already refused counts that
// overflow the code space, so every code of length l is below 2^l and every
// prefix range below stays inside its table.
void JpegDecoder::buildHuffmanTable(HuffmanTable& table, FastHuffmanTable& fast, bool isDc) {
  int32_t codes[257];
  int32_t count = 0;
  int32_t code = 0;
  for (int32_t l = 1; l <= 16; ++l) {
    for (int32_t i = 0; i < table.bits[l]; ++i) codes[count++] = code++;
    code <<= 1;
  }

  int32_t symbol = 0;
  for (int32_t l = 1; l <= 16; ++l) {
    table.valptr[l] = symbol;
    table.mincode[l] = 0;
    table.maxcode[l] = -1;
    if (table.bits[l] > 0) {
      table.mincode[l] = codes[symbol];
      symbol += table.bits[l];
      table.maxcode[l] = codes[symbol - 1];
    }
  }
  table.mincode[0] = table.valptr[0] = table.maxcode[0] = 0;
  table.maxcode[17] = 0xFFFFF;

  std::memset(table.lookNbits, 0, sizeof table.lookNbits);
  std::memset(fast.entry, 0, sizeof fast.entry);
  symbol = 0;
  for (int32_t l = 1; l <= jpeg::kFastBits; ++l) {
    for (int32_t i = 0; i < table.bits[l]; ++i, ++symbol) {
      const int32_t value = table.huffval[symbol];
      if (l <= 8) {
        const int32_t base = codes[symbol] << (8 - l);
        for (int32_t j = 0; j < (1 << (8 - l)); ++j) {
          table.lookNbits[base + j] = l;
          table.lookSym[base + j] = uint8_t(value);
        }
      }
      const int32_t spare = jpeg::kFastBits - l;
      const int32_t base = codes[symbol] << spare;
      for (int32_t j = 0; j < (1 << spare); ++j) {
        fast.entry[base + j] = jpeg::fastEntry(isDc, l, value, j, spare);
      }
    }
  }
}

// Refill to at least 25 bits. Past a marker or the end of the data the
// stream continues as zero bits, so a damaged scan never reads out of bounds
// and never stalls. Those zeros sit below the real bits; once fewer bits are
// left than zeros were added, the scan has decoded some of them.
void JpegDecoder::fillBitBuffer() {
  while (bitCount < 25) {
    uint32_t byte = 0;
    if (pendingMarker != 0 || bytesLeft <= 0) {
      if (bitCount < zeroBits) scanFaultBits |= kJpegScanEndedEarly;
      zeroBits = (bitCount < zeroBits ? bitCount : zeroBits) + 8;
    } else {
      byte = *cursor++;
      --bytesLeft;
      if (byte == 0xFF) {
        while (bytesLeft > 0 && *cursor == 0xFF) {  // fill bytes before a marker
          ++cursor;
          --bytesLeft;
        }
        if (bytesLeft == 0) continue;
        const uint32_t next = *cursor++;
        --bytesLeft;
        if (next != 0) {  // a marker: keep it for the restart logic, read no further
          pendingMarker = next;
          continue;
        }
      }
    }
    bitBuffer = bitBuffer << 8 | byte;
    bitCount += 8;
  }
}

int32_t JpegDecoder::takeBits(int32_t count) {
  if (bitCount < count) fillBitBuffer();
  bitCount -= count;
  return int32_t((bitBuffer >> bitCount) & ((1u << count) - 1));
}

int32_t JpegDecoder::decodeSymbol(const HuffmanTable& table) {
  if (bitCount < 8) fillBitBuffer();
  const int32_t prefix = int32_t((bitBuffer >> (bitCount - 8)) & 0xFF);
  const int32_t length = table.lookNbits[prefix];
  if (length == 0) return decodeSlow(table, 9);
  bitCount -= length;
  return table.lookSym[prefix];
}

// An invalid code ends at length 17 on the maxcode end mark and decodes as 0.
int32_t JpegDecoder::decodeSlow(const HuffmanTable& table, int32_t length) {
  int32_t code = takeBits(length);
  while (code > table.maxcode[length]) {
    code = code << 1 | takeBits(1);
    ++length;
  }
  if (length > 16) {
    scanFaultBits |= kJpegScanBadCode;
    return 0;
  }
  // In range for every table the header accepts; the mask only makes that
  // visible to a reader.
  return table.huffval[(table.valptr[length] + code - table.mincode[length]) & 0xFF];
}

void JpegDecoder::decodeBlock(int32_t block, int16_t* coefficients) {
  const bool luma = block < blocksPerMcu - 2;
  const HuffmanTable* dcTable = &huffman[luma ? 0 : 2];
  const HuffmanTable* acTable = dcTable + 1;
  int32_t& predictor = dcPredictor[luma ? 0 : block - (blocksPerMcu - 3)];

  std::memset(coefficients, 0, 64 * sizeof(int16_t));
  // DC sizes above 15 exist only in damaged tables; the low four bits keep
  // the read within the 32-bit buffer.
  const int32_t dcSize = decodeSymbol(*dcTable) & 15;
  const int32_t difference = dcSize == 0 ? 0 : jpeg::extend(takeBits(dcSize), dcSize);
  predictor = int32_t(uint32_t(predictor) + uint32_t(difference));  // wraps on damaged data
  coefficients[0] = int16_t(predictor);

  for (int32_t k = 1; k < 64;) {
    const int32_t symbol = decodeSymbol(*acTable);
    const int32_t run = symbol >> 4;
    const int32_t size = symbol & 15;
    if (size != 0) {
      k += run;
      coefficients[jpeg::naturalOrder[k]] = int16_t(jpeg::extend(takeBits(size), size));
      ++k;
    } else if (run == 15) {
      k += 16;
    } else {
      break;
    }
  }
}

void JpegDecoder::processRestart() {
  const uint8_t* end = cursor + bytesLeft;
  jpeg::resyncRestart(cursor, end, pendingMarker, nextRestart);
  bytesLeft = int32_t(end - cursor);
}
