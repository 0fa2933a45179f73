// The one table of pixel formats, and the one place that converts between texel formats
// and 8-bit A8R8G8B8. The rasteriser, the image readers and the texture builder all use
// it, so a texel means the same thing wherever it is read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "d3d8types.h"

namespace pixelformat {

enum FormatClass : int {
    ClassColour = 0,
    ClassPalette = 1,
    ClassLuminance = 2,
    ClassBump = 3,
    ClassDepth = 4,
};

// Index into FormatInfo::widths / shifts.
enum Channel : int { ChannelExtra = 0, ChannelAlpha = 1, ChannelRed = 2, ChannelGreen = 3, ChannelBlue = 4 };

struct FormatInfo {
    D3DFORMAT format;
    const char* name;  // without the D3DFMT_ prefix, e.g. "A8R8G8B8"
    int formatClass;   // FormatClass
    int bitsPerPixel;
    uint8_t widths[5];  // extra, alpha, red, green, blue; luminance has equal red/green/blue
    uint8_t shifts[5];  // bit position of each channel's lowest bit within the pixel
    bool substitute;    // may stand in for a format the device lacks
    bool blockCompressed;
};

// Rows in a fixed order: the colour, palette and luminance formats images can reach, then
// bump, then YUV and DXT, then depth. Code that picks a substitute walks it in this order.
std::span<const FormatInfo> formatTable();
const FormatInfo* findFormat(D3DFORMAT format);
const char* formatName(D3DFORMAT format);  // "UNKNOWN" for formats not in the table

// Memory layout. Block-compressed formats count rows of 4x4 blocks.
bool isBlockCompressed(D3DFORMAT format);
size_t rowPitch(D3DFORMAT format, int width);   // bytes per row (per block row), 4-byte aligned
int rowCount(D3DFORMAT format, int height);     // rows (block rows) in memory
size_t surfaceSize(D3DFORMAT format, int width, int height);

// Exact widening of an n-bit channel value to 8 bits: round(c * 255 / (2^n - 1)).
uint8_t widenChannel(uint32_t value, int bits);
// Narrowing of an 8-bit value to n bits: floor(v * (2^n - 1) / 255 + 1 - threshold);
// threshold 0.5 is round-to-nearest, other thresholds give ordered dithering.
uint32_t narrowChannel(uint32_t value8, int bits, float threshold = 0.5f);

bool canUnpack(D3DFORMAT format);
bool canPack(D3DFORMAT format);

// One row of count pixels of a non-block format to 0xAARRGGBB. Palette formats look their
// index up in palette (256 entries; peFlags is alpha); luminance feeds red, green and blue;
// a format without alpha gives 255; A8 gives black with its alpha. False when the format
// cannot be unpacked (bump, depth, YUV, block formats, palette without palette).
bool unpackRow(D3DFORMAT format, const void* src, uint32_t* dst, int count,
               const PALETTEENTRY* palette = nullptr);

// One row of 0xAARRGGBB to a non-block, non-palette format. Channels are rounded to nearest
// unless thresholds (one per pixel, in (0,1)) are given, which the texture builder uses for
// ordered dithering. Luminance is 0.2125 R + 0.7154 G + 0.0721 B. False when unsupported.
bool packRow(D3DFORMAT format, const uint32_t* src, void* dst, int count, const float* thresholds = nullptr);

// A whole surface (any unpackable format, DXT1-5 included) to 0xAARRGGBB rows of dstPitch
// pixels. For block formats srcPitch is the pitch of a block row.
bool unpackSurface(D3DFORMAT format, const void* src, int srcPitch, int width, int height, uint32_t* dst,
                   int dstPitch, const PALETTEENTRY* palette = nullptr);

// One 4x4 block of DXT1..DXT5 to 16 pixels 0xAARRGGBB, row by row.
void decodeDxtBlock(D3DFORMAT format, const uint8_t* block, uint32_t out[16]);

}  // namespace pixelformat
