// The bitmap font: 42 glyph pictures of 32x32 pixels, one per character the show's text writer knows.
//
// The writer draws each glyph as a 32x32 rectangle, point-sampled at 1:1, every 18 pixels across and 18
// down, so a glyph's ink must stay in the 18x18 cell at its top-left corner. Letters are DejaVu Sans Bold
// rendered by FreeType, filled with a white-to-ice gradient and wrapped in a dark outline and a soft shadow
// so they read over bright reflections, dark skies and photographs alike.
#pragma once

#include <array>
#include <string>

#include "font_raster.h"
#include "image.h"

namespace makedata {

inline constexpr int glyphSize = 32;   // the picture
inline constexpr int glyphCell = 18;   // the writer's advance and line height

struct GlyphEntry {
    char character;
    const char* fileName;
};

// In the show's glyph order: a to z, 0 to 9, then ! . / : - ,
extern const std::array<GlyphEntry, 42> glyphTable;

// The glyph picture of one character of glyphTable, straight (not premultiplied) alpha.
Image makeGlyph(FontFace& face, char character);

}  // namespace makedata
