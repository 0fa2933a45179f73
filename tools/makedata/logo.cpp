// sorvina.tga: the logo band of the title scene, 512x128 with alpha.
//
// The show draws it at (64, 176) on the 640x480 screen and then types a rule of dashes at y = 190 and the
// title line at y = 272 over it, both from x = 194: in the band's own pixels, rows 14 to 32 and 96 to 114
// of columns 130 to 396. The lettering sits between those rows; the rows themselves stay calm dark glass.
#include <algorithm>
#include <cmath>

#include "pictures.h"
#include "procedural.h"

namespace makedata {

namespace {

constexpr int logoWidth = 512;
constexpr int logoHeight = 128;
constexpr int baseline = 90;   // the lettering's baseline row
constexpr float emPixels = 78;

// Straight-alpha "over".
void composite(Rgba& dst, Colour colour, float alpha)
{
    alpha = clamp01(alpha);
    if (alpha <= 0) {
        return;
    }
    const float below = float(dst.a) / 255.0f;
    const float outAlpha = alpha + below * (1 - alpha);
    const Colour mixed = (colour * alpha + toColour(dst) * (below * (1 - alpha))) * (1.0f / outAlpha);
    dst = toRgba(mixed, outAlpha);
}

Coverage boxBlur(const Coverage& in, int radius)
{
    Coverage across(in.width, in.height);
    Coverage out(in.width, in.height);
    const float norm = 1.0f / float(2 * radius + 1);
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                sum += in.get(x + k, y);
            }
            across.at(x, y) = sum * norm;
        }
    }
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                sum += across.get(x, y + k);
            }
            out.at(x, y) = sum * norm;
        }
    }
    return out;
}

// Grows the ink by a round brush of the given radius.
Coverage grow(const Coverage& in, float radius)
{
    Coverage out(in.width, in.height);
    const int r = int(std::ceil(radius));
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float v = 0;
            for (int dy = -r; dy <= r; ++dy) {
                for (int dx = -r; dx <= r; ++dx) {
                    const float reach = clamp01(radius + 0.5f - std::sqrt(float(dx * dx + dy * dy)));
                    v = std::max(v, in.get(x + dx, y + dy) * reach);
                }
            }
            out.at(x, y) = v;
        }
    }
    return out;
}

Coverage placeLettering(FontFace& face)
{
    GlyphStyle style;
    style.pixelSize = emPixels;
    style.hinted = false;
    int letterBaseline = 0;
    const Coverage line = renderLine(face, "sorvina", style, 6.0f, &letterBaseline);
    Coverage ink(logoWidth, logoHeight);
    const int x0 = (logoWidth - line.width) / 2;
    const int y0 = baseline - letterBaseline;
    for (int y = 0; y < line.height; ++y) {
        for (int x = 0; x < line.width; ++x) {
            if (x0 + x >= 0 && x0 + x < logoWidth && y0 + y >= 0 && y0 + y < logoHeight) {
                ink.at(x0 + x, y0 + y) = line.get(x, y);
            }
        }
    }
    return ink;
}

// Dark glass with soft ends, a lit rim top and bottom.
void paintPanel(Image& image)
{
    for (int y = 0; y < logoHeight; ++y) {
        for (int x = 0; x < logoWidth; ++x) {
            const float fx = float(x) + 0.5f;
            const float ends = smoothstep(0.0f, 90.0f, fx) * smoothstep(float(logoWidth), float(logoWidth) - 90.0f, fx);
            const float inside = smoothstep(5.0f, 9.0f, float(y)) * smoothstep(123.0f, 119.0f, float(y));
            const float v = float(y) / float(logoHeight);
            Colour glass = mix(hexColour(0x0b1434), hexColour(0x1c2b63), std::sin(v * pi));
            const float sheen = std::pow(clamp01(1.0f - std::fabs((fx * 0.35f + float(y)) / 60.0f - 3.2f)), 6.0f);
            glass = glass + hexColour(0x2a3f80) * (sheen * 0.5f);
            composite(image.at(x, y), glass, ends * inside * 0.7f);
            const float rim = std::max(std::exp(-std::pow(float(y) - 8.0f, 2.0f) * 0.8f),
                                       std::exp(-std::pow(float(y) - 119.0f, 2.0f) * 0.8f));
            composite(image.at(x, y), hexColour(0x7fdcff), rim * ends * 0.9f);
        }
    }
}

// Chrome: pale sky above a sharp horizon, dark ground below it warming to a bright rim at the foot.
Colour chromeAt(float t)
{
    if (t < 0.52f) {
        return mix(hexColour(0xffffff), hexColour(0x7ab8f5), smoothstep(0.0f, 0.52f, t));
    }
    return mix(hexColour(0x182a66), hexColour(0xffe0a0), std::pow(clamp01((t - 0.52f) / 0.48f), 0.9f));
}

}  // namespace

Image makeLogo(FontFace& face)
{
    Image image(logoWidth, logoHeight);
    paintPanel(image);
    const Coverage ink = placeLettering(face);
    const Coverage outline = grow(ink, 2.2f);
    const Coverage glow = boxBlur(boxBlur(grow(ink, 3.0f), 4), 4);
    const Coverage relief = boxBlur(ink, 2);
    const float xHeightTop = float(baseline) - 0.547f * emPixels;
    for (int y = 0; y < logoHeight; ++y) {
        for (int x = 0; x < logoWidth; ++x) {
            Rgba& p = image.at(x, y);
            composite(p, hexColour(0x3fc8ff), glow.get(x, y) * 0.75f);
            composite(p, hexColour(0x03061a), outline.get(x, y));
            // Bevel: light from the upper left on the blurred ink's slope.
            const float gx = relief.get(x + 1, y) - relief.get(x - 1, y);
            const float gy = relief.get(x, y + 1) - relief.get(x, y - 1);
            const float bevel = clamp01(0.85f - (gx + gy) * 1.6f);
            const float t = (float(y) + 0.5f - xHeightTop) / (float(baseline) - xHeightTop);
            Colour fill = chromeAt(clamp01(t)) * bevel;
            fill = fill + Colour{1, 1, 1} * (std::pow(clamp01(-(gx + gy) * 2.0f), 2.0f) * 0.6f);
            composite(p, fill, ink.get(x, y));
        }
    }
    return image;
}

}  // namespace makedata
