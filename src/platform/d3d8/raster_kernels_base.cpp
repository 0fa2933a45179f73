// The pixel pipeline for any x86-64 processor.
#if !defined(__clang__)  // clang takes its own pragmas, below or not at all
#pragma GCC optimize("no-math-errno", "fp-contract=off")
#endif
#define KERNEL_NAMESPACE kernels_base
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF  // as the GCC pragma above, for every build to agree
#endif
#include "raster_kernels.inc"

namespace raster::kernels_base {
bool available() { return true; }
}  // namespace raster::kernels_base
