#include "frame_timing.h"

namespace {

constexpr int64_t MICROS_PER_SECOND = 1'000'000;

int64_t divideRoundingUp(int64_t numerator, int64_t denominator)
{
    return (numerator + denominator - 1) / denominator;
}

} // namespace

int64_t FrameTiming::presentMicros(int64_t index) const
{
    // Half-way cases round up, as the scene tests' harness rounds its clock.
    return (2 * index * MICROS_PER_SECOND + fps) / (2 * fps);
}

int64_t FrameTiming::firstFrameFrom(int64_t micros) const
{
    return divideRoundingUp(micros * fps, MICROS_PER_SECOND);
}

int64_t FrameTiming::frameShownAt(int64_t micros) const
{
    return micros * fps / MICROS_PER_SECOND;
}

int64_t FrameTiming::firstSampleOf(int64_t index) const
{
    return index * sampleRate / fps;
}
