// feidi.tga: the image every scene fades in from and out to, and the faint veil laid over the swarm's
// trails. A deep indigo dusk with a soft glow in the middle, stored colour-mapped: a 256-entry ramp from
// black to indigo, indexed with ordered dithering so the gradient shows no bands.
#include <algorithm>
#include <cmath>

#include "pictures.h"
#include "procedural.h"

namespace makedata {

namespace {

constexpr int fadeSize = 256;

// 4x4 Bayer thresholds, centred on zero.
float bayer(int x, int y)
{
    static constexpr int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (float(matrix[y & 3][x & 3]) + 0.5f) / 16.0f - 0.5f;
}

Colour rampColour(int index)
{
    const float t = float(index) / 255.0f;
    const Colour low = hexColour(0x000000);
    const Colour mid = hexColour(0x0d0b26);
    const Colour high = hexColour(0x2a2160);
    return t < 0.6f ? mix(low, mid, t / 0.6f) : mix(mid, high, (t - 0.6f) / 0.4f);
}

float brightnessAt(float u, float v)
{
    const float dx = (u - 0.5f) * 1.15f;
    const float dy = v - 0.46f;
    const float glow = 1.0f - smoothstep(0.0f, 0.78f, std::sqrt(dx * dx + dy * dy));
    const float haze = 0.5f + 0.5f * fbm(u * 3, v * 3, 3, 4, 91);
    return clamp01(glow * (0.78f + 0.3f * haze));
}

}  // namespace

IndexedImage makeFadeImage()
{
    IndexedImage image;
    image.width = fadeSize;
    image.height = fadeSize;
    for (int i = 0; i < 256; ++i) {
        image.palette.push_back(toRgba(rampColour(i)));
    }
    image.indices.resize(size_t(fadeSize) * fadeSize);
    for (int y = 0; y < fadeSize; ++y) {
        for (int x = 0; x < fadeSize; ++x) {
            const float value = brightnessAt((float(x) + 0.5f) / fadeSize, (float(y) + 0.5f) / fadeSize) * 255.0f;
            const float dithered = std::floor(value + 0.5f + bayer(x, y));
            image.indices[size_t(y) * fadeSize + size_t(x)] = uint8_t(std::clamp(dithered, 0.0f, 255.0f));
        }
    }
    return image;
}

}  // namespace makedata
