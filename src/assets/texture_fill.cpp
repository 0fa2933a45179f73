// Filling texture levels: level 0 from the decoded image (copied, converted or resampled),
// every further level by halving the one above with a 2x2 box filter.
#include "assets.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using pixelformat::FormatInfo;

// Ordered-dither thresholds, rows indexed by y and columns by x, modulo 4.
constexpr int DITHER_MATRIX[4][4] = {{15, 7, 13, 5}, {3, 11, 1, 9}, {12, 4, 14, 6}, {0, 8, 2, 10}};

void ditherThresholds(int y, int width, std::vector<float>& thresholds)
{
    thresholds.resize(width);
    for (int x = 0; x < width; ++x)
        thresholds[x] = (static_cast<float>(DITHER_MATRIX[y & 3][x & 3]) + 0.5f) / 16.0f;
}

// The whole image as 0xAARRGGBB rows, width pixels each.
bool unpackImage(const DecodedImage& image, std::vector<uint32_t>& argb)
{
    argb.resize(size_t{image.width} * image.height);
    return pixelformat::unpackSurface(image.format, image.pixels, static_cast<int>(image.pitch),
                                      static_cast<int>(image.width), static_cast<int>(image.height), argb.data(),
                                      static_cast<int>(image.width), image.palette.get());
}

// One axis of a tent filter: for each destination sample, the source samples it reads and
// their weights. Widening keeps a radius of one source sample; narrowing widens the tent
// so every source sample contributes.
struct Taps {
    std::vector<int> first, count;
    std::vector<float> weights; // count[i] weights per destination sample, packed
};

Taps tentTaps(int sourceSize, int destinationSize)
{
    Taps taps;
    const double scale = static_cast<double>(sourceSize) / destinationSize;
    const double radius = std::max(1.0, scale);
    for (int d = 0; d < destinationSize; ++d) {
        const double centre = (d + 0.5) * scale - 0.5;
        const int lo = std::max(0, static_cast<int>(std::ceil(centre - radius)));
        const int hi = std::min(sourceSize - 1, static_cast<int>(std::floor(centre + radius)));
        double total = 0.0;
        const size_t start = taps.weights.size();
        for (int s = lo; s <= hi; ++s) {
            const double w = std::max(0.0, 1.0 - std::fabs(s - centre) / radius);
            taps.weights.push_back(static_cast<float>(w));
            total += w;
        }
        if (total <= 0.0) { // a destination sample between source samples' reach: nearest one
            taps.weights.resize(start);
            taps.weights.push_back(1.0f);
            taps.first.push_back(std::clamp(static_cast<int>(std::lround(centre)), 0, sourceSize - 1));
            taps.count.push_back(1);
            continue;
        }
        for (size_t i = start; i < taps.weights.size(); ++i)
            taps.weights[i] = static_cast<float>(taps.weights[i] / total);
        taps.first.push_back(lo);
        taps.count.push_back(hi - lo + 1);
    }
    return taps;
}

uint32_t channelOf(uint32_t argb, int channel)
{
    return (argb >> (channel * 8)) & 0xFF;
}

// Resamples 0xAARRGGBB pixels from one size to another, horizontally then vertically.
std::vector<uint32_t> resampleTent(const std::vector<uint32_t>& source, int sw, int sh, int dw, int dh)
{
    const Taps across = tentTaps(sw, dw), down = tentTaps(sh, dh);
    std::vector<float> rows(size_t(dw) * sh * 4);
    for (int y = 0; y < sh; ++y) {
        size_t tap = 0;
        for (int x = 0; x < dw; ++x) {
            float sum[4] = {};
            for (int k = 0; k < across.count[x]; ++k, ++tap) {
                const uint32_t p = source[size_t(y) * sw + across.first[x] + k];
                for (int c = 0; c < 4; ++c)
                    sum[c] += across.weights[tap] * static_cast<float>(channelOf(p, c));
            }
            std::copy(sum, sum + 4, &rows[(size_t(y) * dw + x) * 4]);
        }
    }
    std::vector<uint32_t> result(size_t(dw) * dh);
    size_t tap = 0;
    for (int y = 0; y < dh; ++y) {
        const size_t rowTap = tap;
        for (int x = 0; x < dw; ++x) {
            float sum[4] = {};
            tap = rowTap;
            for (int k = 0; k < down.count[y]; ++k, ++tap)
                for (int c = 0; c < 4; ++c)
                    sum[c] += down.weights[tap] * rows[(size_t(down.first[y] + k) * dw + x) * 4 + c];
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c)
                pixel |= static_cast<uint32_t>(std::clamp(std::lround(sum[c]), 0L, 255L)) << (c * 8);
            result[size_t(y) * dw + x] = pixel;
        }
    }
    return result;
}

// Packs 0xAARRGGBB rows into a locked level, dithering where channels narrow.
bool packInto(const std::vector<uint32_t>& argb, int width, int height, D3DFORMAT format, const D3DLOCKED_RECT& locked,
              bool dither)
{
    std::vector<float> thresholds;
    auto* bits = static_cast<BYTE*>(locked.pBits);
    for (int y = 0; y < height; ++y) {
        if (dither)
            ditherThresholds(y, width, thresholds);
        if (!pixelformat::packRow(format, &argb[size_t(y) * width], bits + size_t(y) * locked.Pitch, width,
                                  dither ? thresholds.data() : nullptr))
            return false;
    }
    return true;
}

uint32_t readPacked(const BYTE* p, int bytes)
{
    uint32_t value = 0;
    std::memcpy(&value, p, bytes); // little-endian host, as the formats are
    return value;
}

void writePacked(BYTE* p, int bytes, uint32_t value)
{
    std::memcpy(p, &value, bytes);
}

// The mean of up to four packed pixels, channel by channel in the format's own widths,
// rounded to nearest.
uint32_t averagePacked(const FormatInfo& info, const uint32_t* pixels, int count)
{
    uint32_t result = 0;
    for (int channel = 0; channel < 5; ++channel) {
        const int width = info.widths[channel];
        if (width == 0)
            continue;
        // Luminance repeats one field for red, green and blue; each pass rewrites it alike.
        const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
        uint32_t sum = 0;
        for (int i = 0; i < count; ++i)
            sum += (pixels[i] >> info.shifts[channel]) & mask;
        const uint32_t mean = (sum + static_cast<uint32_t>(count / 2)) / static_cast<uint32_t>(count);
        result = (result & ~(mask << info.shifts[channel])) | (mean << info.shifts[channel]);
    }
    return result;
}

} // namespace

bool fillTopLevel(const DecodedImage& image, D3DFORMAT format, UINT width, UINT height, const D3DLOCKED_RECT& locked,
                  bool dither)
{
    const bool sameSize = image.width == width && image.height == height;
    if (sameSize && image.format == format) {
        const UINT rows = imageRowCount(image);
        const size_t rowBytes = std::min<size_t>(image.pitch, static_cast<size_t>(locked.Pitch));
        for (UINT y = 0; y < rows; ++y)
            std::memcpy(static_cast<BYTE*>(locked.pBits) + size_t(y) * locked.Pitch, image.pixels + size_t(y) * image.pitch,
                        rowBytes);
        return true;
    }
    if (pixelformat::isBlockCompressed(format))
        return false; // we never compress: a block format is only ever copied
    std::vector<uint32_t> argb;
    if (!unpackImage(image, argb))
        return false;
    if (!sameSize)
        argb = resampleTent(argb, static_cast<int>(image.width), static_cast<int>(image.height), static_cast<int>(width),
                            static_cast<int>(height));
    return packInto(argb, static_cast<int>(width), static_cast<int>(height), format, locked, dither);
}

bool boxFilterLevel(D3DFORMAT format, const D3DLOCKED_RECT& source, UINT sourceWidth, UINT sourceHeight,
                    const D3DLOCKED_RECT& destination, UINT width, UINT height)
{
    const FormatInfo* info = pixelformat::findFormat(format);
    if (!info || info->blockCompressed || info->formatClass == pixelformat::ClassPalette || info->bitsPerPixel > 32 ||
        info->bitsPerPixel % 8 != 0)
        return false;
    const int bytes = info->bitsPerPixel / 8;
    const UINT stepX = sourceWidth > 1 ? 2 : 1, stepY = sourceHeight > 1 ? 2 : 1;
    const auto* src = static_cast<const BYTE*>(source.pBits);
    auto* dst = static_cast<BYTE*>(destination.pBits);
    for (UINT y = 0; y < height; ++y) {
        const BYTE* row0 = src + size_t(y * stepY) * source.Pitch;
        const BYTE* row1 = src + size_t(y * stepY + stepY - 1) * source.Pitch;
        BYTE* out = dst + size_t(y) * destination.Pitch;
        for (UINT x = 0; x < width; ++x) {
            const UINT x0 = x * stepX, x1 = x * stepX + stepX - 1;
            uint32_t quad[4];
            int count = 0;
            quad[count++] = readPacked(row0 + x0 * bytes, bytes);
            if (stepX == 2)
                quad[count++] = readPacked(row0 + x1 * bytes, bytes);
            if (stepY == 2) {
                quad[count++] = readPacked(row1 + x0 * bytes, bytes);
                if (stepX == 2)
                    quad[count++] = readPacked(row1 + x1 * bytes, bytes);
            }
            writePacked(out + x * bytes, bytes, averagePacked(*info, quad, count));
        }
    }
    return true;
}
