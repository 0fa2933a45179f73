// The pixel pipeline for processors with AVX-512 (byte/word and vector-length extensions),
// chosen at run time; 512-bit vectors, no fused multiply-adds so every build agrees.
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq,avx512cd,avx2,fma,bmi,bmi2,f16c,tune=znver3,prefer-vector-width=512")
#pragma GCC optimize("no-math-errno", "fp-contract=off")
#define KERNEL_SIMD 2
#define KERNEL_NAMESPACE kernels_avx512
#include "raster_kernels.inc"

namespace raster::kernels_avx512 {
bool available() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
}
}  // namespace raster::kernels_avx512
