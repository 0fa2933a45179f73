// In-memory FastTracker 2 extended module (format version 0x0104) and its encoder.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::uint8_t xmKeyOff = 97;     // note value that releases the playing note
constexpr int xmMaxChannels = 32;
constexpr int xmMaxRows = 256;
constexpr int xmMaxSamplesPerInstrument = 16;
constexpr int xmMaxEnvelopePoints = 12;

struct XmCell {
    std::uint8_t note = 0;        // 0 none, 1..96 = C-0..B-7, 97 key-off
    std::uint8_t instrument = 0;  // 0 none, 1..128
    std::uint8_t volume = 0;      // volume column byte
    std::uint8_t effect = 0;      // effect type 0..35
    std::uint8_t param = 0;
    bool operator==(const XmCell&) const = default;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // row-major: rows * channels
    bool operator==(const XmPattern&) const = default;
};

struct XmEnvelopePoint {
    std::uint16_t tick = 0;
    std::uint16_t value = 0;  // 0..64
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points;
    bool enabled = false;
    bool sustainOn = false;
    bool loopOn = false;
    std::uint8_t sustain = 0;
    std::uint8_t loopStart = 0;
    std::uint8_t loopEnd = 0;
};

// Always 16-bit mono. Loop positions are in frames; zero loop length means a one-shot.
struct XmSample {
    std::string name;
    std::vector<std::int16_t> pcm;
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t pan = 128;
    std::int8_t relativeNote = 0;
};

struct XmAutoVibrato {
    std::uint8_t type = 0;
    std::uint8_t sweep = 0;
    std::uint8_t depth = 0;
    std::uint8_t rate = 0;
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;
    std::array<std::uint8_t, 96> keymap{};  // sample index for notes 1..96
    XmEnvelope volumeEnvelope;
    XmEnvelope panEnvelope;
    XmAutoVibrato vibrato;
    std::uint16_t fadeout = 0;
};

struct XmModule {
    std::string name;
    std::string tracker;
    int channels = 8;
    int speed = 6;
    int bpm = 125;
    int restart = 0;
    std::vector<std::uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Checks every limit the format and the common players impose; the message names the first fault.
bool validateXm(const XmModule& module, std::string* error);

// Encodes a module that validateXm accepted.
std::vector<std::uint8_t> encodeXm(const XmModule& module);

// The packed cell data of one pattern, as stored after its 9-byte header.
std::vector<std::uint8_t> packXmPattern(const XmPattern& pattern, int channels);
