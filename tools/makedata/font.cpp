#include "font.h"

#include <algorithm>
#include <cmath>

#include "procedural.h"

namespace makedata {

const std::array<GlyphEntry, 42> glyphTable = {{
    {'a', "sa.tga"},     {'b', "sb.tga"},      {'c', "sc.tga"},       {'d', "sd.tga"},       {'e', "se.tga"},
    {'f', "sf.tga"},     {'g', "sg.tga"},      {'h', "sh.tga"},       {'i', "si.tga"},       {'j', "sj.tga"},
    {'k', "sk.tga"},     {'l', "sl.tga"},      {'m', "sm.tga"},       {'n', "sn.tga"},       {'o', "so.tga"},
    {'p', "sp.tga"},     {'q', "sq.tga"},      {'r', "sr.tga"},       {'s', "ss.tga"},       {'t', "st.tga"},
    {'u', "su.tga"},     {'v', "sv.tga"},      {'w', "sw.tga"},       {'x', "sx.tga"},       {'y', "sy.tga"},
    {'z', "sz.tga"},     {'0', "s0.tga"},      {'1', "s1.tga"},       {'2', "s2.tga"},       {'3', "s3.tga"},
    {'4', "s4.tga"},     {'5', "s5.tga"},      {'6', "s6.tga"},       {'7', "s7.tga"},       {'8', "s8.tga"},
    {'9', "s9.tga"},     {'!', "shuuto.tga"},  {'.', "sdot.tga"},     {'/', "skautta.tga"},  {':', "skaksois.tga"},
    {'-', "sviiva.tga"}, {',', "spilkku.tga"},
}};

namespace {

// The ink box inside the 18x18 cell: one pixel of outline all round.
constexpr int inkLeft = 1;
constexpr int inkRight = 16;     // inclusive
constexpr int baselineRow = 13;  // first row below the baseline
constexpr float emPixels = 15.5f;
// DejaVu's letters are narrow for an 18-pixel pitch: widen them so a line reads as words, not letters.
constexpr float widening = 1.3f;

// Straight-alpha "over" of one premixed layer onto the picture.
void composite(Rgba& dst, Colour colour, float alpha)
{
    if (alpha <= 0) {
        return;
    }
    const float below = float(dst.a) / 255.0f;
    const float outAlpha = alpha + below * (1 - alpha);
    const Colour mixed = (colour * alpha + toColour(dst) * (below * (1 - alpha))) * (1.0f / outAlpha);
    dst = toRgba(mixed, outAlpha);
}

Coverage letterCoverage(FontFace& face, char character)
{
    GlyphStyle style;
    style.pixelSize = emPixels;
    style.xScale = widening;
    GlyphBitmap g = renderGlyph(face, char32_t(character), style);
    const int room = inkRight - inkLeft + 1;
    if (g.coverage.width > room) {
        style.xScale = widening * float(room) / float(g.coverage.width + 1);
        g = renderGlyph(face, char32_t(character), style);
    }
    Coverage cell(glyphSize, glyphSize);
    // Centred on the ink box, whatever the letter's own bearings: the writer's pen steps are fixed.
    const int x0 = inkLeft + (room - g.coverage.width) / 2;
    const int y0 = baselineRow - g.top;
    for (int y = 0; y < g.coverage.height; ++y) {
        for (int x = 0; x < g.coverage.width; ++x) {
            const int cx = x0 + x, cy = y0 + y;
            if (cx >= 0 && cy >= 0 && cx < glyphSize && cy < glyphSize) {
                cell.at(cx, cy) = g.coverage.get(x, y);
            }
        }
    }
    return cell;
}

// The dash spans the whole advance, so a row of dashes joins into one unbroken rule.
Coverage dashCoverage()
{
    Coverage cell(glyphSize, glyphSize);
    for (int x = 0; x < glyphCell; ++x) {
        cell.at(x, baselineRow - 5) = 1.0f;
        cell.at(x, baselineRow - 4) = 1.0f;
    }
    return cell;
}

// Grows the ink by one pixel; `sideways` false grows it only up and down (the dash, whose ends must meet
// the next dash's without a dark seam).
Coverage dilate(const Coverage& in, bool sideways)
{
    const int reach = sideways ? 1 : 0;
    Coverage out(in.width, in.height);
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float v = in.get(x, y);
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    const float weight = (dx != 0 && dy != 0) ? 0.7f : 1.0f;
                    v = std::max(v, in.get(x + dx, y + dy) * weight);
                }
            }
            out.at(x, y) = v;
        }
    }
    return out;
}

// A 3x3 blur of the outline, moved one pixel right and down (only down, and blurred only up and down,
// when not `sideways`).
Coverage dropShadow(const Coverage& outline, bool sideways)
{
    const int shift = sideways ? 1 : 0;
    const int reach = sideways ? 1 : 0;
    Coverage out(outline.width, outline.height);
    for (int y = 0; y < outline.height; ++y) {
        for (int x = 0; x < outline.width; ++x) {
            float sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    sum += outline.get(x - shift + dx, y - 1 + dy);
                }
            }
            out.at(x, y) = sum / float(3 * (2 * reach + 1));
        }
    }
    return out;
}

Colour fillColour(int y)
{
    const float t = clamp01(float(y - 2) / float(baselineRow + 3 - 2));
    return mix(hexColour(0xffffff), hexColour(0x86cfff), std::pow(t, 1.4f));
}

}  // namespace

Image makeGlyph(FontFace& face, char character)
{
    const bool dash = character == '-';
    const Coverage fill = dash ? dashCoverage() : letterCoverage(face, character);
    const Coverage outline = dilate(fill, !dash);
    const Coverage shadow = dropShadow(outline, !dash);
    const Colour outlineColour = hexColour(0x070b1e);
    Image image(glyphSize, glyphSize);
    for (int y = 0; y < glyphSize; ++y) {
        for (int x = 0; x < glyphSize; ++x) {
            Rgba& p = image.at(x, y);
            composite(p, Colour{}, shadow.get(x, y) * 0.6f);
            composite(p, outlineColour, outline.get(x, y) * 0.92f);
            composite(p, fillColour(y), fill.get(x, y));
            if (p.a == 0) {
                p = Rgba{};  // clean transparent texels keep the run-length packets long
            }
        }
    }
    return image;
}

}  // namespace makedata
