// Vector operations the fused pixel loops are written in, one set per instruction set, so
// that a loop is written once and compiled for each. Included by raster_kernels.inc after
// its target pragma; KERNEL_SIMD names the set (2: AVX-512, 1: AVX2, absent: none).
//
// Integer lanes are 32-bit for coordinates and texel indices, and 16-bit for colour
// channels: a vector of pixels splits into a low and a high half of 8-bit channels widened
// to 16 bits (unpackLow/unpackHigh), and packUnsigned puts them back, saturating to 255.
#pragma once

#if defined(KERNEL_SIMD)
// GCC 12 warns inside its own AVX-512 headers about the undefined vectors its set and
// convert intrinsics start from (its bug 105593); nothing here reads an undefined value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

namespace raster::KERNEL_NAMESPACE::simd {

#if KERNEL_SIMD == 2
constexpr int kPixels = 16;
using I = __m512i;
using F = __m512;
inline F iota() { return _mm512_setr_ps(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15); }
inline F splat(float v) { return _mm512_set1_ps(v); }
inline I splat(int v) { return _mm512_set1_epi32(v); }
inline I splat16(int v) { return _mm512_set1_epi16(static_cast<short>(v)); }
inline I splat64(long long v) { return _mm512_set1_epi64(v); }
inline F add(F a, F b) { return _mm512_add_ps(a, b); }
inline F sub(F a, F b) { return _mm512_sub_ps(a, b); }
inline F mul(F a, F b) { return _mm512_mul_ps(a, b); }
inline F toFloat(I a) { return _mm512_cvtepi32_ps(a); }
inline I truncate(F a) { return _mm512_cvttps_epi32(a); }
inline I add32(I a, I b) { return _mm512_add_epi32(a, b); }
inline I sub32(I a, I b) { return _mm512_sub_epi32(a, b); }
inline I mul32(I a, I b) { return _mm512_mullo_epi32(a, b); }
inline I shiftRight32(I a, int n) { return _mm512_srai_epi32(a, n); }
inline I min32(I a, I b) { return _mm512_min_epi32(a, b); }
inline I max32(I a, I b) { return _mm512_max_epi32(a, b); }
inline I less32(I a, I b) { return _mm512_movm_epi32(_mm512_cmplt_epi32_mask(a, b)); }
inline I andBits(I a, I b) { return _mm512_and_si512(a, b); }
inline I orBits(I a, I b) { return _mm512_or_si512(a, b); }
inline I andNot(I a, I b) { return _mm512_andnot_si512(a, b); }  // ~a & b
inline I load(const uint32_t* p) { return _mm512_loadu_si512(p); }
inline I load(const int32_t* p) { return _mm512_loadu_si512(p); }
inline F load(const float* p) { return _mm512_loadu_ps(p); }
inline void store(uint32_t* p, I v) { _mm512_storeu_si512(p, v); }
inline I gather(const uint32_t* base, I index) { return _mm512_i32gather_epi32(index, base, 4); }
// Lanes whose indices repeat are written in lane order, the last one winning.
inline void scatter(uint32_t* base, I index, I v) { _mm512_i32scatter_epi32(base, index, v, 4); }
inline I unpackLow(I a) { return _mm512_unpacklo_epi8(a, _mm512_setzero_si512()); }
inline I unpackHigh(I a) { return _mm512_unpackhi_epi8(a, _mm512_setzero_si512()); }
inline I packUnsigned(I lo, I hi) { return _mm512_packus_epi16(lo, hi); }
inline I add16(I a, I b) { return _mm512_add_epi16(a, b); }
inline I sub16(I a, I b) { return _mm512_sub_epi16(a, b); }
inline I mul16(I a, I b) { return _mm512_mullo_epi16(a, b); }
inline I mulHigh16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
inline I shiftRight16(I a, int n) { return _mm512_srli_epi16(a, n); }
inline I shuffleBytes(I a, I pattern) { return _mm512_shuffle_epi8(a, pattern); }
inline I bytePattern(const int8_t* p16) {
    return _mm512_broadcast_i32x4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p16)));
}
inline I broadcastFirst(I a) { return _mm512_broadcastd_epi32(_mm512_castsi512_si128(a)); }
inline bool allZero(I a) { return _mm512_test_epi32_mask(a, a) == 0; }
inline bool allEqual(I a, I b) { return _mm512_cmpeq_epi32_mask(a, b) == 0xFFFF; }
inline int first(I a) { return _mm_cvtsi128_si32(_mm512_castsi512_si128(a)); }
inline bool allBelow(I a, int limit) { return _mm512_cmplt_epu32_mask(a, splat(limit)) == 0xFFFF; }
// Texels base[index] for indices in [0, kWindow), from two plain loads.
constexpr int kWindow = 32;
inline I lookup(const uint32_t* base, I index) { return _mm512_permutex2var_epi32(load(base), index, load(base + 16)); }
#else
constexpr int kPixels = 8;
using I = __m256i;
using F = __m256;
inline F iota() { return _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7); }
inline F splat(float v) { return _mm256_set1_ps(v); }
inline I splat(int v) { return _mm256_set1_epi32(v); }
inline I splat16(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
inline I splat64(long long v) { return _mm256_set1_epi64x(v); }
inline F add(F a, F b) { return _mm256_add_ps(a, b); }
inline F sub(F a, F b) { return _mm256_sub_ps(a, b); }
inline F mul(F a, F b) { return _mm256_mul_ps(a, b); }
inline F toFloat(I a) { return _mm256_cvtepi32_ps(a); }
inline I truncate(F a) { return _mm256_cvttps_epi32(a); }
inline I add32(I a, I b) { return _mm256_add_epi32(a, b); }
inline I sub32(I a, I b) { return _mm256_sub_epi32(a, b); }
inline I mul32(I a, I b) { return _mm256_mullo_epi32(a, b); }
inline I shiftRight32(I a, int n) { return _mm256_srai_epi32(a, n); }
inline I min32(I a, I b) { return _mm256_min_epi32(a, b); }
inline I max32(I a, I b) { return _mm256_max_epi32(a, b); }
inline I less32(I a, I b) { return _mm256_cmpgt_epi32(b, a); }
inline I andBits(I a, I b) { return _mm256_and_si256(a, b); }
inline I orBits(I a, I b) { return _mm256_or_si256(a, b); }
inline I andNot(I a, I b) { return _mm256_andnot_si256(a, b); }
inline I load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline I load(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline F load(const float* p) { return _mm256_loadu_ps(p); }
inline void store(uint32_t* p, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
inline I gather(const uint32_t* base, I index) {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), index, 4);
}
inline void scatter(uint32_t* base, I index, I v) {
    alignas(32) int32_t at[8];
    alignas(32) uint32_t values[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    _mm256_store_si256(reinterpret_cast<__m256i*>(values), v);
    for (int k = 0; k < 8; ++k) base[at[k]] = values[k];
}
inline I unpackLow(I a) { return _mm256_unpacklo_epi8(a, _mm256_setzero_si256()); }
inline I unpackHigh(I a) { return _mm256_unpackhi_epi8(a, _mm256_setzero_si256()); }
inline I packUnsigned(I lo, I hi) { return _mm256_packus_epi16(lo, hi); }
inline I add16(I a, I b) { return _mm256_add_epi16(a, b); }
inline I sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
inline I mul16(I a, I b) { return _mm256_mullo_epi16(a, b); }
inline I mulHigh16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
inline I shiftRight16(I a, int n) { return _mm256_srli_epi16(a, n); }
inline I shuffleBytes(I a, I pattern) { return _mm256_shuffle_epi8(a, pattern); }
inline I bytePattern(const int8_t* p16) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p16)));
}
inline I broadcastFirst(I a) { return _mm256_broadcastd_epi32(_mm256_castsi256_si128(a)); }
inline bool allZero(I a) { return _mm256_testz_si256(a, a) != 0; }
inline bool allEqual(I a, I b) { return _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, b)) == -1; }
inline int first(I a) { return _mm_cvtsi128_si32(_mm256_castsi256_si128(a)); }
inline bool allBelow(I a, int limit) {
    return _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_min_epu32(a, splat(limit - 1)), a)) == -1;
}
constexpr int kWindow = 8;
inline I lookup(const uint32_t* base, I index) { return _mm256_permutevar8x32_epi32(load(base), index); }
#endif

// Texels at the indices: where they all lie in a short run of memory, as is usual when a
// picture is drawn near its own size, from plain loads, which beat a gather many times.
inline I fetchTexels(const uint32_t* texels, int texelCount, I index) {
    const I offsets = sub32(index, broadcastFirst(index));
    const int low = first(index);
    if (allBelow(offsets, kWindow) && low <= texelCount - kWindow) return lookup(texels + low, offsets);
    return gather(texels, index);
}

// Selects b where mask lanes are set, a elsewhere.
inline I select(I a, I b, I mask) { return orBits(andNot(mask, a), andBits(mask, b)); }

// round(v / 255) in every 16-bit lane, as div255 does it for one value: with t = v + 128,
// (t + (t >> 8)) >> 8 equals the high half of t * 257 for every t below 2^16.
inline I div255x16(I v) { return mulHigh16(add16(v, splat16(128)), splat16(257)); }

// Each pixel's alpha (word 3 of its four) copied into all four of its words.
inline I alphaOfEachPixel(I unpacked) {
    static const int8_t pattern[16] = {6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15};
    return shuffleBytes(unpacked, bytePattern(pattern));
}

// Word 3 of every pixel set, for selecting alpha against colour.
inline I alphaWords() {
    static const int8_t pattern[16] = {0, 0, 0, 0, 0, 0, -1, -1, 0, 0, 0, 0, 0, 0, -1, -1};
    return bytePattern(pattern);
}

// Four words (blue, green, red, alpha) repeated for every pixel of an unpacked half. Built
// in a register: a pattern written to memory and read straight back stalls the loop.
inline I channelWords(uint32_t argb) {
    const uint64_t b = argb & 0xFF, g = (argb >> 8) & 0xFF, r = (argb >> 16) & 0xFF, a = argb >> 24;
    return splat64(static_cast<long long>((a << 48) | (r << 32) | (g << 16) | b));
}

// round(x) for |x| < 2^22, the way roundToInt does it.
inline I roundToIntVector(F x) {
    const F magic = splat(12582912.0f);
    return truncate(sub(add(x, magic), magic));
}

// i modulo size for any size, as wrapIndex does it.
inline I wrapIndexVector(I i, I size, F inverse) {
    I r = sub32(i, mul32(truncate(mul(toFloat(i), inverse)), size));
    r = add32(r, andBits(less32(r, splat(0)), size));
    return sub32(r, andNot(less32(r, size), size));
}

}  // namespace raster::KERNEL_NAMESPACE::simd
#pragma GCC diagnostic pop
#endif
