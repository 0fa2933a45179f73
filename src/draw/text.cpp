// The bitmap-font text writer: every visible character is one 32x32 glyph rectangle,
// 18 pixels after the previous one, so neighbouring glyphs overlap and a later glyph
// is drawn over an earlier one.
#include "draw.h"

namespace {

// The font's punctuation in GlyphSet order, after a-z and 0-9.
constexpr char PUNCTUATION[] = "!./:-,";
constexpr int FIRST_PUNCTUATION_GLYPH = 36;

void drawGlyph(int glyph, int x, int y)
{
    drawQuad(x, y, GLYPH_SIZE, GLYPH_SIZE, showState.glyphs[glyph]);
}

} // namespace

int glyphIndex(unsigned char character)
{
    if (character >= 'a' && character <= 'z')
        return character - 'a';
    if (character >= '0' && character <= '9')
        return 26 + (character - '0');
    for (int i = 0; PUNCTUATION[i] != '\0'; ++i)
        if (PUNCTUATION[i] == static_cast<char>(character))
            return FIRST_PUNCTUATION_GLYPH + i;
    return -1;
}

void layoutTextPage(const char* text, int first, int count,
                    const std::function<void(int index, int x, int y)>& place)
{
    int x = PAGE_LEFT;
    int y = PAGE_TOP;
    for (int i = 0; i < count; ++i) {
        const unsigned char character = static_cast<unsigned char>(text[i]);
        if (character == '\n') {
            // The pen step below brings x back to the left edge of the next row.
            y += GLYPH_ADVANCE;
            x = PAGE_LEFT - GLYPH_ADVANCE;
        } else if (i >= first && glyphIndex(character) >= 0) {
            place(i, x, y);
        }
        x += GLYPH_ADVANCE;
        if (x > PAGE_WRAP_X) {
            x = PAGE_LEFT;
            y += GLYPH_ADVANCE;
        }
    }
}

void writeTextPage(const char* text, int first, int count)
{
    layoutTextPage(text, first, count, [text](int index, int x, int y) {
        drawGlyph(glyphIndex(static_cast<unsigned char>(text[index])), x, y);
    });
}

void writeString(const char* str, int x, int y)
{
    for (int i = 0; str[i] != '\0'; ++i) {
        const int glyph = glyphIndex(static_cast<unsigned char>(str[i]));
        if (glyph >= 0)
            drawGlyph(glyph, x + GLYPH_ADVANCE * i, y);
    }
}
