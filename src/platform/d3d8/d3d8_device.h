// The Direct3D 8 device: full fixed-function state at Direct3D 8's defaults, resources,
// the flip chain, and draws handed to the rasteriser.
#pragma once

#include "d3d8_objects.h"

namespace d3d8impl {

class DeviceImpl final : public IDirect3DDevice8, public LiveObject {
public:
    DeviceImpl(Direct3DImpl* d3d, HWND window, DWORD behaviour, const D3DPRESENT_PARAMETERS& params);
    ~DeviceImpl() override;

    void addRefInternal() { ++refs_; }
    ULONG releaseInternal();

    // IUnknown
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObj) override;
    STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
    STDMETHOD_(ULONG, Release)() override;

    // IDirect3DDevice8
    STDMETHOD(TestCooperativeLevel)() override { return D3D_OK; }
    STDMETHOD_(UINT, GetAvailableTextureMem)() override { return 256u << 20; }
    STDMETHOD(ResourceManagerDiscardBytes)(DWORD) override { return D3D_OK; }
    STDMETHOD(GetDirect3D)(IDirect3D8** ppD3D8) override;
    STDMETHOD(GetDeviceCaps)(D3DCAPS8* pCaps) override;
    STDMETHOD(GetDisplayMode)(D3DDISPLAYMODE* pMode) override;
    STDMETHOD(GetCreationParameters)(D3DDEVICE_CREATION_PARAMETERS* pParameters) override;
    STDMETHOD(SetCursorProperties)(UINT, UINT, IDirect3DSurface8*) override { return D3D_OK; }
    STDMETHOD_(void, SetCursorPosition)(int, int, DWORD) override {}
    STDMETHOD_(BOOL, ShowCursor)(BOOL bShow) override;
    STDMETHOD(CreateAdditionalSwapChain)(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain8**) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(Reset)(D3DPRESENT_PARAMETERS*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(Present)(CONST RECT* pSourceRect, CONST RECT* pDestRect, HWND hDestWindowOverride,
                       CONST RGNDATA* pDirtyRegion) override;
    STDMETHOD(GetBackBuffer)(UINT BackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface8** ppBackBuffer) override;
    STDMETHOD(GetRasterStatus)(D3DRASTER_STATUS* pRasterStatus) override;
    STDMETHOD_(void, SetGammaRamp)(DWORD, CONST D3DGAMMARAMP* pRamp) override;
    STDMETHOD_(void, GetGammaRamp)(D3DGAMMARAMP* pRamp) override;
    STDMETHOD(CreateTexture)(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                             IDirect3DTexture8** ppTexture) override;
    STDMETHOD(CreateVolumeTexture)(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                   IDirect3DVolumeTexture8**) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(CreateCubeTexture)(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture8**) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(CreateVertexBuffer)(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                  IDirect3DVertexBuffer8** ppVertexBuffer) override;
    STDMETHOD(CreateIndexBuffer)(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                 IDirect3DIndexBuffer8** ppIndexBuffer) override;
    STDMETHOD(CreateRenderTarget)(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, BOOL,
                                  IDirect3DSurface8**) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(CreateDepthStencilSurface)(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE,
                                         IDirect3DSurface8**) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(CreateImageSurface)(UINT Width, UINT Height, D3DFORMAT Format, IDirect3DSurface8** ppSurface) override;
    STDMETHOD(CopyRects)(IDirect3DSurface8* pSourceSurface, CONST RECT* pSourceRectsArray, UINT cRects,
                         IDirect3DSurface8* pDestinationSurface, CONST POINT* pDestPointsArray) override;
    STDMETHOD(UpdateTexture)(IDirect3DBaseTexture8* pSourceTexture,
                             IDirect3DBaseTexture8* pDestinationTexture) override;
    STDMETHOD(GetFrontBuffer)(IDirect3DSurface8* pDestSurface) override;
    STDMETHOD(SetRenderTarget)(IDirect3DSurface8* pRenderTarget, IDirect3DSurface8* pNewZStencil) override;
    STDMETHOD(GetRenderTarget)(IDirect3DSurface8** ppRenderTarget) override;
    STDMETHOD(GetDepthStencilSurface)(IDirect3DSurface8** ppZStencilSurface) override;
    STDMETHOD(BeginScene)() override;
    STDMETHOD(EndScene)() override;
    STDMETHOD(Clear)(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                     DWORD Stencil) override;
    STDMETHOD(SetTransform)(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) override;
    STDMETHOD(GetTransform)(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    STDMETHOD(MultiplyTransform)(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) override;
    STDMETHOD(SetViewport)(CONST D3DVIEWPORT8* pViewport) override;
    STDMETHOD(GetViewport)(D3DVIEWPORT8* pViewport) override;
    STDMETHOD(SetMaterial)(CONST D3DMATERIAL8* pMaterial) override;
    STDMETHOD(GetMaterial)(D3DMATERIAL8* pMaterial) override;
    STDMETHOD(SetLight)(DWORD Index, CONST D3DLIGHT8* pLight) override;
    STDMETHOD(GetLight)(DWORD Index, D3DLIGHT8* pLight) override;
    STDMETHOD(LightEnable)(DWORD Index, BOOL Enable) override;
    STDMETHOD(GetLightEnable)(DWORD Index, BOOL* pEnable) override;
    STDMETHOD(SetClipPlane)(DWORD Index, CONST float* pPlane) override;
    STDMETHOD(GetClipPlane)(DWORD Index, float* pPlane) override;
    STDMETHOD(SetRenderState)(D3DRENDERSTATETYPE State, DWORD Value) override;
    STDMETHOD(GetRenderState)(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    STDMETHOD(BeginStateBlock)() override { return D3DERR_INVALIDCALL; }
    STDMETHOD(EndStateBlock)(DWORD*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(ApplyStateBlock)(DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(CaptureStateBlock)(DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(DeleteStateBlock)(DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(CreateStateBlock)(D3DSTATEBLOCKTYPE, DWORD*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(SetClipStatus)(CONST D3DCLIPSTATUS8* pClipStatus) override;
    STDMETHOD(GetClipStatus)(D3DCLIPSTATUS8* pClipStatus) override;
    STDMETHOD(GetTexture)(DWORD Stage, IDirect3DBaseTexture8** ppTexture) override;
    STDMETHOD(SetTexture)(DWORD Stage, IDirect3DBaseTexture8* pTexture) override;
    STDMETHOD(GetTextureStageState)(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    STDMETHOD(SetTextureStageState)(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    STDMETHOD(ValidateDevice)(DWORD* pNumPasses) override;
    STDMETHOD(GetInfo)(DWORD, void*, DWORD) override { return S_FALSE; }
    STDMETHOD(SetPaletteEntries)(UINT PaletteNumber, CONST PALETTEENTRY* pEntries) override;
    STDMETHOD(GetPaletteEntries)(UINT PaletteNumber, PALETTEENTRY* pEntries) override;
    STDMETHOD(SetCurrentTexturePalette)(UINT PaletteNumber) override;
    STDMETHOD(GetCurrentTexturePalette)(UINT* PaletteNumber) override;
    STDMETHOD(DrawPrimitive)(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
    STDMETHOD(DrawIndexedPrimitive)(D3DPRIMITIVETYPE PrimitiveType, UINT minIndex, UINT NumVertices,
                                    UINT startIndex, UINT primCount) override;
    STDMETHOD(DrawPrimitiveUP)(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                               CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;
    STDMETHOD(DrawIndexedPrimitiveUP)(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertexIndices,
                                      UINT PrimitiveCount, CONST void* pIndexData, D3DFORMAT IndexDataFormat,
                                      CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;
    STDMETHOD(ProcessVertices)(UINT, UINT, UINT, IDirect3DVertexBuffer8*, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(CreateVertexShader)(CONST DWORD*, CONST DWORD*, DWORD*, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    STDMETHOD(SetVertexShader)(DWORD Handle) override;
    STDMETHOD(GetVertexShader)(DWORD* pHandle) override;
    STDMETHOD(DeleteVertexShader)(DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(SetVertexShaderConstant)(DWORD, CONST void*, DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(GetVertexShaderConstant)(DWORD, void*, DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(GetVertexShaderDeclaration)(DWORD, void*, DWORD*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(GetVertexShaderFunction)(DWORD, void*, DWORD*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(SetStreamSource)(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride) override;
    STDMETHOD(GetStreamSource)(UINT StreamNumber, IDirect3DVertexBuffer8** ppStreamData, UINT* pStride) override;
    STDMETHOD(SetIndices)(IDirect3DIndexBuffer8* pIndexData, UINT BaseVertexIndex) override;
    STDMETHOD(GetIndices)(IDirect3DIndexBuffer8** ppIndexData, UINT* pBaseVertexIndex) override;
    STDMETHOD(CreatePixelShader)(CONST DWORD*, DWORD*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(SetPixelShader)(DWORD Handle) override { return Handle == 0 ? D3D_OK : D3DERR_INVALIDCALL; }
    STDMETHOD(GetPixelShader)(DWORD* pHandle) override;
    STDMETHOD(DeletePixelShader)(DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(SetPixelShaderConstant)(DWORD, CONST void*, DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(GetPixelShaderConstant)(DWORD, void*, DWORD) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(GetPixelShaderFunction)(DWORD, void*, DWORD*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(DrawRectPatch)(UINT, CONST float*, CONST D3DRECTPATCH_INFO*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(DrawTriPatch)(UINT, CONST float*, CONST D3DTRIPATCH_INFO*) override { return D3DERR_INVALIDCALL; }
    STDMETHOD(DeletePatch)(UINT) override { return D3DERR_INVALIDCALL; }

    const D3DCAPS8& caps() const { return caps_; }
    std::string labelOf(IUnknown* object) const;

private:
    void setDefaultStates();
    void unbindAll();
    HRESULT drawCommon(D3DPRIMITIVETYPE type, const raster::VertexInput& vertices, const raster::IndexInput& indices,
                       UINT start, UINT primCount);
    void prepareDrawState();
    void bindStream(VertexBufferImpl* buffer, UINT stride);
    void bindIndices(IndexBufferImpl* buffer, UINT base);
    void presentToSinks();

    ULONG refs_ = 1;
    Direct3DImpl* d3d_;
    HWND window_;
    DWORD behaviour_;
    D3DPRESENT_PARAMETERS params_;
    D3DCAPS8 caps_;
    D3DDISPLAYMODE mode_;

    std::unique_ptr<SurfaceImpl> backBuffer_;
    std::unique_ptr<SurfaceImpl> frontBuffer_;
    std::unique_ptr<SurfaceImpl> depthBuffer_;
    bool inScene_ = false;
    bool cursorShown_ = false;
    D3DGAMMARAMP gamma_{};

    raster::DrawState state_;
    std::vector<raster::LightState> lights_;
    float clipPlanes_[D3DMAXUSERCLIPPLANES][4] = {};
    D3DCLIPSTATUS8 clipStatus_{};
    TextureImpl* textures_[raster::kMaxStages] = {};
    VertexBufferImpl* stream_ = nullptr;
    UINT streamStride_ = 0;
    IndexBufferImpl* indices_ = nullptr;
    UINT baseVertexIndex_ = 0;
    DWORD vertexShader_ = 0;
    std::vector<std::array<PALETTEENTRY, 256>> palettes_;
    UINT currentPalette_ = 0xFFFF;
};

}  // namespace d3d8impl
