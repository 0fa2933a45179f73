// The pixel pipeline for processors with AVX2, chosen at run time. Contraction into fused
// multiply-adds stays off so that both builds compute the same pixels.
#pragma GCC target("avx2,fma,bmi,bmi2,f16c,tune=znver3")
#pragma GCC optimize("no-math-errno", "fp-contract=off")
#define KERNEL_SIMD 1
#define KERNEL_NAMESPACE kernels_avx2
#include "raster_kernels.inc"

namespace raster::kernels_avx2 {
bool available() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
}  // namespace raster::kernels_avx2
