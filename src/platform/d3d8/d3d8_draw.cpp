#include "d3d8_device.h"

namespace d3d8impl {
namespace {

// Vertices a draw of primCount primitives of the type reads.
UINT vertexCountFor(D3DPRIMITIVETYPE type, UINT primCount) {
    switch (type) {
    case D3DPT_POINTLIST: return primCount;
    case D3DPT_LINELIST: return primCount * 2;
    case D3DPT_LINESTRIP: return primCount + 1;
    case D3DPT_TRIANGLELIST: return primCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primCount + 2;
    default: return 0;
    }
}

bool fitsIn(uint64_t firstVertex, uint64_t count, uint64_t stride, uint64_t vertexSize, uint64_t length) {
    return count == 0 || (firstVertex + count - 1) * stride + vertexSize <= length;
}

}  // namespace

void DeviceImpl::prepareDrawState() {
    for (int stage = 0; stage < raster::kMaxStages; ++stage) {
        if (textures_[stage]) {
            textures_[stage]->viewForSampling(state_.textures[stage]);
        } else {
            state_.textures[stage].levelCount = 0;
        }
    }
    state_.lights = lights_.data();
    state_.lightCount = static_cast<int>(lights_.size());
}

HRESULT DeviceImpl::drawCommon(D3DPRIMITIVETYPE type, const raster::VertexInput& vertices,
                               const raster::IndexInput& indices, UINT start, UINT primCount) {
    // A card configured to skip pixels still validates and records every draw.
    if (!d3d8host::deviceConfig().drawPixels)
        return D3D_OK;
    prepareDrawState();
    raster::ColourTarget target;
    target.pixels = reinterpret_cast<uint32_t*>(backBuffer_->bits());
    target.width = backBuffer_->width();
    target.height = backBuffer_->height();
    target.pitch = backBuffer_->pitch() / 4;
    target.hasAlpha = backBuffer_->format() == D3DFMT_A8R8G8B8;
    raster::DepthTarget depth;
    if (depthBuffer_) {
        depth.values = reinterpret_cast<uint16_t*>(depthBuffer_->bits());
        depth.pitch = depthBuffer_->pitch() / 2;
    }
    raster::drawPrimitives(state_, target, depth, type, vertices, indices, start, primCount);
    backBuffer_->touch();
    return D3D_OK;
}

HRESULT DeviceImpl::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    if (recording()) record(formatCall("DrawPrimitive(%d,%u,%u)", PrimitiveType, StartVertex, PrimitiveCount));
    const UINT count = vertexCountFor(PrimitiveType, PrimitiveCount);
    const UINT size = raster::vertexSizeOfFvf(vertexShader_);
    if (!inScene_ || !stream_ || size == 0 || streamStride_ < size ||
        (PrimitiveType < D3DPT_POINTLIST || PrimitiveType > D3DPT_TRIANGLEFAN)) {
        return D3DERR_INVALIDCALL;
    }
    if (PrimitiveCount == 0) return D3D_OK;
    if (!fitsIn(StartVertex, count, streamStride_, size, stream_->length())) return D3DERR_INVALIDCALL;
    raster::VertexInput vertices{stream_->data(), streamStride_, vertexShader_, StartVertex, count};
    return drawCommon(PrimitiveType, vertices, raster::IndexInput{}, StartVertex, PrimitiveCount);
}

HRESULT DeviceImpl::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT minIndex, UINT NumVertices,
                                         UINT startIndex, UINT primCount) {
    if (recording()) {
        record(formatCall("DrawIndexedPrimitive(%d,%u,%u,%u,%u)", PrimitiveType, minIndex, NumVertices, startIndex,
                          primCount));
    }
    const UINT count = vertexCountFor(PrimitiveType, primCount);
    const UINT size = raster::vertexSizeOfFvf(vertexShader_);
    if (!inScene_ || !stream_ || !indices_ || size == 0 || streamStride_ < size || NumVertices == 0 ||
        (PrimitiveType < D3DPT_POINTLIST || PrimitiveType > D3DPT_TRIANGLEFAN)) {
        return D3DERR_INVALIDCALL;
    }
    if (primCount == 0) return D3D_OK;
    const UINT indexSize = indices_->format() == D3DFMT_INDEX32 ? 4 : 2;
    if ((static_cast<uint64_t>(startIndex) + count) * indexSize > indices_->length()) return D3DERR_INVALIDCALL;
    const uint64_t first = static_cast<uint64_t>(baseVertexIndex_) + minIndex;
    if (!fitsIn(first, NumVertices, streamStride_, size, stream_->length())) return D3DERR_INVALIDCALL;
    raster::VertexInput vertices{stream_->data(), streamStride_, vertexShader_, static_cast<UINT>(first), NumVertices};
    raster::IndexInput indices{indices_->data(), indexSize == 4, baseVertexIndex_};
    return drawCommon(PrimitiveType, vertices, indices, startIndex, primCount);
}

HRESULT DeviceImpl::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                    CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    if (recording()) {
        record(formatCall("DrawPrimitiveUP(%d,%u,%u)", PrimitiveType, PrimitiveCount, VertexStreamZeroStride));
    }
    const UINT count = vertexCountFor(PrimitiveType, PrimitiveCount);
    const UINT size = raster::vertexSizeOfFvf(vertexShader_);
    if (!inScene_ || !pVertexStreamZeroData || size == 0 || VertexStreamZeroStride < size ||
        (PrimitiveType < D3DPT_POINTLIST || PrimitiveType > D3DPT_TRIANGLEFAN)) {
        return D3DERR_INVALIDCALL;
    }
    // The stream-zero binding does not survive a draw from user memory.
    bindStream(nullptr, 0);
    if (PrimitiveCount == 0) return D3D_OK;
    raster::VertexInput vertices{static_cast<const uint8_t*>(pVertexStreamZeroData), VertexStreamZeroStride,
                                 vertexShader_, 0, count};
    return drawCommon(PrimitiveType, vertices, raster::IndexInput{}, 0, PrimitiveCount);
}

HRESULT DeviceImpl::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                           UINT NumVertexIndices, UINT PrimitiveCount, CONST void* pIndexData,
                                           D3DFORMAT IndexDataFormat, CONST void* pVertexStreamZeroData,
                                           UINT VertexStreamZeroStride) {
    if (recording()) {
        record(formatCall("DrawIndexedPrimitiveUP(%d,%u,%u,%u,%u,%u)", PrimitiveType, MinVertexIndex,
                          NumVertexIndices, PrimitiveCount, static_cast<unsigned>(IndexDataFormat),
                          VertexStreamZeroStride));
    }
    const UINT size = raster::vertexSizeOfFvf(vertexShader_);
    if (!inScene_ || !pIndexData || !pVertexStreamZeroData || size == 0 || VertexStreamZeroStride < size ||
        NumVertexIndices == 0 || (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32) ||
        (PrimitiveType < D3DPT_POINTLIST || PrimitiveType > D3DPT_TRIANGLEFAN)) {
        return D3DERR_INVALIDCALL;
    }
    bindStream(nullptr, 0);
    bindIndices(nullptr, 0);
    if (PrimitiveCount == 0) return D3D_OK;
    raster::VertexInput vertices{static_cast<const uint8_t*>(pVertexStreamZeroData), VertexStreamZeroStride,
                                 vertexShader_, MinVertexIndex, NumVertexIndices};
    raster::IndexInput indices{static_cast<const uint8_t*>(pIndexData), IndexDataFormat == D3DFMT_INDEX32, 0};
    return drawCommon(PrimitiveType, vertices, indices, 0, PrimitiveCount);
}

void DeviceImpl::bindStream(VertexBufferImpl* buffer, UINT stride) {
    if (buffer) buffer->core().bind();
    if (stream_) stream_->core().unbind();
    stream_ = buffer;
    streamStride_ = stride;
}

void DeviceImpl::bindIndices(IndexBufferImpl* buffer, UINT base) {
    if (buffer) buffer->core().bind();
    if (indices_) indices_->core().unbind();
    indices_ = buffer;
    baseVertexIndex_ = base;
}

}  // namespace d3d8impl
