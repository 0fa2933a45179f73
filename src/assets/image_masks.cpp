// Bit-mask pixel layouts shared by the BMP/DIB and DDS readers.
#include "image_reader.h"

#include <bit>

D3DFORMAT formatForMasks(unsigned bitsPerPixel, const ChannelMasks& m)
{
    struct Layout {
        unsigned bits;
        ChannelMasks masks;
        D3DFORMAT format;
    };
    static constexpr Layout layouts[] = {
        {32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, D3DFMT_A8R8G8B8},
        {32, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_X8R8G8B8},
        {32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000}, D3DFMT_A2B10G10R10},
        {24, {0xFF0000, 0xFF00, 0xFF, 0}, D3DFMT_R8G8B8},
        {16, {0xF800, 0x7E0, 0x1F, 0}, D3DFMT_R5G6B5},
        {16, {0x7C00, 0x3E0, 0x1F, 0}, D3DFMT_X1R5G5B5},
        {16, {0x7C00, 0x3E0, 0x1F, 0x8000}, D3DFMT_A1R5G5B5},
        {16, {0xF00, 0xF0, 0xF, 0xF000}, D3DFMT_A4R4G4B4},
        {16, {0xF00, 0xF0, 0xF, 0}, D3DFMT_X4R4G4B4},
        {16, {0xE0, 0x1C, 0x3, 0xFF00}, D3DFMT_A8R3G3B2},
        {8, {0xE0, 0x1C, 0x3, 0}, D3DFMT_R3G3B2},
    };
    for (const Layout& l : layouts) {
        if (l.bits == bitsPerPixel && l.masks.red == m.red && l.masks.green == m.green &&
            l.masks.blue == m.blue && l.masks.alpha == m.alpha)
            return l.format;
    }
    return D3DFMT_UNKNOWN;
}

bool MaskedPixelConverter::setUpChannel(uint32_t mask, unsigned bitsPerPixel, Channel& channel)
{
    channel = Channel{};
    if (mask == 0)
        return true;
    if (bitsPerPixel < 32 && (mask >> bitsPerPixel) != 0)
        return false;
    const unsigned shift = static_cast<unsigned>(std::countr_zero(mask));
    const uint32_t run = mask >> shift;
    if ((run & (run + 1)) != 0) // not one contiguous run of ones
        return false;
    channel = {mask, shift, run};
    return true;
}

bool MaskedPixelConverter::setUp(unsigned bitsPerPixel, const ChannelMasks& masks)
{
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return false;
    bytesPerPixel_ = bitsPerPixel / 8;
    return setUpChannel(masks.red, bitsPerPixel, red_) && setUpChannel(masks.green, bitsPerPixel, green_) &&
           setUpChannel(masks.blue, bitsPerPixel, blue_) && setUpChannel(masks.alpha, bitsPerPixel, alpha_);
}

BYTE MaskedPixelConverter::scale(const Channel& c, uint32_t pixel, BYTE absent)
{
    if (c.maximum == 0)
        return absent;
    const uint64_t v = (pixel & c.mask) >> c.shift;
    return static_cast<BYTE>((v * 255 + c.maximum / 2) / c.maximum);
}

void MaskedPixelConverter::convertRow(const BYTE* source, size_t width, BYTE* out) const
{
    for (size_t x = 0; x < width; ++x, source += bytesPerPixel_, out += 4) {
        uint32_t pixel = source[0] | (source[1] << 8);
        if (bytesPerPixel_ >= 3)
            pixel |= uint32_t{source[2]} << 16;
        if (bytesPerPixel_ == 4)
            pixel |= uint32_t{source[3]} << 24;
        out[0] = scale(blue_, pixel, 0);
        out[1] = scale(green_, pixel, 0);
        out[2] = scale(red_, pixel, 0);
        out[3] = scale(alpha_, pixel, 255);
    }
}
