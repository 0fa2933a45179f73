#include "image.h"

#include <algorithm>
#include <cmath>

namespace makedata {

uint8_t toByte(float v)
{
    // NaN fails both comparisons and lands on 0.
    if (!(v > 0.0f)) {
        return 0;
    }
    if (v >= 1.0f) {
        return 255;
    }
    return uint8_t(v * 255.0f + 0.5f);
}

Rgba toRgba(Colour c, float alpha)
{
    return {toByte(c.r), toByte(c.g), toByte(c.b), toByte(alpha)};
}

Colour toColour(Rgba p)
{
    return {float(p.r) / 255.0f, float(p.g) / 255.0f, float(p.b) / 255.0f};
}

Image expandIndexed(const IndexedImage& indexed)
{
    Image image(indexed.width, indexed.height);
    for (size_t i = 0; i < indexed.indices.size(); ++i) {
        const uint8_t index = indexed.indices[i];
        image.pixels[i] = index < indexed.palette.size() ? indexed.palette[index] : Rgba{};
    }
    return image;
}

namespace {

int wrapIndex(int i, int n)
{
    const int m = i % n;
    return m < 0 ? m + n : m;
}

Colour bilinear(const Image& image, float x, float y, bool wrap)
{
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const float tx = x - fx;
    const float ty = y - fy;
    int x0 = int(fx), y0 = int(fy), x1 = x0 + 1, y1 = y0 + 1;
    if (wrap) {
        x0 = wrapIndex(x0, image.width);
        x1 = wrapIndex(x1, image.width);
        y0 = wrapIndex(y0, image.height);
        y1 = wrapIndex(y1, image.height);
    } else {
        x0 = std::clamp(x0, 0, image.width - 1);
        x1 = std::clamp(x1, 0, image.width - 1);
        y0 = std::clamp(y0, 0, image.height - 1);
        y1 = std::clamp(y1, 0, image.height - 1);
    }
    const Colour top = mix(toColour(image.at(x0, y0)), toColour(image.at(x1, y0)), tx);
    const Colour bottom = mix(toColour(image.at(x0, y1)), toColour(image.at(x1, y1)), tx);
    return mix(top, bottom, ty);
}

}  // namespace

Colour sampleWrapped(const Image& image, float x, float y)
{
    return bilinear(image, x, y, true);
}

Colour sampleClamped(const Image& image, float x, float y)
{
    return bilinear(image, x, y, false);
}

}  // namespace makedata
