// PNG stills of single frames, for thumbnails and for comparing with reference frames.
#pragma once

#include <cstdint>
#include <string>

// Writes X8R8G8B8 rows as an 8-bit RGB PNG. The file appears complete or not at all:
// it is written under a temporary name beside `path` and renamed at the end.
bool writePngStill(const std::string& path, const uint8_t* pixels, int width, int height, int pitchBytes,
                   std::string& error);
