// Choosing a texture's size, level count and format against what the device can do.
#include "assets.h"

#include <algorithm>
#include <limits>

namespace {

using pixelformat::FormatInfo;

// Classes of the format table; a request of one class accepts rows of these classes.
bool classesMayStandIn(int requestClass, int rowClass)
{
    switch (requestClass) {
    case pixelformat::ClassColour: return rowClass == pixelformat::ClassColour;
    case pixelformat::ClassPalette: return rowClass == pixelformat::ClassColour || rowClass == pixelformat::ClassPalette;
    case pixelformat::ClassLuminance:
        return rowClass == pixelformat::ClassColour || rowClass == pixelformat::ClassLuminance;
    default: return rowClass == requestClass;
    }
}

constexpr uint64_t UNUSABLE = std::numeric_limits<uint64_t>::max();

// Missing bits cost a lot, a missing channel far more; spare bits cost little, a channel
// the request does not have a little more.
uint64_t substituteCost(const FormatInfo& request, const FormatInfo& row)
{
    if (!classesMayStandIn(request.formatClass, row.formatClass))
        return UNUSABLE;
    uint64_t cost = 0;
    bool sharesAChannel = false;
    bool requestHasChannels = false;
    for (int channel = 0; channel < 5; ++channel) {
        const uint64_t a = request.widths[channel], b = row.widths[channel];
        requestHasChannels |= a != 0;
        sharesAChannel |= a != 0 && b != 0;
        if (a < b)
            cost += a == 0 ? 256 : b - a;
        else if (a > b)
            cost += b == 0 ? (uint64_t{1} << 24) : (a - b) << 16;
    }
    if (requestHasChannels && !sharesAChannel)
        return UNUSABLE;
    return cost;
}

bool isPowerOfTwo(UINT value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

UINT nextPowerOfTwo(UINT value)
{
    UINT power = 1;
    while (power < value && power < (1u << 31))
        power <<= 1;
    return power;
}

UINT bitLength(UINT value)
{
    UINT bits = 0;
    for (; value != 0; value >>= 1)
        ++bits;
    return bits;
}

} // namespace

D3DFORMAT findClosestDeviceFormat(IDirect3DDevice8* device, DWORD usage, D3DRESOURCETYPE type,
                                  const pixelformat::FormatInfo& request)
{
    IDirect3D8* direct3d = nullptr;
    D3DCAPS8 caps;
    D3DDISPLAYMODE mode;
    if (FAILED(device->GetDirect3D(&direct3d)))
        return D3DFMT_UNKNOWN;
    if (FAILED(device->GetDeviceCaps(&caps)) || FAILED(device->GetDisplayMode(&mode))) {
        direct3d->Release();
        return D3DFMT_UNKNOWN;
    }
    D3DFORMAT best = D3DFMT_UNKNOWN;
    uint64_t bestCost = UNUSABLE;
    int bestBits = 0;
    for (const FormatInfo& row : pixelformat::formatTable()) {
        if (FAILED(direct3d->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, usage, type,
                                               row.format)))
            continue;
        if (row.format == request.format) {
            best = row.format;
            break;
        }
        if (!row.substitute)
            continue;
        const uint64_t cost = substituteCost(request, row);
        if (cost == UNUSABLE)
            continue;
        if (cost < bestCost || (cost == bestCost && row.bitsPerPixel < bestBits)) {
            best = row.format;
            bestCost = cost;
            bestBits = row.bitsPerPixel;
        }
    }
    direct3d->Release();
    return best;
}

D3DFORMAT requestedTextureFormat(const DecodedImage& image, D3DPOOL pool)
{
    D3DFORMAT format = image.format;
    if (format == D3DFMT_R8G8B8 && pool != D3DPOOL_SCRATCH)
        format = D3DFMT_X8R8G8B8;
    if (format == D3DFMT_A8P8)
        return D3DFMT_A8R8G8B8;
    if (format == D3DFMT_P8) {
        bool translucent = false;
        for (int i = 0; i < 256 && image.palette; ++i)
            translucent |= image.palette[i].peFlags != 255;
        return translucent ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
    return format;
}

HRESULT chooseTextureShape(IDirect3DDevice8* device, DWORD usage, D3DPOOL pool, UINT* width, UINT* height,
                           UINT* levels, D3DFORMAT* format)
{
    const DWORD allowedUsage = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC;
    if (!device || !width || !height || !levels || !format || (usage & ~allowedUsage) != 0 ||
        static_cast<DWORD>(pool) > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;

    const pixelformat::FormatInfo* request = pixelformat::findFormat(*format);
    const D3DFORMAT chosen = request ? findClosestDeviceFormat(device, usage, D3DRTYPE_TEXTURE, *request) : D3DFMT_UNKNOWN;
    if (chosen == D3DFMT_UNKNOWN)
        return D3DERR_NOTAVAILABLE;
    *format = chosen;

    D3DCAPS8 caps;
    device->GetDeviceCaps(&caps);
    UINT w = *width, h = *height;
    if (caps.MaxTextureWidth != 0)
        w = std::min<UINT>(w, caps.MaxTextureWidth);
    if (caps.MaxTextureHeight != 0)
        h = std::min<UINT>(h, caps.MaxTextureHeight);
    const UINT ratio = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : caps.MaxTextureAspectRatio;
    if (ratio != 0) {
        w = static_cast<UINT>(std::min<uint64_t>(w, uint64_t{h} * ratio));
        h = static_cast<UINT>(std::min<uint64_t>(h, uint64_t{w} * ratio));
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        w = nextPowerOfTwo(w);
        h = nextPowerOfTwo(h);
    }
    if (pixelformat::isBlockCompressed(chosen)) {
        w = (w + 3) & ~3u;
        h = (h + 3) & ~3u;
    }

    const bool conditional = (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    UINT fullChain = 1;
    if ((caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) && (!conditional || (isPowerOfTwo(w) && isPowerOfTwo(h))))
        fullChain = std::max(bitLength(w), bitLength(h));
    const UINT requested = *levels;
    *levels = (requested == 0 || requested == UINT(-1) || requested > fullChain) ? fullChain : requested;
    *width = w;
    *height = h;
    return D3D_OK;
}
