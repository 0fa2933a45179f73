// The .r3d reader on bytes in memory: field order, block placement, what fills the
// fields a file does not supply, and refusal of every file it cannot trust.
#include "assets.h"
#include "assets/r3d_builder.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>

namespace {

ModelData parse(const R3dFile& file)
{
    ModelData model;
    std::string error;
    EXPECT_TRUE(parseModel(file.bytes.data(), file.bytes.size(), model, &error)) << error;
    return model;
}

// Refused, with a reason, leaving nothing behind.
void expectRefused(const std::vector<uint8_t>& bytes, const std::string& why)
{
    ModelData model;
    model.vertices.resize(3);
    model.indices = {0, 1, 2};
    std::string error;
    EXPECT_FALSE(parseModel(bytes.data(), bytes.size(), model, &error)) << why;
    EXPECT_FALSE(error.empty()) << why;
    EXPECT_TRUE(model.vertices.empty() && model.indices.empty()) << why;
}

void expectSameModel(const ModelData& a, const ModelData& b)
{
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    EXPECT_EQ(0, std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)));
    EXPECT_EQ(std::tie(a.indices, a.normals, a.texCoordCount), std::tie(b.indices, b.normals, b.texCoordCount));
}

// A vertex's fields in order: position, blend weight, normal, texture sets 0 and 1.
using VertexFields = std::array<float, 11>;

} // namespace

TEST(ModelFile, FieldsComeFromTheirBlocksAndWhatTheFileLacksIsFilledIn)
{
    const float s = std::sqrt(17.0f);
    // What, file, where its normals come from, texture pair count, vertices.
    const std::tuple<const char*, R3dFile, ModelNormals, int, std::vector<VertexFields>> cases[] = {
        // The file's normal sits where the vertex format declares it, after a blend weight of
        // 0; vertices with a texture pair get texture set 1 at (1, 1).
        {"full file", squareModel(), ModelNormals::File, 4,
         {{0, 0, 0, 0, 0.1f, 0.2f, -1, 0.0f, 0.5f, 1, 1},
          {0, 1, 0, 0, 0.3f, 0.4f, -1, 0.25f, 0.5f, 1, 1},
          {1, 1, 0, 0, 0.5f, 0.6f, -1, 0.5f, 0.75f, 1, 1},
          {1, 0, 0, 0, 0.7f, 0.8f, -1, 0.75f, 1.0f, 1, 1}}},
        {"surplus texture pairs skipped", R3dFile().header(2, 1, 1, 4).floats({1, 2, 3, 4, 5, 6}).indices({0, 1, 1})
             .floats({0.1f, 0.2f, 0.3f, 0.4f, 9, 9, 9, 9}).floats({0, 1, 0, 0, 0, -1}),
         ModelNormals::File, 4,
         {{1, 2, 3, 0, 0, 1, 0, 0.1f, 0.2f, 1, 1}, {4, 5, 6, 0, 0, 0, -1, 0.3f, 0.4f, 1, 1}}},
        {"vertices beyond the texture pairs", R3dFile().header(3, 1, 0, 1).floats({0, 0, 0, 0, 1, 0, 1, 0, 0})
             .indices({0, 1, 2}).floats({0.5f, 0.25f}),
         ModelNormals::Computed, 1,
         {{0, 0, 0, 0, 0, 0, -1, 0.5f, 0.25f, 1, 1}, {0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0}}},
        {"normals right after the indices", R3dFile().header(3, 1, 1, 0).floats({0, 0, 0, 0, 1, 0, 1, 0, 0})
             .indices({0, 1, 2}).floats({1, 0, 0, 0, 1, 0, 0, 0, 1}),
         ModelNormals::File, 0,
         {{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}}},
        // Computed normals are smooth and area-weighted: triangle 0 lies in z = 0 (area 0.5),
        // triangle 1 in x = 0 (area 2), sharing the edge v0-v1.
        {"fold", R3dFile().header(4, 2, 0, 0).floats({0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 4}).indices({0, 1, 2, 0, 1, 3}),
         ModelNormals::Computed, 0,
         {{0, 0, 0, 0, 4 / s, 0, -1 / s, 0, 0, 0, 0}, {0, 1, 0, 0, 4 / s, 0, -1 / s, 0, 0, 0, 0},
          {1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0}, {0, 0, 4, 0, 1, 0, 0, 0, 0, 0, 0}}},
        // A degenerate triangle and a vertex on no triangle get no normal, nor does a model
        // without triangles.
        {"degenerate", R3dFile().header(3, 1, 0, 0).floats({0, 0, 0, 1, 1, 1, 2, 2, 2}).indices({0, 1, 2}),
         ModelNormals::Computed, 0,
         {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}, {2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0}}},
        {"unused vertex", R3dFile().header(4, 1, 0, 0).floats({0, 0, 0, 0, 1, 0, 1, 0, 0, 5, 5, 5}).indices({0, 1, 2}),
         ModelNormals::Computed, 0,
         {{0, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0}, {0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0},
          {1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0}, {5, 5, 5, 0, 0, 0, 0, 0, 0, 0, 0}}},
        {"points", R3dFile().header(2, 0, 0, 0).floats({0, 0, 0, 1, 1, 1}), ModelNormals::None, 0,
         {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}}},
    };
    for (const auto& [what, file, normals, texCoordCount, vertices] : cases) {
        SCOPED_TRACE(what);
        const ModelData model = parse(file);
        EXPECT_EQ(std::pair(model.normals, model.texCoordCount), std::pair(normals, texCoordCount));
        ASSERT_EQ(model.vertices.size(), vertices.size());
        for (size_t i = 0; i < vertices.size(); ++i) {
            VertexFields actual;
            std::memcpy(actual.data(), &model.vertices[i], sizeof(MeshVertex));
            for (size_t k = 0; k < actual.size(); ++k)
                EXPECT_NEAR(actual[k], vertices[i][k], 1e-6f) << "vertex " << i << " field " << k;
        }
    }
}

TEST(ModelFile, ReservedFieldTrailingBytesAndTheSizeOfTheNormalFlagChangeNothing)
{
    const ModelData plain = parse(squareModel());
    EXPECT_EQ(plain.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    expectSameModel(plain, parse(squareModel(-123456)));
    expectSameModel(plain, parse(squareModel(INT_MAX)));

    expectSameModel(plain, parse(squareModel().floats({1, 2, 3}).indices({99, 100})));

    // Any nonzero flag announces the normal block.
    R3dFile negativeFlag = squareModel();
    negativeFlag.bytes[8] = 0xFF;
    negativeFlag.bytes[11] = 0xFF;
    expectSameModel(plain, parse(negativeFlag));
}

TEST(ModelFile, TruncationsCountsAndIndicesItCannotTrustAreRefusedBeforeAnyAllocation)
{
    const R3dFile square = squareModel();
    for (size_t size = 0; size < square.bytes.size(); ++size)
        expectRefused({square.bytes.begin(), square.bytes.begin() + size}, "prefix of " + std::to_string(size));
    ModelData model;
    EXPECT_FALSE(parseModel(nullptr, 0, model));

    const int32_t huge = INT_MAX;
    const int32_t counts[][4] = {
        {-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 0, -1}, {huge, huge, 1, huge},
        {3, 1, 1, 0},  {1, 0, 0, 5},  {0x40000000, 0, 1, 0}, {0x15555556, 0, 0, 0},
    };
    // Each with a little body, too small for any of them.
    for (const auto& c : counts)
        expectRefused(R3dFile().header(c[0], c[1], c[2], c[3]).floats({0, 0, 0, 1, 1, 1, 2, 2, 2}).bytes,
                      "counts " + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + " " +
                          std::to_string(c[3]));
    // Indices not below the vertex count, and triangles over no vertices at all.
    for (uint32_t bad : {3u, 0xFFFFFFFFu})
        expectRefused(R3dFile().header(3, 2, 0, 0).floats({0, 0, 0, 0, 1, 0, 1, 0, 0}).indices({0, 1, 2, 2, bad, 0}).bytes,
                      "index " + std::to_string(bad));
    expectRefused(R3dFile().header(0, 1, 0, 0).indices({0, 0, 0}).bytes, "triangle without vertices");
}
