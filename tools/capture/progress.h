// A one-line progress bar for a terminal: frames, percent, speed against real time
// and the time left. Silent when the stream is not a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

class ProgressBar {
public:
    // `expectedFrames` is what the run should render; `fps` turns frames into show time.
    ProgressBar(std::FILE* stream, bool enabled, int64_t expectedFrames, int fps);

    // After each rendered frame; redraws at most ten times a second.
    void update(int64_t framesDone);
    // Clears the line so that the final report starts on a clean line.
    void close();

    // How many times faster than real time the show was rendered so far.
    double speed(int64_t framesDone) const;
    double elapsedSeconds() const;

private:
    std::FILE* stream;
    bool enabled;
    int64_t expectedFrames;
    int fps;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
    bool drawn = false;
};

// The bar's text for a moment of the run: pure, so that its layout can be checked.
std::string formatProgress(int64_t framesDone, int64_t expectedFrames, double speed, double secondsLeft);
