// Shared by the image readers only: the bounds-checked byte cursor, little-endian field
// helpers, size checks and pixel buffer allocation.
#pragma once

#include "image.h"

#include <pixel_formats.h>

#include <cstdint>
#include <cstring>

// Little-endian fields at a known-valid offset (the caller has checked the length).
inline uint16_t readLe16(const BYTE* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t readLe32(const BYTE* p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// A read position over [begin, end). Reads past the end return 0 and set `overrun`, so a
// parser may read a whole header and test once; take() hands out whole spans or nothing.
class ByteCursor {
public:
    ByteCursor(const BYTE* bytes, size_t size) : begin_(bytes), at_(bytes), end_(bytes + size) {}

    size_t remaining() const { return static_cast<size_t>(end_ - at_); }
    size_t offset() const { return static_cast<size_t>(at_ - begin_); }
    bool overrun() const { return overrun_; }
    const BYTE* position() const { return at_; }

    BYTE u8()
    {
        if (at_ == end_) {
            overrun_ = true;
            return 0;
        }
        return *at_++;
    }

    uint16_t le16()
    {
        const BYTE* p = take(2);
        return p ? readLe16(p) : 0;
    }

    uint32_t le32()
    {
        const BYTE* p = take(4);
        return p ? readLe32(p) : 0;
    }

    // The next n bytes, or null (and overrun) when fewer remain.
    const BYTE* take(size_t n)
    {
        if (n > remaining()) {
            overrun_ = true;
            at_ = end_;
            return nullptr;
        }
        const BYTE* p = at_;
        at_ += n;
        return p;
    }

    bool skip(size_t n) { return take(n) != nullptr || n == 0; }

    // Moves to an absolute offset from the start; false (and overrun) past the end.
    bool seek(size_t offset)
    {
        if (offset > static_cast<size_t>(end_ - begin_)) {
            overrun_ = true;
            at_ = end_;
            return false;
        }
        at_ = begin_ + offset;
        return true;
    }

private:
    const BYTE* begin_;
    const BYTE* at_;
    const BYTE* end_;
    bool overrun_ = false;
};

// a × b, false when it does not fit in size_t.
inline bool checkedMultiply(size_t a, size_t b, size_t& product)
{
    return !__builtin_mul_overflow(a, b, &product);
}

// Width and height both non-zero and within the readers' limits (maxImageSide, maxImagePixels).
inline bool imageSizeAcceptable(uint64_t width, uint64_t height)
{
    return width != 0 && height != 0 && width <= maxImageSide && height <= maxImageSide &&
           width * height <= maxImagePixels;
}

// Allocates an owned pixel buffer of height rows of pitch bytes for `image` (uninitialised).
// Null when out of memory; the image keeps nothing then.
BYTE* allocateImagePixels(DecodedImage& image, size_t pitch, size_t height);

// An owned 256-entry palette with every byte 255, which readers fill from their colour maps.
PALETTEENTRY* allocateImagePalette(DecodedImage& image);

// ---------------------------------------------------------------------------------------------
// Pixels described by bit masks (BMP bit fields, uncompressed DDS)
// ---------------------------------------------------------------------------------------------

struct ChannelMasks {
    uint32_t red = 0;
    uint32_t green = 0;
    uint32_t blue = 0;
    uint32_t alpha = 0;
};

// The Direct3D format of the given class (pixelformat::ClassColour or ClassLuminance, whose
// one channel is given as the red mask) whose layout is exactly these masks at this many bits
// per pixel, so the rows can be delivered as stored; D3DFMT_UNKNOWN when there is none.
D3DFORMAT formatForMasks(unsigned bitsPerPixel, const ChannelMasks& masks,
                         int formatClass = pixelformat::ClassColour);

// Converts rows of 16-, 24- or 32-bit little-endian pixels with arbitrary contiguous masks to
// A8R8G8B8 words (alpha 255 where there is no alpha mask). Each channel is scaled from its
// width to 8 bits, rounded to nearest.
class MaskedPixelConverter {
public:
    // False when a mask is not one contiguous run of bits or lies outside the pixel.
    bool setUp(unsigned bitsPerPixel, const ChannelMasks& masks);
    void convertRow(const BYTE* source, size_t width, BYTE* out) const;

private:
    struct Channel {
        uint32_t mask = 0;
        unsigned shift = 0;
        uint32_t maximum = 0; // mask >> shift; 0 when the channel is absent
    };
    static bool setUpChannel(uint32_t mask, unsigned bitsPerPixel, Channel& channel);
    static BYTE scale(const Channel& channel, uint32_t pixel, BYTE absent);

    unsigned bytesPerPixel_ = 0;
    Channel red_, green_, blue_, alpha_;
};
