// Scenes for the rasteriser benchmarks, drawn through the Direct3D 8 API as the show draws
// them: full-screen blended quads, a swarm of reflection-mapped models with depth, glyph
// quads, and a frame shaped like the heaviest frame of the show.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include <d3d8.h>
#include <d3d8_host.h>
#include <win32_host.h>

namespace rasterbench {

struct QuadVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};

struct MeshVertex {
    float x, y, z, weight, nx, ny, nz, u0, v0, u1, v1;
};

inline D3DMATRIX identity() {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

inline D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return r;
}

inline D3DMATRIX rotationX(float a) {
    D3DMATRIX m = identity();
    m._22 = std::cos(a), m._23 = std::sin(a), m._32 = -std::sin(a), m._33 = std::cos(a);
    return m;
}
inline D3DMATRIX rotationY(float a) {
    D3DMATRIX m = identity();
    m._11 = std::cos(a), m._13 = -std::sin(a), m._31 = std::sin(a), m._33 = std::cos(a);
    return m;
}
inline D3DMATRIX rotationZ(float a) {
    D3DMATRIX m = identity();
    m._11 = std::cos(a), m._12 = std::sin(a), m._21 = -std::sin(a), m._22 = std::cos(a);
    return m;
}
inline D3DMATRIX translation(float x, float y, float z) {
    D3DMATRIX m = identity();
    m._41 = x, m._42 = y, m._43 = z;
    return m;
}
inline D3DMATRIX perspectiveFov(float fovY, float aspect, float zn, float zf) {
    D3DMATRIX m;
    std::memset(&m, 0, sizeof m);
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}
inline D3DMATRIX overlayProjection() {
    D3DMATRIX m = identity();
    m._11 = 2.0f / 640.0f;
    m._22 = -2.0f / 480.0f;
    m._41 = -1.0f;
    m._42 = 1.0f;
    return m;
}

// A torus of rings x sides quads: 2 * rings * sides triangles, outward faces clockwise.
inline void torus(int rings, int sides, float major, float minor, std::vector<MeshVertex>& vertices,
                  std::vector<uint32_t>& indices) {
    vertices.clear();
    indices.clear();
    for (int i = 0; i < rings; ++i) {
        const float a = 6.2831853f * i / rings;
        for (int j = 0; j < sides; ++j) {
            const float b = 6.2831853f * j / sides;
            const float nx = std::cos(a) * std::cos(b), ny = std::sin(a) * std::cos(b), nz = std::sin(b);
            vertices.push_back({(major + minor * std::cos(b)) * std::cos(a), (major + minor * std::cos(b)) * std::sin(a),
                                minor * std::sin(b), 0.0f, nx, ny, nz, static_cast<float>(i) / rings * 4.0f,
                                static_cast<float>(j) / sides, 1.0f, 1.0f});
        }
    }
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < sides; ++j) {
            const uint32_t a = i * sides + j, b = ((i + 1) % rings) * sides + j;
            const uint32_t c = ((i + 1) % rings) * sides + (j + 1) % sides, d = i * sides + (j + 1) % sides;
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    }
}

// Deterministic texture content: smooth gradients with some texel noise and varying alpha.
inline std::vector<uint32_t> patternTexels(int w, int h, uint32_t seed) {
    std::vector<uint32_t> t(static_cast<size_t>(w) * h);
    uint32_t state = seed;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            state = state * 214013u + 2531011u;
            const uint32_t noise = (state >> 16) & 31;
            const uint32_t r = (x * 255 / std::max(1, w - 1)) ^ noise, g = (y * 255 / std::max(1, h - 1)) ^ noise;
            const uint32_t b = ((x + y) * 4) & 0xFF, a = 128 + ((x ^ y) & 127);
            t[static_cast<size_t>(y) * w + x] = (a << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | b;
        }
    }
    return t;
}

class Scene {
public:
    Scene() {
        win32host::resetForTest();
        d3d8host::resetForTest();
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS p = d3d8host::showPresentParameters();
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device);
        device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_DEFAULT, &quadBuffer);
        background = texture(256, 256, 1);
        modelTexture = texture(256, 256, 2);
        reflection = texture(256, 256, 3);
        fade = texture(512, 512, 4);
        picture = texture(256, 256, 5);
        for (int i = 0; i < 42; ++i) glyphs.push_back(texture(32, 32, 100 + i));
        std::vector<MeshVertex> vertices;
        std::vector<uint32_t> indices;
        torus(25, 20, 0.8f, 0.35f, vertices, indices);
        meshVertices = static_cast<UINT>(vertices.size());
        meshTriangles = static_cast<UINT>(indices.size() / 3);
        BYTE* data = nullptr;
        device->CreateVertexBuffer(static_cast<UINT>(vertices.size() * sizeof(MeshVertex)), D3DUSAGE_WRITEONLY, 0x216,
                                   D3DPOOL_DEFAULT, &meshBuffer);
        meshBuffer->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(MeshVertex));
        meshBuffer->Unlock();
        device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 4), D3DUSAGE_WRITEONLY, D3DFMT_INDEX32,
                                  D3DPOOL_DEFAULT, &meshIndices);
        meshIndices->Lock(0, 0, &data, 0);
        std::memcpy(data, indices.data(), indices.size() * 4);
        meshIndices->Unlock();
        // The swarm's places for its second run: the generator's values 136 to 270.
        uint32_t state = 1;
        auto next = [&] {
            state = state * 214013u + 2531011u;
            return (state >> 16) & 0x7FFF;
        };
        for (int i = 0; i < 135; ++i) next();
        for (auto& p : positions) {
            for (float& c : p) c = static_cast<float>(next() % 10000) * 0.001f - 5.0f;
        }
        view = translation(0, 0, 1);
        projection = perspectiveFov(95.0f * 0.017453292f, 1.33f, 0.1f, 100.0f);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    }

    ~Scene() {
        for (IDirect3DTexture8* t : glyphs) t->Release();
        for (IDirect3DTexture8* t : {background, modelTexture, reflection, fade, picture}) t->Release();
        meshBuffer->Release();
        meshIndices->Release();
        quadBuffer->Release();
        device->Release();
        d3d->Release();
    }

    IDirect3DTexture8* texture(int w, int h, uint32_t seed) {
        IDirect3DTexture8* t = nullptr;
        device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t);
        D3DLOCKED_RECT locked;
        t->LockRect(0, &locked, nullptr, 0);
        const auto texels = patternTexels(w, h, seed);
        for (int y = 0; y < h; ++y) std::memcpy(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, &texels[y * w], w * 4);
        t->UnlockRect(0);
        return t;
    }

    // The show's overlay presets.
    void overlayOn() {
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        const D3DMATRIX ortho = overlayProjection(), id = identity();
        device->SetTransform(D3DTS_PROJECTION, &ortho);
        device->SetTransform(D3DTS_VIEW, &id);
        device->SetTransform(D3DTS_WORLD, &id);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    }
    void overlayOff() {
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetTransform(D3DTS_VIEW, &view);
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }

    void quad(int x, int y, int w, int h, IDirect3DTexture8* t, float alpha) {
        const DWORD c = (static_cast<DWORD>(std::clamp(alpha, 0.0f, 1.0f) * 255.0f) << 24) | 0x00FFFFFF;
        const float x0 = static_cast<float>(x), y0 = static_cast<float>(y);
        const float x1 = static_cast<float>(x + w), y1 = static_cast<float>(y + h);
        const QuadVertex q[4] = {{x0, y0, 1, c, 0, 0}, {x1, y0, 1, c, 1, 0}, {x1, y1, 1, c, 1, 1}, {x0, y1, 1, c, 0, 1}};
        BYTE* data = nullptr;
        quadBuffer->Lock(0, 96, &data, 0);
        std::memcpy(data, q, 96);
        quadBuffer->Unlock();
        device->SetTexture(0, t);
        device->BeginScene();
        device->SetVertexShader(0x142);
        device->SetStreamSource(0, quadBuffer, sizeof(QuadVertex));
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
        device->EndScene();
    }

    void swarm(int copies, float ax, float ay, float az, float distance) {
        device->SetTexture(0, modelTexture);
        device->SetTexture(1, reflection);
        device->SetVertexShader(0x216);
        device->SetStreamSource(0, meshBuffer, sizeof(MeshVertex));
        device->SetIndices(meshIndices, 0);
        const D3DMATRIX spin = multiply(multiply(rotationX(ax), rotationY(ay)), rotationZ(az));
        const D3DMATRIX turn = multiply(multiply(rotationX(-ax), rotationY(-ay)), rotationZ(-az));
        for (int i = 0; i < copies; ++i) {
            const D3DMATRIX world = multiply(
                multiply(multiply(spin, translation(positions[i][0], positions[i][1], positions[i][2])), turn),
                translation(0, 0, distance));
            device->SetTransform(D3DTS_WORLD, &world);
            if (device->BeginScene() == D3D_OK) {
                device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, meshVertices, 0, meshTriangles);
                device->EndScene();
            }
        }
    }

    // The model swarm's second run with 45 copies: background, swarm, veil, caption,
    // picture and fade, over a back buffer that is never cleared.
    void heaviestFrame(float fadeAlpha) {
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
        overlayOn();
        quad(0, 0, 640, 480, background, 0.7f);
        overlayOff();
        swarm(45, 1.1f, 2.7f, 2.4f, 7.0f);
        overlayOn();
        device->SetTexture(1, nullptr);
        quad(0, 0, 640, 480, fade, 0.04f);
        for (int i = 0; i < 25; ++i) quad(25 + 18 * i, 113, 32, 32, glyphs[i % 42], 1.0f);
        quad(384, 96, 256, 384, picture, 1.0f);
        quad(0, 0, 640, 480, fade, fadeAlpha);
        overlayOff();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    IDirect3DVertexBuffer8* quadBuffer = nullptr;
    IDirect3DVertexBuffer8* meshBuffer = nullptr;
    IDirect3DIndexBuffer8* meshIndices = nullptr;
    UINT meshVertices = 0, meshTriangles = 0;
    IDirect3DTexture8 *background, *modelTexture, *reflection, *fade, *picture;
    std::vector<IDirect3DTexture8*> glyphs;
    float positions[45][3];
    D3DMATRIX view, projection;
};

}  // namespace rasterbench
