// The command line of tovira-capture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CaptureOptions {
    int fps = 60;
    int scale = 1;              // whole-number nearest-neighbour upscale of the video
    bool lossless = false;      // Matroska, FFV1 and FLAC instead of MP4, H.264 and AAC
    bool nullOutput = false;    // render and time the show, write no video
    bool help = false;
    int64_t fromMicros = 0;     // first video time written
    std::optional<int64_t> toMicros; // video time where writing stops (exclusive)
    std::vector<int64_t> stillMicros; // PNG stills of the frames on screen at these times
    std::string output;
};

// Fills `options` from the arguments after the program name; on a mistake returns
// false with a one-line explanation in `error`.
bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& options, std::string& error);

// Reads a non-negative time in seconds ("12", "0.5", "61.25") as whole microseconds.
std::optional<int64_t> parseSeconds(const std::string& text);

// Seconds as the stills are named: "5.000", or six decimals when milliseconds do not
// say it exactly.
std::string formatSeconds(int64_t micros);

extern const char CAPTURE_USAGE[];
