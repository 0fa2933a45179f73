// Bit-mask pixel layouts shared by the BMP/DIB and DDS readers.
#include "image_reader.h"

#include <bit>

namespace {

uint32_t channelMask(const pixelformat::FormatInfo& f, int channel)
{
    const unsigned width = f.widths[channel];
    if (width == 0)
        return 0;
    const uint32_t ones = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    return ones << f.shifts[channel];
}

} // namespace

D3DFORMAT formatForMasks(unsigned bitsPerPixel, const ChannelMasks& m, int formatClass)
{
    using namespace pixelformat;
    for (const FormatInfo& f : formatTable()) {
        if (f.formatClass != formatClass || f.blockCompressed || f.format == D3DFMT_UYVY || f.format == D3DFMT_YUY2 ||
            f.bitsPerPixel != static_cast<int>(bitsPerPixel))
            continue;
        if (channelMask(f, ChannelRed) != m.red || channelMask(f, ChannelAlpha) != m.alpha)
            continue;
        // Luminance rows describe their one channel as equal red, green and blue.
        if (formatClass == ClassLuminance ||
            (channelMask(f, ChannelGreen) == m.green && channelMask(f, ChannelBlue) == m.blue))
            return f.format;
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
