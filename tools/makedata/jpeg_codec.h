// JPEG through libjpeg: encoding for the show's .jpg pictures, decoding for checking and showing them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image.h"

namespace makedata {

// Baseline JPEG, 4:4:4, integer DCT: the bytes depend only on the picture and the quality. Alpha is dropped.
std::vector<uint8_t> encodeJpeg(const Image& image, int quality);

// Decodes to opaque RGBA; refuses corrupt data with libjpeg's message in *error.
std::optional<Image> decodeJpeg(std::span<const uint8_t> bytes, std::string* error);

}  // namespace makedata
