#pragma once
// Voices side by side in one register: the few vector operations the wide voice loop needs,
// for the instruction set the including file is compiled for (AVX-512 or AVX2). Only the wide
// translation units include this header; everything here is internal to each of them, so code
// built for one instruction set never reaches a caller built for another.
//
// D holds one double per lane, I one 32-bit int per lane, M one flag per lane. Every operation
// is the plain IEEE operation of its scalar twin, lane by lane (no fused multiply-add, no
// approximate reciprocals), and comparisons are false for a NaN as in C, so a lane computes the
// same bits as the scalar code of one voice.
#include <immintrin.h>

// The intrinsics start some results from a deliberately undefined register (_mm*_undefined_*),
// which GCC reports as possibly uninitialised (clang knows no such warning).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <cstdint>

namespace {
namespace lanes {

#if defined(__AVX512F__)

constexpr int kLanes = 8;
using D = __m512d;
using I = __m256i;
using M = __mmask8;

inline D load(const double* p) { return _mm512_loadu_pd(p); }
inline void store(double* p, D v) { _mm512_storeu_pd(p, v); }
inline D set1(double x) { return _mm512_set1_pd(x); }
inline D add(D a, D b) { return _mm512_add_pd(a, b); }
inline D sub(D a, D b) { return _mm512_sub_pd(a, b); }
inline D mul(D a, D b) { return _mm512_mul_pd(a, b); }
inline D div(D a, D b) { return _mm512_div_pd(a, b); }
// a > b ? a : b, lane by lane (b when either is NaN), as the scalar expression.
inline D maxOf(D a, D b) { return _mm512_max_pd(a, b); }
inline D neg(D a) {
  return _mm512_castsi512_pd(
      _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_set1_epi64(INT64_MIN)));
}
inline M eq(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
inline M ge(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
inline M le(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
inline M lt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
// The same 64 bits in both (0.0 and -0.0 differ, a NaN matches its own bits).
inline M sameBits(D a, D b) {
  return _mm512_cmpeq_epi64_mask(_mm512_castpd_si512(a), _mm512_castpd_si512(b));
}
// m ? b : a, lane by lane.
inline D select(M m, D a, D b) { return _mm512_mask_blend_pd(m, a, b); }
inline M andNot(M a, M b) { return M(~a & b); }  // b and not a
inline M both(M a, M b) { return M(a & b); }
inline M either(M a, M b) { return M(a | b); }
inline unsigned bits(M m) { return unsigned(m); }
inline M fromBits(unsigned b) { return M(b); }

inline I loadI(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void storeI(int32_t* p, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
inline M eqI(I a, I b) { return _mm256_cmpeq_epi32_mask(a, b); }
// Table reads: base[idx] for every lane.
// Eight loads beat the gather instruction on the processors at hand.
inline D gather(const double* base, I idx) {
  const __m128i lo = _mm256_castsi256_si128(idx), hi = _mm256_extracti128_si256(idx, 1);
  const __m128d a =
      _mm_loadh_pd(_mm_load_sd(base + _mm_cvtsi128_si32(lo)), base + _mm_extract_epi32(lo, 1));
  const __m128d b =
      _mm_loadh_pd(_mm_load_sd(base + _mm_extract_epi32(lo, 2)), base + _mm_extract_epi32(lo, 3));
  const __m128d c =
      _mm_loadh_pd(_mm_load_sd(base + _mm_cvtsi128_si32(hi)), base + _mm_extract_epi32(hi, 1));
  const __m128d d =
      _mm_loadh_pd(_mm_load_sd(base + _mm_extract_epi32(hi, 2)), base + _mm_extract_epi32(hi, 3));
  const __m256d ab = _mm256_insertf128_pd(_mm256_castpd128_pd256(a), b, 1);
  const __m256d cd = _mm256_insertf128_pd(_mm256_castpd128_pd256(c), d, 1);
  return _mm512_insertf64x4(_mm512_castpd256_pd512(ab), cd, 1);
}

#elif defined(__AVX2__)

constexpr int kLanes = 4;
using D = __m256d;
using I = __m128i;
using M = __m256d;  // all bits set in a lane that is on

inline D load(const double* p) { return _mm256_loadu_pd(p); }
inline void store(double* p, D v) { _mm256_storeu_pd(p, v); }
inline D set1(double x) { return _mm256_set1_pd(x); }
inline D add(D a, D b) { return _mm256_add_pd(a, b); }
inline D sub(D a, D b) { return _mm256_sub_pd(a, b); }
inline D mul(D a, D b) { return _mm256_mul_pd(a, b); }
inline D div(D a, D b) { return _mm256_div_pd(a, b); }
inline D maxOf(D a, D b) { return _mm256_max_pd(a, b); }
inline D neg(D a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
inline M eq(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
inline M ge(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
inline M le(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
inline M lt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline M sameBits(D a, D b) {
  return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b)));
}
inline D select(M m, D a, D b) { return _mm256_blendv_pd(a, b, m); }
inline M andNot(M a, M b) { return _mm256_andnot_pd(a, b); }
inline M both(M a, M b) { return _mm256_and_pd(a, b); }
inline M either(M a, M b) { return _mm256_or_pd(a, b); }
inline unsigned bits(M m) { return unsigned(_mm256_movemask_pd(m)); }
inline M fromBits(unsigned b) {
  const __m256i lane = _mm256_setr_epi64x(1, 2, 4, 8);
  const __m256i set = _mm256_and_si256(_mm256_set1_epi64x((long long)b), lane);
  return _mm256_castsi256_pd(_mm256_cmpeq_epi64(set, lane));
}

inline I loadI(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void storeI(int32_t* p, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline M eqI(I a, I b) { return _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_cmpeq_epi32(a, b))); }
// Four loads beat the gather instruction on the processors at hand.
inline D gather(const double* base, I idx) {
  const __m128d lo =
      _mm_loadh_pd(_mm_load_sd(base + _mm_cvtsi128_si32(idx)), base + _mm_extract_epi32(idx, 1));
  const __m128d hi =
      _mm_loadh_pd(_mm_load_sd(base + _mm_extract_epi32(idx, 2)), base + _mm_extract_epi32(idx, 3));
  return _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1);
}

#else
#error "lanes.h is for the wide translation units, built with -mavx2 or -mavx512f"
#endif

// Integer lane operations (SSE4.1 / AVX2 forms of the same names on both widths).
#if defined(__AVX512F__)
inline I set1I(int32_t x) { return _mm256_set1_epi32(x); }
inline I addI(I a, I b) { return _mm256_add_epi32(a, b); }
inline I andI(I a, I b) { return _mm256_and_si256(a, b); }
template <int S>
inline I shrI(I a) {
  return _mm256_srli_epi32(a, S);
}
template <int S>
inline I shlI(I a) {
  return _mm256_slli_epi32(a, S);
}
inline I minI(I a, I b) { return _mm256_min_epi32(a, b); }
inline I maxI(I a, I b) { return _mm256_max_epi32(a, b); }
// Eight loads beat the gather instruction here on the processors at hand.
inline I gatherI(const int32_t* base, I idx) {
  alignas(32) int32_t i[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(i), idx);
  return _mm256_setr_epi32(base[i[0]], base[i[1]], base[i[2]], base[i[3]], base[i[4]], base[i[5]],
                           base[i[6]], base[i[7]]);
}
// Exponent of each lane converted to float: floor(log2 x) for 1 <= x < 2^24, -127 for 0.
inline I floorLog2(I x) {
  return _mm256_sub_epi32(_mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(x)), 23),
                          _mm256_set1_epi32(127));
}
#else
inline I set1I(int32_t x) { return _mm_set1_epi32(x); }
inline I addI(I a, I b) { return _mm_add_epi32(a, b); }
inline I andI(I a, I b) { return _mm_and_si128(a, b); }
template <int S>
inline I shrI(I a) {
  return _mm_srli_epi32(a, S);
}
template <int S>
inline I shlI(I a) {
  return _mm_slli_epi32(a, S);
}
inline I minI(I a, I b) { return _mm_min_epi32(a, b); }
inline I maxI(I a, I b) { return _mm_max_epi32(a, b); }
inline I gatherI(const int32_t* base, I idx) {
  return _mm_setr_epi32(base[_mm_cvtsi128_si32(idx)], base[_mm_extract_epi32(idx, 1)],
                        base[_mm_extract_epi32(idx, 2)], base[_mm_extract_epi32(idx, 3)]);
}
inline I floorLog2(I x) {
  return _mm_sub_epi32(_mm_srli_epi32(_mm_castps_si128(_mm_cvtepi32_ps(x)), 23),
                       _mm_set1_epi32(127));
}
#endif

// Rows of kLanes values (one row per sample, one column per lane) turned into columns: after
// the call rows[c] holds lane c of the kLanes rows.
inline void transpose(D* r) {
#if defined(__AVX512F__)
  const __m512d t0 = _mm512_unpacklo_pd(r[0], r[1]), t1 = _mm512_unpackhi_pd(r[0], r[1]);
  const __m512d t2 = _mm512_unpacklo_pd(r[2], r[3]), t3 = _mm512_unpackhi_pd(r[2], r[3]);
  const __m512d t4 = _mm512_unpacklo_pd(r[4], r[5]), t5 = _mm512_unpackhi_pd(r[4], r[5]);
  const __m512d t6 = _mm512_unpacklo_pd(r[6], r[7]), t7 = _mm512_unpackhi_pd(r[6], r[7]);
  // 128-bit blocks: (t0 t2) gives columns 0 and 4 of rows 0..3 in halves.
  const __m512d u0 = _mm512_shuffle_f64x2(t0, t2, 0x88), u1 = _mm512_shuffle_f64x2(t1, t3, 0x88);
  const __m512d u2 = _mm512_shuffle_f64x2(t0, t2, 0xDD), u3 = _mm512_shuffle_f64x2(t1, t3, 0xDD);
  const __m512d u4 = _mm512_shuffle_f64x2(t4, t6, 0x88), u5 = _mm512_shuffle_f64x2(t5, t7, 0x88);
  const __m512d u6 = _mm512_shuffle_f64x2(t4, t6, 0xDD), u7 = _mm512_shuffle_f64x2(t5, t7, 0xDD);
  r[0] = _mm512_shuffle_f64x2(u0, u4, 0x88);
  r[1] = _mm512_shuffle_f64x2(u1, u5, 0x88);
  r[2] = _mm512_shuffle_f64x2(u2, u6, 0x88);
  r[3] = _mm512_shuffle_f64x2(u3, u7, 0x88);
  r[4] = _mm512_shuffle_f64x2(u0, u4, 0xDD);
  r[5] = _mm512_shuffle_f64x2(u1, u5, 0xDD);
  r[6] = _mm512_shuffle_f64x2(u2, u6, 0xDD);
  r[7] = _mm512_shuffle_f64x2(u3, u7, 0xDD);
#else
  const __m256d t0 = _mm256_unpacklo_pd(r[0], r[1]), t1 = _mm256_unpackhi_pd(r[0], r[1]);
  const __m256d t2 = _mm256_unpacklo_pd(r[2], r[3]), t3 = _mm256_unpackhi_pd(r[2], r[3]);
  r[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
  r[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
  r[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
  r[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
#endif
}

}  // namespace lanes
}  // namespace
