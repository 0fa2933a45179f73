// Fixed-function vertex processing: world x view x projection with row vectors, optional
// vertex blending, lighting, normals to camera space, texture coordinate selection and
// generation, and the per-draw check whether colours are the same on every vertex.
// Maths without errno, so square roots and roundings are single instructions.
#if !defined(__clang__)  // clang takes its own pragmas, below or not at all
#pragma GCC optimize("no-math-errno")
#endif
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "raster_internal.h"

namespace raster {
namespace {

struct Mat4 {
    float m[4][4];
};

Mat4 toMat(const D3DMATRIX& d) {
    Mat4 r;
    std::memcpy(r.m, d.m, sizeof r.m);
    return r;
}

Mat4 mul(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return r;
}

// The inverse transpose of the upper 3x3, which carries normals with row vectors; the
// matrix itself when it cannot be inverted.
Mat4 normalMatrix(const Mat4& a) {
    const auto& m = a.m;
    float c[3][3];
    c[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    c[0][1] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    c[0][2] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    c[1][0] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    c[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    c[1][2] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    c[2][0] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    c[2][1] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    c[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const float det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
    Mat4 r{};
    if (std::fabs(det) < 1e-20f) return a;
    const float inv = 1.0f / det;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) r.m[i][j] = c[i][j] * inv;
    }
    return r;
}

struct Vec3 {
    float x, y, z;
};

inline Vec3 xformPoint3(const float* p, const Mat4& m) {
    return {p[0] * m.m[0][0] + p[1] * m.m[1][0] + p[2] * m.m[2][0] + m.m[3][0],
            p[0] * m.m[0][1] + p[1] * m.m[1][1] + p[2] * m.m[2][1] + m.m[3][1],
            p[0] * m.m[0][2] + p[1] * m.m[1][2] + p[2] * m.m[2][2] + m.m[3][2]};
}

inline void xformPoint4(const float* p, const Mat4& m, float* out) {
    for (int j = 0; j < 4; ++j) out[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
}

inline Vec3 xformVector(const Vec3& n, const Mat4& m) {
    return {n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0], n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
            n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]};
}

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vec3 normalized(const Vec3& v) {
    const float len2 = dot(v, v);
    if (len2 <= 0.0f) return v;
    const float inv = 1.0f / std::sqrt(len2);
    return {v.x * inv, v.y * inv, v.z * inv};
}

inline void colourToFloats(DWORD c, float* out) {
    out[0] = static_cast<float>((c >> 16) & 0xFF);
    out[1] = static_cast<float>((c >> 8) & 0xFF);
    out[2] = static_cast<float>(c & 0xFF);
    out[3] = static_cast<float>(c >> 24);
}

inline DWORD readDword(const uint8_t* p) {
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

inline float readFloat(const uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return v;
}

struct ColourValue {
    float r, g, b, a;
};

ColourValue fromD3D(const D3DCOLORVALUE& c) { return {c.r, c.g, c.b, c.a}; }
ColourValue fromDword(DWORD c) {
    return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, (c >> 24) / 255.0f};
}

struct CameraLight {
    D3DLIGHTTYPE type;
    ColourValue diffuse, specular, ambient;
    Vec3 position, direction;  // camera space; direction normalised, towards where the light shines
    float range, falloff, att0, att1, att2, cosHalfTheta, cosHalfPhi;
};

// Everything per draw that does not change from vertex to vertex.
struct VertexSetup {
    int matrices = 1;  // world matrices blended
    Mat4 worldView[4];
    Mat4 normalMat[4];
    Mat4 wvp;
    Mat4 projection;
    bool needCamera = false;
    bool needNormal = false;
    bool normalize = false;
    bool lighting = false;
    bool localViewer = true;
    ColourValue ambient{};
    std::vector<CameraLight> lights;
    DWORD materialSource[4] = {};  // diffuse, ambient, specular, emissive
    D3DMATERIAL8 material{};
    Mat4 texMatrix[kMaxStages];
};

VertexSetup prepare(const DrawState& s, const PipelineConfig& pipe, const FvfLayout& layout) {
    VertexSetup v;
    const DWORD* rs = s.renderStates;
    const DWORD blend = rs[D3DRS_VERTEXBLEND];
    if (!layout.pretransformed && layout.blendValues > 0 && blend >= D3DVBF_1WEIGHTS && blend <= D3DVBF_3WEIGHTS) {
        v.matrices = std::min<int>(static_cast<int>(blend), layout.blendValues) + 1;
    }
    const Mat4 view = toMat(s.view);
    v.projection = toMat(s.projection);
    for (int i = 0; i < v.matrices; ++i) {
        v.worldView[i] = mul(toMat(s.world[i]), view);
        v.normalMat[i] = normalMatrix(v.worldView[i]);
    }
    v.wvp = mul(v.worldView[0], v.projection);
    v.lighting = rs[D3DRS_LIGHTING] != FALSE && !layout.pretransformed;
    v.normalize = rs[D3DRS_NORMALIZENORMALS] != FALSE;
    v.localViewer = rs[D3DRS_LOCALVIEWER] != FALSE;
    for (int st = 0; st < pipe.stageCount; ++st) {
        const StageConfig& sc = pipe.stages[st];
        if (!sc.sampled) continue;
        const DWORD mode = sc.texCoordIndex & 0xFFFF0000u;
        if (mode != D3DTSS_TCI_PASSTHRU) v.needCamera = true;
        if (mode == D3DTSS_TCI_CAMERASPACENORMAL || mode == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR) {
            v.needNormal = true;
        }
        v.texMatrix[st] = toMat(s.textureMatrix[st]);
    }
    if (v.lighting) {
        v.needCamera = v.needNormal = true;
        v.ambient = fromDword(rs[D3DRS_AMBIENT]);
        const bool colourVertex = rs[D3DRS_COLORVERTEX] != FALSE;
        v.materialSource[0] = colourVertex ? rs[D3DRS_DIFFUSEMATERIALSOURCE] : DWORD(D3DMCS_MATERIAL);
        v.materialSource[1] = colourVertex ? rs[D3DRS_AMBIENTMATERIALSOURCE] : DWORD(D3DMCS_MATERIAL);
        v.materialSource[2] = colourVertex ? rs[D3DRS_SPECULARMATERIALSOURCE] : DWORD(D3DMCS_MATERIAL);
        v.materialSource[3] = colourVertex ? rs[D3DRS_EMISSIVEMATERIALSOURCE] : DWORD(D3DMCS_MATERIAL);
        v.material = s.material;
        for (int i = 0; i < s.lightCount; ++i) {
            const LightState& ls = s.lights[i];
            if (!ls.set || !ls.enabled) continue;
            const D3DLIGHT8& l = ls.light;
            CameraLight c;
            c.type = l.Type;
            c.diffuse = fromD3D(l.Diffuse);
            c.specular = fromD3D(l.Specular);
            c.ambient = fromD3D(l.Ambient);
            const float pos[3] = {l.Position.x, l.Position.y, l.Position.z};
            c.position = xformPoint3(pos, view);
            c.direction = normalized(xformVector({l.Direction.x, l.Direction.y, l.Direction.z}, view));
            c.range = l.Range;
            c.falloff = l.Falloff;
            c.att0 = l.Attenuation0;
            c.att1 = l.Attenuation1;
            c.att2 = l.Attenuation2;
            c.cosHalfTheta = std::cos(l.Theta * 0.5f);
            c.cosHalfPhi = std::cos(l.Phi * 0.5f);
            v.lights.push_back(c);
        }
    }
    return v;
}

ColourValue materialColour(DWORD source, const D3DCOLORVALUE& material, bool hasDiffuse, DWORD diffuse,
                           bool hasSpecular, DWORD specular) {
    if (source == D3DMCS_COLOR1 && hasDiffuse) return fromDword(diffuse);
    if (source == D3DMCS_COLOR2 && hasSpecular) return fromDword(specular);
    return fromD3D(material);
}

// Lit diffuse and specular colours as 0..255 floats.
void lightVertex(const VertexSetup& v, const Vec3& position, const Vec3& normal, bool hasDiffuse, DWORD diffuse,
                 bool hasSpecular, DWORD specular, bool specularEnable, float* outDiffuse, float* outSpecular) {
    const D3DMATERIAL8& m = v.material;
    const ColourValue dSrc = materialColour(v.materialSource[0], m.Diffuse, hasDiffuse, diffuse, hasSpecular, specular);
    const ColourValue aSrc = materialColour(v.materialSource[1], m.Ambient, hasDiffuse, diffuse, hasSpecular, specular);
    const ColourValue sSrc = materialColour(v.materialSource[2], m.Specular, hasDiffuse, diffuse, hasSpecular, specular);
    const ColourValue eSrc = materialColour(v.materialSource[3], m.Emissive, hasDiffuse, diffuse, hasSpecular, specular);
    ColourValue amb = v.ambient, dif{}, spe{};
    const Vec3 toEye = v.localViewer ? normalized({-position.x, -position.y, -position.z}) : Vec3{0, 0, -1};
    for (const CameraLight& l : v.lights) {
        Vec3 toLight;
        float atten = 1.0f;
        if (l.type == D3DLIGHT_DIRECTIONAL) {
            toLight = {-l.direction.x, -l.direction.y, -l.direction.z};
        } else {
            const Vec3 d{l.position.x - position.x, l.position.y - position.y, l.position.z - position.z};
            const float dist = std::sqrt(dot(d, d));
            if (dist > l.range) continue;
            toLight = dist > 0 ? Vec3{d.x / dist, d.y / dist, d.z / dist} : Vec3{0, 0, 0};
            const float denom = l.att0 + l.att1 * dist + l.att2 * dist * dist;
            atten = denom > 0 ? 1.0f / denom : 1.0f;
            if (l.type == D3DLIGHT_SPOT) {
                const float rho = -dot(toLight, l.direction);
                if (rho <= l.cosHalfPhi) {
                    atten = 0.0f;
                } else if (rho < l.cosHalfTheta) {
                    atten *= std::pow((rho - l.cosHalfPhi) / (l.cosHalfTheta - l.cosHalfPhi), l.falloff);
                }
            }
        }
        amb = {amb.r + l.ambient.r * atten, amb.g + l.ambient.g * atten, amb.b + l.ambient.b * atten, 0};
        const float nl = std::max(0.0f, dot(normal, toLight)) * atten;
        dif = {dif.r + l.diffuse.r * nl, dif.g + l.diffuse.g * nl, dif.b + l.diffuse.b * nl, 0};
        if (specularEnable && nl > 0.0f) {
            const Vec3 h = normalized({toLight.x + toEye.x, toLight.y + toEye.y, toLight.z + toEye.z});
            const float s = std::pow(std::max(0.0f, dot(normal, h)), v.material.Power) * atten;
            spe = {spe.r + l.specular.r * s, spe.g + l.specular.g * s, spe.b + l.specular.b * s, 0};
        }
    }
    auto clamp255 = [](float x) { return std::clamp(x, 0.0f, 1.0f) * 255.0f; };
    outDiffuse[0] = clamp255(eSrc.r + aSrc.r * amb.r + dSrc.r * dif.r);
    outDiffuse[1] = clamp255(eSrc.g + aSrc.g * amb.g + dSrc.g * dif.g);
    outDiffuse[2] = clamp255(eSrc.b + aSrc.b * amb.b + dSrc.b * dif.b);
    outDiffuse[3] = clamp255(dSrc.a);
    outSpecular[0] = clamp255(sSrc.r * spe.r);
    outSpecular[1] = clamp255(sSrc.g * spe.g);
    outSpecular[2] = clamp255(sSrc.b * spe.b);
}

// Texture coordinates of one stage, selected or generated, through the texture transform.
inline __attribute__((always_inline)) void stageCoordinates(const StageConfig& sc, const Mat4& texMatrix, const FvfLayout& layout, const uint8_t* vertex,
                      const Vec3& camPos, const Vec3& normal, float* out) {
    float c[4] = {0, 0, 0, 0};
    int count = 2;
    switch (sc.texCoordIndex & 0xFFFF0000u) {
    case D3DTSS_TCI_CAMERASPACENORMAL:
        c[0] = normal.x, c[1] = normal.y, c[2] = normal.z, count = 3;
        break;
    case D3DTSS_TCI_CAMERASPACEPOSITION:
        c[0] = camPos.x, c[1] = camPos.y, c[2] = camPos.z, count = 3;
        break;
    case D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR: {
        const Vec3 i = normalized(camPos);
        const float d = 2.0f * dot(normal, i);
        c[0] = i.x - d * normal.x, c[1] = i.y - d * normal.y, c[2] = i.z - d * normal.z, count = 3;
        break;
    }
    default: {
        const int set = static_cast<int>(sc.texCoordIndex & 0xFFFF);
        if (set < layout.texSets) {
            count = layout.texSize[set];
            for (int k = 0; k < count; ++k) c[k] = readFloat(vertex + layout.texOffset[set] + 4 * k);
        }
        break;
    }
    }
    const DWORD outCount = sc.transformFlags & 0xFF;
    if (outCount == D3DTTFF_DISABLE) {
        out[0] = c[0];
        out[1] = c[1];
        return;
    }
    // A vector of n components is extended with 1 (then 0s) before the 4x4 transform.
    if (count < 4) c[count] = 1.0f;
    float t[4];
    for (int j = 0; j < 4; ++j) {
        t[j] = c[0] * texMatrix.m[0][j] + c[1] * texMatrix.m[1][j] + c[2] * texMatrix.m[2][j] +
               c[3] * texMatrix.m[3][j];
    }
    if ((sc.transformFlags & D3DTTFF_PROJECTED) && outCount >= 2 && outCount <= 4 && t[outCount - 1] != 0.0f) {
        const float inv = 1.0f / t[outCount - 1];
        out[0] = t[0] * inv;
        out[1] = t[1] * inv;
    } else {
        out[0] = t[0];
        out[1] = t[1];
    }
}

}  // namespace

namespace {

// Screen-space input: x, y in pixels, z in 0..1, rhw = 1/w; never clipped.
void placePretransformed(ShadedVertex& v, const float* pos) {
    v.clip[0] = pos[0], v.clip[1] = pos[1], v.clip[2] = pos[2], v.clip[3] = 1.0f;
    v.sx = pos[0], v.sy = pos[1], v.sz = pos[2];
    v.q = pos[3];
    const bool inRange = std::fabs(pos[0]) < 8192.0f && std::fabs(pos[1]) < 8192.0f && pos[3] > 0.0f;
    v.outcode = inRange ? 0u : uint32_t(OutW);
    v.fx = inRange ? static_cast<int32_t>(std::lrint(pos[0] * 256.0f)) : 0;
    v.fy = inRange ? static_cast<int32_t>(std::lrint(pos[1] * 256.0f)) : 0;
}

Vec3 readVec3(const uint8_t* p) { return {readFloat(p), readFloat(p + 4), readFloat(p + 8)}; }

// One world matrix: clip position, and camera-space position and normal where needed.
void transformSingle(const VertexSetup& setup, const FvfLayout& layout, const uint8_t* vtx, const float* pos,
                     ShadedVertex& v, Vec3& camPos, Vec3& normal) {
    xformPoint4(pos, setup.wvp, v.clip);
    if (setup.needCamera) camPos = xformPoint3(pos, setup.worldView[0]);
    if (setup.needNormal && layout.normal >= 0) normal = xformVector(readVec3(vtx + layout.normal), setup.normalMat[0]);
}

// Vertex blending: the last weight is one minus the others.
void transformBlended(const VertexSetup& setup, const FvfLayout& layout, const uint8_t* vtx, const float* pos,
                      ShadedVertex& v, Vec3& camPos, Vec3& normal) {
    float weights[4];
    float rest = 1.0f;
    for (int k = 0; k < setup.matrices - 1; ++k) {
        weights[k] = readFloat(vtx + 12 + 4 * k);
        rest -= weights[k];
    }
    weights[setup.matrices - 1] = rest;
    const Vec3 n = layout.normal >= 0 ? readVec3(vtx + layout.normal) : Vec3{0, 0, 0};
    for (int k = 0; k < setup.matrices; ++k) {
        const Vec3 c = xformPoint3(pos, setup.worldView[k]);
        const Vec3 nk = xformVector(n, setup.normalMat[k]);
        camPos = {camPos.x + weights[k] * c.x, camPos.y + weights[k] * c.y, camPos.z + weights[k] * c.z};
        normal = {normal.x + weights[k] * nk.x, normal.y + weights[k] * nk.y, normal.z + weights[k] * nk.z};
    }
    const float cp[3] = {camPos.x, camPos.y, camPos.z};
    xformPoint4(cp, setup.projection, v.clip);
}

}  // namespace

namespace {

// The draw as the vector path takes it, or false when it is not one it can.
bool vectorBatch(const VertexSetup& setup, const PipelineConfig& pipe, const FvfLayout& layout,
                 const VertexInput& input, const ViewportTransform& viewport, VertexBatch& vb) {
    if (layout.pretransformed || setup.matrices != 1 || setup.lighting || layout.diffuse >= 0 ||
        layout.specular >= 0 || input.vertexCount < 16) {
        return false;
    }
    vb.stageCount = 0;
    for (int st = 0; st < pipe.stageCount; ++st) {
        const StageConfig& sc = pipe.stages[st];
        if (!sc.sampled) continue;
        if ((sc.transformFlags & 0xFF) != D3DTTFF_DISABLE) return false;
        const DWORD mode = sc.texCoordIndex & 0xFFFF0000u;
        const int set = static_cast<int>(sc.texCoordIndex & 0xFFFF);
        int offset;
        if (mode == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR) {
            offset = -1;
        } else if (mode == D3DTSS_TCI_PASSTHRU && set < layout.texSets && layout.texSize[set] >= 2) {
            offset = layout.texOffset[set];
        } else {
            return false;
        }
        vb.slot[vb.stageCount] = sc.texSlot;
        vb.texOffset[vb.stageCount++] = offset;
    }
    vb.data = input.data + static_cast<size_t>(input.firstVertex) * input.stride;
    vb.stride = input.stride;
    vb.count = input.vertexCount;
    vb.normalOffset = layout.normal;
    vb.needCamera = setup.needCamera;
    vb.needNormal = setup.needNormal;
    vb.normalize = setup.normalize;
    std::memcpy(vb.wvp, setup.wvp.m, sizeof vb.wvp);
    std::memcpy(vb.worldView, setup.worldView[0].m, sizeof vb.worldView);
    std::memcpy(vb.normalMatrix, setup.normalMat[0].m, sizeof vb.normalMatrix);
    vb.viewport = viewport;
    return true;
}

}  // namespace

void processVertices(const DrawState& state, PipelineConfig& pipe, const FvfLayout& layout,
                     const VertexInput& input, const ViewportTransform& viewport, ShadedVertex* out) {
    const VertexSetup setup = prepare(state, pipe, layout);
    const bool hasDiffuse = layout.diffuse >= 0, hasSpecular = layout.specular >= 0;
    DWORD firstDiffuse = 0, firstSpecular = 0;
    bool sameDiffuse = true, sameSpecular = true;
    UINT done = 0;
    VertexBatch vb;
    if (vectorBatch(setup, pipe, layout, input, viewport, vb)) done = shadeVerticesFunction()(vb, out);
    if (done > 0) {
        // Vertices without colours in their format all have the first one's white and black.
        colourToFloats(0xFFFFFFFFu, out[0].attr + kDiffuseSlot);
        std::fill(out[0].attr + kSpecularSlot, out[0].attr + kSpecularSlot + 3, 0.0f);
        firstDiffuse = 0xFFFFFFFFu;
    }
    for (UINT i = done; i < input.vertexCount; ++i) {
        const uint8_t* vtx = input.data + static_cast<size_t>(input.firstVertex + i) * input.stride;
        ShadedVertex& v = out[i];
        float pos[4];
        std::memcpy(pos, vtx, sizeof(float) * (layout.pretransformed ? 4 : 3));
        const DWORD diffuse = hasDiffuse ? readDword(vtx + layout.diffuse) : 0xFFFFFFFFu;
        const DWORD specular = hasSpecular ? readDword(vtx + layout.specular) : 0;
        Vec3 camPos{0, 0, 0}, normal{0, 0, 0};
        if (layout.pretransformed) {
            placePretransformed(v, pos);
        } else {
            if (setup.matrices == 1) {
                transformSingle(setup, layout, vtx, pos, v, camPos, normal);
            } else {
                transformBlended(setup, layout, vtx, pos, v, camPos, normal);
            }
            finishVertex(v, viewport);
        }
        if (setup.normalize && layout.normal >= 0) normal = normalized(normal);
        if (setup.lighting) {
            lightVertex(setup, camPos, normal, hasDiffuse, diffuse, hasSpecular, specular, pipe.specularEnable,
                        v.attr + kDiffuseSlot, v.attr + kSpecularSlot);
        } else if (hasDiffuse || hasSpecular || i == 0) {
            // Without colours in the format every vertex has the first one's white and black.
            colourToFloats(diffuse, v.attr + kDiffuseSlot);
            float specularRgba[4];
            colourToFloats(specular, specularRgba);
            std::copy(specularRgba, specularRgba + 3, v.attr + kSpecularSlot);
        }
        for (int st = 0; st < pipe.stageCount; ++st) {
            const StageConfig& sc = pipe.stages[st];
            if (sc.sampled) stageCoordinates(sc, setup.texMatrix[st], layout, vtx, camPos, normal, v.attr + sc.texSlot);
        }
        if (i == 0) firstDiffuse = diffuse, firstSpecular = specular;
        sameDiffuse = sameDiffuse && diffuse == firstDiffuse;
        sameSpecular = sameSpecular && specular == firstSpecular;
    }
    // Colours that are the same everywhere need no interpolation.
    if (input.vertexCount > 0 && !setup.lighting) {
        pipe.constDiffuse = sameDiffuse;
        pipe.constSpecular = sameSpecular;
        std::copy(out[0].attr + kDiffuseSlot, out[0].attr + kDiffuseSlot + 4, pipe.diffuseValue);
        std::copy(out[0].attr + kSpecularSlot, out[0].attr + kSpecularSlot + 3, pipe.specularValue);
    }
}

}  // namespace raster
