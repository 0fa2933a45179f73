// Pixel containers shared by every picture generator, the encoders and the contact sheet.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace makedata {

// Working colour of the generators: plain display values, nominally 0..1, not clamped until stored.
struct Colour {
    float r = 0, g = 0, b = 0;
};

constexpr Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
constexpr Colour operator-(Colour a, Colour b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
constexpr Colour operator*(Colour a, Colour b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
constexpr Colour operator*(Colour a, float k) { return {a.r * k, a.g * k, a.b * k}; }
constexpr Colour operator*(float k, Colour a) { return a * k; }
constexpr Colour mix(Colour a, Colour b, float t) { return a + (b - a) * t; }
// Screen blend: brightens without ever passing white.
constexpr Colour screen(Colour a, Colour b)
{
    return {1 - (1 - a.r) * (1 - b.r), 1 - (1 - a.g) * (1 - b.g), 1 - (1 - a.b) * (1 - b.b)};
}
constexpr float luminance(Colour c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }
// A colour from an 0xRRGGBB literal, so palettes read like a paint program's.
constexpr Colour hexColour(uint32_t rgb)
{
    return {float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f, float(rgb & 0xFF) / 255.0f};
}

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// Rounds to nearest and clamps to 0..255.
uint8_t toByte(float v);
Rgba toRgba(Colour c, float alpha = 1.0f);
Colour toColour(Rgba p);

// Top row first, left to right, tightly packed.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Image() = default;
    Image(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h)) {}
    Rgba& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    const Rgba& at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// An 8-bit colour-mapped picture: indices into a palette of up to 256 entries.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    std::vector<Rgba> palette;
};

Image expandIndexed(const IndexedImage& indexed);

// Bilinear sample with wrap-around addressing, coordinates in pixels.
Colour sampleWrapped(const Image& image, float x, float y);
// Bilinear sample clamped to the edges.
Colour sampleClamped(const Image& image, float x, float y);

}  // namespace makedata
