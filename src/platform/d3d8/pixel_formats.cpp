#include "pixel_formats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace pixelformat {
namespace {

constexpr FormatInfo kFormats[] = {
    // Colour, palette and luminance formats, in the order substitutes are searched.
    {D3DFMT_R8G8B8, "R8G8B8", ClassColour, 24, {0, 0, 8, 8, 8}, {0, 0, 16, 8, 0}, false, false},
    {D3DFMT_A8R8G8B8, "A8R8G8B8", ClassColour, 32, {0, 8, 8, 8, 8}, {0, 24, 16, 8, 0}, true, false},
    {D3DFMT_X8R8G8B8, "X8R8G8B8", ClassColour, 32, {0, 0, 8, 8, 8}, {0, 0, 16, 8, 0}, true, false},
    {D3DFMT_R5G6B5, "R5G6B5", ClassColour, 16, {0, 0, 5, 6, 5}, {0, 0, 11, 5, 0}, true, false},
    {D3DFMT_X1R5G5B5, "X1R5G5B5", ClassColour, 16, {0, 0, 5, 5, 5}, {0, 0, 10, 5, 0}, true, false},
    {D3DFMT_A8P8, "A8P8", ClassPalette, 16, {0, 8, 8, 8, 8}, {0, 8, 0, 0, 0}, true, false},
    {D3DFMT_P8, "P8", ClassPalette, 8, {0, 8, 8, 8, 8}, {0, 0, 0, 0, 0}, true, false},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", ClassColour, 16, {0, 1, 5, 5, 5}, {0, 15, 10, 5, 0}, true, false},
    {D3DFMT_A4R4G4B4, "A4R4G4B4", ClassColour, 16, {0, 4, 4, 4, 4}, {0, 12, 8, 4, 0}, true, false},
    {D3DFMT_R3G3B2, "R3G3B2", ClassColour, 8, {0, 0, 3, 3, 2}, {0, 0, 5, 2, 0}, true, false},
    {D3DFMT_A8, "A8", ClassColour, 8, {0, 8, 0, 0, 0}, {0, 0, 0, 0, 0}, true, false},
    {D3DFMT_A8R3G3B2, "A8R3G3B2", ClassColour, 16, {0, 8, 3, 3, 2}, {0, 8, 5, 2, 0}, true, false},
    {D3DFMT_X4R4G4B4, "X4R4G4B4", ClassColour, 16, {0, 0, 4, 4, 4}, {0, 0, 8, 4, 0}, true, false},
    {D3DFMT_A2B10G10R10, "A2B10G10R10", ClassColour, 32, {0, 2, 10, 10, 10}, {0, 30, 0, 10, 20}, true, false},
    {D3DFMT_G16R16, "G16R16", ClassColour, 32, {0, 0, 16, 16, 0}, {0, 0, 0, 16, 0}, true, false},
    {D3DFMT_L8, "L8", ClassLuminance, 8, {0, 0, 8, 8, 8}, {0, 0, 0, 0, 0}, true, false},
    {D3DFMT_A8L8, "A8L8", ClassLuminance, 16, {0, 8, 8, 8, 8}, {0, 8, 0, 0, 0}, true, false},
    {D3DFMT_A4L4, "A4L4", ClassLuminance, 8, {0, 4, 4, 4, 4}, {0, 4, 0, 0, 0}, true, false},
    // Bump maps: extra = luminance, red = U, green = V, blue = W, alpha = Q/A.
    {D3DFMT_V8U8, "V8U8", ClassBump, 16, {0, 0, 8, 8, 0}, {0, 0, 0, 8, 0}, true, false},
    {D3DFMT_L6V5U5, "L6V5U5", ClassBump, 16, {6, 0, 5, 5, 0}, {10, 0, 0, 5, 0}, true, false},
    {D3DFMT_X8L8V8U8, "X8L8V8U8", ClassBump, 32, {8, 0, 8, 8, 0}, {16, 0, 0, 8, 0}, true, false},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8", ClassBump, 32, {0, 8, 8, 8, 8}, {0, 24, 0, 8, 16}, true, false},
    {D3DFMT_V16U16, "V16U16", ClassBump, 32, {0, 0, 16, 16, 0}, {0, 0, 0, 16, 0}, true, false},
    {D3DFMT_W11V11U10, "W11V11U10", ClassBump, 32, {0, 0, 10, 11, 11}, {0, 0, 0, 10, 21}, true, false},
    {D3DFMT_A2W10V10U10, "A2W10V10U10", ClassBump, 32, {0, 2, 10, 10, 10}, {0, 30, 0, 10, 20}, true, false},
    // YUV and block-compressed: never substitutes.
    {D3DFMT_UYVY, "UYVY", ClassColour, 16, {0, 0, 8, 8, 8}, {0, 0, 0, 0, 0}, false, false},
    {D3DFMT_YUY2, "YUY2", ClassColour, 16, {0, 0, 8, 8, 8}, {0, 0, 0, 0, 0}, false, false},
    {D3DFMT_DXT1, "DXT1", ClassColour, 4, {0, 1, 5, 6, 5}, {0, 0, 0, 0, 0}, false, true},
    {D3DFMT_DXT2, "DXT2", ClassColour, 8, {0, 4, 5, 6, 5}, {0, 0, 0, 0, 0}, false, true},
    {D3DFMT_DXT3, "DXT3", ClassColour, 8, {0, 4, 5, 6, 5}, {0, 0, 0, 0, 0}, false, true},
    {D3DFMT_DXT4, "DXT4", ClassColour, 8, {0, 8, 5, 6, 5}, {0, 0, 0, 0, 0}, false, true},
    {D3DFMT_DXT5, "DXT5", ClassColour, 8, {0, 8, 5, 6, 5}, {0, 0, 0, 0, 0}, false, true},
    // Depth and stencil: red = depth, extra = stencil.
    {D3DFMT_D16_LOCKABLE, "D16_LOCKABLE", ClassDepth, 16, {0, 0, 16, 0, 0}, {0, 0, 0, 0, 0}, true, false},
    {D3DFMT_D32, "D32", ClassDepth, 32, {0, 0, 32, 0, 0}, {0, 0, 0, 0, 0}, true, false},
    {D3DFMT_D15S1, "D15S1", ClassDepth, 16, {1, 0, 15, 0, 0}, {0, 0, 1, 0, 0}, true, false},
    {D3DFMT_D24S8, "D24S8", ClassDepth, 32, {8, 0, 24, 0, 0}, {0, 0, 8, 0, 0}, true, false},
    {D3DFMT_D16, "D16", ClassDepth, 16, {0, 0, 16, 0, 0}, {0, 0, 0, 0, 0}, true, false},
    {D3DFMT_D24X8, "D24X8", ClassDepth, 32, {0, 0, 24, 0, 0}, {0, 0, 8, 0, 0}, true, false},
    {D3DFMT_D24X4S4, "D24X4S4", ClassDepth, 32, {4, 0, 24, 0, 0}, {0, 0, 8, 0, 0}, true, false},
};

// Exact 1..8-bit widening tables, built once.
struct WidenTables {
    std::array<std::array<uint8_t, 256>, 9> table{};
    WidenTables() {
        for (int bits = 1; bits <= 8; ++bits) {
            const uint32_t maxValue = (1u << bits) - 1;
            for (uint32_t c = 0; c <= maxValue; ++c) {
                table[bits][c] = static_cast<uint8_t>((c * 255 * 2 + maxValue) / (2 * maxValue));
            }
        }
    }
};
const WidenTables kWiden;

uint32_t readPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3: return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void writePixel(uint8_t* p, int bytes, uint32_t v) {
    switch (bytes) {
    case 1: p[0] = static_cast<uint8_t>(v); break;
    case 2: p[0] = static_cast<uint8_t>(v); p[1] = static_cast<uint8_t>(v >> 8); break;
    case 3:
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        break;
    default: std::memcpy(p, &v, 4); break;
    }
}

uint32_t channelBits(uint32_t pixel, const FormatInfo& f, int channel) {
    const int w = f.widths[channel];
    const uint32_t mask = w >= 32 ? 0xFFFFFFFFu : ((1u << w) - 1);
    return (pixel >> f.shifts[channel]) & mask;
}

bool isGenericUnpackable(const FormatInfo& f) {
    if (f.blockCompressed || f.formatClass == ClassBump || f.formatClass == ClassDepth) return false;
    if (f.format == D3DFMT_UYVY || f.format == D3DFMT_YUY2) return false;
    return true;
}

uint32_t unpackPixel(const FormatInfo& f, uint32_t pixel, const PALETTEENTRY* palette) {
    uint32_t a = 255, r, g, b;
    if (f.formatClass == ClassPalette) {
        const PALETTEENTRY& e = palette[pixel & 0xFF];
        r = e.peRed;
        g = e.peGreen;
        b = e.peBlue;
        a = f.format == D3DFMT_A8P8 ? (pixel >> 8) & 0xFF : e.peFlags;
    } else {
        if (f.widths[ChannelAlpha]) a = widenChannel(channelBits(pixel, f, ChannelAlpha), f.widths[ChannelAlpha]);
        // Channels a format lacks read as 1.0, except the colour of A8, which reads as 0.
        const uint32_t missing = f.format == D3DFMT_A8 ? 0 : 255;
        r = f.widths[ChannelRed] ? widenChannel(channelBits(pixel, f, ChannelRed), f.widths[ChannelRed]) : missing;
        g = f.widths[ChannelGreen] ? widenChannel(channelBits(pixel, f, ChannelGreen), f.widths[ChannelGreen])
                                   : missing;
        b = f.widths[ChannelBlue] ? widenChannel(channelBits(pixel, f, ChannelBlue), f.widths[ChannelBlue])
                                  : missing;
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

uint32_t narrowFloat(double value8, int bits, double threshold) {
    const double maxValue = static_cast<double>((1ull << bits) - 1);
    double v = std::floor(value8 * maxValue / 255.0 + 1.0 - threshold);
    v = std::clamp(v, 0.0, maxValue);
    return static_cast<uint32_t>(v);
}

uint32_t packPixel(const FormatInfo& f, uint32_t argb, float threshold) {
    const uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    uint32_t out = 0;
    auto put = [&](int channel, double value8) {
        const int w = f.widths[channel];
        if (w) out |= narrowFloat(value8, w, threshold) << f.shifts[channel];
    };
    put(ChannelAlpha, a);
    if (f.formatClass == ClassLuminance) {
        put(ChannelRed, 0.2125 * r + 0.7154 * g + 0.0721 * b);
    } else {
        put(ChannelRed, r);
        put(ChannelGreen, g);
        put(ChannelBlue, b);
    }
    return out;
}

uint32_t rgb565ToArgb(uint32_t c) {
    return 0xFF000000u | (uint32_t(widenChannel((c >> 11) & 31, 5)) << 16) |
           (uint32_t(widenChannel((c >> 5) & 63, 6)) << 8) | widenChannel(c & 31, 5);
}

uint32_t mixColour(uint32_t c0, uint32_t c1, int w0, int w1) {
    const int total = w0 + w1;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = (c0 >> shift) & 0xFF, b = (c1 >> shift) & 0xFF;
        out |= static_cast<uint32_t>((a * w0 + b * w1 + total / 2) / total) << shift;
    }
    return out | 0xFF000000u;
}

void decodeColourBlock(const uint8_t* block, bool allowTransparent, uint32_t out[16]) {
    const uint32_t raw0 = block[0] | (block[1] << 8), raw1 = block[2] | (block[3] << 8);
    uint32_t colours[4];
    colours[0] = rgb565ToArgb(raw0);
    colours[1] = rgb565ToArgb(raw1);
    if (raw0 > raw1 || !allowTransparent) {
        colours[2] = mixColour(colours[0], colours[1], 2, 1);
        colours[3] = mixColour(colours[0], colours[1], 1, 2);
    } else {
        colours[2] = mixColour(colours[0], colours[1], 1, 1);
        colours[3] = 0;
    }
    for (int i = 0; i < 16; ++i) out[i] = colours[(block[4 + i / 4] >> ((i % 4) * 2)) & 3];
}

void applyExplicitAlpha(const uint8_t* block, uint32_t out[16]) {
    for (int i = 0; i < 16; ++i) {
        const uint32_t a4 = (block[i / 2] >> ((i % 2) * 4)) & 15;
        out[i] = (out[i] & 0x00FFFFFFu) | ((a4 * 17) << 24);
    }
}

void applyInterpolatedAlpha(const uint8_t* block, uint32_t out[16]) {
    const int a0 = block[0], a1 = block[1];
    int alphas[8] = {a0, a1, 0, 0, 0, 0, 0, 0};
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i) alphas[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (int i = 1; i < 5; ++i) alphas[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        alphas[6] = 0;
        alphas[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
        const uint32_t a = static_cast<uint32_t>(alphas[(bits >> (3 * i)) & 7]);
        out[i] = (out[i] & 0x00FFFFFFu) | (a << 24);
    }
}

int blockBytes(D3DFORMAT format) { return format == D3DFMT_DXT1 ? 8 : 16; }

}  // namespace

std::span<const FormatInfo> formatTable() { return kFormats; }

const FormatInfo* findFormat(D3DFORMAT format) {
    for (const FormatInfo& f : kFormats) {
        if (f.format == format) return &f;
    }
    return nullptr;
}

const char* formatName(D3DFORMAT format) {
    const FormatInfo* f = findFormat(format);
    return f ? f->name : "UNKNOWN";
}

bool isBlockCompressed(D3DFORMAT format) {
    const FormatInfo* f = findFormat(format);
    return f && f->blockCompressed;
}

size_t rowPitch(D3DFORMAT format, int width) {
    const FormatInfo* f = findFormat(format);
    if (!f || width <= 0) return 0;
    if (f->blockCompressed) return static_cast<size_t>((width + 3) / 4) * blockBytes(format);
    const size_t bytes = (static_cast<size_t>(width) * f->bitsPerPixel + 7) / 8;
    return (bytes + 3) & ~static_cast<size_t>(3);
}

int rowCount(D3DFORMAT format, int height) { return isBlockCompressed(format) ? (height + 3) / 4 : height; }

size_t surfaceSize(D3DFORMAT format, int width, int height) {
    return rowPitch(format, width) * static_cast<size_t>(std::max(0, rowCount(format, height)));
}

uint8_t widenChannel(uint32_t value, int bits) {
    if (bits <= 0) return 0;
    if (bits <= 8) return kWiden.table[bits][value & ((1u << bits) - 1)];
    const uint64_t maxValue = (bits >= 32 ? 0xFFFFFFFFull : ((1ull << bits) - 1));
    return static_cast<uint8_t>((static_cast<uint64_t>(value) * 255 * 2 + maxValue) / (2 * maxValue));
}

uint32_t narrowChannel(uint32_t value8, int bits, float threshold) {
    return narrowFloat(static_cast<double>(value8 & 0xFF), bits, threshold);
}

bool canUnpack(D3DFORMAT format) {
    const FormatInfo* f = findFormat(format);
    return f && (isGenericUnpackable(*f) || f->blockCompressed);
}

bool canPack(D3DFORMAT format) {
    const FormatInfo* f = findFormat(format);
    return f && isGenericUnpackable(*f) && f->formatClass != ClassPalette;
}

bool unpackRow(D3DFORMAT format, const void* src, uint32_t* dst, int count, const PALETTEENTRY* palette) {
    const FormatInfo* f = findFormat(format);
    if (!f || !isGenericUnpackable(*f)) return false;
    if (f->formatClass == ClassPalette && !palette) return false;
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if (format == D3DFMT_A8R8G8B8) {
        std::memcpy(dst, s, static_cast<size_t>(count) * 4);
        return true;
    }
    if (format == D3DFMT_X8R8G8B8) {
        for (int i = 0; i < count; ++i) dst[i] = readPixel(s + 4 * i, 4) | 0xFF000000u;
        return true;
    }
    const int bytes = f->bitsPerPixel / 8;
    for (int i = 0; i < count; ++i) dst[i] = unpackPixel(*f, readPixel(s + i * bytes, bytes), palette);
    return true;
}

bool packRow(D3DFORMAT format, const uint32_t* src, void* dst, int count, const float* thresholds) {
    if (!canPack(format)) return false;
    const FormatInfo& f = *findFormat(format);
    uint8_t* d = static_cast<uint8_t*>(dst);
    if (format == D3DFMT_A8R8G8B8 && !thresholds) {
        std::memcpy(d, src, static_cast<size_t>(count) * 4);
        return true;
    }
    const int bytes = f.bitsPerPixel / 8;
    for (int i = 0; i < count; ++i) {
        writePixel(d + i * bytes, bytes, packPixel(f, src[i], thresholds ? thresholds[i] : 0.5f));
    }
    return true;
}

void decodeDxtBlock(D3DFORMAT format, const uint8_t* block, uint32_t out[16]) {
    switch (format) {
    case D3DFMT_DXT1: decodeColourBlock(block, true, out); break;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
        decodeColourBlock(block + 8, false, out);
        applyExplicitAlpha(block, out);
        break;
    default:
        decodeColourBlock(block + 8, false, out);
        applyInterpolatedAlpha(block, out);
        break;
    }
}

bool unpackSurface(D3DFORMAT format, const void* src, int srcPitch, int width, int height, uint32_t* dst,
                   int dstPitch, const PALETTEENTRY* palette) {
    if (!canUnpack(format)) return false;
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if (!isBlockCompressed(format)) {
        for (int y = 0; y < height; ++y) {
            if (!unpackRow(format, s + static_cast<size_t>(y) * srcPitch, dst + static_cast<size_t>(y) * dstPitch,
                           width, palette)) {
                return false;
            }
        }
        return true;
    }
    const int bb = blockBytes(format);
    uint32_t texels[16];
    for (int by = 0; by < (height + 3) / 4; ++by) {
        for (int bx = 0; bx < (width + 3) / 4; ++bx) {
            decodeDxtBlock(format, s + static_cast<size_t>(by) * srcPitch + static_cast<size_t>(bx) * bb, texels);
            for (int i = 0; i < 16; ++i) {
                const int x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x < width && y < height) dst[static_cast<size_t>(y) * dstPitch + x] = texels[i];
            }
        }
    }
    return true;
}

}  // namespace pixelformat
