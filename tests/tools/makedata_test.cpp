// tovira-makedata: the data set it writes, checked with independent tools where possible (ImageMagick
// decodes every picture) and as the show itself reads it, and the program's command line.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets.h"
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

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (const char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

struct CommandResult {
    int status = -1;
    std::string output;
};

CommandResult runCommand(const std::string& command)
{
    CommandResult run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Debian's ImageMagick programs, called by their full path when they are there.
std::string imageMagick(const std::string& program)
{
    const std::string debian = "/usr/bin/" + program;
    return fs::exists(debian) ? debian : program;
}

// Decodes any picture file to RGBA with ImageMagick, rows top first whatever the file's own order.
Image decodeWithImageMagick(const fs::path& path)
{
    const CommandResult size = runCommand(imageMagick("identify") + " -format '%w %h' " + quoted(path.string()) + " 2>&1");
    int width = 0, height = 0;
    std::istringstream(size.output) >> width >> height;
    Image image(width, height);
    const CommandResult pixels =
        runCommand(imageMagick("convert") + " " + quoted(path.string()) + " -auto-orient -depth 8 rgba:- 2>/dev/null");
    if (pixels.output.size() == image.pixels.size() * 4) {
        std::memcpy(image.pixels.data(), pixels.output.data(), pixels.output.size());
    } else {
        image = Image();
    }
    return image;
}

// Decodes pictures of equal height in one ImageMagick call (side by side), for speed.
std::vector<Image> decodeRowWithImageMagick(const std::vector<fs::path>& paths, int width, int height)
{
    std::string command = imageMagick("convert");
    for (const fs::path& p : paths) {
        command += " " + quoted(p.string());
    }
    const CommandResult row = runCommand(command + " -auto-orient +append -depth 8 rgba:- 2>/dev/null");
    std::vector<Image> images;
    const size_t rowWidth = size_t(width) * paths.size();
    if (row.output.size() != rowWidth * size_t(height) * 4) {
        return images;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        Image image(width, height);
        for (int y = 0; y < height; ++y) {
            std::memcpy(&image.at(0, y), row.output.data() + (size_t(y) * rowWidth + i * size_t(width)) * 4,
                        size_t(width) * 4);
        }
        images.push_back(std::move(image));
    }
    return images;
}

// The set is built once for the whole suite and written where the other tests and people can look.
class MakedataSet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        ASSERT_TRUE(buildDataSet(&files_, &error)) << error;
        // ctest runs tests as parallel processes: each writes its own copy.
        directory_ = fs::path(TOVIRA_TEST_BINARY_DIR) / ("makedata_data_" + std::to_string(getpid()));
        fs::remove_all(directory_);
        ASSERT_TRUE(writeFiles(directory_.string(), files_, &error)) << error;
    }
    static void TearDownTestSuite() { fs::remove_all(directory_); }

    static const BuiltFile& file(const std::string& name)
    {
        const auto found =
            std::find_if(files_.begin(), files_.end(), [&](const BuiltFile& f) { return f.name == name; });
        EXPECT_NE(found, files_.end()) << name;
        return *found;
    }

    static std::vector<BuiltFile> files_;
    static fs::path directory_;
};

std::vector<BuiltFile> MakedataSet::files_;
fs::path MakedataSet::directory_;

TEST_F(MakedataSet, HoldsEveryFileTheShowLoadsExceptTheMusic)
{
    std::set<std::string> names;
    for (const BuiltFile& f : files_) {
        names.insert(f.name);
    }
    for (const char* name : {"texture01.jpg", "texture02.jpg", "texture05.jpg", "texture06.jpg", "texture07.jpg",
                             "sorvina.tga", "envi01.jpg", "tarvok1.tga", "tarvok2.tga", "envi02.jpg", "feidi.tga",
                             "knodu.r3d", "thingy.r3d", "obu.r3d", "glimmora.r3d"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (const char c : letters) {
        EXPECT_TRUE(names.count(std::string("s") + c + ".tga")) << c;
    }
    for (const char* name : {"shuuto.tga", "sdot.tga", "skautta.tga", "skaksois.tga", "sviiva.tga", "spilkku.tga"}) {
        EXPECT_TRUE(names.count(name)) << name;
    }
    EXPECT_EQ(files_.size(), 11u + 42u + 4u);
}

TEST_F(MakedataSet, EveryPictureDecodesWithImageMagickAndTheShowsReadersAtItsExpectedSize)
{
    std::string command = imageMagick("identify") + " -format '%f %m %w %h\\n'";
    std::map<std::string, std::array<int, 2>> expected;
    for (const DataFile& f : dataSetFiles()) {
        if (f.kind != FileKind::Model) {
            command += " " + quoted((directory_ / f.name).string());
            expected[f.name] = {f.width, f.height};
        }
    }
    const CommandResult run = runCommand(command + " 2>&1");
    ASSERT_EQ(run.status, 0) << run.output;
    std::istringstream lines(run.output);
    std::string name, format;
    int width = 0, height = 0, seen = 0;
    while (lines >> name >> format >> width >> height) {
        ASSERT_TRUE(expected.count(name)) << name;
        EXPECT_EQ(format, name.ends_with(".jpg") ? "JPEG" : "TGA") << name;
        EXPECT_EQ(width, expected[name][0]) << name;
        EXPECT_EQ(height, expected[name][1]) << name;
        ++seen;
    }
    EXPECT_EQ(seen, int(expected.size())) << run.output;

    // The show's own readers: the glyphs and the logo carry alpha, the photographs do not.
    std::set<std::string> withAlpha = {"sorvina.tga"};
    for (const GlyphEntry& g : glyphTable) {
        withAlpha.insert(g.fileName);
    }
    for (const BuiltFile& f : files_) {
        if (f.kind == FileKind::Model) {
            continue;
        }
        DecodedImage image;
        ASSERT_EQ(decodeImage(f.bytes.data(), f.bytes.size(), image), S_OK) << f.name;
        EXPECT_EQ(image.width, UINT(expected[f.name][0])) << f.name;
        EXPECT_EQ(image.height, UINT(expected[f.name][1])) << f.name;
        const bool alpha = withAlpha.count(f.name) != 0;
        if (f.kind == FileKind::Jpeg || alpha) {
            EXPECT_EQ(image.format, alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8) << f.name;
        }
    }
}

// The Targa writer against an independent reader, one file per flavour the show reads: the pixels
// must survive exactly.
TEST_F(MakedataSet, ImageMagickReadsBackExactlyThePixelsPaintedInEveryTargaFlavour)
{
    struct Case {
        const char* name;
        Image painted;
        int type, bits;
        bool topDown;
    };
    ArtResources resources;
    std::string error;
    ASSERT_TRUE(openArtResources(&resources, &error)) << error;
    const Case cases[] = {
        {"tarvok1.tga", makeMountainLake(), 2, 24, false},              // raw bottom-up
        {"tarvok2.tga", makeStillLife(), 10, 24, true},                 // run-length top-down
        {"sorvina.tga", makeLogo(*resources.logoFont), 2, 32, true},    // raw top-down with alpha
        {"sg.tga", makeGlyph(*resources.glyphFont, 'g'), 10, 32, false}, // run-length bottom-up with alpha
        {"feidi.tga", expandIndexed(makeFadeImage()), 1, 8, false},     // colour-mapped
    };
    for (const Case& c : cases) {
        const BuiltFile& f = file(c.name);
        EXPECT_EQ(f.bytes[2], c.type) << c.name;
        EXPECT_EQ(f.bytes[16], c.bits) << c.name;
        EXPECT_EQ((f.bytes[17] & 0x20) != 0, c.topDown) << c.name;
        const Image decoded = decodeWithImageMagick(directory_ / c.name);
        ASSERT_EQ(decoded.width, c.painted.width) << c.name;
        ASSERT_EQ(decoded.height, c.painted.height) << c.name;
        int differing = 0;
        for (size_t i = 0; i < decoded.pixels.size(); ++i) {
            Rgba want = c.painted.pixels[i];
            if (c.bits != 32) {
                want.a = 255;
            }
            differing += decoded.pixels[i] == want ? 0 : 1;
        }
        EXPECT_EQ(differing, 0) << c.name;
    }
}

// Glyphs are drawn every 18 pixels, so ink outside the 18x18 cell would be covered or cover a neighbour.
TEST_F(MakedataSet, GlyphsAreRunLengthRgbaWithTheirInkInsideTheWritersCell)
{
    std::vector<fs::path> paths;
    for (const GlyphEntry& g : glyphTable) {
        paths.push_back(directory_ / g.fileName);
    }
    const std::vector<Image> glyphs = decodeRowWithImageMagick(paths, 32, 32);
    ASSERT_EQ(glyphs.size(), glyphTable.size()) << "the glyphs are not all 32x32 pictures ImageMagick reads";
    for (size_t i = 0; i < glyphTable.size(); ++i) {
        const GlyphEntry& g = glyphTable[i];
        const Image& glyph = glyphs[i];
        const BuiltFile& f = file(g.fileName);
        EXPECT_EQ(f.bytes[2], 10) << g.fileName << ": run-length true colour";
        EXPECT_EQ(f.bytes[16], 32) << g.fileName;
        int solid = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const int a = glyph.at(x, y).a;
                // The shadow may reach two pixels past the cell; the letter and its outline stay inside.
                EXPECT_FALSE(a > 0 && (x >= glyphCell + 2 || y >= glyphCell + 2))
                    << g.fileName << " has ink at " << x << "," << y;
                EXPECT_FALSE(a > 200 && (x > glyphCell || y >= glyphCell))
                    << g.fileName << " has solid ink at " << x << "," << y;
                solid += a > 200 ? 1 : 0;
            }
        }
        EXPECT_GT(solid, 6) << g.fileName << " is nearly empty";
    }
}

// The reflection maps and base textures are addressed with wrap-around: opposite edges must meet.
TEST_F(MakedataSet, WrappedTexturesTileWithoutVisibleSeams)
{
    for (const char* name : {"texture01.jpg", "texture02.jpg", "texture05.jpg", "texture06.jpg", "texture07.jpg",
                             "envi01.jpg", "envi02.jpg"}) {
        const Image image = decodeWithImageMagick(directory_ / name);
        ASSERT_GT(image.width, 0) << name;
        auto difference = [&](int x0, int y0, int x1, int y1) {
            const Rgba a = image.at(x0, y0), b = image.at(x1, y1);
            return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        };
        // Stepping over an edge must cost about what an average step inside the picture costs.
        double across = 0, down = 0, inside = 0, insideDown = 0;
        for (int y = 0; y < image.height; ++y) {
            across += difference(image.width - 1, y, 0, y);
            for (int x = 0; x + 1 < image.width; ++x) {
                inside += difference(x, y, x + 1, y);
            }
        }
        for (int x = 0; x < image.width; ++x) {
            down += difference(x, image.height - 1, x, 0);
            for (int y = 0; y + 1 < image.height; ++y) {
                insideDown += difference(x, y, x, y + 1);
            }
        }
        inside /= image.width - 1;
        insideDown /= image.height - 1;
        EXPECT_LT(across, inside * 1.5 + 2.0 * image.height) << name << " left/right edges";
        EXPECT_LT(down, insideDown * 1.5 + 2.0 * image.width) << name << " top/bottom edges";
    }
}

TEST_F(MakedataSet, LogoBandHasSoftEndsAndOpaqueLettering)
{
    const Image logo = decodeWithImageMagick(directory_ / "sorvina.tga");
    ASSERT_EQ(logo.width, 512);
    ASSERT_EQ(logo.height, 128);
    EXPECT_EQ(logo.at(0, 64).a, 0);
    EXPECT_EQ(logo.at(511, 64).a, 0);
    int opaque = 0;
    for (const Rgba& p : logo.pixels) {
        opaque += p.a == 255 ? 1 : 0;
    }
    EXPECT_GT(opaque, 4000);
}

// Read with the show's own model reader, which refuses malformed layouts.
TEST_F(MakedataSet, ModelsAreWellFormedAndFitWhereTheScenesPutThem)
{
    struct Budget {
        const char* name;
        float radius;       // the scenes' room for the model around its origin
        size_t triangles;   // glimmora is drawn up to 45 times per frame
        bool closed;
    };
    const Budget budgets[] = {{"knodu.r3d", 0.5f, 50000, true},
                              {"thingy.r3d", 2.0f, 50000, false},
                              {"obu.r3d", 0.6f, 50000, true},
                              {"glimmora.r3d", 1.0f, 1200, true}};
    for (const Budget& budget : budgets) {
        const BuiltFile& f = file(budget.name);
        ModelData m;
        std::string error;
        ASSERT_TRUE(parseModel(f.bytes.data(), f.bytes.size(), m, &error)) << budget.name << ": " << error;
        EXPECT_EQ(m.normals, ModelNormals::File) << budget.name;
        EXPECT_EQ(m.texCoordCount, static_cast<int32_t>(m.vertices.size())) << budget.name << ": one pair per vertex";
        EXPECT_LE(m.indices.size() / 3, budget.triangles) << budget.name;
        float radius = 0;
        for (const ::MeshVertex& v : m.vertices) {
            ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z)) << budget.name;
            EXPECT_NEAR(std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz), 1.0f, 1e-4f) << budget.name;
            radius = std::max(radius, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
        }
        EXPECT_LE(radius, budget.radius) << budget.name;
        EXPECT_GT(radius, budget.radius * 0.5f) << budget.name << " is smaller than its place calls for";
        double volume = 0;
        size_t againstNormals = 0;
        for (size_t t = 0; t < m.indices.size(); t += 3) {
            const ::MeshVertex& a = m.vertices[m.indices[t]];
            const ::MeshVertex& b = m.vertices[m.indices[t + 1]];
            const ::MeshVertex& c = m.vertices[m.indices[t + 2]];
            const float e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
            const float e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
            const float face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                   e1[0] * e2[1] - e1[1] * e2[0]};
            float along = 0;
            for (const ::MeshVertex* v : {&a, &b, &c}) {
                along += face[0] * v->nx + face[1] * v->ny + face[2] * v->nz;
            }
            againstNormals += along <= 0 ? 1 : 0;
            volume += a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) + a.z * (b.x * c.y - b.y * c.x);
        }
        // Clockwise on screen is front for the show's culling: (b - a) x (c - a) points to the viewer,
        // which must be the side the normals (and so the reflections) belong to.
        EXPECT_EQ(againstNormals, 0u) << budget.name;
        if (budget.closed) {
            EXPECT_GT(volume, 0.0) << budget.name << " faces point inwards";
        }
    }
}

TEST_F(MakedataSet, ContactSheetIsAPngOfEverything)
{
    const fs::path sheet = fs::path(TOVIRA_TEST_BINARY_DIR) / "makedata_contact_sheet.png";
    std::string error;
    ASSERT_TRUE(writeContactSheet(files_, sheet.string(), &error)) << error;
    const CommandResult run = runCommand(imageMagick("identify") + " -format '%m %w' " + quoted(sheet.string()) + " 2>&1");
    EXPECT_EQ(run.output, "PNG 1600");
}

std::vector<uint8_t> readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const std::string makedataProgram = std::string(TOVIRA_BINARY_DIR) + "/tovira-makedata";

TEST(MakedataProgram, TwoRunsWriteIdenticalFiles)
{
    ASSERT_TRUE(fs::exists(makedataProgram)) << "build the tovira-makedata target first";
    const fs::path base = fs::path(TOVIRA_TEST_BINARY_DIR) / "makedata_runs";
    fs::remove_all(base);
    for (const char* run : {"first", "second"}) {
        const CommandResult r = runCommand(quoted(makedataProgram) + " " + quoted((base / run).string()) + " 2>&1");
        ASSERT_EQ(r.status, 0) << r.output;
    }
    size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(base / "first")) {
        const fs::path twin = base / "second" / entry.path().filename();
        ASSERT_TRUE(fs::exists(twin)) << twin;
        EXPECT_TRUE(readWhole(entry.path()) == readWhole(twin)) << entry.path().filename();
        ++compared;
    }
    EXPECT_GE(compared, 57u);
}

TEST(MakedataProgram, RefusesAnUnwritableDirectoryAndUnknownOptions)
{
    ASSERT_TRUE(fs::exists(makedataProgram)) << "build the tovira-makedata target first";
    const fs::path blocker = fs::path(TOVIRA_TEST_BINARY_DIR) / "makedata_not_a_directory";
    std::ofstream(blocker) << "a file where the directory would go";
    const CommandResult unwritable = runCommand(quoted(makedataProgram) + " " + quoted((blocker / "data").string()) + " 2>&1");
    EXPECT_NE(unwritable.status, 0);
    EXPECT_NE(unwritable.output.find("cannot create the directory"), std::string::npos) << unwritable.output;

    const CommandResult unknown = runCommand(quoted(makedataProgram) + " --frobnicate 2>&1");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.output.find("unknown option --frobnicate"), std::string::npos) << unknown.output;
    EXPECT_NE(unknown.output.find("usage:"), std::string::npos);
}

TEST(MakedataCommandLine, ReadsDirectoryAndContactSheet)
{
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::string directory;
        bool writeData;
        std::string sheet;
    };
    const Case cases[] = {
        {{}, true, "data", true, ""},
        {{"out"}, true, "out", true, ""},
        {{"--contact-sheet", "s.png"}, true, "data", false, "s.png"},
        {{"out", "--contact-sheet", "s.png"}, true, "out", true, "s.png"},
        {{"--contact-sheet", "s.png", "out"}, true, "out", true, "s.png"},
        {{"--contact-sheet"}, false, "", false, ""},
        {{"a", "b"}, false, "", false, ""},
        {{"-x"}, false, "", false, ""},
        {{""}, false, "", false, ""},
    };
    for (const Case& c : cases) {
        Options options;
        std::string error;
        const bool ok = parseArguments(c.args, &options, &error);
        ASSERT_EQ(ok, c.ok) << ::testing::PrintToString(c.args);
        if (!ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(options.directory, c.directory);
        EXPECT_EQ(options.writeData, c.writeData);
        EXPECT_EQ(options.contactSheet, c.sheet);
    }
}

// Our own Targa decoder is what the contact sheet shows; it must refuse damaged files, not overrun them.
TEST(MakedataTgaDecoder, RefusesTruncatedFilesAtEveryLength)
{
    Image picture(7, 5);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.pixels[i] = {uint8_t(i * 7), uint8_t(i % 3 * 50), 9, uint8_t(i % 2 * 255)};
    }
    for (const TgaLayout layout : {TgaLayout{32, true, false}, TgaLayout{24, false, true}}) {
        const std::vector<uint8_t> bytes = encodeTga(picture, layout);
        std::string error;
        const auto whole = decodeTga(bytes, &error);
        ASSERT_TRUE(whole) << error;
        for (size_t n = 0; n < bytes.size(); ++n) {
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            EXPECT_FALSE(decodeTga(cut, &error)) << n;
        }
    }
}

}  // namespace
