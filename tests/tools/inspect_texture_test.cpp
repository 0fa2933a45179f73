// `tovira-inspect texture FILE [--caps LIST]`, run as a program.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// ctest runs tests as parallel processes: each keeps its own scratch folder.
const std::string SCRATCH = std::string(TOVIRA_TEST_BINARY_DIR) + "/inspect_texture_" + std::to_string(getpid());

std::string picture(const std::string& name, const std::string& convertArguments)
{
    std::filesystem::create_directories(SCRATCH);
    const std::string path = SCRATCH + "/" + name;
    if (std::system(("convert " + convertArguments + " '" + path + "'").c_str()) != 0)
        return {};
    return path;
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

int lineCount(const std::string& text)
{
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

} // namespace

TEST(InspectTexture, DeviceLimitationsShapeTheTexture)
{
    const std::string screen = picture("screen.tga", "-size 640x480 gradient:navy-orange -depth 8 -type TrueColor");
    if (screen.empty())
        GTEST_SKIP() << "ImageMagick's convert is not available";

    ToolRun run = runTool("tovira-inspect", "texture '" + screen + "'", SCRATCH);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(firstLine(run.out), "format=X8R8G8B8 width=640 height=480 levels=10");
    EXPECT_EQ(lineCount(run.out), 1 + 10);

    run = runTool("tovira-inspect", "texture '" + screen + "' --caps pow2", SCRATCH);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(firstLine(run.out), "format=X8R8G8B8 width=1024 height=512 levels=11");

    run = runTool("tovira-inspect", "texture '" + screen + "' --caps squareonly,maxsize=128,nomipmap", SCRATCH);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "format=X8R8G8B8 width=128 height=128 levels=1");

    run = runTool("tovira-inspect", "texture '" + screen + "' --caps no=X8R8G8B8,no=A8R8G8B8", SCRATCH);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(firstLine(run.out), "format=R5G6B5 width=640 height=480 levels=10");
}

TEST(InspectTexture, UnconvertedLevelZeroHashesLikeTheDecodedImage)
{
    const std::string rgba = picture("rgba.tga", "-size 64x32 gradient:red-none -depth 8 -type TrueColorAlpha");
    if (rgba.empty())
        GTEST_SKIP() << "ImageMagick's convert is not available";
    const ToolRun image = runTool("tovira-inspect", "image '" + rgba + "'", SCRATCH);
    const ToolRun texture = runTool("tovira-inspect", "texture '" + rgba + "'", SCRATCH);
    ASSERT_EQ(image.status, 0) << image.err;
    ASSERT_EQ(texture.status, 0) << texture.err;
    const std::string imageHash = image.out.substr(image.out.find("sha256=") + 7, 64);
    const std::string levelZero = texture.out.substr(texture.out.find("level=0 sha256=") + 15, 64);
    EXPECT_EQ(levelZero, imageHash);
    EXPECT_NE(texture.out.find("format=A8R8G8B8 width=64 height=32 levels=7"), std::string::npos);
}

TEST(InspectTexture, RefusalsExitNonZeroWithAMessage)
{
    std::filesystem::create_directories(SCRATCH);
    ToolRun run = runTool("tovira-inspect", "texture '" + SCRATCH + "/absent.tga'", SCRATCH);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("absent.tga"), std::string::npos);

    run = runTool("tovira-inspect", "texture x.tga --caps sideways", SCRATCH);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("sideways"), std::string::npos);
}
