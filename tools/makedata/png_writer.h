// PNG output through libpng, used for the contact sheet.
#pragma once

#include <string>

#include "image.h"

namespace makedata {

// Writes an 8-bit RGBA PNG; false with a reason in *error when the file cannot be written.
bool writePng(const std::string& path, const Image& image, std::string* error);

}  // namespace makedata
