#include <cstring>

#include "d3d8_device.h"
#include "pixel_formats.h"
#include <win32_host.h>

namespace d3d8impl {
namespace {

bool validAdapter(UINT adapter) { return adapter == D3DADAPTER_DEFAULT; }

bool isBackBufferFormat(D3DFORMAT format) { return containsFormat(host().config.backBufferFormats, format); }

HRESULT checkPresentParameters(const D3DPRESENT_PARAMETERS& p) {
    const auto& config = host().config;
    if (p.BackBufferCount > 1 || p.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC) return D3DERR_INVALIDCALL;
    if (!p.Windowed && (p.BackBufferWidth == 0 || p.BackBufferHeight == 0)) return D3DERR_INVALIDCALL;
    if (p.BackBufferWidth > 4096 || p.BackBufferHeight > 4096) return D3DERR_INVALIDCALL;
    if (!isBackBufferFormat(p.BackBufferFormat)) return D3DERR_NOTAVAILABLE;
    if (p.EnableAutoDepthStencil && !containsFormat(config.depthFormats, p.AutoDepthStencilFormat)) {
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT checkBehaviour(DWORD flags) {
    const auto& config = host().config;
    const DWORD processing = flags & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING |
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    switch (processing) {
    case D3DCREATE_HARDWARE_VERTEXPROCESSING: return config.hardwareVertexProcessing ? D3D_OK : D3DERR_INVALIDCALL;
    case D3DCREATE_MIXED_VERTEXPROCESSING: return config.mixedVertexProcessing ? D3D_OK : D3DERR_INVALIDCALL;
    case D3DCREATE_SOFTWARE_VERTEXPROCESSING: return config.softwareVertexProcessing ? D3D_OK : D3DERR_INVALIDCALL;
    default: return D3DERR_INVALIDCALL;  // none, or more than one
    }
}

}  // namespace

HRESULT queryInterface(REFIID riid, void** out, IUnknown* self, std::initializer_list<const IID*> ids) {
    if (!out) return static_cast<HRESULT>(0x80004003u);  // E_POINTER
    for (const IID* id : ids) {
        if (IsEqualGUID(riid, *id)) {
            self->AddRef();
            *out = self;
            return S_OK;
        }
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT Direct3DImpl::QueryInterface(REFIID riid, void** ppvObj) {
    return queryInterface(riid, ppvObj, this, {&IID_IUnknown, &IID_IDirect3D8});
}

ULONG Direct3DImpl::Release() {
    if (recording()) record("Release(d3d)");
    return releaseInternal();
}

ULONG Direct3DImpl::releaseInternal() {
    const ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
}

HRESULT Direct3DImpl::GetAdapterIdentifier(UINT Adapter, DWORD, D3DADAPTER_IDENTIFIER8* pIdentifier) {
    if (!validAdapter(Adapter) || !pIdentifier) return D3DERR_INVALIDCALL;
    std::memset(pIdentifier, 0, sizeof *pIdentifier);
    std::strcpy(pIdentifier->Driver, "tovira.drv");
    std::strcpy(pIdentifier->Description, "tovira software rasteriser");
    pIdentifier->WHQLLevel = 1;
    return D3D_OK;
}

UINT Direct3DImpl::GetAdapterModeCount(UINT Adapter) { return validAdapter(Adapter) ? 1 : 0; }

HRESULT Direct3DImpl::EnumAdapterModes(UINT Adapter, UINT Mode, D3DDISPLAYMODE* pMode) {
    if (!validAdapter(Adapter) || Mode != 0 || !pMode) return D3DERR_INVALIDCALL;
    *pMode = host().config.displayMode;
    return D3D_OK;
}

HRESULT Direct3DImpl::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (!validAdapter(Adapter) || !pMode) return D3DERR_INVALIDCALL;
    if (host().config.failDisplayMode) return D3DERR_NOTAVAILABLE;
    *pMode = host().config.displayMode;
    return D3D_OK;
}

HRESULT Direct3DImpl::CheckDeviceType(UINT Adapter, D3DDEVTYPE CheckType, D3DFORMAT, D3DFORMAT BackBufferFormat,
                                      BOOL) {
    if (!validAdapter(Adapter) || CheckType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    return isBackBufferFormat(BackBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DImpl::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT, DWORD Usage,
                                        D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
    if (!validAdapter(Adapter) || DeviceType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    const auto& config = host().config;
    if (Usage & D3DUSAGE_DEPTHSTENCIL) {
        return RType == D3DRTYPE_SURFACE && containsFormat(config.depthFormats, CheckFormat) ? D3D_OK
                                                                                             : D3DERR_NOTAVAILABLE;
    }
    if (Usage & D3DUSAGE_RENDERTARGET) {
        return RType == D3DRTYPE_SURFACE && isBackBufferFormat(CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    switch (RType) {
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_SURFACE:
        return containsFormat(config.textureFormats, CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VERTEXBUFFER: return CheckFormat == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_INDEXBUFFER:
        return CheckFormat == D3DFMT_INDEX16 || CheckFormat == D3DFMT_INDEX32 ? D3D_OK : D3DERR_NOTAVAILABLE;
    default: return D3DERR_NOTAVAILABLE;
    }
}

HRESULT Direct3DImpl::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT, BOOL,
                                                 D3DMULTISAMPLE_TYPE MultiSampleType) {
    if (!validAdapter(Adapter) || DeviceType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    return MultiSampleType == D3DMULTISAMPLE_NONE ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DImpl::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT,
                                             D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) {
    if (!validAdapter(Adapter) || DeviceType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    const bool ok = isBackBufferFormat(RenderTargetFormat) &&
                    containsFormat(host().config.depthFormats, DepthStencilFormat);
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3DImpl::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS8* pCaps) {
    if (!validAdapter(Adapter) || DeviceType != D3DDEVTYPE_HAL || !pCaps) return D3DERR_INVALIDCALL;
    *pCaps = host().config.caps;
    return D3D_OK;
}

HMONITOR Direct3DImpl::GetAdapterMonitor(UINT Adapter) {
    return validAdapter(Adapter) ? reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(1)) : nullptr;
}

HRESULT Direct3DImpl::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                   D3DPRESENT_PARAMETERS* pPresentationParameters,
                                   IDirect3DDevice8** ppReturnedDeviceInterface) {
    HRESULT hr = D3D_OK;
    if (!ppReturnedDeviceInterface || !pPresentationParameters || !validAdapter(Adapter)) {
        hr = D3DERR_INVALIDCALL;
    } else if (DeviceType != D3DDEVTYPE_HAL) {
        hr = D3DERR_NOTAVAILABLE;
    } else if (host().config.failCreateDevice) {
        hr = D3DERR_NOTAVAILABLE;
    } else if (win32host::currentBackend() == win32host::Backend::Desktop && !win32host::desktopDisplayAvailable()) {
        hr = D3DERR_NOTAVAILABLE;  // no display to take over: the show ends cleanly
    } else if ((hr = checkBehaviour(BehaviorFlags)) == D3D_OK) {
        hr = checkPresentParameters(*pPresentationParameters);
    }
    if (recording()) {
        record(formatCall("CreateDevice(%u,%d,0x%x,%d)=%s", Adapter, DeviceType, BehaviorFlags,
                          pPresentationParameters ? pPresentationParameters->BackBufferFormat : 0,
                          hr == D3D_OK ? "device" : "failed"));
    }
    if (ppReturnedDeviceInterface) *ppReturnedDeviceInterface = nullptr;
    if (hr != D3D_OK) return hr;
    HWND window = pPresentationParameters->hDeviceWindow ? pPresentationParameters->hDeviceWindow : hFocusWindow;
    *ppReturnedDeviceInterface = new DeviceImpl(this, window, BehaviorFlags, *pPresentationParameters);
    return D3D_OK;
}

}  // namespace d3d8impl

IDirect3D8* WINAPI Direct3DCreate8(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION || d3d8impl::host().config.failCreate) return nullptr;
    return new d3d8impl::Direct3DImpl();
}
