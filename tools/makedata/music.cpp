#include "music.h"

#include "music_arrange.h"
#include "music_song.h"
#include "music_synth.h"

#include <fstream>

namespace {

bool addInstruments(const Song& song, XmModule* module, std::string* error) {
    module->instruments.clear();
    for (const SongInstrument& wanted : song.instruments) {
        XmInstrument instrument;
        if (!synthesiseInstrument(wanted.name, &instrument)) {
            if (error) *error = "no recipe for instrument '" + wanted.name + "'";
            return false;
        }
        for (XmSample& sample : instrument.samples) {
            sample.volume = static_cast<std::uint8_t>(wanted.volume);
            sample.pan = static_cast<std::uint8_t>(wanted.pan);
        }
        module->instruments.push_back(std::move(instrument));
    }
    return true;
}

}  // namespace

bool buildMusicModule(std::string_view description, XmModule* module, std::string* error) {
    Song song;
    XmModule built;
    if (!parseSong(description, &song, error) || !arrangeSong(song, &built, error) ||
        !addInstruments(song, &built, error) || !validateXm(built, error))
        return false;
    *module = std::move(built);
    return true;
}

bool buildMusic(std::vector<std::uint8_t>* bytes, std::string* error) {
    XmModule module;
    if (!buildMusicModule(porkSongText(), &module, error)) {
        if (error) *error = "music/pork.txt: " + *error;
        return false;
    }
    *bytes = encodeXm(module);
    return true;
}

bool writeMusic(const std::string& path, std::string* error) {
    std::vector<std::uint8_t> bytes;
    if (!buildMusic(&bytes, error)) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}
