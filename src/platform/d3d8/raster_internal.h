// Shared pieces of the rasteriser's stages.
#pragma once

#include "raster.h"

namespace raster {

struct FvfLayout {
    bool valid = false;
    bool pretransformed = false;  // XYZRHW
    int blendValues = 0;          // floats after x, y, z (XYZBn)
    bool lastBetaUbyte4 = false;
    int normal = -1;  // byte offsets, -1 when absent
    int diffuse = -1;
    int specular = -1;
    int texSets = 0;
    int texOffset[8] = {};
    int texSize[8] = {};
    UINT size = 0;
};

FvfLayout decodeFvf(DWORD fvf);

}  // namespace raster
