// glimmora.r3d: a round brilliant-cut gem. Every facet is flat: its three vertices are its own and carry
// its face normal, so each facet catches one colour of the reflection map and the swarm glitters.
#include <cmath>
#include <vector>

#include "models.h"
#include "procedural.h"

namespace makedata {

namespace {

constexpr int sectors = 24;

// One ring of the cut: height, radius, and whether its corners sit between the sectors' corners.
struct Ring {
    float y, radius;
    bool between;
};

// Proportions of a round brilliant, girdle radius 1.
constexpr Ring rings[] = {
    {0.36f, 0.55f, false},  // table edge
    {0.24f, 0.8f, true},    // star facet tips
    {0.07f, 1.0f, false},   // upper girdle
    {-0.05f, 1.0f, false},  // lower girdle
    {-0.42f, 0.62f, true},  // lower girdle facet tips
};
constexpr float tableY = 0.36f;
constexpr float culetY = -0.88f;

Vec3 ringPoint(const Ring& ring, int k)
{
    const float angle = (float(k) + (ring.between ? 0.5f : 0.0f)) * 2.0f * pi / float(sectors);
    return {ring.radius * std::cos(angle), ring.y, ring.radius * std::sin(angle)};
}

// Appends a flat facet; with the camera's winding the facet is seen from the side (b - a) x (c - a)
// points to, which must be away from the gem's axis for every facet of this convex shape.
void addFacet(Mesh& mesh, Vec3 a, Vec3 b, Vec3 c)
{
    Vec3 normal = normalize(cross(b - a, c - a));
    const Vec3 centre = (a + b + c) * (1.0f / 3.0f);
    if (dot(normal, centre - Vec3{0, (tableY + culetY) * 0.5f, 0}) < 0) {
        std::swap(b, c);
        normal = -normal;
    }
    const auto base = uint32_t(mesh.vertices.size());
    for (const Vec3 p : {a, b, c}) {
        // Texture from above, so the table shows the middle of the picture and the pavilion its rim.
        mesh.vertices.push_back({p, normal, 0.5f + 0.5f * p.x, 0.5f + 0.5f * p.z + 0.25f * p.y});
    }
    mesh.triangles.push_back({base, base + 1, base + 2});
}

// Facets between two rings: quads when the corners line up, a zigzag of triangles when they alternate.
void addBand(Mesh& mesh, const Ring& upper, const Ring& lower)
{
    for (int k = 0; k < sectors; ++k) {
        const int next = (k + 1) % sectors;
        if (upper.between == lower.between) {
            addFacet(mesh, ringPoint(upper, k), ringPoint(upper, next), ringPoint(lower, next));
            addFacet(mesh, ringPoint(upper, k), ringPoint(lower, next), ringPoint(lower, k));
        } else if (lower.between) {
            addFacet(mesh, ringPoint(upper, k), ringPoint(upper, next), ringPoint(lower, k));
            addFacet(mesh, ringPoint(lower, k), ringPoint(upper, next), ringPoint(lower, next));
        } else {
            addFacet(mesh, ringPoint(upper, k), ringPoint(lower, next), ringPoint(lower, k));
            addFacet(mesh, ringPoint(upper, k), ringPoint(upper, next), ringPoint(lower, next));
        }
    }
}

}  // namespace

Mesh makeGem()
{
    Mesh mesh;
    for (int k = 0; k < sectors; ++k) {
        addFacet(mesh, {0, tableY, 0}, ringPoint(rings[0], k), ringPoint(rings[0], (k + 1) % sectors));
    }
    for (size_t i = 0; i + 1 < std::size(rings); ++i) {
        addBand(mesh, rings[i], rings[i + 1]);
    }
    const Ring& last = rings[std::size(rings) - 1];
    for (int k = 0; k < sectors; ++k) {
        addFacet(mesh, ringPoint(last, k), ringPoint(last, (k + 1) % sectors), {0, culetY, 0});
    }
    // Girdle radius 0.85: about 50 pixels across at the swarm's middle distance.
    for (MeshVertex& v : mesh.vertices) {
        v.position = v.position * 0.85f;
    }
    return mesh;
}

}  // namespace makedata
