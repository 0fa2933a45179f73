// The pixel pipeline for processors with AVX-512 (byte/word and vector-length extensions),
// chosen at run time; 512-bit vectors, no fused multiply-adds so every build agrees.
#if !defined(__clang__)  // clang takes its own pragmas, below or not at all
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq,avx512cd,avx2,fma,bmi,bmi2,f16c,tune=znver3,prefer-vector-width=512")
#pragma GCC optimize("no-math-errno", "fp-contract=off")
#endif
#define KERNEL_SIMD 2
#define KERNEL_NAMESPACE kernels_avx512
// Clang leaves the GCC pragmas above aside: its functions here take the target, and its
// arithmetic the no-contraction rule, this way.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#include <immintrin.h>
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512cd,avx2,fma,bmi,bmi2,f16c"))), apply_to = function)
#endif
#include "raster_kernels.inc"
#if defined(__clang__)
#pragma clang attribute pop
#endif

namespace raster::kernels_avx512 {
bool available() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
}
}  // namespace raster::kernels_avx512
