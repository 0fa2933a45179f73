// Primitive assembly, clipping, culling and scan conversion.
//
// Clipping is exact in homogeneous space against the near plane (z >= 0), the far plane
// (z <= w, inclusive, so z = 1 is drawn), w > 0 and a guard band of 8192 pixels for x and y;
// within the guard band triangles are only scissored to the viewport. Scan conversion runs on
// positions snapped to 1/256 pixel with exact integer edge stepping: pixel centres sit at
// integer coordinates, a pixel belongs to a triangle when its centre is inside, and centres on
// an edge belong to it only on top and left edges, so triangles sharing an edge cover each
// pixel along it exactly once.
// Maths without errno, so square roots and roundings are single instructions.
#if !defined(__clang__)  // clang takes its own pragmas, below or not at all
#pragma GCC optimize("no-math-errno")
#endif
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <memory>
#include <vector>

#include "raster_internal.h"

namespace raster {
namespace {

// Rows y of pixel centres on or below y256 / 256: ceil(y256 / 256).
inline int ceilRow(int32_t y256) { return (y256 + 255) >> 8; }

// Walks the first pixel centre at or right of an edge, row by row, in exact arithmetic:
// x(y) = ceil((xa*dy + (y*256 - ya)*dx) / (256*dy)).
struct EdgeWalk {
    int64_t x;          // current ceil
    int64_t remainder;  // x * denom - numerator, in [0, denom)
    int64_t denom;
    int64_t stepX;
    int64_t stepRemainder;

    // Quotients come from double division (exact inputs below 2^53) and are then put right
    // with the remainders, which keeps the walk exact without integer division.
    void start(const int32_t* a, const int32_t* b, int row) {
        const int64_t dx = b[0] - a[0], dy = b[1] - a[1];
        denom = 256 * dy;
        const int64_t numerator = static_cast<int64_t>(a[0]) * dy + (static_cast<int64_t>(row) * 256 - a[1]) * dx;
        x = static_cast<int64_t>(std::ceil(static_cast<double>(numerator) / static_cast<double>(denom)));
        remainder = x * denom - numerator;
        while (remainder < 0) ++x, remainder += denom;
        while (remainder >= denom) --x, remainder -= denom;
        stepX = static_cast<int64_t>(std::floor(static_cast<double>(dx) / static_cast<double>(dy)));
        stepRemainder = 256 * (dx - stepX * dy);
        while (stepRemainder < 0) --stepX, stepRemainder += denom;
        while (stepRemainder >= denom) ++stepX, stepRemainder -= denom;
    }
    void next() {
        x += stepX;
        remainder -= stepRemainder;
        if (remainder < 0) {
            remainder += denom;
            ++x;
        }
    }
};

struct ScreenVertex {
    int32_t f[2];  // x, y in 1/256 pixel
    float z, q;
    const float* attr;
};

constexpr int kClipPoolSize = 4096;

class Rasterizer {
public:
    Rasterizer(const PixelContext& context, const ViewportTransform& viewport, ShadeBatchFn shade,
               AffineSpanFn affineSpan)
        : context_(context), pipe_(*context.pipe), viewport_(viewport), shade_(shade), affineSpan_(affineSpan),
          rasteriseSmall_(rasteriseSmallFunction()), rasterisePair_(rasterisePairFunction()),
          batch_(storage().batch), clipPool_(storage().clipPool) {
        if (pipe_.pixelsInOrder) {
            const size_t pixels = static_cast<size_t>(context.target.pitch) * context.target.height;
            if (storage().stamps.size() < pixels) storage().stamps.assign(pixels, 0);
        }
        resetBatch();
        // Depth can be settled as fragments are found unless alpha testing decides the write.
        depthEarly_ = pipe_.depthTest && !(pipe_.alphaTest && pipe_.depthWrite) &&
                      context.depth.pitch == context.target.pitch;
    }

    void triangle(const ShadedVertex* a, const ShadedVertex* b, const ShadedVertex* c, bool pretransformed) {
        const uint32_t all = a->outcode | b->outcode | c->outcode;
        if (pretransformed) {
            // Screen-space vertices are not clipped; ones beyond the guard band are not drawn.
            if (!all) drawScreen(screenOf(*a), screenOf(*b), screenOf(*c));
            return;
        }
        if (a->outcode & b->outcode & c->outcode & kRejectMask) return;
        if (all & kClipMask) {
            clipAndDraw(a, b, c);
        } else {
            drawScreen(screenOf(*a), screenOf(*b), screenOf(*c));
        }
    }

    GroupSettings groupSettings(const ShadedVertex* shaded, uint32_t count, bool indices32, uint32_t indexOffset) const {
        return {shaded, count, pipe_.cullMode, affineSpan_ != nullptr, viewport_.left, viewport_.top,
                viewport_.right, viewport_.bottom, indices32, indexOffset};
    }

    // Lane `lane` of a group set up as small: as drawScreen would draw it.
    void smallTriangle(const TriangleGroup& g, int lane, const ShadedVertex* const* v) {
        SmallTriangle t = smallOf(g, lane);
        const ScreenVertex screen[3] = {screenOf(*v[0]), screenOf(*v[1]), screenOf(*v[2])};
        drawGrouped(&t, 1, screen, &g.planeScale[lane]);
    }

    // Lanes `lane` and `lane + 1` of a group, a pair: walked as one box where the set-up
    // found that to take fewer stamps than the two boxes apart.
    void smallPair(const TriangleGroup& g, int lane, const ShadedVertex* const* v) {
        if (!rasterisePair_ || pipe_.perTriangleLod || !(g.sharedBoxes >> lane & 1)) {
            smallTriangle(g, lane, v);
            smallTriangle(g, lane + 1, v + 3);
            return;
        }
        SmallTriangle t[2] = {smallOf(g, lane), smallOf(g, lane + 1)};
        const int left = std::min(t[0].left, t[1].left), top = std::min(t[0].top, t[1].top);
        const int width = std::max(t[0].left + t[0].width, t[1].left + t[1].width) - left;
        const int height = std::max(t[0].top + t[0].height, t[1].top + t[1].height) - top;
        for (SmallTriangle& s : t) {
            for (int k = 0; k < 3; ++k) s.e[k] += (left - s.left) * s.dx[k] + (top - s.top) * s.dy[k];
            s.left = left, s.top = top, s.width = width, s.height = height;
        }
        ScreenVertex screen[6];
        for (int i = 0; i < 6; ++i) screen[i] = screenOf(*v[i]);
        drawGrouped(t, 2, screen, &g.planeScale[lane]);
    }

    // A group's triangle or pair, kept in pixel order with what the batch already holds.
    void drawGrouped(SmallTriangle* t, int count, const ScreenVertex* v, const float* scale) {
        triangleStart_ = batch_->count;
        drawSmall(t, count, v, scale);
        finishTriangle();
    }

    void finish() { flush(); }

    // Two triangles that together are a screen-aligned rectangle with one attribute plane (an
    // overlay quad) are drawn as the rectangle: one run per row instead of two split at the
    // diagonal. Both triangles would cover exactly these pixels, each once. False when the
    // four vertices are not such a rectangle.
    bool rectangle(const ShadedVertex* v0, const ShadedVertex* v1, const ShadedVertex* v2, const ShadedVertex* v3) {
        if (!affineSpan_) return false;
        const ShadedVertex* v[4] = {v0, v1, v2, v3};
        for (const ShadedVertex* p : v) {
            if (p->outcode & kClipMask || p->q != v0->q) return false;
        }
        const int32_t xs[2] = {std::min({v0->fx, v1->fx, v2->fx, v3->fx}), std::max({v0->fx, v1->fx, v2->fx, v3->fx})};
        const int32_t ys[2] = {std::min({v0->fy, v1->fy, v2->fy, v3->fy}), std::max({v0->fy, v1->fy, v2->fy, v3->fy})};
        int corners = 0;
        for (const ShadedVertex* p : v) {
            if ((p->fx != xs[0] && p->fx != xs[1]) || (p->fy != ys[0] && p->fy != ys[1])) return false;
            corners |= 1 << ((p->fx == xs[1]) + 2 * (p->fy == ys[1]));
        }
        if (corners != 15) return false;
        // The fan 0-1-2, 0-2-3 must go round the rectangle, not across it.
        const ScreenVertex a = screenOf(*v0), b = screenOf(*v1), c = screenOf(*v2), d = screenOf(*v3);
        const int64_t area1 = static_cast<int64_t>(b.f[0] - a.f[0]) * (c.f[1] - a.f[1]) -
                              static_cast<int64_t>(c.f[0] - a.f[0]) * (b.f[1] - a.f[1]);
        const int64_t area2 = static_cast<int64_t>(c.f[0] - a.f[0]) * (d.f[1] - a.f[1]) -
                              static_cast<int64_t>(d.f[0] - a.f[0]) * (c.f[1] - a.f[1]);
        if (area1 == 0 || (area1 > 0) != (area2 > 0)) return false;
        if (pipe_.cullMode == D3DCULL_CCW && area1 < 0) return true;
        if (pipe_.cullMode == D3DCULL_CW && area1 > 0) return true;
        const AffineTriangle t = affineSetup(a, b, c, area1);
        const AffineTriangle t2 = affineSetup(a, c, d, area2);
        if (t.sdx != t2.sdx || t.sdy != t2.sdy || t.tdx != t2.tdx || t.tdy != t2.tdy) return false;
        const int top = std::max(ceilRow(ys[0]), viewport_.top), bottom = std::min(ceilRow(ys[1]), viewport_.bottom);
        const int left = std::max(ceilRow(xs[0]), viewport_.left), right = std::min(ceilRow(xs[1]), viewport_.right);
        if (top < bottom && left < right) affineSpan_(context_, t, top, bottom, left, right);
        return true;
    }

private:
    static SmallTriangle smallOf(const TriangleGroup& g, int lane) {
        SmallTriangle t;
        t.left = g.left[lane];
        t.top = g.top[lane];
        t.width = g.width[lane];
        t.height = g.height[lane];
        for (int k = 0; k < 3; ++k) {
            t.e[k] = g.e[k][lane];
            t.dx[k] = g.dx[k][lane];
            t.dy[k] = g.dy[k][lane];
            t.bias[k] = g.bias[k][lane];
        }
        return t;
    }

    static ScreenVertex screenOf(const ShadedVertex& v) { return {{v.fx, v.fy}, v.sz, v.q, v.attr}; }

    void resetBatch() {
        triangleStart_ = 0;
        nextStamp();
        batch_->count = 0;
        batch_->triangles = 0;
        batch_->contiguous = true;
        batch_->depthTested = false;
        batch_->interpolated = false;
    }

    void flush() {
        if (batch_->count > 0) shade_(context_, *batch_);
        resetBatch();
    }

    // Sutherland-Hodgman in clip space against the planes the outcodes name.
    void clipAndDraw(const ShadedVertex* a, const ShadedVertex* b, const ShadedVertex* c) {
        // Clipped vertices live until the triangles that use them have been shaded.
        if (batch_->triangles == 0) clipUsed_ = 0;
        if (clipUsed_ + 24 > kClipPoolSize) {
            flush();
            clipUsed_ = 0;
        }
        const ViewportTransform& t = viewport_;
        const float planes[7][4] = {
            {0, 0, 1, 0},               // near: z >= 0
            {0, 0, -1, 1},              // far: z <= w
            {0, 0, 0, 1},               // w > 0 (tested against a small epsilon)
            {1, 0, 0, -t.guardLeft},    // x >= guardLeft * w
            {-1, 0, 0, t.guardRight},   // x <= guardRight * w
            {0, 1, 0, -t.guardBottom},  // y >= guardBottom * w
            {0, -1, 0, t.guardTop},     // y <= guardTop * w
        };
        const uint32_t planeBits[7] = {OutNear, OutFar, OutW, OutGuardLeft, OutGuardRight, OutGuardBottom, OutGuardTop};
        const uint32_t all = a->outcode | b->outcode | c->outcode;
        ShadedVertex* polygon[2][12] = {{const_cast<ShadedVertex*>(a), const_cast<ShadedVertex*>(b),
                                         const_cast<ShadedVertex*>(c)}};
        int count = 3, cur = 0;
        for (int p = 0; p < 7 && count >= 3; ++p) {
            if (!(all & planeBits[p])) continue;
            count = clipAgainst(planes[p], p == 2 ? 1e-6f : 0.0f, p, polygon[cur], count, polygon[cur ^ 1]);
            cur ^= 1;
        }
        if (count < 3) return;
        ScreenVertex screen[12];
        for (int i = 0; i < count; ++i) {
            const ShadedVertex* v = polygon[cur][i];
            // New vertices, and original ones whose outcode kept them from being projected.
            screen[i] = (v->outcode & kClipMask) ? project(*v) : screenOf(*v);
        }
        for (int i = 1; i + 1 < count; ++i) drawScreen(screen[0], screen[i], screen[i + 1]);
    }

    // One plane: the part of the polygon where plane . clip >= bias. New vertices are always
    // interpolated from the inside end of an edge, so two triangles sharing an edge produce
    // the same point.
    int clipAgainst(const float* plane, float bias, int index, ShadedVertex* const* in, int count,
                    ShadedVertex** out) {
        auto distance = [&](const ShadedVertex* v) {
            return plane[0] * v->clip[0] + plane[1] * v->clip[1] + plane[2] * v->clip[2] + plane[3] * v->clip[3] - bias;
        };
        const int attrs = pipe_.attrCount;
        int outCount = 0;
        for (int i = 0; i < count; ++i) {
            ShadedVertex* v0 = in[i];
            ShadedVertex* v1 = in[(i + 1) % count];
            const float d0 = distance(v0), d1 = distance(v1);
            const bool in0 = d0 >= 0.0f, in1 = d1 >= 0.0f;
            if (in0) out[outCount++] = v0;
            if (in0 == in1 || outCount >= 12) continue;
            const ShadedVertex* inside = in0 ? v0 : v1;
            const ShadedVertex* outside = in0 ? v1 : v0;
            const float dIn = in0 ? d0 : d1, dOut = in0 ? d1 : d0;
            const float s = dIn / (dIn - dOut);
            ShadedVertex& n = clipPool_[clipUsed_++];
            for (int k = 0; k < 4; ++k) n.clip[k] = inside->clip[k] + s * (outside->clip[k] - inside->clip[k]);
            for (int k = 0; k < attrs; ++k) n.attr[k] = inside->attr[k] + s * (outside->attr[k] - inside->attr[k]);
            if (index == 0) n.clip[2] = std::max(n.clip[2], 0.0f);
            if (index == 1) n.clip[2] = std::min(n.clip[2], n.clip[3]);
            n.outcode = OutW;  // not yet projected
            out[outCount++] = &n;
        }
        return outCount;
    }

    ScreenVertex project(const ShadedVertex& v) const {
        const ViewportTransform& t = viewport_;
        const float rw = 1.0f / v.clip[3];
        const float sx = t.x + (v.clip[0] * rw + 1.0f) * t.halfW;
        const float sy = t.y + (1.0f - v.clip[1] * rw) * t.halfH;
        return {{static_cast<int32_t>(std::lrint(sx * 256.0f)), static_cast<int32_t>(std::lrint(sy * 256.0f))},
                t.minZ + std::clamp(v.clip[2] * rw, 0.0f, 1.0f) * t.rangeZ,
                rw,
                v.attr};
    }

    void drawScreen(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
        const int64_t area = static_cast<int64_t>(b.f[0] - a.f[0]) * (c.f[1] - a.f[1]) -
                             static_cast<int64_t>(c.f[0] - a.f[0]) * (b.f[1] - a.f[1]);
        if (area == 0) return;
        // With y pointing down, a positive area runs clockwise on screen.
        if (pipe_.cullMode == D3DCULL_CCW && area < 0) return;
        if (pipe_.cullMode == D3DCULL_CW && area > 0) return;
        triangleStart_ = batch_->count;
        scan(a, b, c, area);
        finishTriangle();
    }

    void finishTriangle() {
        if (pipe_.perTriangleLod) {
            flush();
        } else if (pipe_.pixelsInOrder) {
            keepPixelsInOrder();
        }
    }

    // A new batch of pixels: a stamp no pixel carries yet.
    void nextStamp() {
        Storage& s = storage();
        if (++s.stamp == 0) {
            std::fill(s.stamps.begin(), s.stamps.end(), 0u);
            s.stamp = 1;
        }
    }

    // Where the triangle just scanned covers a pixel the batch already holds, what came before
    // it is shaded first, so the pixel stage reads the earlier fragment's result.
    void keepPixelsInOrder() {
        FragmentBatch& b = *batch_;
        uint32_t* stamps = storage().stamps.data();
        const uint32_t stamp = storage().stamp;
        bool overlap = false;
        for (int i = triangleStart_; i < b.count; ++i) {
            overlap |= stamps[b.offset[i]] == stamp;
            stamps[b.offset[i]] = stamp;
        }
        if (!overlap) return;
        shadeBefore(triangleStart_);
        const uint32_t next = storage().stamp;
        for (int i = 0; i < b.count; ++i) stamps[b.offset[i]] = next;
    }

    // Shades the batch's first `count` fragments and moves the rest to the front.
    void shadeBefore(int count) {
        FragmentBatch& b = *batch_;
        const int total = b.count;
        b.count = count;
        if (count > 0) shade_(context_, b);
        const int rest = total - count;
        std::memmove(b.rx, b.rx + count, rest * sizeof(float));
        std::memmove(b.ry, b.ry + count, rest * sizeof(float));
        std::memmove(b.offset, b.offset + count, rest * sizeof(int32_t));
        std::memmove(b.tri, b.tri + count, rest * sizeof(uint16_t));
        if (b.interpolated) {
            for (int k = 0; k < pipe_.interpCount; ++k) std::memmove(b.attr[k], b.attr[k] + count, rest * sizeof(float));
        }
        b.count = rest;
        b.contiguous = false;
        triangleStart_ = 0;
        nextStamp();
    }

    // inv is planeScale of the triangle's area.
    int addPlanes(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, float inv) {
        if (batch_->triangles == kBatchTriangles) flush();
        TrianglePlanes& p = batch_->planes[batch_->triangles];
        const float x1 = (b.f[0] - a.f[0]) * (1.0f / 256.0f), y1 = (b.f[1] - a.f[1]) * (1.0f / 256.0f);
        const float x2 = (c.f[0] - a.f[0]) * (1.0f / 256.0f), y2 = (c.f[1] - a.f[1]) * (1.0f / 256.0f);
        auto plane = [&](float f0, float f1, float f2, float& dx, float& dy) {
            dx = ((f1 - f0) * y2 - (f2 - f0) * y1) * inv;
            dy = ((f2 - f0) * x1 - (f1 - f0) * x2) * inv;
        };
        p.x0 = a.f[0] * (1.0f / 256.0f);
        p.y0 = a.f[1] * (1.0f / 256.0f);
        p.z0 = a.z;
        plane(a.z, b.z, c.z, p.zdx, p.zdy);
        p.q0 = a.q;
        plane(a.q, b.q, c.q, p.qdx, p.qdy);
        plane(0.0f, b.q, 0.0f, p.b1dx, p.b1dy);
        plane(0.0f, 0.0f, c.q, p.b2dx, p.b2dy);
        for (int k = 0; k < pipe_.interpCount; ++k) {
            const int slot = pipe_.interpSlots[k];
            const bool flat = pipe_.flatShade && slot < kFirstTexSlot;  // colours from the first vertex
            p.attrBase[k] = a.attr[slot];
            p.attrD1[k] = flat ? 0.0f : b.attr[slot] - a.attr[slot];
            p.attrD2[k] = flat ? 0.0f : c.attr[slot] - a.attr[slot];
        }
        if (pipe_.perTriangleLod) chooseLevels(p, a, b, c, x1, y1, x2, y2, inv);
        return batch_->triangles++;
    }

    // Mip level and min/mag choice from the texture-space size of a pixel at the triangle.
    void chooseLevels(TrianglePlanes& p, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                      float x1, float y1, float x2, float y2, float inv) {
        for (int s = 0; s < pipe_.stageCount; ++s) {
            const StageConfig& sc = pipe_.stages[s];
            p.mipLevel[s] = 0;
            p.mipBlend[s] = 0.0f;
            if (!sc.sampled) continue;
            const LevelView& top = sc.texture->levels[0];
            auto grad = [&](int slot, float scale, float& dx, float& dy) {
                const float f0 = a.attr[slot] * scale, f1 = b.attr[slot] * scale, f2 = c.attr[slot] * scale;
                dx = ((f1 - f0) * y2 - (f2 - f0) * y1) * inv;
                dy = ((f2 - f0) * x1 - (f1 - f0) * x2) * inv;
            };
            float udx, udy, vdx, vdy;
            grad(sc.texSlot, static_cast<float>(top.width), udx, udy);
            grad(sc.texSlot + 1, static_cast<float>(top.height), vdx, vdy);
            const float rho = std::max(std::sqrt(udx * udx + vdx * vdx), std::sqrt(udy * udy + vdy * vdy));
            const float lod = (rho > 0.0f ? std::log2(rho) : -100.0f) + sc.lodBias;
            // The sign of the level tells magnification (point/linear by MAGFILTER) from minification.
            p.mipBlend[s] = lod;
            if (sc.mipFilter == D3DTEXF_NONE || sc.texture->levelCount == 1) continue;
            const int last = sc.texture->levelCount - 1;
            const float clamped = std::clamp(lod, static_cast<float>(std::min(sc.maxMipLevel, last)),
                                             static_cast<float>(last));
            if (sc.mipFilter == D3DTEXF_POINT) {
                p.mipLevel[s] = std::clamp(static_cast<int>(std::floor(clamped + 0.5f)), 0, last);
            } else {
                p.mipLevel[s] = std::clamp(static_cast<int>(std::floor(clamped)), 0, last);
            }
        }
    }

    // Calls sink(y, xLeft, xRight) for every row of pixel centres the triangle covers,
    // with the span already limited to the viewport.
    template <class Sink>
    void scanRows(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, Sink&& sink) {
        const ScreenVertex* v[3] = {&a, &b, &c};
        if (v[1]->f[1] < v[0]->f[1]) std::swap(v[0], v[1]);
        if (v[2]->f[1] < v[1]->f[1]) std::swap(v[1], v[2]);
        if (v[1]->f[1] < v[0]->f[1]) std::swap(v[0], v[1]);
        const ScreenVertex& top = *v[0];
        const ScreenVertex& mid = *v[1];
        const ScreenVertex& bot = *v[2];
        const int rowTop = std::max(ceilRow(top.f[1]), viewport_.top);
        const int rowMid = ceilRow(mid.f[1]);
        const int rowBot = std::min(ceilRow(bot.f[1]), viewport_.bottom);
        if (rowTop >= rowBot) return;
        const int64_t cross = static_cast<int64_t>(mid.f[0] - top.f[0]) * (bot.f[1] - top.f[1]) -
                              static_cast<int64_t>(mid.f[1] - top.f[1]) * (bot.f[0] - top.f[0]);
        const bool midLeft = cross < 0;
        const int64_t left = viewport_.left, right = viewport_.right;
        auto emit = [&](int y, int64_t xl, int64_t xr) {
            xl = std::max(xl, left);
            xr = std::min(xr, right);
            if (xl < xr) sink(y, static_cast<int>(xl), static_cast<int>(xr));
        };
        EdgeWalk longEdge;
        longEdge.start(top.f, bot.f, rowTop);
        const int upperEnd = std::min(rowMid, rowBot);
        int y = rowTop;
        if (y < upperEnd) {
            EdgeWalk shortEdge;
            shortEdge.start(top.f, mid.f, y);
            for (; y < upperEnd; ++y) {
                emit(y, midLeft ? shortEdge.x : longEdge.x, midLeft ? longEdge.x : shortEdge.x);
                shortEdge.next();
                longEdge.next();
            }
        }
        y = std::max(y, rowMid);  // the long edge has been walked down to this row
        if (y < rowBot) {
            EdgeWalk shortEdge;
            shortEdge.start(mid.f, bot.f, y);
            for (; y < rowBot; ++y) {
                emit(y, midLeft ? shortEdge.x : longEdge.x, midLeft ? longEdge.x : shortEdge.x);
                shortEdge.next();
                longEdge.next();
            }
        }
    }

    void scan(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int64_t area) {
        if (affineSpan_ && a.q == b.q && b.q == c.q) {
            flush();  // it writes at once, so what the batch holds goes first
            AffineTriangle t = affineSetup(a, b, c, area);
            scanRows(a, b, c, [&](int y, int x0, int x1) { affineSpan_(context_, t, y, y + 1, x0, x1); });
            return;
        }
        if (scanSmall(a, b, c, area)) return;
        if (!pipe_.depthTest || depthEarly_) {
            scanLarge(a, b, c, area);
            return;
        }
        // Depth is tested when shading here, so no batch of this draw was tested or interpolated
        // early. Rows may be shaded before the triangle is done, so it shares no batch with
        // earlier ones where pixels must be shaded in order.
        if (pipe_.pixelsInOrder) flush();
        int slot = -1;
        scanRows(a, b, c, [&](int y, int x0, int x1) {
            if (slot < 0) slot = addPlanes(a, b, c, planeScale(area));
            span(y, x0, x1, slot);
        });
    }

    // The edge-function path for triangles no wider or taller than kSmallTriangleSpan; false
    // when the triangle is larger. It covers exactly the pixels scanRows would.
    bool scanSmall(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int64_t area) {
        const int32_t minX = std::min({a.f[0], b.f[0], c.f[0]}), maxX = std::max({a.f[0], b.f[0], c.f[0]});
        const int32_t minY = std::min({a.f[1], b.f[1], c.f[1]}), maxY = std::max({a.f[1], b.f[1], c.f[1]});
        if (maxX - minX > kSmallTriangleSpan * 256 || maxY - minY > kSmallTriangleSpan * 256) return false;
        SmallTriangle t;
        t.left = std::max(ceilRow(minX), viewport_.left);
        t.top = std::max(ceilRow(minY), viewport_.top);
        t.width = std::min(ceilRow(maxX), viewport_.right) - t.left;
        t.height = std::min(ceilRow(maxY), viewport_.bottom) - t.top;
        if (t.width <= 0 || t.height <= 0) return true;
        const int64_t sign = area > 0 ? 1 : -1;
        const ScreenVertex* v[3] = {&a, &b, &c};
        for (int k = 0; k < 3; ++k) {
            const int32_t* p = v[k]->f;
            const int32_t* q = v[(k + 1) % 3]->f;
            const int64_t ex = q[0] - p[0], ey = q[1] - p[1];
            // Inside is the side the other vertex is on; the inward normal is (-ey, ex) * sign.
            t.e[k] = static_cast<int32_t>(sign * (ex * (256 * int64_t{t.top} - p[1]) - ey * (256 * int64_t{t.left} - p[0])));
            t.dx[k] = static_cast<int32_t>(-sign * ey * 256);
            t.dy[k] = static_cast<int32_t>(sign * ex * 256);
            const bool topLeft = t.dx[k] > 0 || (t.dx[k] == 0 && t.dy[k] > 0);
            t.bias[k] = topLeft ? -1 : 0;
        }
        const ScreenVertex screen[3] = {a, b, c};
        const float scale = planeScale(area);
        drawSmall(&t, 1, screen, &scale);
        return true;
    }

    // One small triangle, or a pair on one box, whose edges are set up: their fragments into
    // the batch. v holds three vertices per triangle.
    void drawSmall(SmallTriangle* t, int count, const ScreenVertex* v, const float* scale) {
        const bool depthEarly = depthEarly_;
        // Attributes are worked out here unless a later depth test would drop fragments.
        const bool interpolate = !pipe_.depthTest || depthEarly_;
        if (batch_->count > 0 && (batch_->depthTested != depthEarly || batch_->interpolated != interpolate)) {
            flush();
        }
        if (batch_->count + t[0].width * t[0].height > kBatchSize || batch_->triangles + count > kBatchTriangles) {
            flush();
        }
        const int before = batch_->count;
        for (int i = 0; i < count; ++i) {
            t[i].depthEarly = depthEarly;
            t[i].interpolate = interpolate;
            t[i].slot = addPlanes(v[3 * i], v[3 * i + 1], v[3 * i + 2], scale[i]);
        }
        if (count == 2) {
            rasterisePair_(context_, *batch_, t);
        } else {
            rasteriseSmall_(context_, *batch_, t[0]);
        }
        if (batch_->count == before) {
            batch_->triangles -= count;  // nothing visible: their planes are not needed
        } else {
            batch_->contiguous = false;
            batch_->depthTested = depthEarly;
            batch_->interpolated = interpolate;
        }
    }

    // A larger triangle's rows go through the small-triangle kernel as runs that lie wholly
    // inside, so they too are depth-tested and interpolated as they are found.
    void scanLarge(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int64_t area) {
        SmallTriangle run{};
        for (int k = 0; k < 3; ++k) run.e[k] = 1;  // every centre inside; no steps
        run.height = 1;
        run.run = true;
        run.depthEarly = depthEarly_;
        run.interpolate = true;
        // Rows may be shaded before the triangle is done, so where pixels must be shaded in
        // order it shares no batch with earlier triangles.
        if (batch_->count > 0 && (batch_->depthTested != run.depthEarly || !batch_->interpolated || pipe_.pixelsInOrder)) {
            flush();
        }
        int slot = -1;
        scanRows(a, b, c, [&](int y, int x0, int x1) {
            if (slot < 0) slot = addPlanes(a, b, c, planeScale(area));
            while (x0 < x1) {
                if (batch_->count == kBatchSize) slot = flushMidTriangle(slot);
                run.left = x0;
                run.top = y;
                run.width = std::min(x1 - x0, kBatchSize - batch_->count);
                run.slot = slot;
                const int before = batch_->count;
                rasteriseSmall_(context_, *batch_, run);
                x0 += run.width;
                if (batch_->count == before) continue;
                batch_->contiguous = false;
                batch_->depthTested = run.depthEarly;
                batch_->interpolated = true;
            }
        });
    }

    AffineTriangle affineSetup(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, int64_t area) {
        const StageConfig& sc = pipe_.stages[0];
        const LevelView& lv = sc.texture->levels[0];
        const float su = static_cast<float>(lv.width) * 256.0f, sv = static_cast<float>(lv.height) * 256.0f;
        const float x1 = (b.f[0] - a.f[0]) * (1.0f / 256.0f), y1 = (b.f[1] - a.f[1]) * (1.0f / 256.0f);
        const float x2 = (c.f[0] - a.f[0]) * (1.0f / 256.0f), y2 = (c.f[1] - a.f[1]) * (1.0f / 256.0f);
        const float inv = planeScale(area);
        AffineTriangle t;
        t.x0 = a.f[0] * (1.0f / 256.0f);
        t.y0 = a.f[1] * (1.0f / 256.0f);
        const int slot = sc.texSlot;
        const float s0 = a.attr[slot] * su, s1 = b.attr[slot] * su, s2 = c.attr[slot] * su;
        const float t0 = a.attr[slot + 1] * sv, t1 = b.attr[slot + 1] * sv, t2 = c.attr[slot + 1] * sv;
        t.s0 = s0;
        t.sdx = ((s1 - s0) * y2 - (s2 - s0) * y1) * inv;
        t.sdy = ((s2 - s0) * x1 - (s1 - s0) * x2) * inv;
        t.t0 = t0;
        t.tdx = ((t1 - t0) * y2 - (t2 - t0) * y1) * inv;
        t.tdy = ((t2 - t0) * x1 - (t1 - t0) * x2) * inv;
        auto channel = [](float v) { return static_cast<uint32_t>(std::lrint(std::clamp(v, 0.0f, 255.0f))); };
        const float* d = pipe_.diffuseValue;
        t.diffuse = (channel(d[3]) << 24) | (channel(d[0]) << 16) | (channel(d[1]) << 8) | channel(d[2]);
        return t;
    }

    void span(int y, int x, int end, int& slot) {
        FragmentBatch& b = *batch_;
        const int rowBase = y * context_.target.pitch;
        while (x < end) {
            if (b.count == kBatchSize) slot = flushMidTriangle(slot);
            const int offset = rowBase + x;
            if (b.count > 0 && offset != b.offset[b.count - 1] + 1) {
                // Keep long runs contiguous for the kernels' fast memory paths.
                if (b.contiguous && b.count >= 64) slot = flushMidTriangle(slot);
                if (b.count > 0) b.contiguous = false;
            }
            const int n = std::min(end - x, kBatchSize - b.count);
            const TrianglePlanes& p = b.planes[slot];
            const float ry = static_cast<float>(y) - p.y0;
            const float rx0 = static_cast<float>(x) - p.x0;
            int i = b.count;
            for (int k = 0; k < n; ++k, ++i) {
                b.rx[i] = rx0 + static_cast<float>(k);
                b.ry[i] = ry;
                b.offset[i] = offset + k;
                b.tri[i] = static_cast<uint16_t>(slot);
            }
            b.count += n;
            x += n;
        }
    }

    // Shades what the batch holds and carries the triangle being scanned into the next one.
    int flushMidTriangle(int slot) {
        const TrianglePlanes keep = batch_->planes[slot];
        if (batch_->count > 0) shade_(context_, *batch_);
        resetBatch();
        batch_->planes[0] = keep;
        batch_->triangles = 1;
        return 0;
    }

    // Kept from draw to draw: a draw is often a single quad.
    struct Storage {
        std::unique_ptr<FragmentBatch> batch = std::make_unique<FragmentBatch>();
        std::vector<ShadedVertex> clipPool = std::vector<ShadedVertex>(kClipPoolSize);
        // Per pixel of the target, the stamp of the last batch that held it.
        std::vector<uint32_t> stamps;
        uint32_t stamp = 0;
    };
    static Storage& storage() {
        static thread_local Storage s;
        return s;
    }

    const PixelContext& context_;
    const PipelineConfig& pipe_;
    ViewportTransform viewport_;
    ShadeBatchFn shade_;
    AffineSpanFn affineSpan_;
    RasteriseSmallFn rasteriseSmall_;
    RasterisePairFn rasterisePair_;
    bool depthEarly_ = false;
    std::unique_ptr<FragmentBatch>& batch_;
    std::vector<ShadedVertex>& clipPool_;
    int clipUsed_ = 0;
    int triangleStart_ = 0;  // the batch's first fragment of the triangle being scanned
};

UINT indexAt(const IndexInput& indices, UINT position) {
    if (indices.is32) {
        uint32_t v;
        std::memcpy(&v, indices.data + static_cast<size_t>(position) * 4, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, indices.data + static_cast<size_t>(position) * 2, 2);
    return v;
}

}  // namespace

int kernelLevel() {
    static const int level = [] {
        int best = kernels_avx512::available() ? 2 : kernels_avx2::available() ? 1 : 0;
        if (const char* cap = std::getenv("TOVIRA_RASTER_ISA")) {
            const std::string name = cap;
            best = std::min(best, name == "base" ? 0 : name == "avx2" ? 1 : 2);
        }
        return best;
    }();
    return level;
}

namespace {

// The entry points of one build of the kernels.
struct KernelSet {
    ShadeBatchFn (*shadeBatchFor)(const PipelineConfig&);
    ShadeVerticesFn shadeVertices;
    RasteriseSmallFn rasteriseSmall;
    AffineSpanFn (*affineSpanFor)(const PipelineConfig&);
    SetupGroupFn setupGroup;
    RasterisePairFn rasterisePair;
};

const KernelSet& kernelSet() {
    static const KernelSet sets[3] = {
        {kernels_base::shadeBatchFor, kernels_base::shadeVertices, kernels_base::rasteriseSmall,
         kernels_base::affineSpanFor, nullptr, nullptr},
        {kernels_avx2::shadeBatchFor, kernels_avx2::shadeVertices, kernels_avx2::rasteriseSmall,
         kernels_avx2::affineSpanFor, nullptr, nullptr},
        {kernels_avx512::shadeBatchFor, kernels_avx512::shadeVertices, kernels_avx512::rasteriseSmall,
         kernels_avx512::affineSpanFor, kernels_avx512::setupGroup, kernels_avx512::rasterisePair},
    };
    return sets[kernelLevel()];
}

}  // namespace

AffineSpanFn affineSpanFunction(const PipelineConfig& pipe) { return kernelSet().affineSpanFor(pipe); }
RasteriseSmallFn rasteriseSmallFunction() { return kernelSet().rasteriseSmall; }
SetupGroupFn setupGroupFunction() { return kernelSet().setupGroup; }
RasterisePairFn rasterisePairFunction() { return kernelSet().rasterisePair; }
ShadeVerticesFn shadeVerticesFunction() { return kernelSet().shadeVertices; }
ShadeBatchFn shadeBatchFunction(const PipelineConfig& pipe) { return kernelSet().shadeBatchFor(pipe); }

namespace {

// Vertex n of the primitive stream, or null when it lies outside the declared range.
struct VertexStream {
    const ShadedVertex* shaded;
    const IndexInput& indices;
    UINT start, first, count;

    const ShadedVertex* operator()(UINT n) const {
        const UINT index = indices.data ? indices.baseVertex + indexAt(indices, start + n) : start + n;
        if (index < first || index - first >= count) return nullptr;
        return &shaded[index - first];
    }
};

// The three indices of triangle i of an indexed list.
void readTriangle(const IndexInput& indices, UINT start, UINT i, UINT idx[3]) {
    const size_t position = static_cast<size_t>(start) + 3 * static_cast<size_t>(i);
    if (indices.is32) {
        std::memcpy(idx, indices.data + position * 4, 12);
    } else {
        uint16_t small[3];
        std::memcpy(small, indices.data + position * 2, 6);
        idx[0] = small[0], idx[1] = small[1], idx[2] = small[2];
    }
}

// An indexed list sixteen triangles at a time: indices, culling and small triangles' set-up
// in vector registers, then each triangle drawn in order. offset is the index value of
// shaded[0].
void drawIndexedGroups(Rasterizer& rasterizer, const VertexStream& stream, UINT offset, UINT primCount,
                       SetupGroupFn setup) {
    const IndexInput& indices = stream.indices;
    const GroupSettings settings = rasterizer.groupSettings(stream.shaded, stream.count, indices.is32, offset);
    const size_t indexSize = indices.is32 ? 4 : 2;
    TriangleGroup g;
    for (UINT first = 0; first < primCount; first += kGroupSize) {
        g.size = static_cast<int>(std::min<UINT>(kGroupSize, primCount - first));
        g.indices = indices.data + (static_cast<size_t>(stream.start) + 3 * static_cast<size_t>(first)) * indexSize;
        setup(settings, g);
        auto vertices = [&](int lane, const ShadedVertex** v) {
            for (int c = 0; c < 3; ++c) v[c] = &stream.shaded[g.vertex[c][lane]];
        };
        for (uint32_t lanes = g.drawn; lanes; lanes &= lanes - 1) {
            const int lane = std::countr_zero(lanes);
            const ShadedVertex* v[6];
            vertices(lane, v);
            if (g.pairs >> lane & 1) {
                vertices(lane + 1, v + 3);
                rasterizer.smallPair(g, lane, v);
                lanes &= ~(2u << lane);
            } else if (g.small >> lane & 1) {
                rasterizer.smallTriangle(g, lane, v);
            } else {
                rasterizer.triangle(v[0], v[1], v[2], false);
            }
        }
    }
}

// The meshes' case, an indexed list: indices read straight, one range check per vertex.
void drawIndexedList(Rasterizer& rasterizer, const VertexStream& stream, UINT primCount, bool pretransformed) {
    const IndexInput& indices = stream.indices;
    const UINT offset = stream.first - indices.baseVertex;  // index value of shaded[0]
    // The set-up addresses vertices by 32-bit byte offsets.
    const SetupGroupFn setup = setupGroupFunction();
    if (setup && !pretransformed &&
        static_cast<uint64_t>(stream.count) * sizeof(ShadedVertex) < (uint64_t{1} << 31)) {
        drawIndexedGroups(rasterizer, stream, offset, primCount, setup);
        return;
    }
    auto vertex = [&](UINT index) -> const ShadedVertex* {
        const UINT k = index - offset;
        return k < stream.count ? &stream.shaded[k] : nullptr;
    };
    for (UINT i = 0; i < primCount; ++i) {
        UINT idx[3];
        readTriangle(indices, stream.start, i, idx);
        const ShadedVertex* a = vertex(idx[0]);
        const ShadedVertex* b = vertex(idx[1]);
        const ShadedVertex* c = vertex(idx[2]);
        if (a && b && c) rasterizer.triangle(a, b, c, pretransformed);
    }
}

// Two triangles of a fan or strip that make an overlay rectangle go as one.
bool drawAsRectangle(Rasterizer& rasterizer, const VertexStream& vertex, D3DPRIMITIVETYPE type) {
    const ShadedVertex* v0 = vertex(0);
    const ShadedVertex* v1 = vertex(1);
    const ShadedVertex* v2 = vertex(2);
    const ShadedVertex* v3 = vertex(3);
    if (!v0 || !v1 || !v2 || !v3) return false;
    // A strip 0-1-2, 2-1-3 goes round as the fan 0-1-3-2.
    return type == D3DPT_TRIANGLEFAN ? rasterizer.rectangle(v0, v1, v2, v3) : rasterizer.rectangle(v0, v1, v3, v2);
}

void drawTriangles(Rasterizer& rasterizer, const VertexStream& vertex, D3DPRIMITIVETYPE type, UINT primCount,
                   bool pretransformed) {
    for (UINT i = 0; i < primCount; ++i) {
        const ShadedVertex *a, *b, *c;
        if (type == D3DPT_TRIANGLELIST) {
            a = vertex(3 * i), b = vertex(3 * i + 1), c = vertex(3 * i + 2);
        } else if (type == D3DPT_TRIANGLESTRIP) {
            // Every other triangle of a strip is turned round to keep the winding.
            a = vertex(i);
            b = vertex(i & 1 ? i + 2 : i + 1);
            c = vertex(i & 1 ? i + 1 : i + 2);
        } else {
            a = vertex(0), b = vertex(i + 1), c = vertex(i + 2);
        }
        if (a && b && c) rasterizer.triangle(a, b, c, pretransformed);
    }
}

// A draw as the device hands it over.
struct DrawCall {
    const DrawState& state;
    const ColourTarget& target;
    const DepthTarget& depth;
    D3DPRIMITIVETYPE type;
    const VertexInput& vertices;
    const IndexInput& indices;
    UINT start;
    UINT primCount;
};

// A draw's vertices processed on this thread, and the pipeline they settle.
struct PreparedDraw {
    PipelineConfig pipe;
    ViewportTransform viewport;
    bool pretransformed;
    const ShadedVertex* shaded;
};

PreparedDraw prepareDraw(const DrawCall& call, const FvfLayout& layout) {
    static thread_local std::vector<ShadedVertex> shaded;
    if (shaded.size() < call.vertices.vertexCount) shaded.resize(call.vertices.vertexCount);
    PreparedDraw p{buildPipeline(call.state, layout, call.target, call.depth), viewportTransform(call.state.viewport),
                   layout.pretransformed, shaded.data()};
    processVertices(call.state, p.pipe, layout, call.vertices, p.viewport, shaded.data());
    listInterpolants(p.pipe);
    return p;
}

void drawRows(const DrawCall& call, const PreparedDraw& p, int top, int bottom) {
    ViewportTransform viewport = p.viewport;
    viewport.top = top;
    viewport.bottom = bottom;
    const PixelContext context{&p.pipe, call.target, call.depth};
    // Overlay rectangles and their like take a fused loop when the colour is one for the whole draw.
    const AffineSpanFn affine = p.pipe.constDiffuse ? affineSpanFunction(p.pipe) : nullptr;
    Rasterizer rasterizer(context, viewport, shadeBatchFunction(p.pipe), affine);
    const VertexStream stream{p.shaded, call.indices, call.start, call.vertices.firstVertex, call.vertices.vertexCount};
    if (call.type == D3DPT_TRIANGLELIST && call.indices.data) {
        drawIndexedList(rasterizer, stream, call.primCount, p.pretransformed);
    } else if (!(call.primCount == 2 && !p.pretransformed && call.type != D3DPT_TRIANGLELIST &&
                 drawAsRectangle(rasterizer, stream, call.type))) {
        drawTriangles(rasterizer, stream, call.type, call.primCount, p.pretransformed);
    }
    rasterizer.finish();
}

// The box of pixel centres the draw's vertices span, within the viewport; all of it when a
// vertex is left for clipping, which may reach anywhere.
struct RowsAndColumns {
    int top, bottom, left, right;
};

RowsAndColumns reach(const PreparedDraw& p, UINT count) {
    const ViewportTransform& vp = p.viewport;
    int32_t x0 = INT32_MAX, x1 = INT32_MIN, y0 = INT32_MAX, y1 = INT32_MIN;
    for (UINT i = 0; i < count; ++i) {
        const ShadedVertex& v = p.shaded[i];
        if (v.outcode & kClipMask) return {vp.top, vp.bottom, vp.left, vp.right};
        x0 = std::min(x0, v.fx), x1 = std::max(x1, v.fx);
        y0 = std::min(y0, v.fy), y1 = std::max(y1, v.fy);
    }
    return {std::max(vp.top, ceilRow(y0)), std::min(vp.bottom, ceilRow(y1)), std::max(vp.left, ceilRow(x0)),
            std::min(vp.right, ceilRow(x1))};
}

// Draws band `band` of `bands`: the rows the vertices span cut into bands of equal height,
// the first and last reaching to the viewport's edges. Every thread processes the vertices
// itself, which costs less than reading them from another core's cache, and cuts them
// alike.
void drawBand(const DrawCall& call, const FvfLayout& layout, int band, int bands) {
    const PreparedDraw p = prepareDraw(call, layout);
    const RowsAndColumns box = reach(p, call.vertices.vertexCount);
    const int boxBottom = std::max(box.bottom, box.top);
    // Vertices may all lie beyond the viewport, so the cuts are kept inside it.
    auto cut = [&](int k) {
        if (k == 0) return p.viewport.top;
        if (k == bands) return p.viewport.bottom;
        return std::min(std::max(bandEdge(box.top, boxBottom, k, bands), p.viewport.top), p.viewport.bottom);
    };
    const int top = cut(band), bottom = cut(band + 1);
    if (top < bottom) drawRows(call, p, top, bottom);
}

struct BandedDraw {
    const DrawCall& call;
    const FvfLayout& layout;
    int bands;
};

void drawBandOf(void* job, int band) {
    const BandedDraw& d = *static_cast<const BandedDraw*>(job);
    drawBand(d.call, d.layout, band, d.bands);
}

// Below these, a draw costs less than handing it out to the other threads.
constexpr UINT kBandedTriangles = 64;
constexpr int64_t kBandedArea = 128 * 128;

}  // namespace

void drawPrimitives(const DrawState& state, const ColourTarget& target, const DepthTarget& depth,
                    D3DPRIMITIVETYPE type, const VertexInput& vertices, const IndexInput& indices, UINT start,
                    UINT primCount) {
    if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN) return;
    const FvfLayout layout = decodeFvf(vertices.fvf);
    if (!layout.valid || vertices.vertexCount == 0) return;
    const DrawCall call{state, target, depth, type, vertices, indices, start, primCount};
    const int bands = drawThreads();
    BandedDraw banded{call, layout, bands};
    if (bands > 1 && primCount >= kBandedTriangles) {
        runBands(drawBandOf, &banded);
        return;
    }
    const PreparedDraw p = prepareDraw(call, layout);
    if (bands > 1) {
        // A few triangles: worth sharing only when they cover much of the target.
        const RowsAndColumns box = reach(p, vertices.vertexCount);
        if (int64_t{std::max(box.bottom - box.top, 0)} * std::max(box.right - box.left, 0) >= kBandedArea) {
            runBands(drawBandOf, &banded);
            return;
        }
    }
    drawRows(call, p, p.viewport.top, p.viewport.bottom);
}

}  // namespace raster
