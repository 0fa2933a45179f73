// The pixel pipeline for processors with AVX2, chosen at run time. Contraction into fused
// multiply-adds stays off so that both builds compute the same pixels.
#if !defined(__clang__)  // clang takes its own pragmas, below or not at all
#pragma GCC target("avx2,fma,bmi,bmi2,f16c,tune=znver3")
#pragma GCC optimize("no-math-errno", "fp-contract=off")
#endif
#define KERNEL_SIMD 1
#define KERNEL_NAMESPACE kernels_avx2
// Clang leaves the GCC pragmas above aside: its functions here take the target, and its
// arithmetic the no-contraction rule, this way.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#include <immintrin.h>
#pragma clang attribute push(__attribute__((target("avx2,fma,bmi,bmi2,f16c"))), apply_to = function)
#endif
#include "raster_kernels.inc"
#if defined(__clang__)
#pragma clang attribute pop
#endif

namespace raster::kernels_avx2 {
bool available() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
}  // namespace raster::kernels_avx2
