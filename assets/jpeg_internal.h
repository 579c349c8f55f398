// Pieces shared by the decoder's files (and by the tests that pin them):
// constant tables, the fast look-ahead entry layout, the restart resync and
// the pixel kernels of both paths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jpeg {

// Zigzag index -> natural (row-major) index, T.81 Figure A.6. Entries 64..79
// are 63: a damaged run that carries the index past 63 lands on the last
// position instead of outside the block.
extern const int32_t naturalOrder[80];
// The same padded to 128 for the fast path, which may store a zero at index
// k + 63 on end-of-block (see the fast entries below).
extern const uint8_t naturalOrderWide[128];

// EXTEND of T.81 F.12: an s-bit value v < extendTest[s] becomes v + extendOffset[s].
extern const int32_t extendTest[16];    // [s] = 1 << (s - 1)
extern const int32_t extendOffset[16];  // [s] = (-1 << s) + 1

inline int32_t extend(int32_t value, int32_t size) {
  return value < extendTest[size] ? value + extendOffset[size] : value;
}

// aanScale[8r + c] = round(16384 * s(r) * s(c)), s(0) = 1, s(k) = sqrt(2) cos(k pi / 16).
extern const uint16_t aanScale[64];

// Fast look-ahead entries (FastHuffmanTable), one per kFastBits-bit prefix.
// Three kinds:
//   complete: the code and its extra bits fit in the prefix; the entry holds
//             the bits to take, how far the coefficient index moves and the
//             extended value (DC: the difference). EOB moves by 64, ZRL by 16,
//             both with value 0.
//   symbol:   the code fits but its extra bits do not: bits to take and the
//             symbol; the caller reads the extra bits itself.
//   0:        the code is longer than kFastBits: decode it bit by bit.
// Layout, written here only: bits 0..4 length, bit 7 complete, bits 8..15
// advance (complete) or symbol, bits 16..31 value. Bit 5 stays clear, so the
// low six bits are the length too: a 64-bit shift by entryShift takes the
// entry's bits one step sooner than by entryLength, on the chain from one
// code to the next.
constexpr int kFastBits = 10;
constexpr uint32_t kFastComplete = 0x80;

inline uint32_t makeCompleteEntry(int32_t length, int32_t advance, int32_t value) {
  return uint32_t(length) | kFastComplete | (uint32_t(advance) << 8) | (uint32_t(uint16_t(value)) << 16);
}
inline uint32_t makeSymbolEntry(int32_t length, int32_t symbol) { return uint32_t(length) | (uint32_t(symbol) << 8); }
inline int32_t entryLength(uint32_t entry) { return int32_t(entry & 31); }
inline uint32_t entryShift(uint32_t entry) { return entry & 63; }
inline bool entryComplete(uint32_t entry) { return (entry & kFastComplete) != 0; }
inline int32_t entryAdvance(uint32_t entry) { return int32_t((entry >> 8) & 0xFF); }
inline int32_t entrySymbol(uint32_t entry) { return int32_t((entry >> 8) & 0xFF); }
inline int32_t entryValue(uint32_t entry) { return int16_t(uint16_t(entry >> 16)); }

// What to do at a restart point once the leftover bits are dropped. Finds the
// next marker from `cursor` when none is pending (skipping damaged bytes),
// then: the expected RSTn (or one far off) is consumed and the count follows
// it; RSTn one or two ahead means the expected one was lost, so it stays
// pending and this interval reads zeros; a stale RSTn is skipped; any other
// marker stays pending. Never stalls: every call moves the count on.
void resyncRestart(const uint8_t*& cursor, const uint8_t* end, uint32_t& pendingMarker, int32_t& nextRestart);

// Inverse DCT of one block, plain 32-bit arithmetic (wrapping, so that damaged
// data stays defined). quant: the scaled multipliers; limit: the range-limit
// table's zero entry; out: 8 rows of 8 samples, rowStride apart.
void idctPlain(const int16_t* coefficients, const uint16_t* quant, const uint8_t* limit, uint8_t* out,
               ptrdiff_t rowStride);

// The 16-bit SSE2 IDCT, equal to idctPlain whenever the block's guard sum
//   sum over positions p of |coefficient[p]| x guardWeight[p]
// is at most kIdctGuardLimit (see jpeg_idct.cpp for the proof). It checks
// the guard itself: above the limit, or without SSE2, it returns false and
// touches nothing, and the caller takes idctPlain. On success it has cleared
// the coefficient block.
constexpr int32_t kIdctGuardLimit = 4 * (32767 - 30);
#if defined(__SSE2__)
constexpr bool kIdctSimd = true;
#else
constexpr bool kIdctSimd = false;
#endif
bool idctSimd(int16_t* coefficients, const uint16_t* quant, const uint16_t* guardWeight, uint8_t* out,
              ptrdiff_t rowStride);

// guardWeight[p] = kIdctGuardWeight[p] x quant[p], natural order.
extern const uint8_t kIdctGuardWeight[64];
void buildGuardWeights(const uint16_t* quant, uint16_t* guardWeight);

// The sample of a block whose only non-zero coefficient is the DC value.
inline uint8_t dcOnlySample(int32_t dc, uint16_t multiplier, const uint8_t* limit) {
  return limit[128 + (((dc * int32_t(multiplier)) >> 5) & 1023)];
}

// Colour conversion of one line of pixels, planar samples to packed B, G, R.
// Chroma either per pixel (444) or one sample per two pixels (422 lines of a
// 16 x 16 MCU). Reads samples up to count rounded up to 16 (the planes are
// padded); writes exactly 3 x count bytes.
struct ColourTables {
  const uint8_t* clamp;  // range-limit zero entry
  const int32_t* crToR;
  const int32_t* crToG;
  const int32_t* cbToB;
  const int32_t* cbToG;
};
void convertLine(const ColourTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma,
                 uint8_t* out, int32_t count);
void convertLinePlain(const ColourTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                      bool halfChroma, uint8_t* out, int32_t count);

}  // namespace jpeg
