#include "tga_writer.h"

#include <cstring>

namespace makedata {

namespace {

void putWord(std::vector<uint8_t>& out, int v)
{
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t((v >> 8) & 0xFF));
}

struct TgaHeader {
    int colourMapType = 0;
    int imageType = 2;
    int colourMapLength = 0;
    int colourMapEntryBits = 0;
    int width = 0;
    int height = 0;
    int pixelBits = 0;
    int descriptor = 0;
};

void putHeader(std::vector<uint8_t>& out, const TgaHeader& h)
{
    out.push_back(0);  // no image ID
    out.push_back(uint8_t(h.colourMapType));
    out.push_back(uint8_t(h.imageType));
    putWord(out, 0);  // first colour-map entry
    putWord(out, h.colourMapLength);
    out.push_back(uint8_t(h.colourMapEntryBits));
    putWord(out, 0);  // x origin
    putWord(out, 0);  // y origin
    putWord(out, h.width);
    putWord(out, h.height);
    out.push_back(uint8_t(h.pixelBits));
    out.push_back(uint8_t(h.descriptor));
}

// Pixels of one stored row, already in file byte order.
using StoredRow = std::vector<uint8_t>;

void putRaw(std::vector<uint8_t>& out, const StoredRow& row)
{
    out.insert(out.end(), row.begin(), row.end());
}

bool samePixel(const StoredRow& row, size_t a, size_t b, size_t bytesPerPixel)
{
    return std::memcmp(&row[a * bytesPerPixel], &row[b * bytesPerPixel], bytesPerPixel) == 0;
}

// Packets never cross a row end, so every decoder (strict or lenient about that) reads the same picture.
void putRunLength(std::vector<uint8_t>& out, const StoredRow& row, size_t bytesPerPixel)
{
    const size_t count = row.size() / bytesPerPixel;
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && samePixel(row, i, i + run, bytesPerPixel)) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), row.begin() + long(i * bytesPerPixel), row.begin() + long((i + 1) * bytesPerPixel));
            i += run;
            continue;
        }
        // Literal packet: runs on until two equal neighbours would start a repeat packet.
        size_t literal = 1;
        while (i + literal < count && literal < 128 &&
               !(i + literal + 1 < count && samePixel(row, i + literal, i + literal + 1, bytesPerPixel))) {
            ++literal;
        }
        out.push_back(uint8_t(literal - 1));
        out.insert(out.end(), row.begin() + long(i * bytesPerPixel), row.begin() + long((i + literal) * bytesPerPixel));
        i += literal;
    }
}

template <typename RowFn>
void putRows(std::vector<uint8_t>& out, int height, bool topDown, bool runLength, size_t bytesPerPixel, RowFn storedRow)
{
    for (int i = 0; i < height; ++i) {
        const int y = topDown ? i : height - 1 - i;
        const StoredRow row = storedRow(y);
        if (runLength) {
            putRunLength(out, row, bytesPerPixel);
        } else {
            putRaw(out, row);
        }
    }
}

}  // namespace

std::vector<uint8_t> encodeTga(const Image& image, TgaLayout layout)
{
    const bool alpha = layout.pixelBits == 32;
    const size_t bytesPerPixel = alpha ? 4 : 3;
    TgaHeader header;
    header.imageType = layout.runLength ? 10 : 2;
    header.width = image.width;
    header.height = image.height;
    header.pixelBits = alpha ? 32 : 24;
    header.descriptor = (alpha ? 8 : 0) | (layout.topDown ? 0x20 : 0);
    std::vector<uint8_t> out;
    putHeader(out, header);
    putRows(out, image.height, layout.topDown, layout.runLength, bytesPerPixel, [&](int y) {
        StoredRow row;
        row.reserve(size_t(image.width) * bytesPerPixel);
        for (int x = 0; x < image.width; ++x) {
            const Rgba p = image.at(x, y);
            row.push_back(p.b);
            row.push_back(p.g);
            row.push_back(p.r);
            if (alpha) {
                row.push_back(p.a);
            }
        }
        return row;
    });
    return out;
}

std::vector<uint8_t> encodeColourMappedTga(const IndexedImage& image, bool runLength, bool topDown)
{
    TgaHeader header;
    header.colourMapType = 1;
    header.imageType = runLength ? 9 : 1;
    header.colourMapLength = int(image.palette.size());
    header.colourMapEntryBits = 24;
    header.width = image.width;
    header.height = image.height;
    header.pixelBits = 8;
    header.descriptor = topDown ? 0x20 : 0;
    std::vector<uint8_t> out;
    putHeader(out, header);
    for (const Rgba& entry : image.palette) {
        out.push_back(entry.b);
        out.push_back(entry.g);
        out.push_back(entry.r);
    }
    putRows(out, image.height, topDown, runLength, 1, [&](int y) {
        const auto first = image.indices.begin() + long(y) * image.width;
        return StoredRow(first, first + image.width);
    });
    return out;
}

}  // namespace makedata
