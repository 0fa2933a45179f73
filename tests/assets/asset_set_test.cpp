// The asset set: the files it loads into which fields, and the message boxes for files that are
// missing or unreadable while the show goes on.
#include "assets/r3d_builder.h"
#include "image_test_support.h"
#include "show_device_fixture.h"

#include <cstdio>

namespace {

// File and field, in load order.
const std::pair<const char*, IDirect3DTexture8* ShowState::*> NAMED_TEXTURES[] = {
    {"texture01.jpg", &ShowState::texture01},   {"texture02.jpg", &ShowState::texture02},
    {"texture05.jpg", &ShowState::texture05},   {"texture06.jpg", &ShowState::texture06},
    {"texture07.jpg", &ShowState::texture07},   {"sorvina.tga", &ShowState::logoTexture},
    {"envi01.jpg", &ShowState::envi01Texture},  {"tarvok1.tga", &ShowState::tarvok1Texture},
    {"tarvok2.tga", &ShowState::tarvok2Texture}, {"envi02.jpg", &ShowState::envi02Texture},
    {"feidi.tga", &ShowState::fadeTexture},
};

const std::pair<const char*, Mesh* ShowState::*> NAMED_MODELS[] = {
    {"knodu.r3d", &ShowState::knoduMesh}, {"thingy.r3d", &ShowState::thingyMesh},
    {"obu.r3d", &ShowState::obuMesh},     {"glimmora.r3d", &ShowState::glimmoraMesh},
};

// Every file of the data set: small grey TGAs for the pictures and the font's glyphs (named as the
// text writer indexes them), and model k with (k + 2)^2 vertices, so that every mesh shows which
// file it came from.
void writeWholeDataSet()
{
    const Bytes grey = makeTga({.width = 2, .height = 2}, {}, Bytes(2 * 2 * 3, 0x80));
    for (const auto& [file, field] : NAMED_TEXTURES)
        writeFileBytes(std::string("data/") + file, grey);
    for (char c : std::string("abcdefghijklmnopqrstuvwxyz0123456789"))
        writeFileBytes(std::string("data/s") + c + ".tga", grey);
    for (const char* name : {"shuuto", "sdot", "skautta", "skaksois", "sviiva", "spilkku"})
        writeFileBytes(std::string("data/") + name + ".tga", grey);
    for (int k = 0; k < 4; ++k)
        gridModel(k + 2).write(std::string("data/") + NAMED_MODELS[k].first);
}

using Box = std::pair<std::string, std::string>; // text, caption

std::vector<Box> shownBoxes()
{
    std::vector<Box> boxes;
    for (const auto& box : win32host::shownMessageBoxes()) {
        EXPECT_EQ(std::pair(box.parent, box.type), std::pair(showState.window, UINT(MB_OK)));
        boxes.push_back({box.text, box.caption});
    }
    return boxes;
}

using AssetSet = ShowDeviceTest;

} // namespace

TEST_F(AssetSet, MissingOrUnreadableFilesShowOneBoxEachAndLeaveOnlyTheirFieldsEmpty)
{
    createShowDevice();
    writeWholeDataSet();
    std::remove("data/feidi.tga");
    std::remove("data/sq.tga");
    std::remove("data/obu.r3d");
    writeFileBytes("data/texture05.jpg", {'x', 'y', 'z'});
    loadAssets();

    EXPECT_EQ(shownBoxes(), (std::vector<Box>{{"Failed to load texture", "D3D Error"},
                                              {"Failed to load texture", "D3D Error"},
                                              {"Failed to load texture", "data\\sq.tga"},
                                              {"Failed to load model", "data\\obu.r3d"}}));
    for (const auto& [file, field] : NAMED_TEXTURES)
        EXPECT_EQ(showState.*field == nullptr, field == &ShowState::texture05 || field == &ShowState::fadeTexture) << file;
    for (int j = 0; j < GLYPH_COUNT; ++j)
        EXPECT_EQ(showState.glyphs[j] == nullptr, j == 'q' - 'a') << j;
    // The show goes on with an empty mesh, which draws nothing.
    for (int k = 0; k < 4; ++k) {
        ASSERT_NE(showState.*NAMED_MODELS[k].second, nullptr) << NAMED_MODELS[k].first;
        EXPECT_EQ((showState.*NAMED_MODELS[k].second)->vertexCount, k == 2 ? 0 : (k + 2) * (k + 2));
    }
    startRecording();
    releaseAssets();
    // The meshes' buffers go first, then the pictures and glyphs.
    std::string order;
    for (const std::string& call : callsStartingWith(recorded(), {"Release("})) {
        const char kind = call.rfind("Release(tex", 0) == 0 ? 't' : 'b';
        if (order.empty() || order.back() != kind)
            order += kind;
    }
    EXPECT_EQ(order, "bt");
    EXPECT_EQ(d3d8host::liveObjectCount(), objectsBefore);
    for (const auto& [file, field] : NAMED_TEXTURES)
        EXPECT_EQ(showState.*field, nullptr) << file;
    for (IDirect3DTexture8* glyph : showState.glyphs)
        EXPECT_EQ(glyph, nullptr);
    for (const auto& [file, field] : NAMED_MODELS)
        EXPECT_EQ(showState.*field, nullptr) << file;
}
