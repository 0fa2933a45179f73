// From device state to the per-draw pipeline configuration: which stages run, what they
// sample, which attributes the vertices carry, how depth, alpha test and blending behave.
#include <bit>
#include <cmath>

#include "raster_internal.h"

namespace raster {

void squareTexels(const uint32_t* texels, uint32_t orMask, uint32_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t t = texels[i] | orMask;
        const uint32_t r = (t >> 16) & 0xFF, g = (t >> 8) & 0xFF, b = t & 0xFF;
        out[i] = (t & 0xFF000000u) | div255(r * r) << 16 | div255(g * g) << 8 | div255(b * b);
    }
}

namespace {

bool isSupportedOp(DWORD op) {
    return op >= D3DTOP_SELECTARG1 && op <= D3DTOP_LERP && op != D3DTOP_BUMPENVMAP &&
           op != D3DTOP_BUMPENVMAPLUMINANCE && op != D3DTOP_PREMODULATE;
}

// Which of ARG0, ARG1, ARG2 an operation reads.
bool opUsesArg(DWORD op, int index) {
    switch (index) {
    case 0: return op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP;
    case 1: return op != D3DTOP_SELECTARG2;
    default: return op != D3DTOP_SELECTARG1;
    }
}

bool readsSource(DWORD op, const DWORD args[3], DWORD source) {
    for (int i = 0; i < 3; ++i) {
        if (opUsesArg(op, i) && (args[i] & D3DTA_SELECTMASK) == source) return true;
    }
    return false;
}

bool readsTextureAlphaImplicitly(DWORD op) {
    return op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM;
}

bool blendReadsDestination(DWORD src, DWORD dst) {
    auto readsDest = [](DWORD f) {
        return f == D3DBLEND_DESTCOLOR || f == D3DBLEND_INVDESTCOLOR || f == D3DBLEND_DESTALPHA ||
               f == D3DBLEND_INVDESTALPHA || f == D3DBLEND_SRCALPHASAT;
    };
    return dst != D3DBLEND_ZERO || readsDest(src);
}

void configureSampler(StageConfig& stage, const DWORD* ts) {
    stage.addressU = ts[D3DTSS_ADDRESSU];
    stage.addressV = ts[D3DTSS_ADDRESSV];
    stage.border = ts[D3DTSS_BORDERCOLOR];
    stage.magFilter = ts[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    stage.minFilter = ts[D3DTSS_MINFILTER] >= D3DTEXF_LINEAR ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    stage.mipFilter = ts[D3DTSS_MIPFILTER] >= D3DTEXF_LINEAR ? DWORD(D3DTEXF_LINEAR) : ts[D3DTSS_MIPFILTER];
    stage.lodBias = std::bit_cast<float>(ts[D3DTSS_MIPMAPLODBIAS]);
    stage.maxMipLevel = static_cast<int>(ts[D3DTSS_MAXMIPLEVEL]);
}

// Depth, alpha test, blending and culling: everything after the texture stages.
void configureOutput(PipelineConfig& pc, const DWORD* rs, const ColourTarget& target, const DepthTarget& depth) {
    pc.specularEnable = rs[D3DRS_SPECULARENABLE] != FALSE;
    pc.tfactor = rs[D3DRS_TEXTUREFACTOR];
    pc.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && depth.values != nullptr;
    pc.depthWrite = pc.depthTest && rs[D3DRS_ZWRITEENABLE] != FALSE;
    pc.depthFunc = rs[D3DRS_ZFUNC];
    if (pc.depthTest && pc.depthFunc == D3DCMP_ALWAYS && !pc.depthWrite) pc.depthTest = false;
    pc.alphaTest = rs[D3DRS_ALPHATESTENABLE] != FALSE && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS;
    pc.alphaFunc = rs[D3DRS_ALPHAFUNC];
    pc.alphaRef = rs[D3DRS_ALPHAREF] & 0xFF;
    pc.srcBlend = rs[D3DRS_SRCBLEND];
    pc.dstBlend = rs[D3DRS_DESTBLEND];
    if (pc.srcBlend == D3DBLEND_BOTHSRCALPHA) {
        pc.srcBlend = D3DBLEND_SRCALPHA;
        pc.dstBlend = D3DBLEND_INVSRCALPHA;
    } else if (pc.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
        pc.srcBlend = D3DBLEND_INVSRCALPHA;
        pc.dstBlend = D3DBLEND_SRCALPHA;
    }
    pc.blendOp = rs[D3DRS_BLENDOP];
    pc.blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE &&
               !(pc.srcBlend == D3DBLEND_ONE && pc.dstBlend == D3DBLEND_ZERO && pc.blendOp == D3DBLENDOP_ADD);
    pc.writeMask = rs[D3DRS_COLORWRITEENABLE] & 0xF;
    pc.targetAlpha = target.hasAlpha;
    pc.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    pc.cullMode = rs[D3DRS_CULLMODE];
}

// One stage of the cascade; false when the cascade ends before it.
bool configureStage(PipelineConfig& pc, const DrawState& state, int stage, int& slot) {
    const DWORD* ts = state.stageStates[stage];
    StageConfig& sc = pc.stages[stage];
    sc.colorOp = ts[D3DTSS_COLOROP];
    if (!isSupportedOp(sc.colorOp)) return false;  // DISABLE ends the cascade, and so does what we cannot do
    sc.colorArg[0] = ts[D3DTSS_COLORARG0];
    sc.colorArg[1] = ts[D3DTSS_COLORARG1];
    sc.colorArg[2] = ts[D3DTSS_COLORARG2];
    const bool bound = state.textures[stage].levelCount > 0;
    // A colour operation that reads a texture nobody bound ends the cascade here.
    if (!bound && readsSource(sc.colorOp, sc.colorArg, D3DTA_TEXTURE)) return false;
    sc.alphaOp = ts[D3DTSS_ALPHAOP];
    if (sc.alphaOp != D3DTOP_DISABLE && !isSupportedOp(sc.alphaOp)) sc.alphaOp = D3DTOP_DISABLE;
    sc.alphaArg[0] = ts[D3DTSS_ALPHAARG0];
    sc.alphaArg[1] = ts[D3DTSS_ALPHAARG1];
    sc.alphaArg[2] = ts[D3DTSS_ALPHAARG2];
    sc.resultArg = (ts[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP ? D3DTA_TEMP : D3DTA_CURRENT;
    const bool alphaOn = sc.alphaOp != D3DTOP_DISABLE;
    const bool readsTexture =
        readsSource(sc.colorOp, sc.colorArg, D3DTA_TEXTURE) || readsTextureAlphaImplicitly(sc.colorOp) ||
        (alphaOn && (readsSource(sc.alphaOp, sc.alphaArg, D3DTA_TEXTURE) || readsTextureAlphaImplicitly(sc.alphaOp)));
    if (readsTexture && bound) {
        sc.sampled = true;
        sc.texture = &state.textures[stage];
        sc.texSlot = slot;
        slot += 2;
        configureSampler(sc, ts);
        sc.texCoordIndex = ts[D3DTSS_TEXCOORDINDEX];
        sc.transformFlags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
        const bool mips = sc.mipFilter != D3DTEXF_NONE && sc.texture->levelCount > 1;
        if (mips || sc.magFilter != sc.minFilter) pc.perTriangleLod = true;
    } else if (readsTexture) {
        sc.readsMissingTexture = true;
    }
    if (readsSource(sc.colorOp, sc.colorArg, D3DTA_SPECULAR) ||
        (alphaOn && readsSource(sc.alphaOp, sc.alphaArg, D3DTA_SPECULAR))) {
        pc.needSpecular = true;
    }
    return true;
}

}  // namespace

PipelineConfig buildPipeline(const DrawState& state, const FvfLayout&, const ColourTarget& target,
                             const DepthTarget& depth) {
    PipelineConfig pc;
    configureOutput(pc, state.renderStates, target, depth);
    int slot = kFirstTexSlot;
    int stage = 0;
    while (stage < state.stageLimit && configureStage(pc, state, stage, slot)) ++stage;
    pc.stageCount = stage;
    pc.attrCount = slot;
    if (pc.specularEnable) pc.needSpecular = true;
    pc.pixelsInOrder = (pc.blend && blendReadsDestination(pc.srcBlend, pc.dstBlend)) ||
                       (pc.blend && pc.blendOp != D3DBLENDOP_ADD) || pc.writeMask != 0xF ||
                       (pc.alphaTest && pc.depthWrite);
    return pc;
}

void listInterpolants(PipelineConfig& pipe) {
    int n = 0;
    for (int& index : pipe.interpIndex) index = -1;
    auto add = [&](int slot) {
        pipe.interpIndex[slot] = n;
        pipe.interpSlots[n++] = slot;
    };
    if (!pipe.constDiffuse) {
        for (int k = 0; k < 4; ++k) add(kDiffuseSlot + k);
    }
    if (pipe.needSpecular && !pipe.constSpecular) {
        for (int k = 0; k < 3; ++k) add(kSpecularSlot + k);
    }
    for (int st = 0; st < pipe.stageCount; ++st) {
        if (pipe.stages[st].sampled) {
            add(pipe.stages[st].texSlot);
            add(pipe.stages[st].texSlot + 1);
        }
    }
    pipe.interpCount = n;
}

ViewportTransform viewportTransform(const D3DVIEWPORT8& vp) {
    constexpr float kGuard = 8192.0f;  // pixels either side of the target's origin
    ViewportTransform t;
    t.x = static_cast<float>(vp.X);
    t.y = static_cast<float>(vp.Y);
    t.halfW = static_cast<float>(vp.Width) * 0.5f;
    t.halfH = static_cast<float>(vp.Height) * 0.5f;
    t.minZ = vp.MinZ;
    t.rangeZ = vp.MaxZ - vp.MinZ;
    t.guardLeft = (-kGuard - t.x - t.halfW) / t.halfW;
    t.guardRight = (kGuard - t.x - t.halfW) / t.halfW;
    t.guardBottom = 1.0f - (kGuard - t.y) / t.halfH;
    t.guardTop = 1.0f + (kGuard + t.y) / t.halfH;
    t.left = static_cast<int>(vp.X);
    t.top = static_cast<int>(vp.Y);
    t.right = static_cast<int>(vp.X + vp.Width);
    t.bottom = static_cast<int>(vp.Y + vp.Height);
    return t;
}

}  // namespace raster
