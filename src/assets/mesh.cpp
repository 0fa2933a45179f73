// Models on the device: write-only buffers in the default pool, filled once at load, and
// one indexed triangle list per draw.
#include "assets.h"

#include <cstring>

namespace {

template <typename Buffer>
void releaseBuffer(Buffer*& buffer)
{
    if (buffer)
        buffer->Release();
    buffer = nullptr;
}

// Creates a buffer through `create`, then copies `size` bytes of `data` into it. False,
// with nothing left behind, when the creation or the lock fails.
template <typename Buffer, typename Create>
bool fillBuffer(Buffer*& buffer, const void* data, UINT size, Create create)
{
    if (FAILED(create(&buffer)) || buffer == nullptr) {
        buffer = nullptr;
        return false;
    }
    BYTE* target = nullptr;
    if (FAILED(buffer->Lock(0, size, &target, 0)) || target == nullptr) {
        releaseBuffer(buffer);
        return false;
    }
    std::memcpy(target, data, size);
    buffer->Unlock();
    return true;
}

bool createBuffers(Mesh& mesh)
{
    IDirect3DDevice8* device = showState.device;
    if (device == nullptr)
        return false;
    const UINT vertexBytes = UINT(mesh.vertexCount) * sizeof(MeshVertex);
    const UINT indexBytes = UINT(mesh.indexCount) * sizeof(uint32_t);
    const bool vertices = fillBuffer(mesh.vertexBuffer, mesh.vertices.get(), vertexBytes, [&](auto** buffer) {
        return device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, MESH_FVF, D3DPOOL_DEFAULT, buffer);
    });
    return vertices && fillBuffer(mesh.indexBuffer, mesh.indices.get(), indexBytes, [&](auto** buffer) {
        return device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT, buffer);
    });
}

// Moves the parsed arrays into the mesh as the loader's own copies.
void takeModel(Mesh& mesh, const ModelData& model)
{
    mesh.vertexCount = static_cast<int32_t>(model.vertices.size());
    mesh.indexCount = static_cast<int32_t>(model.indices.size());
    mesh.triangleCount = mesh.indexCount / 3;
    mesh.vertices = std::make_unique<MeshVertex[]>(model.vertices.size());
    std::copy(model.vertices.begin(), model.vertices.end(), mesh.vertices.get());
    mesh.indices = std::make_unique<uint32_t[]>(model.indices.size());
    std::copy(model.indices.begin(), model.indices.end(), mesh.indices.get());
}

} // namespace

Mesh* loadModel(const char* path)
{
    Mesh* mesh = new Mesh{};
    ModelData model;
    if (!readModelFile(path, model)) {
        MessageBoxA(showState.window, "Failed to load model", path, MB_OK);
        return mesh;
    }
    // A model without triangles is well formed but has nothing to draw: it needs no buffers.
    if (model.indices.empty())
        return mesh;
    takeModel(*mesh, model);
    if (!createBuffers(*mesh)) {
        releaseMesh(mesh);
        MessageBoxA(showState.window, "Failed to load model", path, MB_OK);
    }
    return mesh;
}

void drawMesh(const Mesh* mesh)
{
    if (mesh == nullptr || mesh->vertexBuffer == nullptr || mesh->indexBuffer == nullptr ||
        mesh->triangleCount <= 0)
        return;
    IDirect3DDevice8* device = showState.device;
    if (FAILED(device->BeginScene()))
        return;
    device->SetVertexShader(MESH_FVF);
    device->SetStreamSource(0, mesh->vertexBuffer, sizeof(MeshVertex));
    device->SetIndices(mesh->indexBuffer, 0);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, UINT(mesh->vertexCount), 0, UINT(mesh->triangleCount));
    device->EndScene();
}

void releaseMesh(Mesh* mesh)
{
    if (mesh == nullptr)
        return;
    releaseBuffer(mesh->vertexBuffer);
    releaseBuffer(mesh->indexBuffer);
    mesh->vertices.reset();
    mesh->indices.reset();
    mesh->vertexCount = mesh->triangleCount = mesh->indexCount = 0;
}
