// Targa encoders for the show's pictures and glyphs. The set deliberately mixes the Targa flavours
// (true colour and colour-mapped, raw and run-length encoded, both row orders) so that running the show
// exercises every path of its image reader.
#pragma once

#include <cstdint>
#include <vector>

#include "image.h"

namespace makedata {

struct TgaLayout {
    int pixelBits = 32;     // 24 (opaque) or 32 (with alpha)
    bool runLength = false;  // image type 10 instead of 2
    bool topDown = false;    // descriptor bit 5: first stored row is the top row
};

std::vector<uint8_t> encodeTga(const Image& image, TgaLayout layout);

// Image type 1 (or 9 when run-length encoded): 8-bit indices and a colour map of 24-bit entries.
// The palette must hold 1 to 256 entries, all taken as opaque.
std::vector<uint8_t> encodeColourMappedTga(const IndexedImage& image, bool runLength, bool topDown);

}  // namespace makedata
