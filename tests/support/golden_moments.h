// The moments of the show kept as reference frames under tests/golden/scenes: the first
// frame of a scene at or after a time since the scene's start, at 60 frames a second.
// The scene tests compare their whole-show runs with them, the capture tests their stills.
#pragma once

#include <windows.h>

#include <vector>

struct GoldenMoment {
    int scene; // position in the sequence: 1 title, 2 intro, 3 swarm, 4 closing, 5 swarm
    DWORD elapsed;
    const char* name; // under tests/golden, without ".png"
};

inline const std::vector<GoldenMoment> GOLDEN_MOMENTS = {
    {1, 500, "scenes/title-0500ms"},      {1, 4000, "scenes/title-4000ms"},     {2, 7500, "scenes/intro-7500ms"},
    {2, 12550, "scenes/intro-12550ms"},   {2, 22000, "scenes/intro-22000ms"},   {3, 5000, "scenes/swarm1-5000ms"},
    {3, 12500, "scenes/swarm1-12500ms"},  {4, 10000, "scenes/closing-10000ms"}, {4, 27000, "scenes/closing-27000ms"},
    {4, 50000, "scenes/closing-50000ms"}, {5, 5000, "scenes/swarm2-5000ms"},    {5, 12500, "scenes/swarm2-12500ms"},
};
constexpr double GOLDEN_FRAMES_PER_SECOND = 60.0;
