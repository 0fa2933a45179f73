#include "raster_internal.h"

namespace raster {

FvfLayout decodeFvf(DWORD fvf) {
    FvfLayout layout;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: offset = 12; break;
    case D3DFVF_XYZRHW: offset = 16; layout.pretransformed = true; break;
    case D3DFVF_XYZB1: case D3DFVF_XYZB2: case D3DFVF_XYZB3: case D3DFVF_XYZB4: case D3DFVF_XYZB5:
        layout.blendValues = static_cast<int>(((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZRHW) / 2);
        offset = 12 + 4 * static_cast<UINT>(layout.blendValues);
        break;
    default: return layout;  // no position: not drawable
    }
    layout.lastBetaUbyte4 = (fvf & D3DFVF_LASTBETA_UBYTE4) != 0;
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = static_cast<int>(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specular = static_cast<int>(offset);
        offset += 4;
    }
    layout.texSets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.texSets > 8) return FvfLayout{};
    for (int i = 0; i < layout.texSets; ++i) {
        static constexpr int kSizes[4] = {2, 3, 4, 1};
        layout.texOffset[i] = static_cast<int>(offset);
        layout.texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
        offset += 4 * static_cast<UINT>(layout.texSize[i]);
    }
    layout.size = offset;
    layout.valid = true;
    return layout;
}

UINT vertexSizeOfFvf(DWORD fvf) {
    const FvfLayout layout = decodeFvf(fvf);
    return layout.valid ? layout.size : 0;
}

bool isDrawableFvf(DWORD fvf) {
    if (fvf & (D3DFVF_RESERVED0 | D3DFVF_RESERVED2)) return false;
    // Texture-size bits of sets the format does not have must be clear.
    const int sets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (sets < 8 && (fvf >> (16 + 2 * sets)) != 0) return false;
    return decodeFvf(fvf).valid;
}

}  // namespace raster
