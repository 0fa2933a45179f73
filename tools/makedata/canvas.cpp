#include "canvas.h"

#include <algorithm>

namespace makedata {

namespace {

void blendPixel(Image& canvas, int x, int y, Rgba src, float opacity)
{
    if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) {
        return;
    }
    const float a = float(src.a) / 255.0f * opacity;
    if (a <= 0) {
        return;
    }
    Rgba& dst = canvas.at(x, y);
    const Colour c = mix(toColour(dst), toColour(src), a);
    dst = toRgba(c, 1.0f);
}

}  // namespace

void fillRect(Image& canvas, int x, int y, int w, int h, Rgba colour)
{
    for (int j = std::max(0, y); j < std::min(canvas.height, y + h); ++j) {
        for (int i = std::max(0, x); i < std::min(canvas.width, x + w); ++i) {
            canvas.at(i, j) = colour;
        }
    }
}

void frameRect(Image& canvas, int x, int y, int w, int h, Rgba colour)
{
    fillRect(canvas, x, y, w, 1, colour);
    fillRect(canvas, x, y + h - 1, w, 1, colour);
    fillRect(canvas, x, y, 1, h, colour);
    fillRect(canvas, x + w - 1, y, 1, h, colour);
}

void fillChecker(Image& canvas, int x, int y, int w, int h, int square)
{
    for (int j = std::max(0, y); j < std::min(canvas.height, y + h); ++j) {
        for (int i = std::max(0, x); i < std::min(canvas.width, x + w); ++i) {
            const bool light = (((i - x) / square) + ((j - y) / square)) % 2 == 0;
            canvas.at(i, j) = light ? Rgba{104, 104, 112, 255} : Rgba{72, 72, 80, 255};
        }
    }
}

void drawPicture(Image& canvas, const Image& picture, int x, int y, int scale, float opacity)
{
    for (int j = 0; j < picture.height * scale; ++j) {
        for (int i = 0; i < picture.width * scale; ++i) {
            blendPixel(canvas, x + i, y + j, picture.at(i / scale, j / scale), opacity);
        }
    }
}

void drawStretched(Image& canvas, const Image& picture, int x, int y, int w, int h)
{
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            blendPixel(canvas, x + i, y + j, picture.at(i * picture.width / w, j * picture.height / h), 1.0f);
        }
    }
}

int drawLabel(Image& canvas, FontFace& face, const std::string& text, int x, int y, Rgba colour, float size)
{
    GlyphStyle style;
    style.pixelSize = size;
    int baseline = 0;
    const Coverage line = renderLine(face, text, style, 0.0f, &baseline);
    for (int j = 0; j < line.height; ++j) {
        for (int i = 0; i < line.width; ++i) {
            Rgba ink = colour;
            ink.a = toByte(line.get(i, j) * float(colour.a) / 255.0f);
            blendPixel(canvas, x + i, y + j, ink, 1.0f);
        }
    }
    return line.width;
}

void drawGlyphLine(Image& canvas, const std::map<char, Image>& glyphs, const std::string& text, int x, int y)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const auto found = glyphs.find(text[i]);
        if (found != glyphs.end()) {
            drawPicture(canvas, found->second, x + 18 * int(i), y);
        }
    }
}

}  // namespace makedata
