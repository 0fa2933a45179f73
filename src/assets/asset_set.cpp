// The fixed set of files the show loads at start, in load order, and their release in
// the show's own release order.
#include "assets.h"

namespace {

typedef IDirect3DTexture8* ShowState::*TextureField;
typedef Mesh* ShowState::*MeshField;

struct TextureFile {
    const char* path;
    TextureField field;
};

constexpr TextureFile TEXTURE_FILES[] = {
    {"data\\texture01.jpg", &ShowState::texture01},
    {"data\\texture02.jpg", &ShowState::texture02},
    {"data\\texture05.jpg", &ShowState::texture05},
    {"data\\texture06.jpg", &ShowState::texture06},
    {"data\\texture07.jpg", &ShowState::texture07},
    {"data\\sorvina.tga", &ShowState::logoTexture},
    {"data\\envi01.jpg", &ShowState::envi01Texture},
    {"data\\tarvok1.tga", &ShowState::tarvok1Texture},
    {"data\\tarvok2.tga", &ShowState::tarvok2Texture},
    {"data\\envi02.jpg", &ShowState::envi02Texture},
    {"data\\feidi.tga", &ShowState::fadeTexture},
};

constexpr TextureField TEXTURE_RELEASE_ORDER[] = {
    &ShowState::texture01,     &ShowState::texture02,      &ShowState::texture05,
    &ShowState::texture06,     &ShowState::texture07,      &ShowState::envi01Texture,
    &ShowState::envi02Texture, &ShowState::tarvok1Texture, &ShowState::tarvok2Texture,
    &ShowState::logoTexture,   &ShowState::fadeTexture,
};

struct ModelFile {
    const char* path;
    MeshField field;
};

constexpr ModelFile MODEL_FILES[] = {
    {"data\\knodu.r3d", &ShowState::knoduMesh},
    {"data\\thingy.r3d", &ShowState::thingyMesh},
    {"data\\obu.r3d", &ShowState::obuMesh},
    {"data\\glimmora.r3d", &ShowState::glimmoraMesh},
};

void loadTexture(const char* path, IDirect3DTexture8*& field, const char* failureCaption)
{
    if (FAILED(createTextureFromFile(showState.device, path, &field)))
        MessageBoxA(showState.window, "Failed to load texture", failureCaption, MB_OK);
}

void releaseTexture(IDirect3DTexture8*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

} // namespace

const char* const glyphFiles[GLYPH_COUNT] = {
    "data\\sa.tga", "data\\sb.tga", "data\\sc.tga", "data\\sd.tga", "data\\se.tga", "data\\sf.tga",
    "data\\sg.tga", "data\\sh.tga", "data\\si.tga", "data\\sj.tga", "data\\sk.tga", "data\\sl.tga",
    "data\\sm.tga", "data\\sn.tga", "data\\so.tga", "data\\sp.tga", "data\\sq.tga", "data\\sr.tga",
    "data\\ss.tga", "data\\st.tga", "data\\su.tga", "data\\sv.tga", "data\\sw.tga", "data\\sx.tga",
    "data\\sy.tga", "data\\sz.tga",
    "data\\s0.tga", "data\\s1.tga", "data\\s2.tga", "data\\s3.tga", "data\\s4.tga",
    "data\\s5.tga", "data\\s6.tga", "data\\s7.tga", "data\\s8.tga", "data\\s9.tga",
    "data\\shuuto.tga", "data\\sdot.tga", "data\\skautta.tga", "data\\skaksois.tga",
    "data\\sviiva.tga", "data\\spilkku.tga",
};

void loadAssets()
{
    ShowState& g = showState;
    for (const TextureFile& file : TEXTURE_FILES)
        loadTexture(file.path, g.*file.field, "D3D Error");
    for (int i = 0; i < GLYPH_COUNT; ++i)
        loadTexture(glyphFiles[i], g.glyphs[i], glyphFiles[i]);
    for (const ModelFile& file : MODEL_FILES)
        g.*file.field = loadModel(file.path);
}

// The Mesh records go with their contents, so that nothing outlives the release.
void releaseAssets()
{
    ShowState& g = showState;
    for (const ModelFile& file : MODEL_FILES) {
        Mesh*& mesh = g.*file.field;
        releaseMesh(mesh);
        delete mesh;
        mesh = nullptr;
    }
    for (TextureField field : TEXTURE_RELEASE_ORDER)
        releaseTexture(g.*field);
    for (IDirect3DTexture8*& glyph : g.glyphs)
        releaseTexture(glyph);
}
