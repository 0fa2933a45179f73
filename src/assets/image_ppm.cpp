// Netpbm pixmaps, plain (P3) and raw (P6), maxval up to 65535, to D3DFMT_X8R8G8B8 with each
// sample scaled from 0..maxval to 0..255.
#include "image_reader.h"

namespace {

bool isPpmSpace(BYTE b)
{
    return b == ' ' || b == '\t' || b == '\n' || b == '\r' || b == '\v' || b == '\f';
}

// Skips white space and '#' comments (to the end of their line).
void skipPpmSpace(ByteCursor& c)
{
    while (c.remaining() > 0) {
        const BYTE b = *c.position();
        if (b == '#') {
            while (c.remaining() > 0 && *c.position() != '\n' && *c.position() != '\r')
                c.u8();
        } else if (isPpmSpace(b)) {
            c.u8();
        } else {
            return;
        }
    }
}

// An unsigned decimal after optional white space; false when there is none or it exceeds `limit`.
bool readPpmNumber(ByteCursor& c, uint32_t limit, uint32_t& value)
{
    skipPpmSpace(c);
    value = 0;
    size_t digits = 0;
    while (c.remaining() > 0 && *c.position() >= '0' && *c.position() <= '9') {
        value = value * 10 + (c.u8() - '0');
        if (value > limit)
            return false;
        ++digits;
    }
    return digits > 0;
}

struct PpmHeader {
    bool plain = false;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxval = 0;
};

bool readPpmHeader(ByteCursor& c, PpmHeader& h)
{
    if (c.u8() != 'P')
        return false;
    const BYTE kind = c.u8();
    if (kind != '3' && kind != '6')
        return false;
    h.plain = kind == '3';
    if (c.remaining() == 0 || !isPpmSpace(*c.position()))
        return false;
    if (!readPpmNumber(c, maxImageSide, h.width) || !readPpmNumber(c, maxImageSide, h.height) ||
        !readPpmNumber(c, 65535, h.maxval))
        return false;
    // Exactly one white-space byte separates the raw header from the samples.
    return h.maxval != 0 && isPpmSpace(c.u8()) && !c.overrun() && imageSizeAcceptable(h.width, h.height);
}

BYTE scaleSample(uint32_t v, uint32_t maxval)
{
    return static_cast<BYTE>((v * 255 + maxval / 2) / maxval);
}

bool readRawSamples(ByteCursor& c, const PpmHeader& h, BYTE* out)
{
    const size_t sampleBytes = h.maxval > 255 ? 2 : 1;
    const size_t pixels = size_t{h.width} * h.height;
    const BYTE* data = c.take(pixels * 3 * sampleBytes);
    if (!data)
        return false;
    for (size_t i = 0; i < pixels; ++i, out += 4) {
        uint32_t rgb[3];
        for (uint32_t& sample : rgb) {
            sample = sampleBytes == 2 ? uint32_t(data[0] << 8 | data[1]) : data[0]; // big-endian
            data += sampleBytes;
            if (sample > h.maxval)
                return false;
        }
        out[0] = scaleSample(rgb[2], h.maxval);
        out[1] = scaleSample(rgb[1], h.maxval);
        out[2] = scaleSample(rgb[0], h.maxval);
        out[3] = 255;
    }
    return true;
}

bool readPlainSamples(ByteCursor& c, const PpmHeader& h, BYTE* out)
{
    const size_t pixels = size_t{h.width} * h.height;
    for (size_t i = 0; i < pixels; ++i, out += 4) {
        uint32_t r, g, b;
        if (!readPpmNumber(c, h.maxval, r) || !readPpmNumber(c, h.maxval, g) || !readPpmNumber(c, h.maxval, b))
            return false;
        out[0] = scaleSample(b, h.maxval);
        out[1] = scaleSample(g, h.maxval);
        out[2] = scaleSample(r, h.maxval);
        out[3] = 255;
    }
    return true;
}

} // namespace

bool readPpm(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    if (bytes == nullptr)
        return false;
    ByteCursor c(bytes, size);
    PpmHeader h;
    if (!readPpmHeader(c, h))
        return false;
    // A plain pixel takes at least five bytes ("0 0 0" and a separator), a raw one three or
    // six; a file too short for its size is refused before the buffer is taken.
    const size_t minimumBytes = size_t{h.width} * h.height * (h.plain ? 5 : h.maxval > 255 ? 6 : 3);
    if (c.remaining() < minimumBytes)
        return false;

    DecodedImage result;
    BYTE* out = allocateImagePixels(result, size_t{h.width} * 4, h.height);
    if (!out || !(h.plain ? readPlainSamples(c, h, out) : readRawSamples(c, h, out)))
        return false;
    result.format = D3DFMT_X8R8G8B8;
    result.width = h.width;
    result.height = h.height;
    result.pitch = h.width * 4;
    image = std::move(result);
    return true;
}
