// FreeType rendering of DejaVu outlines into coverage maps, for the glyph set, the logo lettering and the
// contact sheet's labels.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace makedata {

// Debian's fonts-dejavu-core installs here.
inline constexpr const char* dejavuDirectory = "/usr/share/fonts/truetype/dejavu/";

// Anti-aliased coverage, 0..1, top row first.
struct Coverage {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    Coverage() = default;
    Coverage(int w, int h) : width(w), height(h), values(size_t(w) * size_t(h), 0.0f) {}
    // Coverage at any position: 0 outside the map, so filters need no edge cases.
    float get(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : values[size_t(y) * size_t(width) + size_t(x)];
    }
    // For writing; the position must be inside the map.
    float& at(int x, int y) { return values[size_t(y) * size_t(width) + size_t(x)]; }
};

struct GlyphBitmap {
    Coverage coverage;
    int left = 0;       // pen position to the bitmap's left column
    int top = 0;        // baseline to the bitmap's top row (upwards positive)
    float advance = 0;  // pen advance in pixels
};

struct FontFace;
struct FontFaceDeleter {
    void operator()(FontFace* face) const;
};
using FontHandle = std::unique_ptr<FontFace, FontFaceDeleter>;

// Opens a font file of the DejaVu directory, e.g. "DejaVuSans-Bold.ttf"; null with a reason in *error.
FontHandle openFont(const std::string& fileName, std::string* error);

struct GlyphStyle {
    float pixelSize = 16;  // em size in pixels
    float xScale = 1;      // horizontal squeeze (<1) or stretch (>1) of the outline
    bool hinted = true;    // grid-fit the outline (light hinting) for crisp small sizes
};

// Renders one character; an empty coverage for characters with no ink (space).
GlyphBitmap renderGlyph(FontFace& face, char32_t character, const GlyphStyle& style);

// Lays out a line of text from the pen origin and returns its coverage, with the baseline at row `baseline`.
Coverage renderLine(FontFace& face, const std::string& text, const GlyphStyle& style, float letterSpacing,
                    int* baseline);

}  // namespace makedata
