// Building a mip-mapped texture from an image file on the show's device.
#include "assets.h"

namespace {

// Locks level `level` of texture through its surface, as the caller of a surface would.
struct LockedLevel {
    IDirect3DSurface8* surface = nullptr;
    D3DLOCKED_RECT rect{};
    HRESULT result = E_FAIL;

    LockedLevel(IDirect3DTexture8* texture, UINT level)
    {
        result = texture->GetSurfaceLevel(level, &surface);
        if (SUCCEEDED(result))
            result = surface->LockRect(&rect, nullptr, 0);
        if (FAILED(result) && surface) {
            surface->Release();
            surface = nullptr;
        }
    }
    ~LockedLevel()
    {
        if (surface) {
            surface->UnlockRect();
            surface->Release();
        }
    }
    LockedLevel(const LockedLevel&) = delete;
    LockedLevel& operator=(const LockedLevel&) = delete;
};

// Writes every level of texture: level 0 from the image, each further level halved from
// the one above it (or taken from the image's own chain for block formats).
HRESULT fillLevels(IDirect3DTexture8* texture, const DecodedImage& image, bool dither)
{
    const UINT levels = texture->GetLevelCount();
    D3DSURFACE_DESC above{};
    for (UINT level = 0; level < levels; ++level) {
        D3DSURFACE_DESC desc;
        HRESULT result = texture->GetLevelDesc(level, &desc);
        if (FAILED(result))
            return result;
        LockedLevel target(texture, level);
        if (FAILED(target.result))
            return target.result;
        bool filled = false;
        if (level == 0) {
            filled = fillTopLevel(image, desc.Format, desc.Width, desc.Height, target.rect, dither);
        } else if (pixelformat::isBlockCompressed(desc.Format)) {
            const DecodedImage* chain = &image;
            for (UINT i = 0; i < level && chain; ++i)
                chain = chain->next.get();
            filled = chain && chain->format == desc.Format &&
                     fillTopLevel(*chain, desc.Format, desc.Width, desc.Height, target.rect, false);
        } else {
            LockedLevel source(texture, level - 1);
            if (FAILED(source.result))
                return source.result;
            filled = boxFilterLevel(desc.Format, source.rect, above.Width, above.Height, target.rect, desc.Width,
                                    desc.Height);
        }
        if (!filled)
            return D3DERR_NOTAVAILABLE;
        above = desc;
    }
    return D3D_OK;
}

// A pool the caller cannot lock is filled through a system-memory twin.
bool poolIsLockable(D3DPOOL pool, DWORD usage)
{
    return pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
}

HRESULT buildTexture(IDirect3DDevice8* device, const DecodedImage& image, const TextureRequest& request,
                     IDirect3DTexture8** texture)
{
    UINT width = request.width == UINT(-1) || request.width == 0 ? image.width : request.width;
    UINT height = request.height == UINT(-1) || request.height == 0 ? image.height : request.height;
    UINT levels = request.mipLevels;
    D3DFORMAT format = request.format == D3DFMT_UNKNOWN ? requestedTextureFormat(image, request.pool) : request.format;
    HRESULT result = chooseTextureShape(device, request.usage, request.pool, &width, &height, &levels, &format);
    if (FAILED(result))
        return result;

    const DWORD filter = request.filter == DWORD(-1) ? (TEXTURE_FILTER_TRIANGLE | TEXTURE_FILTER_DITHER) : request.filter;
    const bool dither = (filter & TEXTURE_FILTER_DITHER) != 0;
    const bool lockable = poolIsLockable(request.pool, request.usage);
    IDirect3DTexture8* built = nullptr;
    result = device->CreateTexture(width, height, levels, request.usage, format,
                                   lockable ? request.pool : D3DPOOL_SYSTEMMEM, &built);
    if (FAILED(result))
        return result;
    result = fillLevels(built, image, dither);
    if (SUCCEEDED(result) && !lockable) {
        IDirect3DTexture8* staged = built;
        built = nullptr;
        result = device->CreateTexture(width, height, levels, request.usage, format, request.pool, &built);
        if (SUCCEEDED(result))
            result = device->UpdateTexture(staged, built);
        staged->Release();
    }
    if (FAILED(result)) {
        if (built)
            built->Release();
        return result;
    }
    *texture = built;
    return D3D_OK;
}

} // namespace

HRESULT createTextureFromFileEx(IDirect3DDevice8* device, const char* path, const TextureRequest& request,
                                IDirect3DTexture8** texture)
{
    if (!device || !path || !texture)
        return D3DERR_INVALIDCALL;
    MappedFile mapped;
    HRESULT result = mapImageFile(path, mapped);
    if (FAILED(result))
        return result;
    DecodedImage image;
    result = decodeImage(mapped.bytes, mapped.size, image);
    if (SUCCEEDED(result))
        result = buildTexture(device, image, request, texture);
    image.reset(); // may point into the mapping
    unmapImageFile(mapped);
    return result;
}

HRESULT createTextureFromFile(IDirect3DDevice8* device, const char* path, IDirect3DTexture8** texture)
{
    return createTextureFromFileEx(device, path, TextureRequest{}, texture);
}
