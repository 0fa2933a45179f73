// Where each captured frame and each audio sample sits in time. All integer: a whole
// show of thousands of frames must land on the same sample as its first frame did.
#pragma once

#include <cstdint>

struct FrameTiming {
    int fps = 60;
    int64_t sampleRate = 44100;

    // Virtual time (µs since WinMain started) at which frame `index` (0-based) is
    // presented: the nearest whole microsecond to index / fps seconds.
    int64_t presentMicros(int64_t index) const;
    // First frame whose video time index / fps is at or after `micros`.
    int64_t firstFrameFrom(int64_t micros) const;
    // The frame on screen at `micros`: the last one whose video time is not after it.
    int64_t frameShownAt(int64_t micros) const;
    // First audio sample of frame `index`; the frame owns the samples up to the next
    // frame's first sample.
    int64_t firstSampleOf(int64_t index) const;
    int64_t samplesOf(int64_t index) const { return firstSampleOf(index + 1) - firstSampleOf(index); }
};
