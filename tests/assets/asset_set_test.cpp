// The asset set: which file lands in which field, the load and release orders, and the
// message boxes for files that are missing or unreadable while the show goes on.
#include "assets/r3d_builder.h"
#include "image_test_support.h"
#include "show_device_fixture.h"

#include <cstdio>

namespace {

struct NamedTexture {
    const char* file;
    IDirect3DTexture8* ShowState::*field;
};

// In load order.
const NamedTexture NAMED_TEXTURES[] = {
    {"texture01.jpg", &ShowState::texture01},   {"texture02.jpg", &ShowState::texture02},
    {"texture05.jpg", &ShowState::texture05},   {"texture06.jpg", &ShowState::texture06},
    {"texture07.jpg", &ShowState::texture07},   {"sorvina.tga", &ShowState::logoTexture},
    {"envi01.jpg", &ShowState::envi01Texture},  {"tarvok1.tga", &ShowState::tarvok1Texture},
    {"tarvok2.tga", &ShowState::tarvok2Texture}, {"envi02.jpg", &ShowState::envi02Texture},
    {"feidi.tga", &ShowState::fadeTexture},
};

// Load positions (0-based) of the named textures in release order.
const int NAMED_RELEASE_ORDER[] = {0, 1, 2, 3, 4, 6, 9, 7, 8, 5, 10};

struct NamedModel {
    const char* file;
    Mesh* ShowState::*field;
};

const NamedModel NAMED_MODELS[] = {
    {"knodu.r3d", &ShowState::knoduMesh},
    {"thingy.r3d", &ShowState::thingyMesh},
    {"obu.r3d", &ShowState::obuMesh},
    {"glimmora.r3d", &ShowState::glimmoraMesh},
};

// The font's files as the text writer indexes them.
std::vector<std::string> glyphNames()
{
    std::vector<std::string> names;
    for (char c = 'a'; c <= 'z'; ++c)
        names.push_back(std::string("s") + c + ".tga");
    for (char c = '0'; c <= '9'; ++c)
        names.push_back(std::string("s") + c + ".tga");
    for (const char* name : {"shuuto", "sdot", "skautta", "skaksois", "sviiva", "spilkku"})
        names.push_back(std::string(name) + ".tga");
    return names;
}

// An uncompressed, top-down 24-bit TGA of one grey.
std::vector<uint8_t> tgaBytes(int width, int height)
{
    return makeTga({.width = uint16_t(width), .height = uint16_t(height)}, {}, Bytes(size_t(width) * height * 3, 0x80));
}

// Named texture i is (i + 1) x 64 pixels, glyph j is 2 x (j + 1), model k has
// (k + 2)^2 vertices, so that every field shows which file it came from.
void writeWholeDataSet()
{
    for (int i = 0; i < 11; ++i)
        ShowDeviceTest::writeFile(std::string("data/") + NAMED_TEXTURES[i].file, tgaBytes(i + 1, 64));
    const std::vector<std::string> glyphs = glyphNames();
    for (int j = 0; j < GLYPH_COUNT; ++j)
        ShowDeviceTest::writeFile("data/" + glyphs[j], tgaBytes(2, j + 1));
    for (int k = 0; k < 4; ++k)
        gridModel(k + 2).write(std::string("data/") + NAMED_MODELS[k].file);
}

std::pair<UINT, UINT> textureSize(IDirect3DTexture8* texture)
{
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    return {desc.Width, desc.Height};
}

// The label (tex#N, vb#N) a creation line hands out.
std::string createdLabel(const std::string& call)
{
    return call.substr(call.rfind('=') + 1);
}

struct Box {
    std::string text, caption;
    bool operator==(const Box&) const = default;
};

std::vector<Box> shownBoxes()
{
    std::vector<Box> boxes;
    for (const auto& box : win32host::shownMessageBoxes()) {
        EXPECT_EQ(box.parent, showState.window);
        EXPECT_EQ(box.type, UINT(MB_OK));
        boxes.push_back({box.text, box.caption});
    }
    return boxes;
}

void expectAllFieldsEmpty()
{
    for (const NamedTexture& named : NAMED_TEXTURES)
        EXPECT_EQ(showState.*named.field, nullptr) << named.file;
    for (IDirect3DTexture8* glyph : showState.glyphs)
        EXPECT_EQ(glyph, nullptr);
    for (const NamedModel& named : NAMED_MODELS)
        EXPECT_EQ(showState.*named.field, nullptr) << named.file;
}

using AssetSet = ShowDeviceTest;

} // namespace

TEST_F(AssetSet, WholeDataSetFillsEveryFieldInLoadOrderAndIsReleasedInReleaseOrder)
{
    createShowDevice();
    writeWholeDataSet();
    startRecording();
    loadAssets();
    EXPECT_TRUE(shownBoxes().empty());

    for (int i = 0; i < 11; ++i) {
        IDirect3DTexture8* texture = showState.*NAMED_TEXTURES[i].field;
        ASSERT_NE(texture, nullptr) << NAMED_TEXTURES[i].file;
        EXPECT_EQ(textureSize(texture), std::make_pair(UINT(i + 1), 64u)) << NAMED_TEXTURES[i].file;
    }
    for (int j = 0; j < GLYPH_COUNT; ++j) {
        ASSERT_NE(showState.glyphs[j], nullptr) << j;
        EXPECT_EQ(textureSize(showState.glyphs[j]), std::make_pair(2u, UINT(j + 1))) << j;
        EXPECT_EQ(glyphFiles[j], "data\\" + glyphNames()[j]);
    }
    for (int k = 0; k < 4; ++k) {
        const Mesh* mesh = showState.*NAMED_MODELS[k].field;
        ASSERT_NE(mesh, nullptr) << NAMED_MODELS[k].file;
        EXPECT_EQ(mesh->vertexCount, (k + 2) * (k + 2)) << NAMED_MODELS[k].file;
        EXPECT_NE(mesh->vertexBuffer, nullptr);
    }

    // Textures in table order, then glyphs in font order, then the models.
    std::vector<std::string> expected;
    for (int i = 0; i < 11; ++i)
        expected.push_back("CreateTexture(" + std::to_string(i + 1) + ",64,");
    for (int j = 0; j < GLYPH_COUNT; ++j)
        expected.push_back("CreateTexture(2," + std::to_string(j + 1) + ",");
    for (int k = 0; k < 4; ++k)
        expected.push_back("CreateVertexBuffer(" + std::to_string(44 * (k + 2) * (k + 2)) + ",");
    const std::vector<std::string> creations =
        callsStartingWith(recorded(), {"CreateTexture", "CreateVertexBuffer", "CreateIndexBuffer"});
    const size_t textures = 11 + GLYPH_COUNT;
    ASSERT_EQ(creations.size(), textures + 8); // each model: vertex buffer, then index buffer
    for (size_t n = 0; n < expected.size(); ++n) {
        const std::string& made = creations[n < textures ? n : textures + 2 * (n - textures)];
        EXPECT_EQ(made.rfind(expected[n], 0), 0u) << made << " expected " << expected[n];
    }

    // Meshes (vertex, then index buffer), then the named textures in release order, then the glyphs.
    d3d8host::clearRecordedCalls();
    releaseAssets();

    std::vector<std::string> releases;
    for (size_t n = textures; n < creations.size(); ++n)
        releases.push_back("Release(" + createdLabel(creations[n]) + ")");
    for (int i : NAMED_RELEASE_ORDER)
        releases.push_back("Release(" + createdLabel(creations[i]) + ")");
    for (int j = 0; j < GLYPH_COUNT; ++j)
        releases.push_back("Release(" + createdLabel(creations[11 + j]) + ")");
    EXPECT_EQ(callsStartingWith(recorded(), {"Release(tex", "Release(vb", "Release(ib"}), releases);
    EXPECT_EQ(d3d8host::liveObjectCount(), objectsBefore);
    expectAllFieldsEmpty();
}

TEST_F(AssetSet, MissingOrUnreadableFilesShowOneBoxEachAndLeaveOnlyTheirFieldsEmpty)
{
    createShowDevice();
    writeWholeDataSet();
    std::remove("data/feidi.tga");
    std::remove("data/sq.tga");
    std::remove("data/obu.r3d");
    writeFile("data/texture05.jpg", {'x', 'y', 'z'});
    loadAssets();

    EXPECT_EQ(shownBoxes(), (std::vector<Box>{{"Failed to load texture", "D3D Error"},
                                              {"Failed to load texture", "D3D Error"},
                                              {"Failed to load texture", "data\\sq.tga"},
                                              {"Failed to load model", "data\\obu.r3d"}}));
    for (const NamedTexture& named : NAMED_TEXTURES) {
        const bool failed = named.field == &ShowState::texture05 || named.field == &ShowState::fadeTexture;
        EXPECT_EQ(showState.*named.field == nullptr, failed) << named.file;
    }
    for (int j = 0; j < GLYPH_COUNT; ++j)
        EXPECT_EQ(showState.glyphs[j] == nullptr, j == 'q' - 'a') << j;
    ASSERT_NE(showState.obuMesh, nullptr);
    EXPECT_EQ(showState.obuMesh->vertexBuffer, nullptr);
    EXPECT_NE(showState.glimmoraMesh->vertexBuffer, nullptr);

    // The show goes on: an empty mesh draws nothing, the others still draw.
    startRecording();
    drawMesh(showState.obuMesh);
    EXPECT_TRUE(recorded().empty());
    drawMesh(showState.glimmoraMesh);
    EXPECT_EQ(callsStartingWith(recorded(), {"DrawIndexedPrimitive"}).size(), 1u);

    // The device keeps its own references to the bound buffers until they are unbound.
    showState.device->SetStreamSource(0, nullptr, 0);
    showState.device->SetIndices(nullptr, 0);
    releaseAssets();
    EXPECT_EQ(d3d8host::liveObjectCount(), objectsBefore);
    expectAllFieldsEmpty();
}
