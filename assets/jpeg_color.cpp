// The range-limit table, the YCbCr -> BGR tables and colour conversion.
//
// JFIF conversion in 16-bit fixed point, one precomputed entry per chroma
// value, clamping by table lookup instead of compares: four table reads, three
// clamps, four additions and a shift per pixel on the plain path. The SSE2
// path computes the same table entries arithmetically, eight at a time (see
// chromaOffsets), and saturating packs clamp exactly as the table does over
// the range that Y + offset can reach (-227..480).
#include <cstring>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Index z = 256 is the zero entry.
//   z - 256 .. z - 1    0           colour conversion below 0
//   z + 0 .. z + 255    i           in range
//   z + 256 .. z + 639  255         colour conversion above 255; IDCT 128..511
//   z + 640 .. z + 1023 0           IDCT -512..-129 (seen through & 1023)
//   z + 1024 .. z + 1151 i - 1024   IDCT -128..-1 (seen through & 1023)
void JpegDecoder::buildRangeLimit() {
  uint8_t* zero = rangeLimit + 256;
  std::memset(rangeLimit, 0, 256);
  for (int32_t i = 0; i < 256; ++i) zero[i] = uint8_t(i);
  std::memset(zero + 256, 255, 384);
  std::memset(zero + 640, 0, 384);
  for (int32_t i = 0; i < 128; ++i) zero[1024 + i] = uint8_t(i);
}

// x = i - 128; factors 1.40200, 1.77200, 0.71414, 0.34414 times 65536.
void JpegDecoder::buildColourTables() {
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t x = i - 128;
    crToR[i] = (91881 * x + 32768) >> 16;   // red offset from Cr, -179..178
    cbToB[i] = (116130 * x + 32768) >> 16;  // blue offset from Cb, -227..225
    crToG[i] = -46802 * x;                  // green term from Cr, scaled by 65536
    cbToG[i] = -22554 * x + 32768;          // green term from Cb, with the rounding half
  }
}

void JpegDecoder::convertMcu(const uint8_t* sampleBlocks, uint8_t* mcuPixelArea) const {
  const int32_t size = mcuSize;
  const uint8_t* cbBlock = sampleBlocks + (blocksPerMcu - 2) * 64;
  const uint8_t* crBlock = cbBlock + 64;
  const uint8_t* clamp = rangeLimit + 256;
  for (int32_t y = 0; y < size; ++y) {
    for (int32_t x = 0; x < size; ++x) {
      const int32_t lumaBlock = x / 8 + 2 * (y / 8);
      const int32_t luma = sampleBlocks[lumaBlock * 64 + (y % 8) * 8 + x % 8];
      const int32_t chroma = (y * 8 / size) * 8 + x * 8 / size;
      const int32_t cb = cbBlock[chroma];
      const int32_t cr = crBlock[chroma];
      uint8_t* pixel = mcuPixelArea + (y * size + x) * 3;
      pixel[0] = clamp[luma + cbToB[cb]];
      pixel[1] = clamp[luma + ((cbToG[cb] + crToG[cr]) >> 16)];
      pixel[2] = clamp[luma + crToR[cr]];
    }
  }
}

namespace jpeg {

void convertLinePlain(const ColourTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                      bool halfChroma, uint8_t* out, int32_t count) {
  for (int32_t x = 0; x < count; ++x) {
    const int32_t c = halfChroma ? x / 2 : x;
    const int32_t luma = y[x];
    out[3 * x + 0] = tables.clamp[luma + tables.cbToB[cb[c]]];
    out[3 * x + 1] = tables.clamp[luma + ((tables.cbToG[cb[c]] + tables.crToG[cr[c]]) >> 16)];
    out[3 * x + 2] = tables.clamp[luma + tables.crToR[cr[c]]];
  }
}

#if defined(__SSE2__)

namespace {

struct Offsets {
  __m128i blue;
  __m128i green;
  __m128i red;
};

// Table entries for eight chroma values (16-bit lanes holding 0..255). Blue
// and red depend on one byte each, so a 16-bit multiply-high whose constants
// were searched for and checked against all 256 inputs gives them:
//   cbToB[cb] = mulhi_u16(2 cb + 73, 58066) - 291
//   crToR[cr] = mulhi_u16(2 cr + 40, 45942) - 207
// Green depends on both; its 32-bit sum comes exactly from pmaddwd:
//   (cbToG[cb] + crToG[cr]) >> 16 = (-22554 cb - 46802 cr + 8910336) >> 16
//                                 = (-11277 cb - 23401 cr + 4455168) >> 15
// The constants 291 and 207 are left for the caller to subtract.
inline Offsets chromaOffsets(__m128i cb, __m128i cr, __m128i cbcrLow, __m128i cbcrHigh) {
  const __m128i greenFactors = _mm_setr_epi16(-11277, -23401, -11277, -23401, -11277, -23401, -11277, -23401);
  const __m128i greenBias = _mm_set1_epi32(4455168);
  Offsets offsets;
  offsets.blue =
      _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(cb, cb), _mm_set1_epi16(73)), _mm_set1_epi16(int16_t(58066)));
  offsets.red =
      _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(cr, cr), _mm_set1_epi16(40)), _mm_set1_epi16(int16_t(45942)));
  const __m128i low = _mm_add_epi32(_mm_madd_epi16(cbcrLow, greenFactors), greenBias);
  const __m128i high = _mm_add_epi32(_mm_madd_epi16(cbcrHigh, greenFactors), greenBias);
  offsets.green = _mm_packs_epi32(_mm_srai_epi32(low, 15), _mm_srai_epi32(high, 15));
  return offsets;
}

// Offsets for eight pixels with their own chroma (cb, cr: eight bytes each in
// the low half).
inline Offsets offsetsFull(__m128i cb8, __m128i cr8) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairs = _mm_unpacklo_epi8(cb8, cr8);  // cb0 cr0 cb1 cr1 ...
  return chromaOffsets(_mm_unpacklo_epi8(cb8, zero), _mm_unpacklo_epi8(cr8, zero), _mm_unpacklo_epi8(pairs, zero),
                       _mm_unpackhi_epi8(pairs, zero));
}

inline __m128i lowHalf(__m128i v) { return v; }
inline __m128i highHalf(__m128i v) { return _mm_unpackhi_epi64(v, v); }

// B, G, R bytes of 16 pixels from luma and per-pixel offsets.
struct Planar {
  __m128i b;
  __m128i g;
  __m128i r;
};
inline Planar addLuma(__m128i luma, const Offsets& low, const Offsets& high) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lumaLow = _mm_unpacklo_epi8(luma, zero);
  const __m128i lumaHigh = _mm_unpackhi_epi8(luma, zero);
  const __m128i blueBias = _mm_set1_epi16(291);
  const __m128i redBias = _mm_set1_epi16(207);
  Planar p;
  p.b = _mm_packus_epi16(_mm_sub_epi16(_mm_add_epi16(lumaLow, low.blue), blueBias),
                         _mm_sub_epi16(_mm_add_epi16(lumaHigh, high.blue), blueBias));
  p.g = _mm_packus_epi16(_mm_add_epi16(lumaLow, low.green), _mm_add_epi16(lumaHigh, high.green));
  p.r = _mm_packus_epi16(_mm_sub_epi16(_mm_add_epi16(lumaLow, low.red), redBias),
                         _mm_sub_epi16(_mm_add_epi16(lumaHigh, high.red), redBias));
  return p;
}

inline Planar convert16(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma) {
  const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
  if (halfChroma) {
    const Offsets o = offsetsFull(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr)));
    const Offsets low = {_mm_unpacklo_epi16(o.blue, o.blue), _mm_unpacklo_epi16(o.green, o.green),
                         _mm_unpacklo_epi16(o.red, o.red)};
    const Offsets high = {_mm_unpackhi_epi16(o.blue, o.blue), _mm_unpackhi_epi16(o.green, o.green),
                          _mm_unpackhi_epi16(o.red, o.red)};
    return addLuma(luma, low, high);
  }
  const __m128i cbv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb));
  const __m128i crv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr));
  return addLuma(luma, offsetsFull(lowHalf(cbv), lowHalf(crv)), offsetsFull(highHalf(cbv), highHalf(crv)));
}

// Pixels as B G R 0 in 32-bit lanes: 4 per register.
struct Quads {
  __m128i p[4];
};
inline Quads toQuads(const Planar& c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgLow = _mm_unpacklo_epi8(c.b, c.g);
  const __m128i bgHigh = _mm_unpackhi_epi8(c.b, c.g);
  const __m128i rLow = _mm_unpacklo_epi8(c.r, zero);
  const __m128i rHigh = _mm_unpackhi_epi8(c.r, zero);
  return {{_mm_unpacklo_epi16(bgLow, rLow), _mm_unpackhi_epi16(bgLow, rLow), _mm_unpacklo_epi16(bgHigh, rHigh),
           _mm_unpackhi_epi16(bgHigh, rHigh)}};
}

// Per 64-bit lane, two pixels B G R 0 B G R 0 become B G R B G R 0 0.
inline __m128i squeezePairs(__m128i p) {
  const __m128i low = _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF);
  const __m128i high = _mm_set_epi32(0xFFFF, int32_t(0xFF000000u), 0xFFFF, int32_t(0xFF000000u));
  return _mm_or_si128(_mm_and_si128(p, low), _mm_and_si128(_mm_srli_epi64(p, 8), high));
}

// 48 bytes, plus two scratch bytes after them: each pixel pair goes out as
// 8 bytes of which the next pair's store overwrites the last two. Only for a
// group that is followed by another one on the same line.
inline void storeBgrOverlapping(uint8_t* out, const Planar& c) {
  const Quads q = toQuads(c);
  for (int32_t i = 0; i < 4; ++i) {
    const __m128i pairs = squeezePairs(q.p[i]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12 * i), pairs);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12 * i + 6), _mm_unpackhi_epi64(pairs, pairs));
  }
}

// Exactly 48 bytes.
inline void storeBgrExact(uint8_t* out, const Planar& c) {
  const Quads q = toQuads(c);
  __m128i packed[4];
  for (int32_t i = 0; i < 4; ++i) {
    const __m128i pairs = squeezePairs(q.p[i]);
    packed[i] = _mm_or_si128(_mm_move_epi64(pairs), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
  }
  __m128i* dst = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(dst, _mm_or_si128(packed[0], _mm_slli_si128(packed[1], 12)));
  _mm_storeu_si128(dst + 1, _mm_or_si128(_mm_srli_si128(packed[1], 4), _mm_slli_si128(packed[2], 8)));
  _mm_storeu_si128(dst + 2, _mm_or_si128(_mm_srli_si128(packed[2], 8), _mm_slli_si128(packed[3], 4)));
}

}  // namespace

void convertLine(const ColourTables&, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma,
                 uint8_t* out, int32_t count) {
  int32_t x = 0;
  for (; x + 16 < count; x += 16) {
    const int32_t c = halfChroma ? x / 2 : x;
    storeBgrOverlapping(out + 3 * x, convert16(y + x, cb + c, cr + c, halfChroma));
  }
  const int32_t c = halfChroma ? x / 2 : x;
  const Planar last = convert16(y + x, cb + c, cr + c, halfChroma);
  if (x + 16 == count) {
    storeBgrExact(out + 3 * x, last);
  } else {
    uint8_t tail[48];
    storeBgrExact(tail, last);
    std::memcpy(out + 3 * x, tail, size_t(3 * (count - x)));
  }
}

#else

void convertLine(const ColourTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr, bool halfChroma,
                 uint8_t* out, int32_t count) {
  convertLinePlain(tables, y, cb, cr, halfChroma, out, count);
}

#endif  // __SSE2__

}  // namespace jpeg
