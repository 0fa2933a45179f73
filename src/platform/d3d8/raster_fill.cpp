// Clears: rectangles of a surface filled with one value, the large ones shared among the
// draw threads by rows, as clearing a whole target and depth buffer is a good part of a frame.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "raster_internal.h"

namespace raster {
namespace {

// Whole rows of a tightly packed surface are one run, and the C library's wide fills beat a
// loop built for any processor.
template <class T>
void fillRows(const FillRect& r, int top, int bottom) {
    const auto value = static_cast<T>(r.value);
    const bool wholeRows = r.left == 0 && static_cast<size_t>(r.right) * sizeof(T) == r.pitch;
    const size_t run = static_cast<size_t>(r.right - r.left) * (wholeRows ? static_cast<size_t>(bottom - top) : 1);
    for (int y = top; y < (wholeRows ? top + 1 : bottom); ++y) {
        T* start = reinterpret_cast<T*>(r.bits + static_cast<size_t>(y) * r.pitch) + r.left;
        if constexpr (sizeof(T) == sizeof(wchar_t)) {
            std::wmemset(reinterpret_cast<wchar_t*>(start), static_cast<wchar_t>(value), run);
        } else if ((value & 0xFF) == (value >> 8)) {
            std::memset(start, value & 0xFF, run * sizeof(T));
        } else {
            std::fill(start, start + run, value);
        }
    }
}

struct FillJob {
    const FillRect* rects;
    int count;
    int bands;
};

void fillBand(void* job, int band) {
    const FillJob& j = *static_cast<const FillJob*>(job);
    for (int i = 0; i < j.count; ++i) {
        const FillRect& r = j.rects[i];
        const int top = bandEdge(r.top, r.bottom, band, j.bands);
        const int bottom = bandEdge(r.top, r.bottom, band + 1, j.bands);
        if (top >= bottom || r.left >= r.right) continue;
        if (r.valueSize == 4) {
            fillRows<uint32_t>(r, top, bottom);
        } else {
            fillRows<uint16_t>(r, top, bottom);
        }
    }
}

// Below this many bytes, a fill costs less than handing it out.
constexpr size_t kBandedBytes = 64 * 1024;

}  // namespace

void fillRects(const FillRect* rects, int count) {
    size_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        const FillRect& r = rects[i];
        bytes += static_cast<size_t>(std::max(r.right - r.left, 0)) * std::max(r.bottom - r.top, 0) * r.valueSize;
    }
    FillJob job{rects, count, drawThreads()};
    if (job.bands > 1 && bytes >= kBandedBytes) {
        runBands(fillBand, &job);
        return;
    }
    job.bands = 1;
    fillBand(&job, 0);
}

}  // namespace raster
