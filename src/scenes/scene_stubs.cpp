// Each scene's loop with its duration, clear flags and normal setting; bodies follow.
#include "scenes.h"

namespace {
uint32_t randomState = 1;
}

int nextRandom()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

void resetRandom()
{
    randomState = 1;
}

void runTitleScene()
{
    float t = 0.0f;
    runSceneLoop({8000, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, FALSE, &t}, nullptr, nullptr);
}

void runIntroScene()
{
    float t = 0.0f;
    runSceneLoop({24000, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, FALSE, &t}, nullptr, nullptr);
}

void runSwarmScene()
{
    float positions[45][3];
    for (auto& position : positions)
        for (float& coordinate : position)
            coordinate = static_cast<float>(nextRandom() % 10000) * 0.001f - 5.0f;
    runSceneLoop({14500, D3DCLEAR_ZBUFFER, TRUE, nullptr}, [] { ++showState.swarmRunCount; }, nullptr);
}

void runClosingScene()
{
    float t = 0.0f;
    runSceneLoop({61000, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, TRUE, &t}, nullptr, nullptr);
}
