// `tovira-inspect texture FILE [--caps LIST]`: the texture the show would build from FILE,
// on a device with the given limitations:
//     format=NAME width=W height=H levels=N
//     level=I sha256=HEX            (one line per level, rows tightly packed)
// LIST is comma-separated: pow2, squareonly, nonpow2conditional, nomipmap, maxsize=N,
// aspect=N, no=FORMAT (the device lacks that texture format; may repeat).
#include "inspect.h"

#include <assets.h>
#include <d3d8_host.h>
#include <win32_host.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool parseNumber(const std::string& text, DWORD& value)
{
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed > 0xFFFFFFFFul)
        return false;
    value = static_cast<DWORD>(parsed);
    return true;
}

D3DFORMAT formatNamed(const std::string& name)
{
    for (const pixelformat::FormatInfo& row : pixelformat::formatTable())
        if (name == row.name)
            return row.format;
    return D3DFMT_UNKNOWN;
}

// Applies one limitation; false with a message for one it does not know.
bool applyLimitation(const std::string& item, d3d8host::DeviceConfig& config)
{
    D3DCAPS8& caps = config.caps;
    const size_t equals = item.find('=');
    const std::string key = item.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
    DWORD number = 0;
    if (item == "pow2")
        caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    else if (item == "squareonly")
        caps.TextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    else if (item == "nonpow2conditional")
        caps.TextureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
    else if (item == "nomipmap")
        caps.TextureCaps &= ~DWORD(D3DPTEXTURECAPS_MIPMAP);
    else if (key == "maxsize" && parseNumber(value, number) && number > 0)
        caps.MaxTextureWidth = caps.MaxTextureHeight = number;
    else if (key == "aspect" && parseNumber(value, number))
        caps.MaxTextureAspectRatio = number;
    else if (key == "no" && formatNamed(value) != D3DFMT_UNKNOWN)
        std::erase(config.textureFormats, formatNamed(value));
    else {
        std::fprintf(stderr, "tovira-inspect: unknown device limitation '%s'\n", item.c_str());
        return false;
    }
    return true;
}

bool parseCaps(const std::string& list, d3d8host::DeviceConfig& config)
{
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ','))
        if (!applyLimitation(item, config))
            return false;
    return true;
}

IDirect3DDevice8* createHeadlessDevice(IDirect3D8* direct3d)
{
    D3DPRESENT_PARAMETERS parameters = d3d8host::showPresentParameters();
    IDirect3DDevice8* device = nullptr;
    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device)))
        return nullptr;
    return device;
}

void printLevels(IDirect3DTexture8* texture)
{
    D3DSURFACE_DESC top;
    texture->GetLevelDesc(0, &top);
    std::printf("format=%s width=%u height=%u levels=%u\n", pixelformat::formatName(top.Format), top.Width,
                top.Height, texture->GetLevelCount());
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc;
        D3DLOCKED_RECT locked;
        texture->GetLevelDesc(level, &desc);
        if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY)))
            continue;
        const size_t tight = pixelformat::isBlockCompressed(desc.Format)
                                 ? pixelformat::surfaceSize(desc.Format, static_cast<int>(desc.Width), 4)
                                 : size_t(desc.Width) * pixelformat::findFormat(desc.Format)->bitsPerPixel / 8;
        std::printf("level=%u sha256=%s\n", level,
                    sha256OfRows(static_cast<const unsigned char*>(locked.pBits), tight, size_t(locked.Pitch),
                                 size_t(pixelformat::rowCount(desc.Format, static_cast<int>(desc.Height))))
                        .c_str());
        texture->UnlockRect(level);
    }
}

int inspectTexture(int argc, char** argv)
{
    d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
    const char* path = nullptr;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--caps" && i + 1 < argc) {
            if (!parseCaps(argv[++i], config))
                return 2;
        } else if (!path && arg.rfind("--", 0) != 0) {
            path = argv[i];
        } else {
            std::fprintf(stderr, "usage: tovira-inspect texture FILE [--caps LIST]\n");
            return 2;
        }
    }
    if (!path) {
        std::fprintf(stderr, "usage: tovira-inspect texture FILE [--caps LIST]\n");
        return 2;
    }
    win32host::selectBackend(win32host::Backend::Headless);
    d3d8host::setDeviceConfig(config);
    IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    IDirect3DDevice8* device = direct3d ? createHeadlessDevice(direct3d) : nullptr;
    int status = 1;
    IDirect3DTexture8* texture = nullptr;
    if (!device) {
        std::fprintf(stderr, "tovira-inspect: no device with these limitations\n");
    } else if (const HRESULT result = createTextureFromFile(device, path, &texture); FAILED(result)) {
        std::fprintf(stderr, "tovira-inspect: %s: no texture could be built (0x%08X)\n", path,
                     static_cast<unsigned>(result));
    } else {
        printLevels(texture);
        texture->Release();
        status = 0;
    }
    if (device)
        device->Release();
    if (direct3d)
        direct3d->Release();
    return status;
}

const bool registered = registerInspectCommand(
    {"texture", "FILE [--caps LIST]",
     "the texture built from FILE: format, size, levels, SHA-256 of each level; LIST limits the device "
     "(pow2, squareonly, nonpow2conditional, nomipmap, maxsize=N, aspect=N, no=FORMAT)",
     inspectTexture});

} // namespace
