// `tovira-inspect model FILE`, run as a program: the one line it prints for models of every
// layout, checked against a model from the data-set generator's own encoder, and its exit
// status and message for files the reader refuses.
#include "assets/r3d_builder.h"
#include "tool_run.h"

#include <mesh.h>
#include <models.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string scratchFolder()
{
    // ctest runs tests as parallel processes: each keeps its own scratch folder.
    return std::string(TOVIRA_TEST_BINARY_DIR) + "/inspect_model_" + std::to_string(getpid());
}

std::string scratch(const std::string& name)
{
    std::filesystem::create_directories(scratchFolder());
    return scratchFolder() + "/" + name;
}

ToolRun inspectModel(const std::string& path)
{
    return runTool("tovira-inspect", "model '" + path + "'", scratchFolder());
}

std::string inspectWritten(const R3dFile& file, const std::string& name)
{
    const std::string path = scratch(name);
    file.write(path);
    const ToolRun run = inspectModel(path);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return run.out;
}

void expectRefused(const std::vector<uint8_t>& bytes, const std::string& name, const std::string& reason)
{
    const std::string path = scratch(name);
    R3dFile file;
    file.bytes = bytes;
    file.write(path);
    const ToolRun run = inspectModel(path);
    EXPECT_NE(run.status, 0) << name;
    EXPECT_EQ(run.out, "") << name;
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
}

} // namespace

TEST(InspectModel, PrintsCountsNormalSourceTexturePairsAndBounds)
{
    EXPECT_EQ(inspectWritten(squareModel(), "square.r3d"),
              "vertices=4 triangles=2 normals=yes texcoords=4 bounds=0,0,0,1,1,0\n");

    R3dFile computed;
    computed.header(3, 1, 0, 5);
    computed.floats({-1.5f, 2, 3, 4, -0.25f, 3, 0, 0, 8});
    computed.indices({0, 1, 2});
    computed.floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(inspectWritten(computed, "computed.r3d"),
              "vertices=3 triangles=1 normals=computed texcoords=5 bounds=-1.5,-0.25,3,4,2,8\n");

    R3dFile points;
    points.header(2, 0, 0, 0);
    points.floats({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(inspectWritten(points, "points.r3d"),
              "vertices=2 triangles=0 normals=no texcoords=0 bounds=1,2,3,4,5,6\n");
}

TEST(InspectModel, AgreesWithTheDataSetGeneratorOnItsGem)
{
    const makedata::Mesh gem = makedata::makeGem();
    const std::vector<uint8_t> bytes = makedata::encodeR3d(gem);
    R3dFile file;
    file.bytes = bytes;
    const std::string line = inspectWritten(file, "gem.r3d");

    float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
    for (const makedata::MeshVertex& v : gem.vertices) {
        const float at[3] = {v.position.x, v.position.y, v.position.z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], at[axis]);
            high[axis] = std::max(high[axis], at[axis]);
        }
    }
    const std::string counts = "vertices=" + std::to_string(gem.vertices.size()) +
                               " triangles=" + std::to_string(gem.triangles.size()) +
                               " normals=yes texcoords=" + std::to_string(gem.vertices.size()) + " bounds=";
    ASSERT_EQ(line.rfind(counts, 0), 0u) << line;
    std::istringstream bounds(line.substr(counts.size()));
    for (int n = 0; n < 6; ++n) {
        float value = 0;
        char separator = 0;
        bounds >> value;
        if (n < 5)
            bounds >> separator;
        const float expected = n < 3 ? low[n] : high[n - 3];
        EXPECT_NEAR(value, expected, 1e-5f * std::max(1.0f, std::abs(expected))) << line;
    }
}

TEST(InspectModel, RefusedFilesExitNonZeroWithTheReasonOnStandardError)
{
    const ToolRun missing = inspectModel(scratch("missing.r3d"));
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("cannot be opened"), std::string::npos) << missing.err;

    std::vector<uint8_t> truncated = squareModel().bytes;
    truncated.pop_back();
    expectRefused(truncated, "truncated.r3d", "counts need 172 bytes but the file has 171");

    R3dFile negative;
    negative.header(4, -2, 0, 0).floats({0, 0, 0});
    expectRefused(negative.bytes, "negative.r3d", "negative triangle count");

    R3dFile badIndex;
    badIndex.header(3, 1, 0, 0).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).indices({0, 3, 1});
    expectRefused(badIndex.bytes, "badindex.r3d", "index 3 of triangle 0 is not below the vertex count 3");
}
