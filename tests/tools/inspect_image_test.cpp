// `tovira-inspect image FILE`, run as a program: the one line it prints, the SHA-256 it gives
// checked against coreutils' sha256sum, and its exit status and message on refused files.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::string scratchFolder()
{
    // ctest runs tests as parallel processes: each keeps its own scratch folder.
    return std::string(TOVIRA_TEST_BINARY_DIR) + "/inspect_scratch_" + std::to_string(getpid());
}

std::string scratch(const std::string& name)
{
    std::filesystem::create_directories(scratchFolder());
    return scratchFolder() + "/" + name;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ToolRun runInspect(const std::string& arguments)
{
    return runTool("tovira-inspect", arguments, scratchFolder());
}

std::string sha256sumOf(const Bytes& bytes)
{
    const std::string path = scratch("rows.bin");
    writeBytes(path, bytes);
    const std::string sum = scratch("rows.sha256");
    if (std::system(("sha256sum '" + path + "' > '" + sum + "'").c_str()) != 0)
        return "sha256sum failed";
    return readText(sum).substr(0, 64);
}

} // namespace

TEST(InspectImage, PrintsFormatSizePitchLevelsAndTheHashOfTheRowsTopFirst)
{
    // 3×2 bottom-up 24-bit TGA: stored rows are bottom then top.
    const Bytes bottom = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const Bytes top = {11, 12, 13, 14, 15, 16, 17, 18, 19};
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0};
    tga.insert(tga.end(), bottom.begin(), bottom.end());
    tga.insert(tga.end(), top.begin(), top.end());
    const std::string path = scratch("bottom-up.tga");
    writeBytes(path, tga);

    Bytes rows = top;
    rows.insert(rows.end(), bottom.begin(), bottom.end());
    const ToolRun run = runInspect("image '" + path + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "format=R8G8B8 width=3 height=2 pitch=9 levels=1 sha256=" + sha256sumOf(rows) + "\n");
    EXPECT_EQ(run.err, "");
}

TEST(InspectImage, CountsTheMipLevelsOfADdsFile)
{
    if (std::system("convert -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const std::string path = scratch("chain.dds");
    ASSERT_EQ(std::system(("convert -size 64x32 gradient:red-blue -define dds:compression=dxt1 'dds:" + path + "'")
                              .c_str()),
              0);
    const ToolRun run = runInspect("image '" + path + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    // 64×32 down to 1×1; DXT1 rows are rows of 4×4 blocks, 8 bytes each.
    EXPECT_EQ(run.out.substr(0, run.out.find(" sha256=")), "format=DXT1 width=64 height=32 pitch=128 levels=7");
}

TEST(InspectImage, RefusedOrMissingFilesExitNonZeroWithAMessage)
{
    const std::string text = scratch("not-a-picture.tga");
    writeBytes(text, Bytes{'h', 'e', 'l', 'l', 'o'});
    for (const std::string& path : {text, scratch("missing.tga")}) {
        const ToolRun run = runInspect("image '" + path + "'");
        EXPECT_NE(run.status, 0) << path;
        EXPECT_EQ(run.out, "") << path;
        EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("0x88760B59"), std::string::npos) << run.err;
    }
    EXPECT_NE(runInspect("").status, 0);
    EXPECT_NE(runInspect("image").status, 0);
    EXPECT_NE(runInspect("nonsense x").status, 0);
}
