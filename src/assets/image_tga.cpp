// Truevision TGA: colour-mapped, true-colour and greyscale images, raw or run-length encoded,
// in any of the four orientations. A raw top-down left-to-right file is used in place.
#include "image_reader.h"

namespace {

struct TgaHeader {
    BYTE idLength;
    BYTE colourMapType;
    BYTE imageType;
    UINT colourMapFirst;
    UINT colourMapLength;
    BYTE colourMapBits;
    UINT width;
    UINT height;
    BYTE pixelBits;
    BYTE descriptor;
};

constexpr size_t tgaHeaderSize = 18;
constexpr BYTE tgaRunLength = 0x08;
constexpr BYTE tgaTopDown = 0x20;
constexpr BYTE tgaRightToLeft = 0x10;

TgaHeader parseTgaHeader(const BYTE* b)
{
    TgaHeader h;
    h.idLength = b[0];
    h.colourMapType = b[1];
    h.imageType = b[2];
    h.colourMapFirst = readLe16(b + 3);
    h.colourMapLength = readLe16(b + 5);
    h.colourMapBits = b[7];
    // b[8..11]: x and y origin, not used.
    h.width = readLe16(b + 12);
    h.height = readLe16(b + 14);
    h.pixelBits = b[16];
    h.descriptor = b[17];
    return h;
}

// The image format for the image type's low two bits and the pixel bits; UNKNOWN refuses.
D3DFORMAT tgaImageFormat(const TgaHeader& h)
{
    switch (h.imageType & 3) {
    case 1:
        return h.colourMapType == 1 && h.pixelBits == 8 ? D3DFMT_P8 : D3DFMT_UNKNOWN;
    case 2:
        switch (h.pixelBits) {
        case 15: return D3DFMT_X1R5G5B5;
        case 16: return D3DFMT_A1R5G5B5;
        case 24: return D3DFMT_R8G8B8;
        case 32: return D3DFMT_A8R8G8B8;
        default: return D3DFMT_UNKNOWN;
        }
    case 3:
        return h.pixelBits == 8 ? D3DFMT_L8 : D3DFMT_UNKNOWN;
    default:
        return D3DFMT_UNKNOWN;
    }
}

bool tgaHeaderAcceptable(const TgaHeader& h)
{
    if (h.colourMapType > 1 || (h.imageType & ~0x0B) != 0 || h.width == 0 || h.height == 0)
        return false;
    if (h.colourMapType == 1) {
        const BYTE bits = h.colourMapBits;
        if (bits != 15 && bits != 16 && bits != 24 && bits != 32)
            return false;
    }
    return tgaImageFormat(h) != D3DFMT_UNKNOWN && imageSizeAcceptable(h.width, h.height);
}

// 5-bit channel widened to 8 bits so that 31 becomes 255 and 0 stays 0.
BYTE widen5(unsigned v)
{
    return static_cast<BYTE>((v << 3) | (v >> 2));
}

PALETTEENTRY tgaPaletteEntry(const BYTE* e, BYTE bits)
{
    switch (bits) {
    case 24: return {e[2], e[1], e[0], 255};
    case 32: return {e[2], e[1], e[0], e[3]};
    default: {
        const unsigned w = readLe16(e);
        const BYTE alpha = bits == 15 || (w & 0x8000) ? 255 : 0;
        return {widen5((w >> 10) & 31), widen5((w >> 5) & 31), widen5(w & 31), alpha};
    }
    }
}

bool readTgaPalette(const TgaHeader& h, const BYTE* colourMap, DecodedImage& image)
{
    if (h.colourMapFirst + h.colourMapLength > 256)
        return false;
    PALETTEENTRY* palette = allocateImagePalette(image);
    if (!palette)
        return false;
    const size_t entryBytes = (h.colourMapBits + 7) / 8;
    for (UINT i = 0; i < h.colourMapLength; ++i)
        palette[h.colourMapFirst + i] = tgaPaletteEntry(colourMap + i * entryBytes, h.colourMapBits);
    return true;
}

// Places pixels in stored order (stored row by stored row, each row in stored column order)
// into a top-first, left-to-right buffer. Pixels beyond the last one of the image are dropped,
// so a run-length packet that passes the end of a row simply continues on the next row.
class TgaPixelSink {
public:
    TgaPixelSink(BYTE* buffer, const TgaHeader& h, size_t bytesPerPixel)
        : buffer_(buffer), width_(h.width), height_(h.height), bpp_(bytesPerPixel),
          topDown_(h.descriptor & tgaTopDown), rightToLeft_(h.descriptor & tgaRightToLeft)
    {
        startRow();
    }

    bool full() const { return row_ == height_; }

    // `count` pixels copied from consecutive stored pixels at `source`.
    void literal(const BYTE* source, size_t count)
    {
        while (count > 0 && !full()) {
            const size_t n = spanLength(count);
            if (!rightToLeft_) {
                std::memcpy(pixel(column_), source, n * bpp_);
            } else {
                for (size_t i = 0; i < n; ++i)
                    std::memcpy(pixel(column_ + i), source + i * bpp_, bpp_);
            }
            source += n * bpp_;
            advance(n, count);
        }
    }

    // `count` copies of the one pixel at `source`. The copies of one row are alike, so they
    // fill one contiguous span whichever way the row is stored.
    void repeat(const BYTE* source, size_t count)
    {
        while (count > 0 && !full()) {
            const size_t n = spanLength(count);
            fill(rightToLeft_ ? pixel(column_ + n - 1) : pixel(column_), source, n);
            advance(n, count);
        }
    }

private:
    size_t spanLength(size_t count) const { return count < width_ - column_ ? count : width_ - column_; }

    // Where the pixel at stored column `column` of the current stored row goes.
    BYTE* pixel(size_t column) const { return rowStart_ + (rightToLeft_ ? width_ - 1 - column : column) * bpp_; }

    void fill(BYTE* out, const BYTE* source, size_t n) const
    {
        switch (bpp_) {
        case 1:
            std::memset(out, source[0], n);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i, out += 3) {
                out[0] = source[0];
                out[1] = source[1];
                out[2] = source[2];
            }
            break;
        default:
            for (size_t i = 0; i < n; ++i, out += bpp_)
                std::memcpy(out, source, bpp_);
            break;
        }
    }

    void advance(size_t n, size_t& count)
    {
        count -= n;
        column_ += n;
        if (column_ == width_) {
            ++row_;
            column_ = 0;
            if (!full())
                startRow();
        }
    }

    void startRow()
    {
        const size_t destRow = topDown_ ? row_ : height_ - 1 - row_;
        rowStart_ = buffer_ + destRow * width_ * bpp_;
    }

    BYTE* buffer_;
    size_t width_;
    size_t height_;
    size_t bpp_;
    bool topDown_;
    bool rightToLeft_;
    size_t row_ = 0;
    size_t column_ = 0;
    BYTE* rowStart_ = nullptr;
};

bool decodeTgaRunLength(ByteCursor& data, TgaPixelSink& sink, size_t bytesPerPixel)
{
    while (!sink.full()) {
        const BYTE h = data.u8();
        const size_t count = (h & 0x7F) + 1;
        const BYTE* source = data.take(h & 0x80 ? bytesPerPixel : count * bytesPerPixel);
        if (data.overrun())
            return false;
        if (h & 0x80)
            sink.repeat(source, count);
        else
            sink.literal(source, count);
    }
    return true;
}

// Smallest run-length stream that could cover `pixels` pixels: 128 per packet, each packet at
// least a header and one pixel. Lets a short file be refused before a large buffer is taken.
size_t minimumRunLengthBytes(size_t pixels, size_t bytesPerPixel)
{
    return (pixels + 127) / 128 * (1 + bytesPerPixel);
}

} // namespace

bool readTga(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    if (bytes == nullptr || size < tgaHeaderSize)
        return false;
    const TgaHeader h = parseTgaHeader(bytes);
    if (!tgaHeaderAcceptable(h))
        return false;

    ByteCursor data(bytes, size);
    data.skip(tgaHeaderSize);
    if (!data.skip(h.idLength))
        return false;
    const BYTE* colourMap = nullptr;
    if (h.colourMapType == 1) {
        colourMap = data.take(size_t{h.colourMapLength} * ((h.colourMapBits + 7) / 8));
        if (data.overrun())
            return false;
    }

    DecodedImage result;
    result.format = tgaImageFormat(h);
    if (result.format == D3DFMT_P8 && !readTgaPalette(h, colourMap, result))
        return false;

    const size_t bytesPerPixel = (h.pixelBits + 7) / 8;
    const size_t pixelCount = size_t{h.width} * h.height;
    result.width = h.width;
    result.height = h.height;
    result.pitch = static_cast<UINT>(bytesPerPixel * h.width);

    const bool runLength = h.imageType & tgaRunLength;
    if (!runLength && data.remaining() < pixelCount * bytesPerPixel)
        return false;
    if (runLength && data.remaining() < minimumRunLengthBytes(pixelCount, bytesPerPixel))
        return false;

    if (!runLength && (h.descriptor & tgaTopDown) && !(h.descriptor & tgaRightToLeft)) {
        result.pixels = data.position();
        result.ownsPixels = false;
        image = std::move(result);
        return true;
    }

    BYTE* buffer = allocateImagePixels(result, result.pitch, h.height);
    if (!buffer)
        return false;
    TgaPixelSink sink(buffer, h, bytesPerPixel);
    if (runLength) {
        if (!decodeTgaRunLength(data, sink, bytesPerPixel))
            return false;
    } else {
        sink.literal(data.position(), pixelCount);
    }
    image = std::move(result);
    return true;
}
