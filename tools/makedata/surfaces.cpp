// The models' base textures. All tile seamlessly (the models' texture coordinates run past 1), and all
// stay bright: the show multiplies each texel by itself, so a mid grey arrives as a quarter grey.
#include <cmath>

#include "pictures.h"
#include "procedural.h"

namespace makedata {

namespace {

constexpr int textureSize = 256;

template <typename Shader>
Image paint(Shader shader)
{
    Image image(textureSize, textureSize);
    for (int y = 0; y < textureSize; ++y) {
        for (int x = 0; x < textureSize; ++x) {
            const float u = (float(x) + 0.5f) / float(textureSize);
            const float v = (float(y) + 0.5f) / float(textureSize);
            image.at(x, y) = toRgba(shader(u, v));
        }
    }
    return image;
}

Colour crystalAt(float u, float v)
{
    constexpr int cells = 5;
    const CellSample c = cellNoise(u * cells, v * cells, cells, 11);
    // Each facet is a flat plane catching the light at its own angle: a linear ramp in its own direction.
    const float angle = float(c.id & 0xFF) / 256.0f * 2.0f * pi;
    const float ramp = 0.5f + 0.8f * (std::cos(angle) * c.dx + std::sin(angle) * c.dy);
    const float hue = float((c.id >> 8) & 0xFF) / 255.0f;
    const Colour ice = mix(hexColour(0x7fd8ff), hexColour(0xb9a8ff), hue);
    Colour colour = mix(ice * 0.75f, mix(ice, Colour{1, 1, 1}, 0.45f), clamp01(ramp));
    // Finer facets inside, as in a cut stone seen through its table.
    const CellSample fine = cellNoise(u * cells * 3, v * cells * 3, cells * 3, 13);
    colour = colour * (0.88f + 0.16f * float((fine.id >> 4) & 0xFF) / 255.0f);
    // Bright edges where two facets meet.
    const float edge = smoothstep(0.06f, 0.0f, c.second - c.nearest);
    const float fineEdge = smoothstep(0.05f, 0.0f, fine.second - fine.nearest) * 0.25f;
    colour = mix(colour, Colour{1, 1, 1}, clamp01(edge * 0.9f + fineEdge));
    return colour;
}

Colour shellAt(float u, float v)
{
    // u runs along the spiral, v round the whorl: bold bands cross the whorl in a zigzag.
    const float warp = fbm(u * 4, v * 4, 4, 3, 21) * 0.05f;
    const float zig = (std::fabs(std::fmod(v * 8.0f + 100.0f, 2.0f) - 1.0f) - 0.5f) * 0.06f;
    const float phase = (u + zig + warp) * 7.0f;
    const float band = std::sin(phase * 2.0f * pi);
    const float mottle = fbm(u * 16, v * 16, 16, 4, 23);
    const Colour cream = hexColour(0xfff2dc);
    const Colour apricot = hexColour(0xf0a060);
    const Colour brown = hexColour(0x9a4322);
    // A wide dark band, a thin pale one, then apricot flushes in between.
    Colour colour = mix(cream, apricot, smoothstep(-0.2f, 0.5f, band) * (0.6f + 0.4f * smoothstep(-0.3f, 0.3f, mottle)));
    colour = mix(colour, brown, smoothstep(0.55f, 0.8f, band) * (0.75f + 0.25f * mottle));
    // Spots along the pale bands.
    const CellSample dots = cellNoise(u * 24, v * 24, 24, 27);
    const float dot = smoothstep(0.22f, 0.12f, dots.nearest) * smoothstep(0.0f, -0.5f, band);
    colour = mix(colour, brown, dot * 0.85f);
    // Growth lines: fine ridges across the spiral.
    const float growth = 0.5f + 0.5f * std::sin(u * 2.0f * pi * 96.0f + fbm(u * 8, v * 8, 8, 2, 25) * 3.0f);
    return colour * (0.93f + 0.07f * growth);
}

Colour pearlAt(float u, float v)
{
    // Domain warping (fbm of fbm) gives the soft swirls of nacre.
    const float x = u * 2, y = v * 2;
    const float qx = fbm(x, y, 2, 3, 31);
    const float qy = fbm(x + 5.2f, y + 1.3f, 2, 3, 33);
    const float rx = fbm(x + 2.0f * qx + 1.7f, y + 2.0f * qy + 9.2f, 2, 3, 35);
    const float ry = fbm(x + 2.0f * qx + 8.3f, y + 2.0f * qy + 2.8f, 2, 3, 37);
    const float f = fbm(x + 2.0f * rx, y + 2.0f * ry, 2, 4, 39);
    const Colour rainbow = cosinePalette(f * 0.9f + rx * 0.4f, {0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f},
                                         {1.0f, 1.0f, 1.0f}, {0.0f, 0.33f, 0.67f});
    const Colour nacre = mix(hexColour(0xf4eef6), rainbow, 0.3f);
    const float light = 0.82f + 0.22f * smoothstep(-0.5f, 0.5f, f);
    return nacre * light;
}

Colour plasmaAt(float u, float v)
{
    const float x = u * 4, y = v * 4;
    const float wx = fbm(x, y, 4, 3, 41);
    const float wy = fbm(x + 3.1f, y + 7.7f, 4, 3, 43);
    const float ridge = ridgedFbm(x + 1.5f * wx, y + 1.5f * wy, 4, 5, 45);
    const float glow = std::pow(ridge, 3.0f);
    const float hue = 0.5f + 0.5f * fbm(x * 0.5f + 2.0f, y * 0.5f, 2, 2, 47);
    const Colour deep = hexColour(0x1b1450);
    const Colour hot = mix(hexColour(0x39c6ff), hexColour(0xff4fd8), hue);
    Colour colour = mix(deep, hot, clamp01(glow * 1.4f));
    colour = colour + Colour{1, 1, 1} * std::pow(ridge, 9.0f) * 0.9f;
    return colour;
}

}  // namespace

Image makeCrystalTexture()
{
    return paint(crystalAt);
}

Image makeShellTexture()
{
    return paint(shellAt);
}

Image makePearlTexture()
{
    return paint(pearlAt);
}

Image makePlasmaTexture()
{
    return paint(plasmaAt);
}

}  // namespace makedata
