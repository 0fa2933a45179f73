// The host-side controls: choice of output, the offline sink's renderer, the failure
// switch and the call log.
#include "sound_internal.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr size_t chunkFrames = 1024;

int16_t toSample(float value)
{
    float scaled = std::round(value * 32767.0f);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

} // namespace

void basshost::useOfflineSink(DWORD sampleRate)
{
    soundimpl::selectOffline(true, sampleRate ? sampleRate : 44100);
}

void basshost::useDeviceOutput()
{
    soundimpl::selectOffline(false, 44100);
}

size_t basshost::renderOffline(int16_t* interleavedStereo, size_t frames)
{
    if (!interleavedStereo)
        return 0;
    if (!soundimpl::offlineActive()) {
        std::fill(interleavedStereo, interleavedStereo + frames * 2, int16_t{0});
        return frames;
    }
    float chunk[chunkFrames * 2];
    int rate = static_cast<int>(soundimpl::activeRate());
    for (size_t done = 0; done < frames;) {
        size_t n = std::min(chunkFrames, frames - done);
        soundimpl::mixer().mix(chunk, n, rate);
        std::transform(chunk, chunk + n * 2, interleavedStereo + done * 2, toSample);
        done += n;
    }
    return frames;
}

void basshost::failNextInit(bool fail)
{
    soundimpl::failNextInit(fail);
}

const std::vector<std::string>& basshost::callLog()
{
    return soundimpl::callLog();
}

void basshost::resetForTest()
{
    soundimpl::resetLibrary();
    useOfflineSink(44100);
}
