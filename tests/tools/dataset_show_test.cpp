// The generated data set as the show itself reads it: every picture decodes with the
// show's readers at its size and flavour, every model parses with its own normals.
#include "assets.h"
#include "dataset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

const std::vector<makedata::BuiltFile>& dataSet()
{
    static const std::vector<makedata::BuiltFile> files = [] {
        std::vector<makedata::BuiltFile> built;
        std::string error;
        EXPECT_TRUE(makedata::buildDataSet(&built, &error)) << error;
        return built;
    }();
    return files;
}

std::map<std::string, makedata::DataFile> expectedFiles()
{
    std::map<std::string, makedata::DataFile> byName;
    for (const makedata::DataFile& file : makedata::dataSetFiles())
        byName.emplace(file.name, file);
    return byName;
}

} // namespace

TEST(DataSetAsShown, EveryPictureDecodesWithTheShowsReadersAtItsSize)
{
    const auto expected = expectedFiles();
    int pictures = 0;
    for (const makedata::BuiltFile& file : dataSet()) {
        if (file.kind == makedata::FileKind::Model)
            continue;
        ++pictures;
        DecodedImage image;
        ASSERT_EQ(decodeImage(file.bytes.data(), file.bytes.size(), image), S_OK) << file.name;
        const makedata::DataFile& want = expected.at(file.name);
        EXPECT_EQ(image.width, UINT(want.width)) << file.name;
        EXPECT_EQ(image.height, UINT(want.height)) << file.name;
        if (file.kind == makedata::FileKind::Jpeg) {
            EXPECT_EQ(image.format, D3DFMT_X8R8G8B8) << file.name;
        }
    }
    EXPECT_EQ(pictures, 11 + GLYPH_COUNT);
}

TEST(DataSetAsShown, GlyphsAndTheLogoCarryAlpha)
{
    for (const makedata::BuiltFile& file : dataSet()) {
        const bool glyph = file.name.size() > 1 && file.name[0] == 's' && file.name != "sorvina.tga";
        if (!glyph && file.name != "sorvina.tga")
            continue;
        DecodedImage image;
        ASSERT_EQ(decodeImage(file.bytes.data(), file.bytes.size(), image), S_OK) << file.name;
        EXPECT_EQ(image.format, D3DFMT_A8R8G8B8) << file.name;
    }
}

TEST(DataSetAsShown, ModelsParseWithTheirOwnUnitNormals)
{
    int models = 0;
    for (const makedata::BuiltFile& file : dataSet()) {
        if (file.kind != makedata::FileKind::Model)
            continue;
        ++models;
        ModelData model;
        std::string error;
        ASSERT_TRUE(parseModel(file.bytes.data(), file.bytes.size(), model, &error)) << file.name << ": " << error;
        EXPECT_EQ(model.normals, ModelNormals::File) << file.name;
        EXPECT_EQ(model.texCoordCount, static_cast<int32_t>(model.vertices.size())) << file.name;
        for (const MeshVertex& v : model.vertices) {
            const float length = std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz);
            ASSERT_NEAR(length, 1.0f, 1e-3f) << file.name;
        }
        if (file.name == "glimmora.r3d") {
            EXPECT_LE(model.indices.size() / 3, 1200u) << "drawn 45 times a frame";
        }
    }
    EXPECT_EQ(models, 4);
}
