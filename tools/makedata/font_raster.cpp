#include "font_raster.h"

#include <algorithm>
#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace makedata {

struct FontFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

void FontFaceDeleter::operator()(FontFace* font) const
{
    if (font->face) {
        FT_Done_Face(font->face);
    }
    if (font->library) {
        FT_Done_FreeType(font->library);
    }
    delete font;
}

FontHandle openFont(const std::string& fileName, std::string* error)
{
    FontHandle font(new FontFace);
    const std::string path = std::string(dejavuDirectory) + fileName;
    if (FT_Init_FreeType(&font->library) != 0) {
        if (error) {
            *error = "cannot start FreeType";
        }
        return nullptr;
    }
    if (FT_New_Face(font->library, path.c_str(), 0, &font->face) != 0) {
        if (error) {
            *error = "cannot open the font " + path + " (install fonts-dejavu-core)";
        }
        return nullptr;
    }
    return font;
}

GlyphBitmap renderGlyph(FontFace& font, char32_t character, const GlyphStyle& style)
{
    FT_Face face = font.face;
    FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(style.pixelSize * 64.0f)), 72, 72);
    FT_Matrix squeeze{FT_Fixed(std::lround(style.xScale * 65536.0f)), 0, 0, 0x10000};
    FT_Set_Transform(face, &squeeze, nullptr);
    const FT_Int32 flags = FT_LOAD_RENDER | (style.hinted ? FT_LOAD_TARGET_LIGHT : FT_LOAD_NO_HINTING);
    GlyphBitmap glyph;
    if (FT_Load_Char(face, FT_ULong(character), flags) != 0) {
        return glyph;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = float(slot->advance.x) / 64.0f;
    glyph.coverage = Coverage(int(bitmap.width), int(bitmap.rows));
    for (int y = 0; y < int(bitmap.rows); ++y) {
        const unsigned char* row = bitmap.buffer + long(y) * bitmap.pitch;
        for (int x = 0; x < int(bitmap.width); ++x) {
            glyph.coverage.at(x, y) = float(row[x]) / 255.0f;
        }
    }
    return glyph;
}

Coverage renderLine(FontFace& font, const std::string& text, const GlyphStyle& style, float letterSpacing,
                    int* baseline)
{
    std::vector<GlyphBitmap> glyphs;
    std::vector<int> pens;
    float pen = 0;
    int ascent = 0, descent = 0, right = 0;
    for (const char c : text) {
        GlyphBitmap g = renderGlyph(font, char32_t(static_cast<unsigned char>(c)), style);
        const int x = int(std::lround(pen)) + g.left;
        ascent = std::max(ascent, g.top);
        descent = std::max(descent, g.coverage.height - g.top);
        right = std::max(right, x + g.coverage.width);
        pens.push_back(x);
        pen += g.advance + letterSpacing;
        glyphs.push_back(std::move(g));
    }
    const int left = pens.empty() ? 0 : std::min(0, *std::min_element(pens.begin(), pens.end()));
    Coverage line(std::max(1, right - left), std::max(1, ascent + descent));
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const GlyphBitmap& g = glyphs[i];
        for (int y = 0; y < g.coverage.height; ++y) {
            for (int x = 0; x < g.coverage.width; ++x) {
                float& dst = line.at(pens[i] - left + x, ascent - g.top + y);
                dst = std::min(1.0f, dst + g.coverage.get(x, y));
            }
        }
    }
    if (baseline) {
        *baseline = ascent;
    }
    return line;
}

}  // namespace makedata
