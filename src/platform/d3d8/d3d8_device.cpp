#include "d3d8_device.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "pixel_formats.h"
#include <win32_host.h>

namespace d3d8impl {
namespace {

DWORD floatBits(float f) { return std::bit_cast<DWORD>(f); }

D3DMATRIX identityMatrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool isIdentity(const D3DMATRIX& m) {
    const D3DMATRIX id = identityMatrix();
    return std::memcmp(&m, &id, sizeof m) == 0;
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    }
    return r;
}

bool validStageState(DWORD type) { return type >= 1 && type <= 28 && type != 12; }

// 0xAARRGGBB for a D3DCOLOR on a target; X8 targets always hold an opaque alpha byte.
uint32_t targetColour(D3DCOLOR colour, bool hasAlpha) { return hasAlpha ? colour : (colour | 0xFF000000u); }

}  // namespace

DeviceImpl::DeviceImpl(Direct3DImpl* d3d, HWND window, DWORD behaviour, const D3DPRESENT_PARAMETERS& params)
    : d3d_(d3d), window_(window), behaviour_(behaviour), params_(params), caps_(host().config.caps) {
    d3d_->AddRef();
    if (params_.BackBufferWidth == 0) params_.BackBufferWidth = 640;
    if (params_.BackBufferHeight == 0) params_.BackBufferHeight = 480;
    params_.BackBufferCount = 1;
    const int w = static_cast<int>(params_.BackBufferWidth), h = static_cast<int>(params_.BackBufferHeight);
    mode_ = {params_.BackBufferWidth, params_.BackBufferHeight,
             params_.FullScreen_RefreshRateInHz ? params_.FullScreen_RefreshRateInHz : 60,
             params_.BackBufferFormat == D3DFMT_A8R8G8B8 ? D3DFMT_X8R8G8B8 : params_.BackBufferFormat};
    if (params_.Windowed) mode_ = host().config.displayMode;
    backBuffer_ = std::make_unique<SurfaceImpl>(this, SurfaceImpl::Owner::Device, params_.BackBufferFormat, w, h,
                                                D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, "backbuffer");
    frontBuffer_ = std::make_unique<SurfaceImpl>(this, SurfaceImpl::Owner::Device, params_.BackBufferFormat, w, h,
                                                 D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, "frontbuffer");
    // Both buffers start black and opaque.
    for (SurfaceImpl* s : {backBuffer_.get(), frontBuffer_.get()}) {
        auto* p = reinterpret_cast<uint32_t*>(s->bits());
        std::fill(p, p + s->byteSize() / 4, 0xFF000000u);
    }
    if (params_.EnableAutoDepthStencil) {
        depthBuffer_ = std::make_unique<SurfaceImpl>(this, SurfaceImpl::Owner::Device, params_.AutoDepthStencilFormat,
                                                     w, h, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, "depthbuffer");
        depthBuffer_->setLockable(params_.AutoDepthStencilFormat == D3DFMT_D16_LOCKABLE);
        auto* z = reinterpret_cast<uint16_t*>(depthBuffer_->bits());
        std::fill(z, z + depthBuffer_->byteSize() / 2, 0xFFFF);
    }
    lights_.clear();
    setDefaultStates();
}

DeviceImpl::~DeviceImpl() {
    unbindAll();
    d3d_->releaseInternal();
}

void DeviceImpl::setDefaultStates() {
    DWORD* rs = state_.renderStates;
    std::fill(rs, rs + raster::kRenderStateCount, 0);
    rs[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGSTART] = floatBits(0.0f);
    rs[D3DRS_FOGEND] = floatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = floatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_SOFTWAREVERTEXPROCESSING] = (behaviour_ & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
    rs[D3DRS_POINTSIZE] = floatBits(1.0f);
    rs[D3DRS_POINTSCALE_A] = floatBits(1.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    rs[D3DRS_PATCHSEGMENTS] = floatBits(1.0f);
    rs[D3DRS_POINTSIZE_MAX] = floatBits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0x0000000F;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_POSITIONORDER] = 3;  // D3DORDER_CUBIC
    rs[D3DRS_NORMALORDER] = 1;    // D3DORDER_LINEAR

    for (int stage = 0; stage < raster::kMaxStages; ++stage) {
        DWORD* ts = state_.stageStates[stage];
        std::fill(ts, ts + raster::kStageStateCount, 0);
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(stage);
        ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
        ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        state_.textureMatrix[stage] = identityMatrix();
    }
    for (auto& m : state_.world) m = identityMatrix();
    state_.view = identityMatrix();
    state_.projection = identityMatrix();
    state_.viewport = {0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
    state_.material = {};
    state_.stageLimit = static_cast<int>(std::min<DWORD>(caps_.MaxTextureBlendStages, raster::kMaxStages));
}

void DeviceImpl::unbindAll() {
    for (TextureImpl*& t : textures_) {
        if (t) std::exchange(t, nullptr)->core().unbind();
    }
    if (stream_) std::exchange(stream_, nullptr)->core().unbind();
    if (indices_) std::exchange(indices_, nullptr)->core().unbind();
}

std::string DeviceImpl::labelOf(IUnknown* object) const {
    if (!object) return "null";
    if (auto* t = dynamic_cast<TextureImpl*>(object)) return t->core().label();
    if (auto* v = dynamic_cast<VertexBufferImpl*>(object)) return v->core().label();
    if (auto* i = dynamic_cast<IndexBufferImpl*>(object)) return i->core().label();
    if (auto* s = dynamic_cast<SurfaceImpl*>(object)) return s->label();
    return "unknown";
}

// ---- IUnknown ---------------------------------------------------------------------

HRESULT DeviceImpl::QueryInterface(REFIID riid, void** ppvObj) {
    return queryInterface(riid, ppvObj, this, {&IID_IUnknown, &IID_IDirect3DDevice8});
}

ULONG DeviceImpl::Release() {
    if (recording()) record("Release(device)");
    return releaseInternal();
}

ULONG DeviceImpl::releaseInternal() {
    if (refs_ == 0) return 0;
    const ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
}

// ---- information --------------------------------------------------------------------

HRESULT DeviceImpl::GetDirect3D(IDirect3D8** ppD3D8) {
    if (!ppD3D8) return D3DERR_INVALIDCALL;
    d3d_->AddRef();
    *ppD3D8 = d3d_;
    return D3D_OK;
}

HRESULT DeviceImpl::GetDeviceCaps(D3DCAPS8* pCaps) {
    if (!pCaps) return D3DERR_INVALIDCALL;
    *pCaps = caps_;
    return D3D_OK;
}

HRESULT DeviceImpl::GetDisplayMode(D3DDISPLAYMODE* pMode) {
    if (!pMode) return D3DERR_INVALIDCALL;
    if (host().config.failDisplayMode) return D3DERR_NOTAVAILABLE;
    *pMode = mode_;
    return D3D_OK;
}

HRESULT DeviceImpl::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) {
    if (!pParameters) return D3DERR_INVALIDCALL;
    *pParameters = {D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, behaviour_};
    return D3D_OK;
}

BOOL DeviceImpl::ShowCursor(BOOL bShow) { return std::exchange(cursorShown_, bShow != FALSE) ? TRUE : FALSE; }

HRESULT DeviceImpl::GetRasterStatus(D3DRASTER_STATUS* pRasterStatus) {
    if (!pRasterStatus) return D3DERR_INVALIDCALL;
    *pRasterStatus = {FALSE, 0};
    return D3D_OK;
}

void DeviceImpl::SetGammaRamp(DWORD, CONST D3DGAMMARAMP* pRamp) {
    if (pRamp) gamma_ = *pRamp;
}

void DeviceImpl::GetGammaRamp(D3DGAMMARAMP* pRamp) {
    if (pRamp) *pRamp = gamma_;
}

// ---- resources --------------------------------------------------------------------

HRESULT DeviceImpl::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DTexture8** ppTexture) {
    HostState& h = host();
    const int call = h.createTextureCalls++;
    HRESULT hr = D3D_OK;
    UINT fullChain = 1;
    while ((Width >> fullChain) || (Height >> fullChain)) ++fullChain;
    const bool pow2 = std::has_single_bit(Width) && std::has_single_bit(Height);
    if (!ppTexture || Width == 0 || Height == 0 || Width > caps_.MaxTextureWidth || Height > caps_.MaxTextureHeight ||
        Pool > D3DPOOL_SCRATCH || (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL))) {
        hr = D3DERR_INVALIDCALL;
    } else if (!containsFormat(h.config.textureFormats, Format) && Pool != D3DPOOL_SCRATCH) {
        hr = D3DERR_INVALIDCALL;
    } else if (!pixelformat::findFormat(Format)) {
        hr = D3DERR_INVALIDCALL;
    } else if (((caps_.TextureCaps & D3DPTEXTURECAPS_POW2) && !pow2) ||
               ((caps_.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) && Width != Height)) {
        hr = D3DERR_INVALIDCALL;
    } else if (pixelformat::isBlockCompressed(Format) && ((Width | Height) & 3)) {
        hr = D3DERR_INVALIDCALL;
    } else if (Levels > fullChain) {
        hr = D3DERR_INVALIDCALL;
    } else if (h.config.failCreateTextureAfter >= 0 && call >= h.config.failCreateTextureAfter) {
        hr = D3DERR_OUTOFVIDEOMEMORY;
    }
    if (!(caps_.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) {
        if (Levels > 1) hr = hr == D3D_OK ? D3DERR_INVALIDCALL : hr;
        fullChain = 1;
    }
    std::string label = hr == D3D_OK ? "tex#" + std::to_string(++h.textureLabels) : "failed";
    if (recording()) {
        record(formatCall("CreateTexture(%u,%u,%u,%u,%u,%u)=%s", Width, Height, Levels, Usage,
                          static_cast<unsigned>(Format), static_cast<unsigned>(Pool), label.c_str()));
    }
    if (ppTexture) *ppTexture = nullptr;
    if (hr != D3D_OK) return hr;
    *ppTexture = new TextureImpl(this, Width, Height, Levels ? Levels : fullChain, Usage, Format, Pool, label);
    return D3D_OK;
}

HRESULT DeviceImpl::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                       IDirect3DVertexBuffer8** ppVertexBuffer) {
    HostState& h = host();
    HRESULT hr = D3D_OK;
    if (!ppVertexBuffer || Length == 0 || Pool > D3DPOOL_SCRATCH) {
        hr = D3DERR_INVALIDCALL;
    } else if (FVF != 0 && (!raster::isDrawableFvf(FVF) || Length < raster::vertexSizeOfFvf(FVF))) {
        hr = D3DERR_INVALIDCALL;
    } else if (h.config.failCreateVertexBuffer) {
        hr = D3DERR_OUTOFVIDEOMEMORY;
    }
    std::string label = hr == D3D_OK ? "vb#" + std::to_string(++h.vertexBufferLabels) : "failed";
    if (recording()) {
        record(formatCall("CreateVertexBuffer(%u,%u,0x%x,%u)=%s", Length, Usage, FVF, static_cast<unsigned>(Pool),
                          label.c_str()));
    }
    if (ppVertexBuffer) *ppVertexBuffer = nullptr;
    if (hr != D3D_OK) return hr;
    *ppVertexBuffer = new VertexBufferImpl(this, Length, Usage, D3DFMT_VERTEXDATA, FVF, Pool, label);
    return D3D_OK;
}

HRESULT DeviceImpl::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DIndexBuffer8** ppIndexBuffer) {
    HostState& h = host();
    HRESULT hr = D3D_OK;
    if (!ppIndexBuffer || Length == 0 || Pool > D3DPOOL_SCRATCH ||
        (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32)) {
        hr = D3DERR_INVALIDCALL;
    } else if (h.config.failCreateIndexBuffer) {
        hr = D3DERR_OUTOFVIDEOMEMORY;
    }
    std::string label = hr == D3D_OK ? "ib#" + std::to_string(++h.indexBufferLabels) : "failed";
    if (recording()) {
        record(formatCall("CreateIndexBuffer(%u,%u,%u,%u)=%s", Length, Usage, static_cast<unsigned>(Format),
                          static_cast<unsigned>(Pool), label.c_str()));
    }
    if (ppIndexBuffer) *ppIndexBuffer = nullptr;
    if (hr != D3D_OK) return hr;
    *ppIndexBuffer = new IndexBufferImpl(this, Length, Usage, Format, 0, Pool, label);
    return D3D_OK;
}

HRESULT DeviceImpl::CreateImageSurface(UINT Width, UINT Height, D3DFORMAT Format, IDirect3DSurface8** ppSurface) {
    HostState& h = host();
    HRESULT hr = D3D_OK;
    const auto* info = pixelformat::findFormat(Format);
    if (!ppSurface || Width == 0 || Height == 0 || Width > 16384 || Height > 16384 || !info ||
        info->formatClass == pixelformat::ClassDepth) {
        hr = D3DERR_INVALIDCALL;
    } else if (h.config.failCreateImageSurface) {
        hr = D3DERR_OUTOFVIDEOMEMORY;
    }
    std::string label = hr == D3D_OK ? "surf#" + std::to_string(++h.surfaceLabels) : "failed";
    if (recording()) {
        record(formatCall("CreateImageSurface(%u,%u,%u)=%s", Width, Height, static_cast<unsigned>(Format),
                          label.c_str()));
    }
    if (ppSurface) *ppSurface = nullptr;
    if (hr != D3D_OK) return hr;
    *ppSurface = new SurfaceImpl(this, SurfaceImpl::Owner::Standalone, Format, static_cast<int>(Width),
                                 static_cast<int>(Height), 0, D3DPOOL_SYSTEMMEM, label);
    return D3D_OK;
}

HRESULT DeviceImpl::CopyRects(IDirect3DSurface8* pSourceSurface, CONST RECT* pSourceRectsArray, UINT cRects,
                              IDirect3DSurface8* pDestinationSurface, CONST POINT* pDestPointsArray) {
    if (recording()) {
        record(formatCall("CopyRects(%s,%u,%s)", labelOf(pSourceSurface).c_str(), cRects,
                          labelOf(pDestinationSurface).c_str()));
    }
    auto* src = dynamic_cast<SurfaceImpl*>(pSourceSurface);
    auto* dst = dynamic_cast<SurfaceImpl*>(pDestinationSurface);
    if (!src || !dst || src == dst || src->format() != dst->format() || src->locked() || dst->locked()) {
        return D3DERR_INVALIDCALL;
    }
    const bool blocks = pixelformat::isBlockCompressed(src->format());
    const int unit = blocks ? 4 : 1;
    const size_t unitBytes = blocks ? (src->format() == D3DFMT_DXT1 ? 8 : 16)
                                    : static_cast<size_t>(pixelformat::findFormat(src->format())->bitsPerPixel / 8);
    const RECT whole{0, 0, src->width(), src->height()};
    const UINT count = pSourceRectsArray ? cRects : 1;
    for (UINT i = 0; i < count; ++i) {
        const RECT r = pSourceRectsArray ? pSourceRectsArray[i] : whole;
        const POINT p = pDestPointsArray ? pDestPointsArray[i] : POINT{r.left, r.top};
        const LONG w = r.right - r.left, h = r.bottom - r.top;
        if (r.left < 0 || r.top < 0 || w <= 0 || h <= 0 || r.right > src->width() || r.bottom > src->height() ||
            p.x < 0 || p.y < 0 || p.x + w > dst->width() || p.y + h > dst->height()) {
            return D3DERR_INVALIDCALL;
        }
        if (blocks && ((r.left | r.top | p.x | p.y) % 4 || (w % 4 && r.right != src->width()) ||
                       (h % 4 && r.bottom != src->height()))) {
            return D3DERR_INVALIDCALL;
        }
        const int rows = (h + unit - 1) / unit;
        const size_t bytes = static_cast<size_t>((w + unit - 1) / unit) * unitBytes;
        for (int row = 0; row < rows; ++row) {
            const uint8_t* s = src->bits() + static_cast<size_t>(r.top / unit + row) * src->pitch() +
                               static_cast<size_t>(r.left / unit) * unitBytes;
            uint8_t* d = dst->bits() + static_cast<size_t>(p.y / unit + row) * dst->pitch() +
                         static_cast<size_t>(p.x / unit) * unitBytes;
            std::memcpy(d, s, bytes);
        }
    }
    dst->touch();
    return D3D_OK;
}

HRESULT DeviceImpl::UpdateTexture(IDirect3DBaseTexture8* pSourceTexture, IDirect3DBaseTexture8* pDestinationTexture) {
    if (recording()) {
        record(formatCall("UpdateTexture(%s,%s)", labelOf(pSourceTexture).c_str(),
                          labelOf(pDestinationTexture).c_str()));
    }
    auto* src = dynamic_cast<TextureImpl*>(pSourceTexture);
    auto* dst = dynamic_cast<TextureImpl*>(pDestinationTexture);
    if (!src || !dst || host().config.failUpdateTexture) return D3DERR_INVALIDCALL;
    if (src->pool() != D3DPOOL_SYSTEMMEM || dst->pool() != D3DPOOL_DEFAULT || src->format() != dst->format() ||
        src->levelCount() < dst->levelCount()) {
        return D3DERR_INVALIDCALL;
    }
    // Levels are matched by size: the destination's top level may be a lower level of the source.
    size_t first = 0;
    while (first < src->levelCount() && src->level(first).width() != dst->level(0).width()) ++first;
    if (first + dst->levelCount() > src->levelCount() || src->level(first).height() != dst->level(0).height()) {
        return D3DERR_INVALIDCALL;
    }
    for (size_t i = 0; i < dst->levelCount(); ++i) {
        SurfaceImpl& s = src->level(first + i);
        SurfaceImpl& d = dst->level(i);
        std::memcpy(d.bits(), s.bits(), std::min(s.byteSize(), d.byteSize()));
        d.touch();
    }
    return D3D_OK;
}

// ---- flip chain -----------------------------------------------------------------------

HRESULT DeviceImpl::GetBackBuffer(UINT BackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface8** ppBackBuffer) {
    if (!ppBackBuffer) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (BackBuffer != 0 || Type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    AddRef();
    *ppBackBuffer = backBuffer_.get();
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderTarget(IDirect3DSurface8** ppRenderTarget) {
    return GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, ppRenderTarget);
}

HRESULT DeviceImpl::GetDepthStencilSurface(IDirect3DSurface8** ppZStencilSurface) {
    if (!ppZStencilSurface) return D3DERR_INVALIDCALL;
    *ppZStencilSurface = nullptr;
    if (!depthBuffer_) return D3DERR_NOTFOUND;
    AddRef();
    *ppZStencilSurface = depthBuffer_.get();
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderTarget(IDirect3DSurface8* pRenderTarget, IDirect3DSurface8* pNewZStencil) {
    if (recording()) {
        record(formatCall("SetRenderTarget(%s,%s)", labelOf(pRenderTarget).c_str(), labelOf(pNewZStencil).c_str()));
    }
    // Only the flip chain's own buffers can be rendered to.
    const bool targetOk = !pRenderTarget || pRenderTarget == backBuffer_.get();
    const bool depthOk = !pNewZStencil || pNewZStencil == depthBuffer_.get();
    return targetOk && depthOk ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT DeviceImpl::GetFrontBuffer(IDirect3DSurface8* pDestSurface) {
    auto* dst = dynamic_cast<SurfaceImpl*>(pDestSurface);
    if (!dst || dst->format() != D3DFMT_A8R8G8B8 || dst->width() < frontBuffer_->width() ||
        dst->height() < frontBuffer_->height() || dst->locked()) {
        return D3DERR_INVALIDCALL;
    }
    const bool alpha = frontBuffer_->format() == D3DFMT_A8R8G8B8;
    for (int y = 0; y < frontBuffer_->height(); ++y) {
        const auto* s = reinterpret_cast<const uint32_t*>(frontBuffer_->bits() + static_cast<size_t>(y) * frontBuffer_->pitch());
        auto* d = reinterpret_cast<uint32_t*>(dst->bits() + static_cast<size_t>(y) * dst->pitch());
        for (int x = 0; x < frontBuffer_->width(); ++x) d[x] = alpha ? s[x] : (s[x] | 0xFF000000u);
    }
    dst->touch();
    return D3D_OK;
}

HRESULT DeviceImpl::Present(CONST RECT*, CONST RECT*, HWND hDestWindowOverride, CONST RGNDATA*) {
    if (recording()) record("Present");
    if (params_.SwapEffect == D3DSWAPEFFECT_FLIP) {
        // The queue turns: the back buffer is shown and the old front buffer comes back to be drawn on.
        backBuffer_->swapStorage(*frontBuffer_);
    } else {
        std::memcpy(frontBuffer_->bits(), backBuffer_->bits(), backBuffer_->byteSize());
        frontBuffer_->touch();
    }
    ++host().presents;
    presentToSinks();
    if (hDestWindowOverride) window_ = hDestWindowOverride;
    return D3D_OK;
}

void DeviceImpl::presentToSinks() {
    const d3d8host::FrameView frame{reinterpret_cast<const uint32_t*>(frontBuffer_->bits()), frontBuffer_->width(),
                                    frontBuffer_->height(), frontBuffer_->pitch(), frontBuffer_->format()};
    if (host().presentHook) host().presentHook(frame);
    if (win32host::currentBackend() == win32host::Backend::Desktop) {
        win32host::presentToWindow(window_, frame.pixels, frame.width, frame.height, frame.pitchBytes);
    }
}

// ---- scenes and clearing ----------------------------------------------------------------

HRESULT DeviceImpl::BeginScene() {
    if (recording()) record("BeginScene");
    if (inScene_ || host().config.failBeginScene) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT DeviceImpl::EndScene() {
    if (recording()) record("EndScene");
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT DeviceImpl::Clear(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
    if (recording()) record(formatCall("Clear(%u,%u,%x,%g,%u)", Count, Flags, Color, static_cast<double>(Z), Stencil));
    if ((Count != 0 && !pRects) || (Flags & ~DWORD(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) {
        return D3DERR_INVALIDCALL;
    }
    if ((Flags & D3DCLEAR_ZBUFFER) && !depthBuffer_) return D3DERR_INVALIDCALL;
    if (Flags & D3DCLEAR_STENCIL) return D3DERR_INVALIDCALL;  // the 16-bit depth buffer has no stencil
    if (Flags & D3DCLEAR_ZBUFFER && (Z < 0.0f || Z > 1.0f)) return D3DERR_INVALIDCALL;
    const D3DVIEWPORT8& vp = state_.viewport;
    const D3DRECT whole{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                        static_cast<LONG>(vp.Y + vp.Height)};
    const uint32_t colour = targetColour(Color, backBuffer_->format() == D3DFMT_A8R8G8B8);
    const auto depth = static_cast<uint16_t>(Z * 65535.0f + 0.5f);
    for (DWORD i = 0; i < (Count ? Count : 1); ++i) {
        const D3DRECT r = Count ? pRects[i] : whole;
        const LONG x1 = std::max(r.x1, whole.x1), y1 = std::max(r.y1, whole.y1);
        const LONG x2 = std::min(r.x2, whole.x2), y2 = std::min(r.y2, whole.y2);
        if (x2 <= x1 || y2 <= y1) continue;
        raster::FillRect fills[2];
        int count = 0;
        if (Flags & D3DCLEAR_TARGET) {
            fills[count++] = {backBuffer_->bits(), static_cast<size_t>(backBuffer_->pitch()), 4, x1, y1, x2, y2, colour};
        }
        if (Flags & D3DCLEAR_ZBUFFER) {
            fills[count++] = {depthBuffer_->bits(), static_cast<size_t>(depthBuffer_->pitch()), 2, x1, y1, x2, y2, depth};
        }
        raster::fillRects(fills, count);
    }
    return D3D_OK;
}

// ---- state --------------------------------------------------------------------------------

HRESULT DeviceImpl::SetTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) {
    if (recording()) {
        record(formatCall("SetTransform(%d,%s)", static_cast<int>(State),
                          pMatrix ? (isIdentity(*pMatrix) ? "identity" : matrixText(*pMatrix).c_str()) : "null"));
    }
    if (!pMatrix) return D3DERR_INVALIDCALL;
    const int s = static_cast<int>(State);
    if (s == D3DTS_VIEW) {
        state_.view = *pMatrix;
    } else if (s == D3DTS_PROJECTION) {
        state_.projection = *pMatrix;
    } else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) {
        state_.textureMatrix[s - D3DTS_TEXTURE0] = *pMatrix;
    } else if (s >= 256 && s < 512) {
        if (s < 260) state_.world[s - 256] = *pMatrix;
    } else {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT DeviceImpl::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    if (!pMatrix) return D3DERR_INVALIDCALL;
    const int s = static_cast<int>(State);
    if (s == D3DTS_VIEW) {
        *pMatrix = state_.view;
    } else if (s == D3DTS_PROJECTION) {
        *pMatrix = state_.projection;
    } else if (s >= D3DTS_TEXTURE0 && s <= D3DTS_TEXTURE7) {
        *pMatrix = state_.textureMatrix[s - D3DTS_TEXTURE0];
    } else if (s >= 256 && s < 512) {
        *pMatrix = s < 260 ? state_.world[s - 256] : identityMatrix();
    } else {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT DeviceImpl::MultiplyTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) {
    D3DMATRIX current;
    if (!pMatrix || GetTransform(State, &current) != D3D_OK) return D3DERR_INVALIDCALL;
    const D3DMATRIX product = multiply(*pMatrix, current);
    return SetTransform(State, &product);
}

HRESULT DeviceImpl::SetViewport(CONST D3DVIEWPORT8* pViewport) {
    if (recording() && pViewport) {
        record(formatCall("SetViewport(%u,%u,%u,%u,%g,%g)", pViewport->X, pViewport->Y, pViewport->Width,
                          pViewport->Height, static_cast<double>(pViewport->MinZ),
                          static_cast<double>(pViewport->MaxZ)));
    }
    if (!pViewport || pViewport->Width == 0 || pViewport->Height == 0 ||
        pViewport->X + pViewport->Width > params_.BackBufferWidth ||
        pViewport->Y + pViewport->Height > params_.BackBufferHeight || pViewport->MinZ < 0.0f ||
        pViewport->MaxZ > 1.0f || pViewport->MinZ > pViewport->MaxZ) {
        return D3DERR_INVALIDCALL;
    }
    state_.viewport = *pViewport;
    return D3D_OK;
}

HRESULT DeviceImpl::GetViewport(D3DVIEWPORT8* pViewport) {
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = state_.viewport;
    return D3D_OK;
}

HRESULT DeviceImpl::SetMaterial(CONST D3DMATERIAL8* pMaterial) {
    if (recording()) record("SetMaterial");
    if (!pMaterial) return D3DERR_INVALIDCALL;
    state_.material = *pMaterial;
    return D3D_OK;
}

HRESULT DeviceImpl::GetMaterial(D3DMATERIAL8* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = state_.material;
    return D3D_OK;
}

HRESULT DeviceImpl::SetLight(DWORD Index, CONST D3DLIGHT8* pLight) {
    if (recording()) record(formatCall("SetLight(%u)", Index));
    if (!pLight || Index > 4096 || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL) {
        return D3DERR_INVALIDCALL;
    }
    if (Index >= lights_.size()) lights_.resize(Index + 1);
    lights_[Index].light = *pLight;
    lights_[Index].set = true;
    return D3D_OK;
}

HRESULT DeviceImpl::GetLight(DWORD Index, D3DLIGHT8* pLight) {
    if (!pLight || Index >= lights_.size() || !lights_[Index].set) return D3DERR_INVALIDCALL;
    *pLight = lights_[Index].light;
    return D3D_OK;
}

HRESULT DeviceImpl::LightEnable(DWORD Index, BOOL Enable) {
    if (recording()) record(formatCall("LightEnable(%u,%d)", Index, Enable));
    if (Index > 4096) return D3DERR_INVALIDCALL;
    if (Index >= lights_.size()) lights_.resize(Index + 1);
    raster::LightState& l = lights_[Index];
    if (!l.set) {
        // An index never set gets the default light: white, directional, pointing down +z.
        l.light = {};
        l.light.Type = D3DLIGHT_DIRECTIONAL;
        l.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        l.light.Direction = {0.0f, 0.0f, 1.0f};
        l.set = true;
    }
    l.enabled = Enable != FALSE;
    return D3D_OK;
}

HRESULT DeviceImpl::GetLightEnable(DWORD Index, BOOL* pEnable) {
    if (!pEnable || Index >= lights_.size() || !lights_[Index].set) return D3DERR_INVALIDCALL;
    *pEnable = lights_[Index].enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT DeviceImpl::SetClipPlane(DWORD Index, CONST float* pPlane) {
    if (!pPlane || Index >= D3DMAXUSERCLIPPLANES) return D3DERR_INVALIDCALL;
    std::copy(pPlane, pPlane + 4, clipPlanes_[Index]);
    return D3D_OK;
}

HRESULT DeviceImpl::GetClipPlane(DWORD Index, float* pPlane) {
    if (!pPlane || Index >= D3DMAXUSERCLIPPLANES) return D3DERR_INVALIDCALL;
    std::copy(clipPlanes_[Index], clipPlanes_[Index] + 4, pPlane);
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    if (recording()) record(formatCall("SetRenderState(%d,%u)", static_cast<int>(State), Value));
    if (static_cast<unsigned>(State) >= raster::kRenderStateCount || State == 0) return D3DERR_INVALIDCALL;
    state_.renderStates[State] = Value;
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    if (!pValue || static_cast<unsigned>(State) >= raster::kRenderStateCount || State == 0) return D3DERR_INVALIDCALL;
    *pValue = state_.renderStates[State];
    return D3D_OK;
}

HRESULT DeviceImpl::SetClipStatus(CONST D3DCLIPSTATUS8* pClipStatus) {
    if (!pClipStatus) return D3DERR_INVALIDCALL;
    clipStatus_ = *pClipStatus;
    return D3D_OK;
}

HRESULT DeviceImpl::GetClipStatus(D3DCLIPSTATUS8* pClipStatus) {
    if (!pClipStatus) return D3DERR_INVALIDCALL;
    *pClipStatus = clipStatus_;
    return D3D_OK;
}

HRESULT DeviceImpl::GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture) {
    if (!ppTexture || Stage >= raster::kMaxStages) return D3DERR_INVALIDCALL;
    *ppTexture = textures_[Stage];
    if (textures_[Stage]) textures_[Stage]->AddRef();
    return D3D_OK;
}

HRESULT DeviceImpl::SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture) {
    if (recording()) record(formatCall("SetTexture(%u,%s)", Stage, labelOf(pTexture).c_str()));
    if (Stage >= raster::kMaxStages) return D3DERR_INVALIDCALL;
    TextureImpl* texture = nullptr;
    if (pTexture) {
        texture = dynamic_cast<TextureImpl*>(pTexture);
        if (!texture || texture->pool() == D3DPOOL_SYSTEMMEM || texture->pool() == D3DPOOL_SCRATCH) {
            return D3DERR_INVALIDCALL;
        }
        texture->core().bind();
    }
    if (textures_[Stage]) textures_[Stage]->core().unbind();
    textures_[Stage] = texture;
    return D3D_OK;
}

HRESULT DeviceImpl::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    if (!pValue || Stage >= raster::kMaxStages || !validStageState(Type)) return D3DERR_INVALIDCALL;
    *pValue = state_.stageStates[Stage][Type];
    return D3D_OK;
}

HRESULT DeviceImpl::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    if (recording()) record(formatCall("SetTextureStageState(%u,%d,%u)", Stage, static_cast<int>(Type), Value));
    if (Stage >= raster::kMaxStages || !validStageState(Type)) return D3DERR_INVALIDCALL;
    state_.stageStates[Stage][Type] = Value;
    return D3D_OK;
}

HRESULT DeviceImpl::ValidateDevice(DWORD* pNumPasses) {
    if (!pNumPasses) return D3DERR_INVALIDCALL;
    *pNumPasses = 1;
    return D3D_OK;
}

HRESULT DeviceImpl::SetPaletteEntries(UINT PaletteNumber, CONST PALETTEENTRY* pEntries) {
    if (!pEntries || PaletteNumber > 0xFFFF) return D3DERR_INVALIDCALL;
    if (!(caps_.TextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE)) {
        for (int i = 0; i < 256; ++i) {
            if (pEntries[i].peFlags != 0xFF) return D3DERR_INVALIDCALL;
        }
    }
    if (PaletteNumber >= palettes_.size()) palettes_.resize(PaletteNumber + 1);
    std::copy(pEntries, pEntries + 256, palettes_[PaletteNumber].begin());
    return D3D_OK;
}

HRESULT DeviceImpl::GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) {
    if (!pEntries || PaletteNumber >= palettes_.size()) return D3DERR_INVALIDCALL;
    std::copy(palettes_[PaletteNumber].begin(), palettes_[PaletteNumber].end(), pEntries);
    return D3D_OK;
}

HRESULT DeviceImpl::SetCurrentTexturePalette(UINT PaletteNumber) {
    if (PaletteNumber >= palettes_.size()) return D3DERR_INVALIDCALL;
    currentPalette_ = PaletteNumber;
    return D3D_OK;
}

HRESULT DeviceImpl::GetCurrentTexturePalette(UINT* PaletteNumber) {
    if (!PaletteNumber) return D3DERR_INVALIDCALL;
    *PaletteNumber = currentPalette_;
    return D3D_OK;
}

HRESULT DeviceImpl::SetVertexShader(DWORD Handle) {
    if (recording()) record(formatCall("SetVertexShader(0x%x)", Handle));
    if (!raster::isDrawableFvf(Handle)) return D3DERR_INVALIDCALL;
    vertexShader_ = Handle;
    return D3D_OK;
}

HRESULT DeviceImpl::GetVertexShader(DWORD* pHandle) {
    if (!pHandle) return D3DERR_INVALIDCALL;
    *pHandle = vertexShader_;
    return D3D_OK;
}

HRESULT DeviceImpl::GetPixelShader(DWORD* pHandle) {
    if (!pHandle) return D3DERR_INVALIDCALL;
    *pHandle = 0;
    return D3D_OK;
}

HRESULT DeviceImpl::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride) {
    if (recording()) record(formatCall("SetStreamSource(%u,%s,%u)", StreamNumber, labelOf(pStreamData).c_str(), Stride));
    if (StreamNumber >= caps_.MaxStreams) return D3DERR_INVALIDCALL;
    VertexBufferImpl* buffer = nullptr;
    if (pStreamData) {
        buffer = dynamic_cast<VertexBufferImpl*>(pStreamData);
        if (!buffer) return D3DERR_INVALIDCALL;
        buffer->core().bind();
    }
    if (stream_) stream_->core().unbind();
    stream_ = buffer;
    streamStride_ = Stride;
    return D3D_OK;
}

HRESULT DeviceImpl::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8** ppStreamData, UINT* pStride) {
    if (!ppStreamData || !pStride || StreamNumber >= caps_.MaxStreams) return D3DERR_INVALIDCALL;
    *ppStreamData = stream_;
    if (stream_) stream_->AddRef();
    *pStride = streamStride_;
    return D3D_OK;
}

HRESULT DeviceImpl::SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT BaseVertexIndex) {
    if (recording()) record(formatCall("SetIndices(%s,%u)", labelOf(pIndexData).c_str(), BaseVertexIndex));
    IndexBufferImpl* buffer = nullptr;
    if (pIndexData) {
        buffer = dynamic_cast<IndexBufferImpl*>(pIndexData);
        if (!buffer) return D3DERR_INVALIDCALL;
        buffer->core().bind();
    }
    if (indices_) indices_->core().unbind();
    indices_ = buffer;
    baseVertexIndex_ = BaseVertexIndex;
    return D3D_OK;
}

HRESULT DeviceImpl::GetIndices(IDirect3DIndexBuffer8** ppIndexData, UINT* pBaseVertexIndex) {
    if (!ppIndexData || !pBaseVertexIndex) return D3DERR_INVALIDCALL;
    *ppIndexData = indices_;
    if (indices_) indices_->AddRef();
    *pBaseVertexIndex = baseVertexIndex_;
    return D3D_OK;
}

}  // namespace d3d8impl
