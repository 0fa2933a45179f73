// Runs the show headless on the virtual clock: one Present is one frame of a steady
// frame rate, and tests may act at chosen frames.
#pragma once

#include "show.h"

#include <d3d8_host.h>
#include <win32_host.h>
#include <bass_host.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct ShowHarness {
    explicit ShowHarness(double framesPerSecond = 60.0, DWORD startTickCount = 1000);
    ~ShowHarness();

    // Whether draws put pixels into the frames (off by default: the calls tell the story).
    void drawPixels(bool on);
    // Called after the given present (1-based) before the clock moves on.
    void atFrame(uint64_t frame, std::function<void()> action) { actions[frame].push_back(std::move(action)); }
    // Runs WinMain as the process would and returns its exit code.
    int runShow();

    uint64_t presents() const { return presentCount; }
    std::vector<std::string> calls() const { return d3d8host::recordedCalls(); }

    double framesPerSecond;
    uint64_t presentCount = 0;
    int exitCode = -1; // of the last runShow; -1 before any
    std::map<uint64_t, std::vector<std::function<void()>>> actions;
    std::function<void(const d3d8host::FrameView&)> onFrame;

private:
    uint64_t microsecondsDone = 0;
};
