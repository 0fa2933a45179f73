// A small Targa decoder for checking and showing our own output (contact sheet, tests). It reads the
// flavours the writer produces: true colour 24/32-bit, 8-bit colour-mapped and greyscale, raw or
// run-length encoded, in either row order.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image.h"

namespace makedata {

// Refuses truncated or unsupported data with a reason in *error; never reads outside `bytes`.
std::optional<Image> decodeTga(std::span<const uint8_t> bytes, std::string* error);

}  // namespace makedata
