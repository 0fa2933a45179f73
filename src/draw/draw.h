// Drawing helpers: textured screen rectangles, full-screen fades and the bitmap-font
// text writer. Everything is drawn in whole pixels of the 640x480 frame, origin
// top-left, through the one quadVertices array and the one quadBuffer of ShowState.
//
// Callers switch on overlay mode, culling, depth test and blending beforehand; these
// helpers leave all of that as they found it, except stage 0's texture, the vertex
// shader and stream 0, which hold the last rectangle's values afterwards.
//
//   Screen quads (quads.cpp)  drawQuad, drawFadedQuad, drawScreenFade, fadeColour
//   Text writer   (text.cpp)  writeTextPage, writeString, glyphIndex, layoutTextPage
#pragma once

#include "show.h"

#include <functional>

// ---------------------------------------------------------------------------------
// Screen quads (quads.cpp)
// ---------------------------------------------------------------------------------

// The rectangle (x, y)-(x+w, y+h) showing the whole texture, with opaque white vertices.
void drawQuad(int x, int y, int w, int h, IDirect3DTexture8* texture);
// The same with white vertices of opacity alpha, clamped to 0..1 (not a number counts as 0).
void drawFadedQuad(int x, int y, int w, int h, IDirect3DTexture8* texture, float alpha);
// The fade texture stretched over the whole frame at opacity alpha.
void drawScreenFade(float alpha);

// The vertex colour drawFadedQuad uses: white with alpha clamped and truncated to a byte.
DWORD fadeColour(float alpha);

// ---------------------------------------------------------------------------------
// Text writer (text.cpp)
// ---------------------------------------------------------------------------------

constexpr int GLYPH_SIZE = 32;       // each glyph is a 32x32 rectangle
constexpr int GLYPH_ADVANCE = 18;    // pen step per character and per page row
constexpr int PAGE_LEFT = 7;         // top-left of a page's first glyph
constexpr int PAGE_TOP = 5;
constexpr int PAGE_WRAP_X = 630;     // the pen wraps once it has moved past this
constexpr int PAGE_COLUMNS = 35;     // so a page row holds x = 7, 25, ..., 619

// The font entry of a character (a-z, 0-9, then ! . / : - ,), or -1 when it has none.
int glyphIndex(unsigned char character);

// The page layout of the first count characters of text: calls place(index, x, y) for
// every character that has a glyph and an index of at least first. Newlines break
// the line whatever first is, so a page looks the same from any starting point.
void layoutTextPage(const char* text, int first, int count,
                    const std::function<void(int index, int x, int y)>& place);

// Draws characters first..count-1 of text as a page from (7, 5), wrapping after 35
// columns; text is read for exactly count characters, with no terminator needed.
void writeTextPage(const char* text, int first, int count);
// Draws the zero-terminated str as one line from (x, y), 18 pixels per character.
void writeString(const char* str, int x, int y);
