#include "dataset.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "font.h"
#include "jpeg_codec.h"
#include "models.h"
#include "pictures.h"
#include "tga_writer.h"

namespace makedata {

namespace {

// High enough that the 8x8 blocks do not show on the smooth skies.
constexpr int jpegQuality = 92;

DataFile jpegFile(const char* name, int width, int height, Image (*make)())
{
    return {name, FileKind::Jpeg, width, height, [make](ArtResources&) { return encodeJpeg(make(), jpegQuality); }};
}

DataFile tgaFile(const char* name, int width, int height, TgaLayout layout, Image (*make)())
{
    return {name, FileKind::Tga, width, height, [make, layout](ArtResources&) { return encodeTga(make(), layout); }};
}

DataFile modelFile(const char* name, Mesh (*make)())
{
    return {name, FileKind::Model, 0, 0, [make](ArtResources&) { return encodeR3d(make()); }};
}

}  // namespace

bool openArtResources(ArtResources* resources, std::string* error)
{
    resources->glyphFont = openFont("DejaVuSans-Bold.ttf", error);
    if (!resources->glyphFont) {
        return false;
    }
    resources->logoFont = openFont("DejaVuSans-Bold.ttf", error);
    return resources->logoFont != nullptr;
}

std::vector<DataFile> dataSetFiles()
{
    // Targa flavours are spread over the set so the show's reader meets each of them.
    const TgaLayout rawTopDownAlpha{32, false, true};
    const TgaLayout rawBottomUpOpaque{24, false, false};
    const TgaLayout runLengthTopDownOpaque{24, true, true};
    const TgaLayout runLengthBottomUpAlpha{32, true, false};

    std::vector<DataFile> files = {
        jpegFile("texture01.jpg", 256, 256, makeCrystalTexture),
        jpegFile("texture02.jpg", 256, 256, makeDaylightEnvironment),
        jpegFile("texture05.jpg", 256, 256, makeShellTexture),
        jpegFile("texture06.jpg", 256, 256, makePearlTexture),
        jpegFile("texture07.jpg", 256, 256, makeSunsetEnvironment),
        {"sorvina.tga", FileKind::Tga, 512, 128,
         [rawTopDownAlpha](ArtResources& r) { return encodeTga(makeLogo(*r.logoFont), rawTopDownAlpha); }},
        jpegFile("envi01.jpg", 256, 256, makePlasmaTexture),
        tgaFile("tarvok1.tga", 256, 384, rawBottomUpOpaque, makeMountainLake),
        tgaFile("tarvok2.tga", 256, 512, runLengthTopDownOpaque, makeStillLife),
        jpegFile("envi02.jpg", 512, 512, makeNightEnvironment),
        {"feidi.tga", FileKind::Tga, 256, 256,
         [](ArtResources&) { return encodeColourMappedTga(makeFadeImage(), false, false); }},
    };
    for (const GlyphEntry& glyph : glyphTable) {
        const char character = glyph.character;
        files.push_back({glyph.fileName, FileKind::Tga, glyphSize, glyphSize,
                         [character, runLengthBottomUpAlpha](ArtResources& r) {
                             return encodeTga(makeGlyph(*r.glyphFont, character), runLengthBottomUpAlpha);
                         }});
    }
    files.push_back(modelFile("knodu.r3d", makeKnot));
    files.push_back(modelFile("thingy.r3d", makeShell));
    files.push_back(modelFile("obu.r3d", makeBlob));
    files.push_back(modelFile("glimmora.r3d", makeGem));
    return files;
}

bool buildDataSet(std::vector<BuiltFile>* files, std::string* error)
{
    const std::vector<DataFile> list = dataSetFiles();
    files->assign(list.size(), BuiltFile{});
    // Files are independent: workers take them in turn, each with its own fonts (a FreeType face must
    // not be shared between threads), and every result lands in its own slot, so the order of
    // completion cannot change a byte.
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::atomic<size_t> next{0};
    std::vector<std::string> errors(workers);
    auto work = [&](unsigned worker) {
        ArtResources resources;
        if (!openArtResources(&resources, &errors[worker])) {
            return;
        }
        for (size_t i = next++; i < list.size(); i = next++) {
            (*files)[i] = {list[i].name, list[i].kind, list[i].build(resources)};
        }
    };
    std::vector<std::thread> threads;
    for (unsigned w = 1; w < workers; ++w) {
        threads.emplace_back(work, w);
    }
    work(0);
    for (std::thread& t : threads) {
        t.join();
    }
    for (const std::string& e : errors) {
        if (!e.empty()) {
            *error = e;
            return false;
        }
    }
    for (const BuiltFile& f : *files) {
        if (f.bytes.empty()) {
            *error = "could not encode " + f.name;
            return false;
        }
    }
    return true;
}

bool prepareDirectory(const std::string& directory, std::string* error)
{
    std::error_code code;
    std::filesystem::create_directories(directory, code);
    if (code || !std::filesystem::is_directory(directory)) {
        *error = "cannot create the directory " + directory + (code ? ": " + code.message() : "");
        return false;
    }
    return true;
}

bool writeFiles(const std::string& directory, const std::vector<BuiltFile>& files, std::string* error)
{
    if (!prepareDirectory(directory, error)) {
        return false;
    }
    for (const BuiltFile& file : files) {
        const std::filesystem::path path = std::filesystem::path(directory) / file.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
        out.close();
        if (!out) {
            *error = "cannot write " + path.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace makedata
