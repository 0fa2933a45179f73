// A small FastTracker 2 module (XM 1.04) written from scratch for the sound tests:
// two channels, one 16-row pattern, one instrument with a looping 16-bit sine. Three
// notes sound in rows 0-11 and a key-off leaves rows 12-15 silent, so one pass lasts
// 16 rows x 0.12 s = 1.92 s and ends in silence.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace platformtest {

class XmBytes {
public:
    void u8(unsigned v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u16(unsigned v)
    {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void text(const std::string& s, size_t width, char pad)
    {
        for (size_t i = 0; i < width; ++i)
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : static_cast<uint8_t>(pad));
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    std::vector<uint8_t> bytes;
};

constexpr double testModuleSeconds = 1.92;
constexpr double testModuleSilentFrom = 1.44; // the key-off row

inline std::vector<uint8_t> makeTestModule()
{
    XmBytes out;
    out.text("Extended Module: ", 17, ' ');
    out.text("platform test", 20, ' ');
    out.u8(0x1A);
    out.text("tovira tests", 20, ' ');
    out.u16(0x0104);
    out.u32(276);
    out.u16(1);   // song length
    out.u16(0);   // restart position
    out.u16(2);   // channels
    out.u16(1);   // patterns
    out.u16(1);   // instruments
    out.u16(1);   // linear frequency table
    out.u16(6);   // speed
    out.u16(125); // BPM: 0.12 s per row
    out.zeros(256); // order table: pattern 0

    XmBytes data;
    for (int row = 0; row < 16; ++row) {
        int note = row == 0 ? 49 : row == 4 ? 53 : row == 8 ? 56 : row == 12 ? 97 : 0;
        if (note == 0 || note == 97) {
            data.u8(note ? 0x81 : 0x80); // key-off carries only its note
            if (note)
                data.u8(97);
        } else {
            data.u8(note); // raw cell: note, instrument, volume, effect, parameter
            data.u8(1);
            data.u8(0x50); // volume 64
            data.u8(0);
            data.u8(0);
        }
        data.u8(0x80); // channel 2 stays empty
    }
    out.u32(9);
    out.u8(0);
    out.u16(16);
    out.u16(static_cast<unsigned>(data.bytes.size()));
    out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());

    const int frames = 256; // four periods of 64 frames
    out.u32(263);
    out.text("sine", 22, '\0');
    out.u8(0);
    out.u16(1);
    out.u32(40);
    out.zeros(96 + 48 + 48); // keymap, envelopes
    out.zeros(2 + 3 + 3);   // point counts, sustain and loop points
    out.zeros(2 + 4);       // envelope types off, no auto-vibrato
    out.u16(0);             // fadeout
    out.zeros(22);

    out.u32(frames * 2);
    out.u32(0);
    out.u32(frames * 2); // loop the whole sample
    out.u8(64);
    out.u8(0);
    out.u8(0x11); // forward loop, 16-bit
    out.u8(128);
    out.u8(12); // an octave up
    out.u8(0);
    out.text("sine", 22, '\0');

    int16_t previous = 0;
    for (int i = 0; i < frames; ++i) {
        auto value = static_cast<int16_t>(std::lround(30000.0 * std::sin(2.0 * M_PI * i / 64.0)));
        out.u16(static_cast<uint16_t>(value - previous));
        previous = value;
    }
    return out.bytes;
}

} // namespace platformtest
