#include <algorithm>
#include <cstring>

#include "d3d8_device.h"
#include "pixel_formats.h"

namespace d3d8impl {

// ---- ResourceCore -----------------------------------------------------------------

ResourceCore::ResourceCore(DeviceImpl* device, std::string label, std::function<void()> destroyOwner)
    : destroyOwner_(std::move(destroyOwner)), device_(device), label_(std::move(label)) {
    device_->addRefInternal();
}

ResourceCore::~ResourceCore() = default;

ULONG ResourceCore::release() {
    if (refs_ == 0) return 0;
    const ULONG refs = --refs_;
    if (refs != 0) return refs;
    // Nothing the application holds refers to the device through us any more. The device
    // may go away as we let go of it, and take us along through unbind(): touch nothing after.
    DeviceImpl* device = device_;
    if (binds_ == 0) {
        const auto destroy = destroyOwner_;
        destroy();
    }
    device->releaseInternal();
    return 0;
}

void ResourceCore::unbind() {
    if (--binds_ == 0 && refs_ == 0) {
        const auto destroy = destroyOwner_;
        destroy();
    }
}

// ---- SurfaceImpl ------------------------------------------------------------------

SurfaceImpl::SurfaceImpl(DeviceImpl* device, Owner owner, D3DFORMAT format, int width, int height, DWORD usage,
                         D3DPOOL pool, std::string label)
    : device_(device),
      owner_(owner),
      format_(format),
      width_(width),
      height_(height),
      pitch_(static_cast<int>(pixelformat::rowPitch(format, width))),
      usage_(usage),
      pool_(pool),
      label_(std::move(label)),
      storage_(pixelformat::surfaceSize(format, width, height)) {
    if (owner_ == Owner::Standalone) core_ = std::make_unique<ResourceCore>(device, label_, [this] { delete this; });
}

SurfaceImpl::~SurfaceImpl() = default;

HRESULT SurfaceImpl::QueryInterface(REFIID riid, void** ppvObj) {
    return queryInterface(riid, ppvObj, this, {&IID_IUnknown, &IID_IDirect3DSurface8});
}

ULONG SurfaceImpl::AddRef() {
    switch (owner_) {
    case Owner::Texture: return container_->AddRef();
    case Owner::Device: return device_->AddRef();
    default: return core_->addRef();
    }
}

ULONG SurfaceImpl::Release() {
    if (recording()) record("Release(" + label_ + ")");
    switch (owner_) {
    case Owner::Texture: return container_->core().release();
    case Owner::Device: return device_->releaseInternal();
    default: return core_->release();
    }
}

HRESULT SurfaceImpl::GetDevice(IDirect3DDevice8** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT SurfaceImpl::GetContainer(REFIID riid, void** ppContainer) {
    if (!ppContainer) return D3DERR_INVALIDCALL;
    if (owner_ == Owner::Texture) return container_->QueryInterface(riid, ppContainer);
    return device_->QueryInterface(riid, ppContainer);
}

HRESULT SurfaceImpl::GetDesc(D3DSURFACE_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Format = format_;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = usage_;
    pDesc->Pool = pool_;
    pDesc->Size = static_cast<UINT>(storage_.size());
    pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
    pDesc->Width = static_cast<UINT>(width_);
    pDesc->Height = static_cast<UINT>(height_);
    return D3D_OK;
}

HRESULT SurfaceImpl::LockRect(D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD) {
    if (!pLockedRect || locked_ || !lockable_) return D3DERR_INVALIDCALL;
    RECT r{0, 0, width_, height_};
    if (pRect) {
        r = *pRect;
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > width_ ||
            r.bottom > height_) {
            return D3DERR_INVALIDCALL;
        }
    }
    const bool blocks = pixelformat::isBlockCompressed(format_);
    if (blocks && ((r.left | r.top) & 3)) return D3DERR_INVALIDCALL;
    if (!lockAllowed()) return D3DERR_INVALIDCALL;
    const auto* info = pixelformat::findFormat(format_);
    size_t offset;
    if (blocks) {
        offset = static_cast<size_t>(r.top / 4) * pitch_ + static_cast<size_t>(r.left / 4) * (format_ == D3DFMT_DXT1 ? 8 : 16);
    } else {
        offset = static_cast<size_t>(r.top) * pitch_ + static_cast<size_t>(r.left) * info->bitsPerPixel / 8;
    }
    pLockedRect->Pitch = pitch_;
    pLockedRect->pBits = storage_.data() + offset;
    locked_ = true;
    return D3D_OK;
}

HRESULT SurfaceImpl::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    ++version_;
    return D3D_OK;
}

// ---- TextureImpl ------------------------------------------------------------------

TextureImpl::TextureImpl(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool, std::string label)
    : core_(std::make_unique<ResourceCore>(device, std::move(label), [this] { delete this; })),
      format_(format),
      usage_(usage),
      pool_(pool) {
    const bool lockable = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC);
    for (UINT i = 0; i < levels; ++i) {
        const int w = std::max(1, static_cast<int>(width >> i)), h = std::max(1, static_cast<int>(height >> i));
        auto surface = std::make_unique<SurfaceImpl>(device, SurfaceImpl::Owner::Texture, format, w, h, usage, pool,
                                                     core_->label() + "/" + std::to_string(i));
        surface->setContainer(this);
        surface->setLockable(lockable);
        levels_.push_back(std::move(surface));
    }
    shadows_.resize(levels);
}

HRESULT TextureImpl::QueryInterface(REFIID riid, void** ppvObj) {
    return queryInterface(riid, ppvObj, this,
                          {&IID_IUnknown, &IID_IDirect3DResource8, &IID_IDirect3DBaseTexture8, &IID_IDirect3DTexture8});
}

ULONG TextureImpl::Release() {
    if (recording()) record("Release(" + core_->label() + ")");
    return core_->release();
}

HRESULT TextureImpl::GetDevice(IDirect3DDevice8** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    core_->device()->AddRef();
    *ppDevice = core_->device();
    return D3D_OK;
}

DWORD TextureImpl::SetPriority(DWORD PriorityNew) {
    const DWORD old = core_->priority;
    if (pool_ == D3DPOOL_MANAGED) core_->priority = PriorityNew;
    return old;
}

DWORD TextureImpl::SetLOD(DWORD LODNew) {
    const DWORD old = lod_;
    if (pool_ == D3DPOOL_MANAGED) lod_ = std::min<DWORD>(LODNew, static_cast<DWORD>(levels_.size()) - 1);
    return old;
}

HRESULT TextureImpl::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[Level]->GetDesc(pDesc);
}

HRESULT TextureImpl::GetSurfaceLevel(UINT Level, IDirect3DSurface8** ppSurfaceLevel) {
    if (!ppSurfaceLevel || Level >= levels_.size()) return D3DERR_INVALIDCALL;
    AddRef();
    *ppSurfaceLevel = levels_[Level].get();
    return D3D_OK;
}

HRESULT TextureImpl::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD Flags) {
    if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[Level]->LockRect(pLockedRect, pRect, Flags);
}

HRESULT TextureImpl::UnlockRect(UINT Level) {
    if (Level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[Level]->UnlockRect();
}

void TextureImpl::viewForSampling(raster::TextureView& view) {
    const size_t count = std::min<size_t>(levels_.size(), raster::kMaxLevels);
    view.levelCount = static_cast<int>(count);
    for (size_t i = 0; i < count; ++i) {
        SurfaceImpl& level = *levels_[i];
        raster::LevelView& out = view.levels[i];
        out.width = level.width();
        out.height = level.height();
        if (format_ == D3DFMT_A8R8G8B8 || format_ == D3DFMT_X8R8G8B8) {
            out.texels = reinterpret_cast<const uint32_t*>(level.bits());
            out.pitch = level.pitch() / 4;
            out.orMask = format_ == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
            if (i == 0) keepSquared(level, out);
            continue;
        }
        Shadow& shadow = shadows_[i];
        if (shadow.version != level.version()) {
            shadow.texels.assign(static_cast<size_t>(level.width()) * level.height(), 0xFF000000u);
            pixelformat::unpackSurface(format_, level.bits(), level.pitch(), level.width(), level.height(),
                                       shadow.texels.data(), level.width());
            shadow.version = level.version();
        }
        out.texels = shadow.texels.data();
        out.pitch = level.width();
        out.orMask = 0;
        if (i == 0) keepSquared(level, out);
    }
}

void TextureImpl::keepSquared(const SurfaceImpl& level, raster::LevelView& view) {
    Shadow& shadow = shadows_[0];
    if (shadow.squaredVersion != level.version()) {
        const size_t count = static_cast<size_t>(view.pitch) * view.height;
        shadow.squared.resize(count);
        raster::squareTexels(view.texels, view.orMask, shadow.squared.data(), count);
        shadow.squaredVersion = level.version();
    }
    view.squared = shadow.squared.data();
}

// ---- buffers ----------------------------------------------------------------------

template <class Interface, class Desc>
BufferImpl<Interface, Desc>::BufferImpl(DeviceImpl* device, UINT length, DWORD usage, D3DFORMAT format, DWORD fvf,
                                        D3DPOOL pool, std::string label)
    : core_(std::make_unique<ResourceCore>(device, std::move(label), [this] { delete this; })),
      storage_(length),
      usage_(usage),
      format_(format),
      fvf_(fvf),
      pool_(pool) {}

template <class Interface, class Desc>
HRESULT BufferImpl<Interface, Desc>::QueryInterface(REFIID riid, void** ppvObj) {
    const IID* own = std::is_same_v<Interface, IDirect3DVertexBuffer8> ? &IID_IDirect3DVertexBuffer8
                                                                       : &IID_IDirect3DIndexBuffer8;
    return queryInterface(riid, ppvObj, this, {&IID_IUnknown, &IID_IDirect3DResource8, own});
}

template <class Interface, class Desc>
ULONG BufferImpl<Interface, Desc>::Release() {
    if (recording()) record("Release(" + core_->label() + ")");
    return core_->release();
}

template <class Interface, class Desc>
HRESULT BufferImpl<Interface, Desc>::GetDevice(IDirect3DDevice8** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    core_->device()->AddRef();
    *ppDevice = core_->device();
    return D3D_OK;
}

template <class Interface, class Desc>
DWORD BufferImpl<Interface, Desc>::SetPriority(DWORD PriorityNew) {
    const DWORD old = core_->priority;
    core_->priority = PriorityNew;
    return old;
}

template <class Interface, class Desc>
D3DRESOURCETYPE BufferImpl<Interface, Desc>::GetType() {
    return std::is_same_v<Interface, IDirect3DVertexBuffer8> ? D3DRTYPE_VERTEXBUFFER : D3DRTYPE_INDEXBUFFER;
}

template <class Interface, class Desc>
HRESULT BufferImpl<Interface, Desc>::Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags) {
    if (recording()) record(formatCall("Lock(%s,%u,%u,%u)", core_->label().c_str(), OffsetToLock, SizeToLock, Flags));
    if (!ppbData) return D3DERR_INVALIDCALL;
    *ppbData = nullptr;
    const size_t length = storage_.size();
    if (OffsetToLock > length || static_cast<size_t>(OffsetToLock) + SizeToLock > length) return D3DERR_INVALIDCALL;
    if (!lockAllowed()) return D3DERR_INVALIDCALL;
    ++lockDepth_;
    *ppbData = storage_.data() + OffsetToLock;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT BufferImpl<Interface, Desc>::Unlock() {
    if (recording()) record("Unlock(" + core_->label() + ")");
    if (lockDepth_ == 0) return D3DERR_INVALIDCALL;
    --lockDepth_;
    return D3D_OK;
}

template <class Interface, class Desc>
HRESULT BufferImpl<Interface, Desc>::GetDesc(Desc* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Format = format_;
    pDesc->Type = GetType();
    pDesc->Usage = usage_;
    pDesc->Pool = pool_;
    pDesc->Size = static_cast<UINT>(storage_.size());
    if constexpr (std::is_same_v<Desc, D3DVERTEXBUFFER_DESC>) pDesc->FVF = fvf_;
    return D3D_OK;
}

template class BufferImpl<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>;
template class BufferImpl<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>;

}  // namespace d3d8impl
