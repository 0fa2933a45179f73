// The .r3d reader on bytes in memory: field order, block placement, what fills the
// fields a file does not supply, and refusal of every file it cannot trust.
#include "assets.h"
#include "assets/r3d_builder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

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
    EXPECT_TRUE(model.vertices.empty()) << why;
    EXPECT_TRUE(model.indices.empty()) << why;
}

void expectSameModel(const ModelData& a, const ModelData& b)
{
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    EXPECT_EQ(0, std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(MeshVertex)));
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.normals, b.normals);
    EXPECT_EQ(a.texCoordCount, b.texCoordCount);
}

void expectNormal(const MeshVertex& v, float x, float y, float z)
{
    EXPECT_NEAR(v.nx, x, 1e-6f);
    EXPECT_NEAR(v.ny, y, 1e-6f);
    EXPECT_NEAR(v.nz, z, 1e-6f);
}

} // namespace

TEST(ModelFile, FullFileFillsPositionsIndicesTexturesAndDeclaredNormalSlots)
{
    const ModelData model = parse(squareModel());
    ASSERT_EQ(model.vertices.size(), 4u);
    EXPECT_EQ(model.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(model.normals, ModelNormals::File);
    EXPECT_EQ(model.texCoordCount, 4);

    const MeshVertex& v2 = model.vertices[2];
    EXPECT_EQ(v2.x, 1.0f);
    EXPECT_EQ(v2.y, 1.0f);
    EXPECT_EQ(v2.z, 0.0f);
    // The file's normal sits where the vertex format declares the normal; the blend
    // weight in between stays 0.
    EXPECT_EQ(v2.blendWeight, 0.0f);
    EXPECT_EQ(v2.nx, 0.5f);
    EXPECT_EQ(v2.ny, 0.6f);
    EXPECT_EQ(v2.nz, -1.0f);
    EXPECT_EQ(v2.u0, 0.5f);
    EXPECT_EQ(v2.v0, 0.75f);
    for (const MeshVertex& v : model.vertices) {
        EXPECT_EQ(v.u1, 1.0f);
        EXPECT_EQ(v.v1, 1.0f);
    }
}

TEST(ModelFile, SurplusTexturePairsAreSkippedAndNormalsReadFromTheirPlace)
{
    R3dFile file;
    file.header(2, 1, 1, 4);
    file.floats({1, 2, 3, 4, 5, 6});
    file.indices({0, 1, 1});
    file.floats({0.1f, 0.2f, 0.3f, 0.4f, 9, 9, 9, 9}); // pairs 2 and 3 belong to no vertex
    file.floats({0, 1, 0, 0, 0, -1});
    const ModelData model = parse(file);
    ASSERT_EQ(model.vertices.size(), 2u);
    EXPECT_EQ(model.texCoordCount, 4);
    EXPECT_EQ(model.vertices[0].u0, 0.1f);
    EXPECT_EQ(model.vertices[0].v0, 0.2f);
    EXPECT_EQ(model.vertices[1].u0, 0.3f);
    EXPECT_EQ(model.vertices[1].v0, 0.4f);
    expectNormal(model.vertices[0], 0, 1, 0);
    expectNormal(model.vertices[1], 0, 0, -1);
}

TEST(ModelFile, VerticesBeyondTheTexturePairsAndFilesWithoutTextureBlockGetZeroTextureSets)
{
    R3dFile some;
    some.header(3, 1, 0, 1);
    some.floats({0, 0, 0, 0, 1, 0, 1, 0, 0});
    some.indices({0, 1, 2});
    some.floats({0.5f, 0.25f});
    const ModelData partial = parse(some);
    EXPECT_EQ(partial.vertices[0].u0, 0.5f);
    EXPECT_EQ(partial.vertices[0].u1, 1.0f);
    for (int i = 1; i < 3; ++i) {
        const MeshVertex& v = partial.vertices[i];
        EXPECT_EQ(v.u0, 0.0f);
        EXPECT_EQ(v.v0, 0.0f);
        EXPECT_EQ(v.u1, 0.0f);
        EXPECT_EQ(v.v1, 0.0f);
    }

    // No texture block: the normal block follows the index block directly.
    R3dFile none;
    none.header(3, 1, 1, 0);
    none.floats({0, 0, 0, 0, 1, 0, 1, 0, 0});
    none.indices({0, 1, 2});
    none.floats({1, 0, 0, 0, 1, 0, 0, 0, 1});
    const ModelData bare = parse(none);
    EXPECT_EQ(bare.texCoordCount, 0);
    EXPECT_EQ(bare.normals, ModelNormals::File);
    expectNormal(bare.vertices[0], 1, 0, 0);
    expectNormal(bare.vertices[2], 0, 0, 1);
    for (const MeshVertex& v : bare.vertices)
        EXPECT_EQ(v.u0 + v.v0 + v.u1 + v.v1, 0.0f);
}

TEST(ModelFile, FileWithoutNormalsGetsSmoothAreaWeightedNormals)
{
    // A clockwise square facing -z, then a fold: triangle 0 lies in z = 0 (area 0.5),
    // triangle 1 in x = 0 (area 2), sharing the edge v0-v1.
    R3dFile flat;
    flat.header(4, 2, 0, 0);
    flat.floats({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0});
    flat.indices({0, 1, 2, 0, 2, 3});
    const ModelData square = parse(flat);
    EXPECT_EQ(square.normals, ModelNormals::Computed);
    for (const MeshVertex& v : square.vertices)
        expectNormal(v, 0, 0, -1);

    R3dFile folded;
    folded.header(4, 2, 0, 0);
    folded.floats({0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 4});
    folded.indices({0, 1, 2, 0, 1, 3});
    const ModelData fold = parse(folded);
    // Face normals before normalising: (0,0,-1) for triangle 0, (4,0,0) for triangle 1.
    const float length = std::sqrt(17.0f);
    expectNormal(fold.vertices[0], 4 / length, 0, -1 / length);
    expectNormal(fold.vertices[1], 4 / length, 0, -1 / length);
    expectNormal(fold.vertices[2], 0, 0, -1);
    expectNormal(fold.vertices[3], 1, 0, 0);
}

TEST(ModelFile, NormalsThatCannotBeComputedStayZero)
{
    // A degenerate triangle, a vertex on no triangle, and a model with no triangles.
    R3dFile file;
    file.header(4, 1, 0, 0);
    file.floats({0, 0, 0, 1, 1, 1, 2, 2, 2, 5, 5, 5});
    file.indices({0, 1, 2});
    const ModelData line = parse(file);
    EXPECT_EQ(line.normals, ModelNormals::Computed);
    for (const MeshVertex& v : line.vertices)
        expectNormal(v, 0, 0, 0);

    R3dFile points;
    points.header(2, 0, 0, 0);
    points.floats({0, 0, 0, 1, 1, 1});
    const ModelData cloud = parse(points);
    EXPECT_EQ(cloud.normals, ModelNormals::None);
    EXPECT_TRUE(cloud.indices.empty());
    expectNormal(cloud.vertices[1], 0, 0, 0);
}

TEST(ModelFile, ReservedFieldTrailingBytesAndTheSizeOfTheNormalFlagChangeNothing)
{
    const ModelData plain = parse(squareModel());
    expectSameModel(plain, parse(squareModel(-123456)));
    expectSameModel(plain, parse(squareModel(INT_MAX)));

    R3dFile trailing = squareModel();
    trailing.floats({1, 2, 3}).indices({99, 100});
    expectSameModel(plain, parse(trailing));

    // Any nonzero flag announces the normal block.
    R3dFile negativeFlag = squareModel();
    negativeFlag.bytes[8] = 0xFF;
    negativeFlag.bytes[11] = 0xFF;
    expectSameModel(plain, parse(negativeFlag));
}

TEST(ModelFile, EveryTruncationOfAValidFileIsRefused)
{
    const R3dFile file = squareModel();
    for (size_t size = 0; size < file.bytes.size(); ++size)
        expectRefused({file.bytes.begin(), file.bytes.begin() + size}, "prefix of " + std::to_string(size));

    ModelData model;
    EXPECT_FALSE(parseModel(nullptr, 0, model));
}

TEST(ModelFile, NegativeAndOversizedCountsAreRefusedBeforeAnyAllocation)
{
    const int32_t huge = INT_MAX;
    const int32_t counts[][4] = {
        {-1, 0, 0, 0},   {0, -1, 0, 0},     {0, 0, 0, -1},        {INT_MIN, 1, 0, 0},
        {huge, 0, 0, 0}, {0, huge, 0, 0},   {1, 0, 0, huge},      {huge, huge, 1, huge},
        {3, 1, 1, 0},    {1, 0, 0, 5},      {0x40000000, 0, 1, 0}, {0x15555556, 0, 0, 0},
    };
    for (const auto& c : counts) {
        R3dFile file;
        file.header(c[0], c[1], c[2], c[3]);
        file.floats({0, 0, 0, 1, 1, 1, 2, 2, 2}); // a little body, too small for any of these
        expectRefused(file.bytes, "counts " + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " +
                                      std::to_string(c[2]) + " " + std::to_string(c[3]));
    }
}

TEST(ModelFile, IndicesNotBelowTheVertexCountAreRefused)
{
    for (uint32_t bad : {3u, 4u, 0x80000000u, 0xFFFFFFFFu}) {
        R3dFile file;
        file.header(3, 2, 0, 0);
        file.floats({0, 0, 0, 0, 1, 0, 1, 0, 0});
        file.indices({0, 1, 2, 2, bad, 0});
        expectRefused(file.bytes, "index " + std::to_string(bad));
    }
    // Triangles over no vertices at all.
    R3dFile empty;
    empty.header(0, 1, 0, 0);
    empty.indices({0, 0, 0});
    expectRefused(empty.bytes, "triangle without vertices");
}
