#include "tga_decoder.h"

#include <algorithm>

namespace makedata {

namespace {

struct Cursor {
    std::span<const uint8_t> bytes;
    size_t at = 0;

    bool has(size_t n) const { return bytes.size() - at >= n; }
    int word(size_t offset) const { return bytes[offset] | (bytes[offset + 1] << 8); }
};

bool fail(std::string* error, const char* reason)
{
    if (error) {
        *error = reason;
    }
    return false;
}

Rgba pixelFrom(const uint8_t* p, int pixelBits, const std::vector<Rgba>& palette)
{
    switch (pixelBits) {
    case 8:
        return palette.empty() ? Rgba{p[0], p[0], p[0], 255} : palette[p[0]];
    case 24:
        return {p[2], p[1], p[0], 255};
    default:
        return {p[2], p[1], p[0], p[3]};
    }
}

bool readPalette(Cursor& in, int length, int entryBits, std::vector<Rgba>& palette, std::string* error)
{
    if (entryBits != 24 && entryBits != 32) {
        return fail(error, "unsupported colour-map entry size");
    }
    const size_t entryBytes = size_t(entryBits / 8);
    if (length > 256 || !in.has(size_t(length) * entryBytes)) {
        return fail(error, "colour map too long or truncated");
    }
    palette.assign(256, Rgba{0, 0, 0, 255});
    for (int i = 0; i < length; ++i) {
        const uint8_t* p = &in.bytes[in.at + size_t(i) * entryBytes];
        palette[size_t(i)] = pixelFrom(p, entryBits, {});
    }
    in.at += size_t(length) * entryBytes;
    return true;
}

// Decodes width x height pixels in stored order into `stored`; run-length packets may cross rows.
bool readPixels(Cursor& in, bool runLength, int pixelBits, const std::vector<Rgba>& palette, std::vector<Rgba>& stored,
                std::string* error)
{
    const size_t bytesPerPixel = size_t(pixelBits / 8);
    size_t produced = 0;
    while (produced < stored.size()) {
        size_t count = stored.size() - produced;
        bool repeat = false;
        if (runLength) {
            if (!in.has(1)) {
                return fail(error, "truncated packet header");
            }
            const uint8_t h = in.bytes[in.at++];
            count = std::min<size_t>((h & 0x7F) + 1, stored.size() - produced);
            repeat = (h & 0x80) != 0;
        }
        const size_t need = repeat ? bytesPerPixel : count * bytesPerPixel;
        if (!in.has(need)) {
            return fail(error, "truncated pixel data");
        }
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = &in.bytes[in.at + (repeat ? 0 : i * bytesPerPixel)];
            stored[produced + i] = pixelFrom(p, pixelBits, palette);
        }
        in.at += need;
        produced += count;
    }
    return true;
}

}  // namespace

std::optional<Image> decodeTga(std::span<const uint8_t> bytes, std::string* error)
{
    Cursor in{bytes};
    if (!in.has(18)) {
        fail(error, "shorter than a Targa header");
        return std::nullopt;
    }
    const int idLength = bytes[0];
    const int colourMapType = bytes[1];
    const int imageType = bytes[2];
    const int mapLength = in.word(5);
    const int mapEntryBits = bytes[7];
    const int width = in.word(12);
    const int height = in.word(14);
    const int pixelBits = bytes[16];
    const int descriptor = bytes[17];
    const int kind = imageType & 0x07;
    const bool runLength = (imageType & 0x08) != 0;
    const bool bitsOk = (kind == 2 && (pixelBits == 24 || pixelBits == 32)) || (kind != 2 && pixelBits == 8);
    if ((imageType & ~0x0B) != 0 || kind == 0 || colourMapType > 1 || (kind == 1) != (colourMapType == 1) ||
        width == 0 || height == 0 || !bitsOk) {
        fail(error, "unsupported Targa flavour");
        return std::nullopt;
    }
    in.at = 18;
    if (!in.has(size_t(idLength))) {
        fail(error, "truncated image ID");
        return std::nullopt;
    }
    in.at += size_t(idLength);
    std::vector<Rgba> palette;
    if (colourMapType == 1 && !readPalette(in, mapLength, mapEntryBits, palette, error)) {
        return std::nullopt;
    }
    std::vector<Rgba> stored(size_t(width) * size_t(height));
    if (!readPixels(in, runLength, pixelBits, palette, stored, error)) {
        return std::nullopt;
    }
    Image image(width, height);
    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        for (int col = 0; col < width; ++col) {
            const int x = rightToLeft ? width - 1 - col : col;
            image.at(x, y) = stored[size_t(row) * size_t(width) + size_t(col)];
        }
    }
    return image;
}

}  // namespace makedata
