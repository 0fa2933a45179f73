// Drawing onto an Image for the contact sheet: rectangles, pictures with alpha, labels, and text laid
// out the way the show's writer lays it out.
#pragma once

#include <map>
#include <string>

#include "font_raster.h"
#include "image.h"

namespace makedata {

void fillRect(Image& canvas, int x, int y, int w, int h, Rgba colour);
void frameRect(Image& canvas, int x, int y, int w, int h, Rgba colour);
// Checkerboard behind pictures with alpha, so transparency is visible.
void fillChecker(Image& canvas, int x, int y, int w, int h, int square);

// Draws `picture` at (x, y), each texel as a scale x scale block, blended by its alpha and `opacity`.
void drawPicture(Image& canvas, const Image& picture, int x, int y, int scale = 1, float opacity = 1.0f);
// Draws `picture` stretched over the rectangle, point-sampled.
void drawStretched(Image& canvas, const Image& picture, int x, int y, int w, int h);

// A label in DejaVu Sans, top-left at (x, y); returns its width.
int drawLabel(Image& canvas, FontFace& face, const std::string& text, int x, int y, Rgba colour, float size = 12);

// One line as the show's writer sets it: a 32x32 glyph every 18 pixels, characters without a glyph blank.
void drawGlyphLine(Image& canvas, const std::map<char, Image>& glyphs, const std::string& text, int x, int y);

}  // namespace makedata
