// tovira-makedata: the data set it writes, checked with independent tools where possible (ImageMagick
// decodes every picture) and as the show itself reads it, and the program's command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "music.h"
#include "tool_test_files.h"
#include "command_line.h"
#include "contact_sheet.h"
#include "dataset.h"
#include "font.h"
#include "pictures.h"
#include "tga_decoder.h"
#include "tga_writer.h"

namespace {

using namespace makedata;

namespace fs = std::filesystem;

// Debian's ImageMagick programs, called by their full path when they are there.
std::string imageMagick(const std::string& program)
{
    const std::string debian = "/usr/bin/" + program;
    return fs::exists(debian) ? debian : program;
}

// A picture decoded by ImageMagick, rows top first whatever the file's own order; empty when it is
// not a picture of that size.
Image decodeWithImageMagick(const fs::path& path, int width, int height)
{
    const std::string rgba =
        commandOutput(imageMagick("convert") + " " + quoted(path.string()) + " -auto-orient -depth 8 rgba:- 2>/dev/null").text;
    Image image(width, height);
    if (rgba.size() != image.pixels.size() * 4)
        return {};
    std::memcpy(image.pixels.data(), rgba.data(), rgba.size());
    return image;
}

// The set is built once for the whole suite and written where the other tests and people can look.
class MakedataSet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        ASSERT_TRUE(buildDataSet(&files_, &error)) << error;
        directory_ = scratchFolder("makedata_data");
        ASSERT_TRUE(writeFiles(directory_.string(), files_, &error)) << error;
    }
    static void TearDownTestSuite() { fs::remove_all(directory_); }

    static std::vector<BuiltFile> files_;
    static fs::path directory_;
};

std::vector<BuiltFile> MakedataSet::files_;
fs::path MakedataSet::directory_;

// Every picture the show loads (and the show checks for each) is the format and size it expects.
TEST_F(MakedataSet, EveryPictureIsReadByImageMagickInItsFormatAndSize)
{
    EXPECT_EQ(files_.size(), 11u + 42u + 4u);
    std::string command = imageMagick("identify") + " -format '%f %m %w %h\\n'";
    std::map<std::string, std::array<int, 2>> expected;
    for (const DataFile& f : dataSetFiles()) {
        if (f.kind != FileKind::Model) {
            command.append(" ").append(quoted((directory_ / f.name).string()));
            expected[f.name] = {f.width, f.height};
        }
    }
    const CommandOutput run = commandOutput(command + " 2>&1");
    ASSERT_EQ(run.status, 0) << run.text;
    std::istringstream lines(run.text);
    std::string name, format;
    int width = 0, height = 0, seen = 0;
    while (lines >> name >> format >> width >> height) {
        ASSERT_TRUE(expected.count(name)) << name;
        EXPECT_EQ(format, name.ends_with(".jpg") ? "JPEG" : "TGA") << name;
        EXPECT_EQ((std::array{width, height}), expected[name]) << name;
        ++seen;
    }
    EXPECT_EQ(seen, int(expected.size())) << run.text;
}

// The Targa writer against an independent reader, one file per flavour the show reads: the pixels
// must survive exactly.
TEST_F(MakedataSet, ImageMagickReadsBackExactlyThePixelsPaintedInEveryTargaFlavour)
{
    ArtResources resources;
    std::string error;
    ASSERT_TRUE(openArtResources(&resources, &error)) << error;
    // File, picture painted, image type, bits per pixel, row order.
    const std::tuple<const char*, Image, int, int, bool> cases[] = {
        {"tarvok1.tga", makeMountainLake(), 2, 24, false},              // raw bottom-up
        {"tarvok2.tga", makeStillLife(), 10, 24, true},                 // run-length top-down
        {"sorvina.tga", makeLogo(*resources.logoFont), 2, 32, true},    // raw top-down with alpha
        {"sg.tga", makeGlyph(*resources.glyphFont, 'g'), 10, 32, false}, // run-length bottom-up with alpha
        {"feidi.tga", expandIndexed(makeFadeImage()), 1, 8, false},     // colour-mapped
    };
    for (const auto& [name, painted, type, bits, topDown] : cases) {
        const BuiltFile& f = *std::find_if(files_.begin(), files_.end(), [wanted = name](const BuiltFile& b) { return b.name == wanted; });
        EXPECT_EQ(std::tuple(int(f.bytes[2]), int(f.bytes[16]), (f.bytes[17] & 0x20) != 0), std::tuple(type, bits, topDown))
            << name;
        const Image decoded = decodeWithImageMagick(directory_ / name, painted.width, painted.height);
        ASSERT_EQ(decoded.width, painted.width) << name;
        int differing = 0;
        for (size_t i = 0; i < decoded.pixels.size(); ++i) {
            Rgba want = painted.pixels[i];
            want.a = bits == 32 ? want.a : 255;
            differing += decoded.pixels[i] == want ? 0 : 1;
        }
        EXPECT_EQ(differing, 0) << name;
    }
}

TEST_F(MakedataSet, ContactSheetIsAPngOfEverything)
{
    const fs::path sheet = fs::path(TOVIRA_TEST_BINARY_DIR) / "makedata_contact_sheet.png";
    std::string error;
    ASSERT_TRUE(writeContactSheet(files_, sheet.string(), &error)) << error;
    EXPECT_EQ(commandOutput(imageMagick("identify") + " -format '%m %w' " + quoted(sheet.string())).text, "PNG 1600");
}

// The program writes what an in-process build makes, so two builds agree to the byte; it refuses
// an unwritable directory and unknown options with a clear message and a failing status.
TEST_F(MakedataSet, ProgramWritesTheSameFilesAsEveryBuildAndRefusesMistakes)
{
    const fs::path scratch = scratchFolder("makedata_program");
    const ToolRun run = runTool("tovira-makedata", quoted((scratch / "data").string()), scratch.string());
    ASSERT_EQ(run.status, 0) << run.err;
    for (const BuiltFile& f : files_)
        EXPECT_TRUE(readText(scratch / "data" / f.name) == std::string(f.bytes.begin(), f.bytes.end())) << f.name;
    std::string error;
    ASSERT_TRUE(writeMusic((scratch / "pork.xm").string(), &error)) << error;
    EXPECT_EQ(readText(scratch / "data" / "pork.xm"), readText(scratch / "pork.xm"));

    std::ofstream(scratch / "not-a-directory") << "a file where the directory would go";
    const ToolRun unwritable = runTool("tovira-makedata", quoted((scratch / "not-a-directory" / "data").string()),
                                       scratch.string());
    EXPECT_NE(unwritable.status, 0);
    EXPECT_NE(unwritable.err.find("cannot create the directory"), std::string::npos) << unwritable.err;
    const ToolRun unknown = runTool("tovira-makedata", "--frobnicate", scratch.string());
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("usage:"), std::string::npos);
    fs::remove_all(scratch);
}

TEST(MakedataCommandLine, ReadsDirectoryAndContactSheet)
{
    // Arguments, then the directory (null: refused), whether data is written, the sheet.
    const std::tuple<std::vector<std::string>, const char*, bool, std::string> cases[] = {
        {{}, "data", true, ""},
        {{"out"}, "out", true, ""},
        {{"--contact-sheet", "s.png"}, "data", false, "s.png"},
        {{"--contact-sheet", "s.png", "out"}, "out", true, "s.png"},
        {{"--contact-sheet"}, nullptr, false, ""}, {{"a", "b"}, nullptr, false, ""}, {{"-x"}, nullptr, false, ""},
    };
    for (const auto& [args, directory, writeData, sheet] : cases) {
        Options options;
        std::string error;
        ASSERT_EQ(parseArguments(args, &options, &error), directory != nullptr) << ::testing::PrintToString(args);
        EXPECT_EQ(error.empty(), directory != nullptr) << error;
        if (directory) {
            EXPECT_EQ(std::tie(options.directory, options.writeData, options.contactSheet),
                      std::tuple(std::string(directory), writeData, sheet));
        }
    }
}

// Our own Targa decoder is what the contact sheet shows; it must refuse damaged files, not overrun them.
TEST(MakedataTgaDecoder, RefusesTruncatedFilesAtEveryLength)
{
    Image picture(7, 5);
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = {uint8_t(i * 7), uint8_t(i % 3 * 50), 9, uint8_t(i % 2 * 255)};
    for (const TgaLayout layout : {TgaLayout{32, true, false}, TgaLayout{24, false, true}}) {
        const std::vector<uint8_t> bytes = encodeTga(picture, layout);
        std::string error;
        ASSERT_TRUE(decodeTga(bytes, &error)) << error;
        for (size_t n = 0; n < bytes.size(); ++n)
            EXPECT_FALSE(decodeTga(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(n)), &error)) << n;
    }
}

}  // namespace
