// One PNG showing the whole set for review: every picture and glyph (decoded back from the encoded
// files), text set the way the show's writer sets it, the title frame as the show composes it, and
// previews of the models lit the way the show lights them.
#pragma once

#include <string>
#include <vector>

#include "dataset.h"

namespace makedata {

bool writeContactSheet(const std::vector<BuiltFile>& files, const std::string& path, std::string* error);

// One line describing an encoded file's format, e.g. "TGA 32-bit RLE bottom-up" or "JPEG".
std::string describeEncoding(const BuiltFile& file);

}  // namespace makedata
