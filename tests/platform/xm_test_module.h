// A small FastTracker 2 module (XM 1.04) written from scratch for the sound tests:
// two channels, one 16-row pattern, one instrument with a looping 16-bit sine. Three
// notes sound in rows 0-11 and a key-off leaves rows 12-15 silent, so one pass lasts
// 16 rows x 0.12 s = 1.92 s and ends in silence.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace platformtest {

constexpr double testModuleSeconds = 1.92;
constexpr double testModuleSilentFrom = 1.44; // the key-off row

inline std::vector<uint8_t> makeTestModule()
{
    std::vector<uint8_t> out;
    auto bytes = [&out](std::initializer_list<unsigned> values) {
        for (unsigned v : values)
            out.push_back(static_cast<uint8_t>(v));
    };
    auto words = [&bytes](std::initializer_list<unsigned> values) { // little-endian 16-bit
        for (unsigned v : values)
            bytes({v & 0xFF, v >> 8});
    };
    auto text = [&out](const std::string& s, size_t width, char pad) {
        out.insert(out.end(), s.begin(), s.end());
        out.insert(out.end(), width - s.size(), static_cast<uint8_t>(pad));
    };

    text("Extended Module: ", 17, ' ');
    text("platform test", 20, ' ');
    bytes({0x1A});
    text("tovira tests", 20, ' ');
    // Version, header size; song length, restart, channels, patterns, instruments, linear
    // frequencies, speed 6 and 125 BPM (0.12 s a row); the order table plays pattern 0.
    words({0x0104, 276, 0, 1, 0, 2, 1, 1, 1, 6, 125});
    text("", 256, '\0');

    // Packed cells: notes in rows 0, 4 and 8 (note, instrument 1, volume 64), the key-off
    // in row 12, every other cell and channel 2 empty.
    std::vector<uint8_t> cells;
    for (int row = 0; row < 16; ++row) {
        const int note = row == 0 ? 49 : row == 4 ? 53 : row == 8 ? 56 : 0;
        if (note)
            cells.insert(cells.end(), {static_cast<uint8_t>(note), 1, 0x50, 0, 0});
        else if (row == 12)
            cells.insert(cells.end(), {0x81, 97});
        else
            cells.push_back(0x80);
        cells.push_back(0x80);
    }
    words({9, 0});
    bytes({0});
    words({16, static_cast<unsigned>(cells.size())});
    out.insert(out.end(), cells.begin(), cells.end());

    // The instrument: header size 263, no envelopes, one sample with a 40-byte header.
    const unsigned frames = 256; // four periods of 64 frames
    words({263, 0});
    text("sine", 22, '\0');
    bytes({0});
    words({1, 40, 0});
    text("", 96 + 48 + 48 + 2 + 3 + 3 + 2 + 4, '\0'); // keymap, envelopes and their points, no vibrato
    words({0});                                       // fadeout
    text("", 22, '\0');

    // The sample loops whole: 16-bit, forward loop, volume 64, centred, an octave up.
    words({frames * 2, 0, 0, 0, frames * 2, 0});
    bytes({64, 0, 0x11, 128, 12, 0});
    text("sine", 22, '\0');
    int16_t previous = 0;
    for (unsigned i = 0; i < frames; ++i) { // stored as deltas
        const auto value = static_cast<int16_t>(std::lround(30000.0 * std::sin(2.0 * M_PI * i / 64.0)));
        words({static_cast<uint16_t>(value - previous)});
        previous = value;
    }
    return out;
}

} // namespace platformtest
