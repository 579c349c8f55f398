// Dequantisation and the inverse DCT.
//
// The transform is the Arai-Agui-Nakajima scaled IDCT in integer arithmetic
// with 8-bit constants: five multiplications per 1-D pass, the AAN scale
// factors folded into the quantisation multipliers, so that dequantising is
// one multiply per coefficient. Its cost is accuracy: the 8-bit constants and
// the unrounded shifts lose a little against an exact DCT at small
// quantisation steps, which photographs at ordinary qualities never show.
// Descaling is a plain >> 5 (PASS1_BITS 2 + 3) through the range-limit table,
// which adds the level shift of 128 and clamps, wrapping beyond +-512.
//
// Two versions. idctPlain follows the arithmetic literally in 32 bits (with
// wrap-around, so that damaged data stays defined). idctSimd does the same in
// 16-bit SSE2 lanes, eight columns or rows at a time, and is exact under a
// bound that the caller checks per block:
//
//   Everything in the transform is addition, subtraction and multiplication
//   by constants - exact modulo 2^16 - except the five mul(v, k) = (v k) >> 8,
//   which need the true v. The final sample depends only on bits 5..14 of the
//   output ((o >> 5) & 1023), i.e. on o modulo 2^16. So the 16-bit result is
//   exact whenever every multiplier input v lies in -32768..32767; the 16-bit
//   multiply pair (mullo, mulhi) then yields (v k) >> 8 modulo 2^16 exactly.
//
//   Pass 1 inputs to the multiplies are sums of at most four dequantised
//   coefficients X of rows 1, 2, 3, 5, 6, 7 of one column. Pass 2 inputs are
//   sums of at most four pass-1 outputs of columns 1, 2, 3, 5, 6, 7. A pass-1
//   output row r is sum over r' of A[r][r'] X[r'] minus at most 5 from the
//   floors, where max over r of |A[r][r']| is W[r'] = 1, 1, 1, 1.18, 1, 1.77,
//   2.41, 5.03 (the linear forms of the pass). Hence, with
//     V[r][c] = max(W[r] if c is not 0 or 4, 1 if r is not 0 or 4),
//   every multiplier input is at most sum V |X| + 30 in magnitude. The guard
//   weights are ceil(4 V) and the guard limit 4 x (32767 - 30). DC and the
//   other three V = 0 positions never reach a multiply.
//
// Blocks above the limit (strong edges at fine quantisation) and any target
// without SSE2 take idctPlain.
#include <cstring>

#include "assets/jpeg_decoder.h"
#include "assets/jpeg_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpeg {

const uint16_t aanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  //
    22725, 31521, 29692, 26722, 22725, 17855, 12299, 6270,  //
    21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  //
    19266, 26722, 25172, 22654, 19266, 15137, 10426, 5315,  //
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  //
    12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  //
    8867,  12299, 11585, 10426, 8867,  6967,  4799,  2446,  //
    4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247,  //
};

// ceil(4 V[r][c]), V as derived above.
const uint8_t kIdctGuardWeight[64] = {
    0, 4,  4,  4,  0, 4,  4,  4,   //
    4, 4,  4,  4,  4, 4,  4,  4,   //
    4, 4,  4,  4,  4, 4,  4,  4,   //
    4, 5,  5,  5,  4, 5,  5,  5,   //
    0, 4,  4,  4,  0, 4,  4,  4,   //
    4, 8,  8,  8,  4, 8,  8,  8,   //
    4, 10, 10, 10, 4, 10, 10, 10,  //
    4, 21, 21, 21, 4, 21, 21, 21,  //
};

// At most 8 x 1112 (row 5) with 8-bit DQT entries, so the weights stay below
// 2^14 and pmaddwd can take them.
void buildGuardWeights(const uint16_t* quant, uint16_t* guardWeight) {
  for (int32_t p = 0; p < 64; ++p) guardWeight[p] = uint16_t(kIdctGuardWeight[p] * quant[p]);
}

namespace {

// 32-bit arithmetic that wraps instead of overflowing.
struct Wrap {
  uint32_t bits;
};
inline Wrap operator+(Wrap a, Wrap b) { return {a.bits + b.bits}; }
inline Wrap operator-(Wrap a, Wrap b) { return {a.bits - b.bits}; }
inline int32_t asSigned(Wrap a) { return int32_t(a.bits); }
// mul(v, k) = (v x k) >> 8, arithmetic shift without rounding.
inline Wrap mul(Wrap a, int32_t k) { return {uint32_t(int32_t(a.bits * uint32_t(k)) >> 8)}; }

// Constants, 256 x the factor, rounded.
constexpr int32_t kSqrt2 = 362;        // FIX(1.414213562)
constexpr int32_t k1_847759065 = 473;  // FIX(1.847759065)
constexpr int32_t k2_613125930 = 669;  // FIX(2.613125930)
constexpr int32_t k1_082392200 = 277;  // FIX(1.082392200)

// One 1-D pass over eight values, in place.
void idctPass(Wrap* v) {
  const Wrap t10 = v[0] + v[4];
  const Wrap t11 = v[0] - v[4];
  const Wrap t13 = v[2] + v[6];
  const Wrap t12 = mul(v[2] - v[6], kSqrt2) - t13;
  const Wrap e0 = t10 + t13;
  const Wrap e3 = t10 - t13;
  const Wrap e1 = t11 + t12;
  const Wrap e2 = t11 - t12;

  const Wrap z13 = v[5] + v[3];
  const Wrap z10 = v[5] - v[3];
  const Wrap z11 = v[1] + v[7];
  const Wrap z12 = v[1] - v[7];
  const Wrap d7 = z11 + z13;
  const Wrap u = mul(z11 - z13, kSqrt2);
  const Wrap z5 = mul(z10 + z12, k1_847759065);
  const Wrap w = mul(z12, k1_082392200) - z5;
  const Wrap y = mul(z10, -k2_613125930) + z5;
  const Wrap d6 = y - d7;
  const Wrap d5 = u - d6;
  const Wrap d4 = w + d5;

  v[0] = e0 + d7;
  v[7] = e0 - d7;
  v[1] = e1 + d6;
  v[6] = e1 - d6;
  v[2] = e2 + d5;
  v[5] = e2 - d5;
  v[4] = e3 + d4;
  v[3] = e3 - d4;
}

#if defined(__SSE2__)

// (v x k) >> 8 modulo 2^16 for a true 16-bit v: bits 8..23 of the product.
inline __m128i mulShift8(__m128i v, __m128i k) {
  return _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epi16(v, k), 8), _mm_srli_epi16(_mm_mullo_epi16(v, k), 8));
}

inline void idctPassSimd(__m128i* v) {
  const __m128i sqrt2 = _mm_set1_epi16(kSqrt2);
  const __m128i c473 = _mm_set1_epi16(k1_847759065);
  const __m128i c277 = _mm_set1_epi16(k1_082392200);
  const __m128i cm669 = _mm_set1_epi16(-k2_613125930);

  const __m128i t10 = _mm_add_epi16(v[0], v[4]);
  const __m128i t11 = _mm_sub_epi16(v[0], v[4]);
  const __m128i t13 = _mm_add_epi16(v[2], v[6]);
  const __m128i t12 = _mm_sub_epi16(mulShift8(_mm_sub_epi16(v[2], v[6]), sqrt2), t13);
  const __m128i e0 = _mm_add_epi16(t10, t13);
  const __m128i e3 = _mm_sub_epi16(t10, t13);
  const __m128i e1 = _mm_add_epi16(t11, t12);
  const __m128i e2 = _mm_sub_epi16(t11, t12);

  const __m128i z13 = _mm_add_epi16(v[5], v[3]);
  const __m128i z10 = _mm_sub_epi16(v[5], v[3]);
  const __m128i z11 = _mm_add_epi16(v[1], v[7]);
  const __m128i z12 = _mm_sub_epi16(v[1], v[7]);
  const __m128i d7 = _mm_add_epi16(z11, z13);
  const __m128i u = mulShift8(_mm_sub_epi16(z11, z13), sqrt2);
  const __m128i z5 = mulShift8(_mm_add_epi16(z10, z12), c473);
  const __m128i w = _mm_sub_epi16(mulShift8(z12, c277), z5);
  const __m128i y = _mm_add_epi16(mulShift8(z10, cm669), z5);
  const __m128i d6 = _mm_sub_epi16(y, d7);
  const __m128i d5 = _mm_sub_epi16(u, d6);
  const __m128i d4 = _mm_add_epi16(w, d5);

  v[0] = _mm_add_epi16(e0, d7);
  v[7] = _mm_sub_epi16(e0, d7);
  v[1] = _mm_add_epi16(e1, d6);
  v[6] = _mm_sub_epi16(e1, d6);
  v[2] = _mm_add_epi16(e2, d5);
  v[5] = _mm_sub_epi16(e2, d5);
  v[4] = _mm_add_epi16(e3, d4);
  v[3] = _mm_sub_epi16(e3, d4);
}

inline void transpose8x8(__m128i* v) {
  const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]);
  const __m128i a1 = _mm_unpackhi_epi16(v[0], v[1]);
  const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]);
  const __m128i a3 = _mm_unpackhi_epi16(v[2], v[3]);
  const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]);
  const __m128i a5 = _mm_unpackhi_epi16(v[4], v[5]);
  const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]);
  const __m128i a7 = _mm_unpackhi_epi16(v[6], v[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
  v[0] = _mm_unpacklo_epi64(b0, b4);
  v[1] = _mm_unpackhi_epi64(b0, b4);
  v[2] = _mm_unpacklo_epi64(b1, b5);
  v[3] = _mm_unpackhi_epi64(b1, b5);
  v[4] = _mm_unpacklo_epi64(b2, b6);
  v[5] = _mm_unpackhi_epi64(b2, b6);
  v[6] = _mm_unpacklo_epi64(b3, b7);
  v[7] = _mm_unpackhi_epi64(b3, b7);
}

// Sample of output o: limit[128 + ((o >> 5) & 1023)] is clamp(s + 128, 0, 255)
// with s = bits 5..14 of o read as a signed 10-bit number. (o << 1) >> 6
// gives s; saturating to a signed byte and flipping the top bit adds 128.
inline __m128i samplesOf(__m128i a, __m128i b) {
  const __m128i sa = _mm_srai_epi16(_mm_slli_epi16(a, 1), 6);
  const __m128i sb = _mm_srai_epi16(_mm_slli_epi16(b, 1), 6);
  return _mm_xor_si128(_mm_packs_epi16(sa, sb), _mm_set1_epi8(-128));
}

// sum |c| x weight <= kIdctGuardLimit for the raw coefficients in v. |c| is
// taken with saturation (-32768 counts as 32767: harmless, such a block fails
// anyway whenever its weight is not 0). Four rows of pmaddwd sums stay below
// 2^32 per lane; a lane of 2^17 or more already exceeds the limit, and below
// that the final sum cannot overflow.
inline bool guardHolds(const __m128i* v, const uint16_t* guardWeight) {
  const __m128i zero = _mm_setzero_si128();
  __m128i sums[2] = {zero, zero};
  for (int32_t r = 0; r < 8; ++r) {
    const __m128i magnitude = _mm_max_epi16(v[r], _mm_subs_epi16(zero, v[r]));
    const __m128i weight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(guardWeight + 8 * r));
    sums[r >> 2] = _mm_add_epi32(sums[r >> 2], _mm_madd_epi16(magnitude, weight));
  }
  const __m128i large = _mm_srli_epi32(_mm_or_si128(sums[0], sums[1]), 17);
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(large, zero)) != 0xFFFF) return false;
  __m128i total = _mm_add_epi32(sums[0], sums[1]);
  total = _mm_add_epi32(total, _mm_shuffle_epi32(total, _MM_SHUFFLE(1, 0, 3, 2)));
  total = _mm_add_epi32(total, _mm_shuffle_epi32(total, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(total) <= kIdctGuardLimit;
}

#endif  // __SSE2__

}  // namespace

void idctPlain(const int16_t* coefficients, const uint16_t* quant, const uint8_t* limit, uint8_t* out,
               ptrdiff_t rowStride) {
  Wrap work[64];
  for (int32_t c = 0; c < 8; ++c) {
    bool acZero = true;
    for (int32_t r = 1; r < 8; ++r) acZero = acZero && coefficients[8 * r + c] == 0;
    Wrap column[8];
    for (int32_t r = 0; r < 8; ++r) {
      column[r] = {uint32_t(int32_t(coefficients[8 * r + c]) * int32_t(quant[8 * r + c]))};
    }
    if (acZero) {
      for (int32_t r = 1; r < 8; ++r) column[r] = column[0];
    } else {
      idctPass(column);
    }
    for (int32_t r = 0; r < 8; ++r) work[8 * r + c] = column[r];
  }
  for (int32_t r = 0; r < 8; ++r) {
    Wrap* row = work + 8 * r;
    bool acZero = true;
    for (int32_t c = 1; c < 8; ++c) acZero = acZero && row[c].bits == 0;
    if (acZero) {
      for (int32_t c = 1; c < 8; ++c) row[c] = row[0];
    } else {
      idctPass(row);
    }
    uint8_t* samples = out + r * rowStride;
    for (int32_t c = 0; c < 8; ++c) samples[c] = limit[128 + ((asSigned(row[c]) >> 5) & 1023)];
  }
}

#if defined(__SSE2__)

bool idctSimd(int16_t* coefficients, const uint16_t* quant, const uint16_t* guardWeight, uint8_t* out,
              ptrdiff_t rowStride) {
  __m128i v[8];
  for (int32_t r = 0; r < 8; ++r) v[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * r));
  if (!guardHolds(v, guardWeight)) return false;
  const __m128i zero = _mm_setzero_si128();
  for (int32_t r = 0; r < 8; ++r) {
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * r));
    v[r] = _mm_mullo_epi16(v[r], q);  // dequantised, modulo 2^16
    _mm_storeu_si128(reinterpret_cast<__m128i*>(coefficients + 8 * r), zero);
  }
  idctPassSimd(v);  // columns: lane c of v[r] is row r, column c
  transpose8x8(v);
  idctPassSimd(v);  // rows: lane r of v[c] is now row r, column c

  // Pack to bytes (v[c] becomes 8 bytes of column c) and transpose back to rows.
  const __m128i p01 = samplesOf(v[0], v[1]);
  const __m128i p23 = samplesOf(v[2], v[3]);
  const __m128i p45 = samplesOf(v[4], v[5]);
  const __m128i p67 = samplesOf(v[6], v[7]);
  const __m128i q0 = _mm_unpacklo_epi8(p01, p23);  // columns 0, 2 interleaved by row
  const __m128i q1 = _mm_unpackhi_epi8(p01, p23);  // columns 1, 3
  const __m128i q2 = _mm_unpacklo_epi8(p45, p67);  // columns 4, 6
  const __m128i q3 = _mm_unpackhi_epi8(p45, p67);  // columns 5, 7
  const __m128i r0 = _mm_unpacklo_epi8(q0, q1);    // rows 0..3, columns 0..3
  const __m128i r1 = _mm_unpackhi_epi8(q0, q1);    // rows 4..7, columns 0..3
  const __m128i r2 = _mm_unpacklo_epi8(q2, q3);    // rows 0..3, columns 4..7
  const __m128i r3 = _mm_unpackhi_epi8(q2, q3);    // rows 4..7, columns 4..7
  const __m128i pairs[4] = {_mm_unpacklo_epi32(r0, r2), _mm_unpackhi_epi32(r0, r2), _mm_unpacklo_epi32(r1, r3),
                            _mm_unpackhi_epi32(r1, r3)};
  for (int32_t i = 0; i < 4; ++i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * i) * rowStride), pairs[i]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * i + 1) * rowStride), _mm_unpackhi_epi64(pairs[i], pairs[i]));
  }
  return true;
}

#else

bool idctSimd(int16_t*, const uint16_t*, const uint16_t*, uint8_t*, ptrdiff_t) { return false; }

#endif  // __SSE2__

}  // namespace jpeg

void JpegDecoder::scaleQuantTables() {
  for (int32_t t = 0; t < 2; ++t) {
    for (int32_t i = 0; i < 64; ++i) {
      quantTable[t][i] = uint16_t((int32_t(quantTable[t][i]) * jpeg::aanScale[i] + 2048) >> 12);
    }
  }
}

void JpegDecoder::inverseDct(const int16_t* coefficients, int32_t block, uint8_t* samples) const {
  const int32_t table = block < blocksPerMcu - 2 ? 0 : 1;
  jpeg::idctPlain(coefficients, quantTable[table], rangeLimit + 256, samples, 8);
}
