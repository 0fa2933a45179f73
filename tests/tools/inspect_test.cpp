// `tovira-inspect image|model|texture FILE`, run as a program: the one line it prints for each
// kind of file (image hashes checked against coreutils' sha256sum), the device limitations it
// applies to textures, and its exit status and message for files the readers refuse.
#include "assets/r3d_builder.h"
#include "tool_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string scratch(const std::string& name)
{
    return (scratchFolder("inspect_scratch") / name).string();
}

std::string written(const std::string& name, const Bytes& bytes)
{
    const std::string path = scratch(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// A picture made by ImageMagick's convert, or empty when convert is missing.
std::string converted(const std::string& name, const std::string& convertArguments)
{
    const std::string path = scratch(name);
    return std::system(("convert " + convertArguments + " '" + path + "'").c_str()) == 0 ? path : "";
}

ToolRun inspect(const std::string& arguments)
{
    return runTool("tovira-inspect", arguments, scratchFolder("inspect_scratch").string());
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

void expectRefused(const std::string& arguments, const std::string& path, const std::string& reason)
{
    const ToolRun run = inspect(arguments + " '" + path + "'");
    EXPECT_NE(run.status, 0) << path;
    EXPECT_EQ(run.out, "") << path;
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
}

} // namespace

TEST(InspectImage, PrintsFormatSizePitchLevelsAndTheHashOfTheRowsTopFirst)
{
    // 1×2 bottom-up 24-bit TGA: the stored rows are bottom (1, 2, 3) then top (4, 5, 6).
    const Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 24, 0, 1, 2, 3, 4, 5, 6};
    const ToolRun run = inspect("image '" + written("bottom-up.tga", tga) + "'");
    const std::string rowsHash = commandOutput("sha256sum " + quoted(written("rows.bin", {4, 5, 6, 1, 2, 3}))).text.substr(0, 64);
    EXPECT_EQ(std::tie(run.status, run.err, run.out),
              std::tuple(0, "", "format=R8G8B8 width=1 height=2 pitch=3 levels=1 sha256=" + rowsHash + "\n"));
}

TEST(InspectModel, PrintsCountsNormalSourceTexturePairsAndBounds)
{
    const std::pair<const R3dFile, const char*> cases[] = {
        {squareModel(), "vertices=4 triangles=2 normals=yes texcoords=4 bounds=0,0,0,1,1,0\n"},
        {R3dFile().header(3, 1, 0, 5).floats({-1.5f, 2, 3, 4, -0.25f, 3, 0, 0, 8}).indices({0, 1, 2}).floats({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
         "vertices=3 triangles=1 normals=computed texcoords=5 bounds=-1.5,-0.25,3,4,2,8\n"},
    };
    for (const auto& [file, line] : cases) {
        const ToolRun run = inspect("model '" + written("model.r3d", file.bytes) + "'");
        EXPECT_EQ(std::tie(run.status, run.err, run.out), std::tuple(0, "", line));
    }
}

TEST(InspectTexture, DeviceLimitationsShapeTheTextureAndLevelZeroHashesLikeTheImage)
{
    const std::string screen = converted("screen.tga", "-size 640x480 gradient:navy-orange -depth 8 -type TrueColor");
    const std::string rgba = converted("rgba.tga", "-size 64x32 gradient:red-none -depth 8 -type TrueColorAlpha");
    if (screen.empty() || rgba.empty())
        GTEST_SKIP() << "ImageMagick's convert is not available";
    const std::pair<const char*, const char*> cases[] = {
        {" --caps pow2,no=X8R8G8B8,no=A8R8G8B8", "format=R5G6B5 width=1024 height=512 levels=11"},
        {" --caps squareonly,maxsize=128,nomipmap", "format=X8R8G8B8 width=128 height=128 levels=1"},
    };
    for (const auto& [caps, line] : cases) {
        const ToolRun run = inspect("texture '" + screen + "'" + caps);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(firstLine(run.out), line) << caps;
    }

    // With no limits, level 0 is the decoded image itself.
    const ToolRun image = inspect("image '" + rgba + "'");
    const ToolRun texture = inspect("texture '" + rgba + "'");
    ASSERT_EQ(image.status, 0) << image.err;
    ASSERT_EQ(texture.status, 0) << texture.err;
    EXPECT_EQ(firstLine(texture.out), "format=A8R8G8B8 width=64 height=32 levels=7");
    EXPECT_EQ(texture.out.substr(texture.out.find("level=0 sha256=") + 15, 64),
              image.out.substr(image.out.find("sha256=") + 7, 64));
}

TEST(Inspect, RefusedOrMissingFilesExitNonZeroWithTheReasonOnStandardError)
{
    const std::string text = written("not-a-picture.tga", {'h', 'e', 'l', 'l', 'o'});
    for (const std::string& path : {text, scratch("missing.tga")}) {
        expectRefused("image", path, "0x88760B59");
        expectRefused("texture", path, "");
    }
    expectRefused("model", scratch("missing.r3d"), "cannot be opened");

    Bytes truncated = squareModel().bytes;
    truncated.pop_back();
    // The model reader's own reason, whichever it is (its tests cover them all).
    expectRefused("model", written("truncated.r3d", truncated), "counts need 172 bytes but the file has 171");

    for (const char* arguments : {"", "image", "nonsense x"})
        EXPECT_NE(inspect(arguments).status, 0) << arguments;
    const ToolRun badCaps = inspect("texture x.tga --caps sideways");
    EXPECT_EQ(badCaps.status, 2);
    EXPECT_NE(badCaps.err.find("sideways"), std::string::npos);
}
