// The show's data set: every file's name, kind and builder, and writing the set into a directory.
//
// The list is the single place that knows what the set holds, so the contact sheet and the tests walk
// the same list as the writer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "font_raster.h"

namespace makedata {

enum class FileKind { Jpeg, Tga, Model };

// What the builders share: the fonts are opened once per build.
struct ArtResources {
    FontHandle glyphFont;  // DejaVu Sans Bold, for the bitmap font
    FontHandle logoFont;   // for the logo's lettering
};

// Opens the fonts; false with a reason in *error when they are missing.
bool openArtResources(ArtResources* resources, std::string* error);

struct DataFile {
    std::string name;  // file name inside the data directory
    FileKind kind;
    int width = 0;   // pictures: the size the show expects
    int height = 0;
    std::function<std::vector<uint8_t>(ArtResources&)> build;
};

// Every file of the set except the music, in the order the show loads them.
std::vector<DataFile> dataSetFiles();

struct BuiltFile {
    std::string name;
    FileKind kind;
    std::vector<uint8_t> bytes;
};

// Builds every file in memory, on as many threads as the machine has cores.
bool buildDataSet(std::vector<BuiltFile>* files, std::string* error);

// Creates `directory` if needed; false with a reason in *error when it cannot be made or is no directory.
bool prepareDirectory(const std::string& directory, std::string* error);

// Creates `directory` if needed and writes every file into it; false with a reason in *error.
bool writeFiles(const std::string& directory, const std::vector<BuiltFile>& files, std::string* error);

}  // namespace makedata
