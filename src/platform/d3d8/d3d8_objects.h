// The objects behind the Direct3D 8 interfaces: Direct3D, the device with its state and
// flip chain, buffers, textures and surfaces. Internal to the platform layer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "d3d8.h"
#include "d3d8_host.h"
#include "raster.h"

namespace d3d8impl {

// ---- host bookkeeping -------------------------------------------------------------

struct HostState {
    d3d8host::DeviceConfig config;
    d3d8host::PresentHook presentHook;
    uint64_t presents = 0;
    bool recording = false;
    std::vector<std::string> calls;
    int liveObjects = 0;
    int textureLabels = 0, vertexBufferLabels = 0, indexBufferLabels = 0, surfaceLabels = 0;
    int createTextureCalls = 0;
    int lockCalls = 0;
};
HostState& host();

inline bool recording() { return host().recording; }
void record(std::string line);
std::string formatCall(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string matrixText(const D3DMATRIX& m);

// True when the lock counter allows one more lock (failure injection).
bool lockAllowed();

class DeviceImpl;

// Counts itself in liveObjectCount() for as long as it exists.
class LiveObject {
public:
    LiveObject() { ++host().liveObjects; }
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;
    virtual ~LiveObject() { --host().liveObjects; }
};

// Reference counting shared by the device's resources. The public count belongs to the
// application; the device's bindings (SetTexture, SetStreamSource, SetIndices) hold the
// object alive too, without showing in the public count, as the real runtime does.
class ResourceCore : public LiveObject {
public:
    // destroyOwner deletes the object that holds this core, once nothing refers to it.
    ResourceCore(DeviceImpl* device, std::string label, std::function<void()> destroyOwner);
    ~ResourceCore() override;
    ULONG addRef() { return ++refs_; }
    ULONG release();
    void bind() { ++binds_; }
    void unbind();
    const std::string& label() const { return label_; }
    DeviceImpl* device() const { return device_; }
    DWORD priority = 0;

private:
    std::function<void()> destroyOwner_;
    DeviceImpl* device_;
    std::string label_;
    ULONG refs_ = 1;
    int binds_ = 0;
};

HRESULT queryInterface(REFIID riid, void** out, IUnknown* self, std::initializer_list<const IID*> ids);

// ---- surfaces ---------------------------------------------------------------------

class TextureImpl;

class SurfaceImpl final : public IDirect3DSurface8 {
public:
    enum class Owner { Texture, Device, Standalone };
    SurfaceImpl(DeviceImpl* device, Owner owner, D3DFORMAT format, int width, int height, DWORD usage,
                D3DPOOL pool, std::string label);
    ~SurfaceImpl();

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObj) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // IDirect3DSurface8
    STDMETHOD(GetDevice)(IDirect3DDevice8** ppDevice) override;
    STDMETHOD(SetPrivateData)(REFGUID, CONST void*, DWORD, DWORD) override { return D3D_OK; }
    STDMETHOD(GetPrivateData)(REFGUID, void*, DWORD*) override { return D3DERR_NOTFOUND; }
    STDMETHOD(FreePrivateData)(REFGUID) override { return D3DERR_NOTFOUND; }
    STDMETHOD(GetContainer)(REFIID riid, void** ppContainer) override;
    STDMETHOD(GetDesc)(D3DSURFACE_DESC* pDesc) override;
    STDMETHOD(LockRect)(D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD Flags) override;
    STDMETHOD(UnlockRect)() override;

    D3DFORMAT format() const { return format_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int pitch() const { return pitch_; }
    uint8_t* bits() { return storage_.data(); }
    const uint8_t* bits() const { return storage_.data(); }
    size_t byteSize() const { return storage_.size(); }
    uint32_t version() const { return version_; }
    void touch() { ++version_; }
    bool locked() const { return locked_; }
    void swapStorage(SurfaceImpl& other) {
        storage_.swap(other.storage_);
        ++version_;
        ++other.version_;
    }
    void setContainer(TextureImpl* texture) { container_ = texture; }
    void setLockable(bool lockable) { lockable_ = lockable; }
    const std::string& label() const { return label_; }

private:
    DeviceImpl* device_;
    Owner owner_;
    TextureImpl* container_ = nullptr;
    std::unique_ptr<ResourceCore> core_;  // standalone surfaces only
    D3DFORMAT format_;
    int width_, height_, pitch_;
    DWORD usage_;
    D3DPOOL pool_;
    std::string label_;
    std::vector<uint8_t> storage_;
    uint32_t version_ = 1;
    bool locked_ = false;
    bool lockable_ = true;
};

// ---- textures ---------------------------------------------------------------------

class TextureImpl final : public IDirect3DTexture8 {
public:
    TextureImpl(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool, std::string label);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObj) override;
    STDMETHOD_(ULONG, AddRef)() override { return core_->addRef(); }
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetDevice)(IDirect3DDevice8** ppDevice) override;
    STDMETHOD(SetPrivateData)(REFGUID, CONST void*, DWORD, DWORD) override { return D3D_OK; }
    STDMETHOD(GetPrivateData)(REFGUID, void*, DWORD*) override { return D3DERR_NOTFOUND; }
    STDMETHOD(FreePrivateData)(REFGUID) override { return D3DERR_NOTFOUND; }
    STDMETHOD_(DWORD, SetPriority)(DWORD PriorityNew) override;
    STDMETHOD_(DWORD, GetPriority)() override { return core_->priority; }
    STDMETHOD_(void, PreLoad)() override {}
    STDMETHOD_(D3DRESOURCETYPE, GetType)() override { return D3DRTYPE_TEXTURE; }
    STDMETHOD_(DWORD, SetLOD)(DWORD LODNew) override;
    STDMETHOD_(DWORD, GetLOD)() override { return lod_; }
    STDMETHOD_(DWORD, GetLevelCount)() override { return static_cast<DWORD>(levels_.size()); }
    STDMETHOD(GetLevelDesc)(UINT Level, D3DSURFACE_DESC* pDesc) override;
    STDMETHOD(GetSurfaceLevel)(UINT Level, IDirect3DSurface8** ppSurfaceLevel) override;
    STDMETHOD(LockRect)(UINT Level, D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD Flags) override;
    STDMETHOD(UnlockRect)(UINT Level) override;
    STDMETHOD(AddDirtyRect)(CONST RECT*) override { return D3D_OK; }

    ResourceCore& core() { return *core_; }
    D3DFORMAT format() const { return format_; }
    D3DPOOL pool() const { return pool_; }
    DWORD usage() const { return usage_; }
    SurfaceImpl& level(size_t i) { return *levels_[i]; }
    size_t levelCount() const { return levels_.size(); }
    // Up-to-date 32-bit views of every level for the sampler.
    void viewForSampling(raster::TextureView& view);

private:
    friend class ResourceCore;
    std::unique_ptr<ResourceCore> core_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    DWORD lod_ = 0;
    std::vector<std::unique_ptr<SurfaceImpl>> levels_;
    struct Shadow {
        std::vector<uint32_t> texels;
        uint32_t version = 0;
        std::vector<uint32_t> squared;  // level 0 only
        uint32_t squaredVersion = 0;
    };
    void keepSquared(const SurfaceImpl& level, raster::LevelView& view);
    std::vector<Shadow> shadows_;
};

// ---- buffers ----------------------------------------------------------------------

template <class Interface, class Desc>
class BufferImpl final : public Interface {
public:
    BufferImpl(DeviceImpl* device, UINT length, DWORD usage, D3DFORMAT format, DWORD fvf, D3DPOOL pool,
               std::string label);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObj) override;
    STDMETHOD_(ULONG, AddRef)() override { return core_->addRef(); }
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetDevice)(IDirect3DDevice8** ppDevice) override;
    STDMETHOD(SetPrivateData)(REFGUID, CONST void*, DWORD, DWORD) override { return D3D_OK; }
    STDMETHOD(GetPrivateData)(REFGUID, void*, DWORD*) override { return D3DERR_NOTFOUND; }
    STDMETHOD(FreePrivateData)(REFGUID) override { return D3DERR_NOTFOUND; }
    STDMETHOD_(DWORD, SetPriority)(DWORD PriorityNew) override;
    STDMETHOD_(DWORD, GetPriority)() override { return core_->priority; }
    STDMETHOD_(void, PreLoad)() override {}
    STDMETHOD_(D3DRESOURCETYPE, GetType)() override;
    STDMETHOD(Lock)(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags) override;
    STDMETHOD(Unlock)() override;
    STDMETHOD(GetDesc)(Desc* pDesc) override;

    ResourceCore& core() { return *core_; }
    const uint8_t* data() const { return storage_.data(); }
    UINT length() const { return static_cast<UINT>(storage_.size()); }
    D3DFORMAT format() const { return format_; }

private:
    std::unique_ptr<ResourceCore> core_;
    std::vector<uint8_t> storage_;
    DWORD usage_;
    D3DFORMAT format_;
    DWORD fvf_;
    D3DPOOL pool_;
    int lockDepth_ = 0;
};

using VertexBufferImpl = BufferImpl<IDirect3DVertexBuffer8, D3DVERTEXBUFFER_DESC>;
using IndexBufferImpl = BufferImpl<IDirect3DIndexBuffer8, D3DINDEXBUFFER_DESC>;

// ---- Direct3D and the device ------------------------------------------------------

class Direct3DImpl final : public IDirect3D8, public LiveObject {
public:
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObj) override;
    STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
    STDMETHOD_(ULONG, Release)() override;
    ULONG releaseInternal();
    STDMETHOD(RegisterSoftwareDevice)(void*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD_(UINT, GetAdapterCount)() override { return 1; }
    STDMETHOD(GetAdapterIdentifier)(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER8* pIdentifier) override;
    STDMETHOD_(UINT, GetAdapterModeCount)(UINT Adapter) override;
    STDMETHOD(EnumAdapterModes)(UINT Adapter, UINT Mode, D3DDISPLAYMODE* pMode) override;
    STDMETHOD(GetAdapterDisplayMode)(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    STDMETHOD(CheckDeviceType)(UINT Adapter, D3DDEVTYPE CheckType, D3DFORMAT DisplayFormat,
                               D3DFORMAT BackBufferFormat, BOOL Windowed) override;
    STDMETHOD(CheckDeviceFormat)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                 D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
    STDMETHOD(CheckDeviceMultiSampleType)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat,
                                          BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType) override;
    STDMETHOD(CheckDepthStencilMatch)(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                      D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
    STDMETHOD(GetDeviceCaps)(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS8* pCaps) override;
    STDMETHOD_(HMONITOR, GetAdapterMonitor)(UINT Adapter) override;
    STDMETHOD(CreateDevice)(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                            D3DPRESENT_PARAMETERS* pPresentationParameters,
                            IDirect3DDevice8** ppReturnedDeviceInterface) override;

private:
    ULONG refs_ = 1;
};

bool containsFormat(const std::vector<D3DFORMAT>& formats, D3DFORMAT format);

}  // namespace d3d8impl
