// Windows BMP files and headerless DIB data: 1, 4 and 8 bits through a palette (to D3DFMT_P8),
// RLE8 and RLE4, 16, 24 and 32 bits with or without bit-field masks, bottom-up or top-down.
#include "image_reader.h"

#include <limits>

namespace {

constexpr uint32_t biRgb = 0;
constexpr uint32_t biRle8 = 1;
constexpr uint32_t biRle4 = 2;
constexpr uint32_t biBitfields = 3;
constexpr uint32_t biAlphaBitfields = 6;

constexpr size_t bmpFileHeaderSize = 14;

struct DibInfo {
    uint32_t headerSize = 0;
    UINT width = 0;
    UINT height = 0;
    bool topDown = false;
    unsigned bitCount = 0;
    uint32_t compression = biRgb;
    uint32_t coloursUsed = 0;
    ChannelMasks masks;
    size_t paletteEntryBytes = 4;
};

bool isKnownHeaderSize(uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// BITMAPCOREHEADER: 16-bit sizes, no compression, three-byte palette entries.
bool parseCoreHeader(ByteCursor& c, DibInfo& d)
{
    d.width = c.le16();
    d.height = c.le16();
    const uint16_t planes = c.le16();
    d.bitCount = c.le16();
    d.paletteEntryBytes = 3;
    return !c.overrun() && planes == 1 &&
           (d.bitCount == 1 || d.bitCount == 4 || d.bitCount == 8 || d.bitCount == 24);
}

// BITMAPINFOHEADER and its longer successors, with the masks that follow or belong to them.
bool parseInfoHeader(ByteCursor& c, size_t headerStart, DibInfo& d)
{
    const int32_t width = static_cast<int32_t>(c.le32());
    const int32_t height = static_cast<int32_t>(c.le32());
    const uint16_t planes = c.le16();
    d.bitCount = c.le16();
    d.compression = c.le32();
    c.skip(12); // image size, resolution
    d.coloursUsed = c.le32();
    c.skip(4); // important colours
    if (d.headerSize >= 52) {
        d.masks.red = c.le32();
        d.masks.green = c.le32();
        d.masks.blue = c.le32();
    }
    if (d.headerSize >= 56)
        d.masks.alpha = c.le32();
    c.seek(headerStart + d.headerSize);
    if (d.headerSize == 40 && (d.compression == biBitfields || d.compression == biAlphaBitfields)) {
        d.masks.red = c.le32();
        d.masks.green = c.le32();
        d.masks.blue = c.le32();
        if (d.compression == biAlphaBitfields)
            d.masks.alpha = c.le32();
    }
    if (c.overrun() || planes != 1 || width <= 0 || height == 0 || height == std::numeric_limits<int32_t>::min())
        return false;
    d.width = static_cast<UINT>(width);
    d.topDown = height < 0;
    d.height = static_cast<UINT>(height < 0 ? -height : height);
    if (d.compression != biBitfields && d.compression != biAlphaBitfields)
        d.masks = ChannelMasks{};
    return true;
}

bool compressionFitsBitCount(const DibInfo& d)
{
    switch (d.compression) {
    case biRgb:
        return d.bitCount == 1 || d.bitCount == 4 || d.bitCount == 8 || d.bitCount == 16 || d.bitCount == 24 ||
               d.bitCount == 32;
    case biRle8: return d.bitCount == 8 && !d.topDown;
    case biRle4: return d.bitCount == 4 && !d.topDown;
    case biBitfields:
    case biAlphaBitfields: return d.bitCount == 16 || d.bitCount == 24 || d.bitCount == 32;
    default: return false;
    }
}

bool parseDibHeader(ByteCursor& c, DibInfo& d)
{
    const size_t start = c.offset();
    d.headerSize = c.le32();
    bool parsed = false;
    if (d.headerSize == 12)
        parsed = parseCoreHeader(c, d);
    else if (isKnownHeaderSize(d.headerSize))
        parsed = parseInfoHeader(c, start, d);
    return parsed && compressionFitsBitCount(d) && imageSizeAcceptable(d.width, d.height);
}

// The colour table: read into the image's palette for palette formats, skipped otherwise.
bool readDibPalette(ByteCursor& c, const DibInfo& d, DecodedImage& image)
{
    if (d.bitCount > 8)
        return c.skip(size_t{d.coloursUsed} * d.paletteEntryBytes);
    const size_t count = d.coloursUsed != 0 ? d.coloursUsed : size_t{1} << d.bitCount;
    if (count > 256)
        return false;
    const BYTE* table = c.take(count * d.paletteEntryBytes);
    PALETTEENTRY* palette = table ? allocateImagePalette(image) : nullptr;
    if (!palette)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const BYTE* e = table + i * d.paletteEntryBytes;
        palette[i] = {e[2], e[1], e[0], 255}; // stored blue, green, red (, reserved)
    }
    return true;
}

// Palette indices of one stored row widened to one byte each.
void unpackIndices(const BYTE* source, unsigned bitCount, size_t width, BYTE* out)
{
    if (bitCount == 8) {
        std::memcpy(out, source, width);
        return;
    }
    const unsigned perByte = 8 / bitCount;
    const unsigned mask = (1u << bitCount) - 1;
    for (size_t x = 0; x < width; ++x) {
        const unsigned slot = static_cast<unsigned>(x % perByte);
        out[x] = static_cast<BYTE>((source[x / perByte] >> (8 - bitCount * (slot + 1))) & mask);
    }
}

// What an uncompressed DIB becomes, and how each row gets there.
struct RowPlan {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    size_t outputBytesPerPixel = 0;
    bool unpackIndices = false;
    bool convertMasks = false;
    MaskedPixelConverter converter;
};

bool planRows(const DibInfo& d, RowPlan& plan)
{
    if (d.bitCount <= 8) {
        plan.format = D3DFMT_P8;
        plan.outputBytesPerPixel = 1;
        plan.unpackIndices = true;
        return true;
    }
    if (d.compression == biRgb) {
        plan.format = d.bitCount == 16 ? D3DFMT_X1R5G5B5 : d.bitCount == 24 ? D3DFMT_R8G8B8 : D3DFMT_X8R8G8B8;
        plan.outputBytesPerPixel = d.bitCount / 8;
        return true;
    }
    plan.format = formatForMasks(d.bitCount, d.masks);
    if (plan.format != D3DFMT_UNKNOWN) {
        plan.outputBytesPerPixel = d.bitCount / 8;
        return true;
    }
    plan.format = d.masks.alpha != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    plan.outputBytesPerPixel = 4;
    plan.convertMasks = true;
    return plan.converter.setUp(d.bitCount, d.masks);
}

bool readUncompressedRows(const BYTE* data, size_t available, const DibInfo& d, DecodedImage& image)
{
    RowPlan plan;
    if (!planRows(d, plan))
        return false;
    const size_t stride = (size_t{d.width} * d.bitCount + 31) / 32 * 4;
    const size_t lastRowBytes = (size_t{d.width} * d.bitCount + 7) / 8;
    if (available < stride * (d.height - 1) + lastRowBytes)
        return false;

    const size_t pitch = plan.outputBytesPerPixel * d.width;
    BYTE* out = allocateImagePixels(image, pitch, d.height);
    if (!out)
        return false;
    image.format = plan.format;
    image.pitch = static_cast<UINT>(pitch);
    for (size_t stored = 0; stored < d.height; ++stored) {
        const BYTE* source = data + stored * stride;
        BYTE* row = out + (d.topDown ? stored : d.height - 1 - stored) * pitch;
        if (plan.unpackIndices)
            unpackIndices(source, d.bitCount, d.width, row);
        else if (plan.convertMasks)
            plan.converter.convertRow(source, d.width, row);
        else
            std::memcpy(row, source, pitch);
    }
    return true;
}

// RLE8 / RLE4 into a zeroed index buffer, bottom row first. Pixels that fall outside the image
// (runs past the row end, deltas past the edge) are dropped; data running out before the
// end-of-bitmap mark or the last row refuses.
bool decodeDibRunLength(ByteCursor& c, const DibInfo& d, BYTE* out)
{
    const bool fourBit = d.compression == biRle4;
    size_t x = 0;
    size_t y = 0; // stored row, from the bottom
    auto put = [&](BYTE index) {
        if (x < d.width && y < d.height)
            out[(d.height - 1 - y) * d.width + x] = index;
        ++x;
    };
    while (y < d.height) {
        const BYTE count = c.u8();
        const BYTE value = c.u8();
        if (c.overrun())
            return false;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                put(fourBit ? (i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return true;
        } else if (value == 2) { // delta
            x += c.u8();
            y += c.u8();
            if (c.overrun())
                return false;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = fourBit ? (value + 1) / 2 : value;
            const BYTE* run = c.take(bytes + (bytes & 1));
            if (!run)
                return false;
            for (unsigned i = 0; i < value; ++i)
                put(fourBit ? (i & 1 ? run[i / 2] & 15 : run[i / 2] >> 4) : run[i]);
        }
    }
    return true;
}

bool readRunLengthRows(const BYTE* data, size_t available, const DibInfo& d, DecodedImage& image)
{
    BYTE* out = allocateImagePixels(image, d.width, d.height);
    if (!out)
        return false;
    std::memset(out, 0, size_t{d.width} * d.height);
    image.format = D3DFMT_P8;
    image.pitch = d.width;
    ByteCursor c(data, available);
    return decodeDibRunLength(c, d, out);
}

// A DIB at `bytes`; `pixelOffset` (from the DIB's start) places the pixel data when known,
// otherwise it follows the colour table.
bool readDibAt(const BYTE* bytes, size_t size, size_t pixelOffset, bool pixelOffsetKnown, DecodedImage& image)
{
    ByteCursor c(bytes, size);
    DibInfo d;
    if (!parseDibHeader(c, d))
        return false;
    DecodedImage result;
    if (!readDibPalette(c, d, result))
        return false;
    if (!pixelOffsetKnown)
        pixelOffset = c.offset();
    if (pixelOffset > size)
        return false;

    result.width = d.width;
    result.height = d.height;
    const BYTE* data = bytes + pixelOffset;
    const size_t available = size - pixelOffset;
    const bool runLength = d.compression == biRle8 || d.compression == biRle4;
    if (!(runLength ? readRunLengthRows(data, available, d, result) : readUncompressedRows(data, available, d, result)))
        return false;
    image = std::move(result);
    return true;
}

} // namespace

bool readBmp(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    if (bytes == nullptr || size < bmpFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    if (readLe32(bytes + 2) > size)
        return false;
    // The pixel offset counts from the start of the file; a zero or impossible one is taken as
    // missing and the pixels are looked for right after the colour table.
    const uint32_t offset = readLe32(bytes + 10);
    const bool offsetKnown = offset > bmpFileHeaderSize;
    return readDibAt(bytes + bmpFileHeaderSize, size - bmpFileHeaderSize,
                     offsetKnown ? offset - bmpFileHeaderSize : 0, offsetKnown, image);
}

bool readDib(const BYTE* bytes, size_t size, DecodedImage& image)
{
    image.reset();
    if (bytes == nullptr)
        return false;
    return readDibAt(bytes, size, 0, false, image);
}
