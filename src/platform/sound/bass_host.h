// Controls of the sound library stand-in that the real library has no API for: where
// the mixed music goes (an SDL2 audio device or an offline sink read on demand), a
// switch that makes initialisation fail like a machine without sound output, and the
// record of the library calls made.
#pragma once

#include <bass.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace basshost {

// From the next BASS_Init on, output goes to an offline sink: no audio device is
// opened, BASS_Init succeeds, and renderOffline pulls the mix at sampleRate (the
// sink's rate, whatever frequency BASS_Init asks for).
void useOfflineSink(DWORD sampleRate = 44100);
// From the next BASS_Init on, output goes to the SDL2 audio device (the default).
void useDeviceOutput();

// Renders the next `frames` frames of the offline sink's mix into interleavedStereo
// (2 * frames values) and returns `frames`. Silence while nothing plays: before
// BASS_Start and BASS_MusicPlay, after BASS_Stop, after a module without the loop
// flag has ended, or when the sink is not the current output.
size_t renderOffline(int16_t* interleavedStereo, size_t frames);

// When set, the next BASS_Init fails (returns 0, error BASS_ERROR_DEVICE) as it does
// on a machine without any output device; false cancels a pending failure.
void failNextInit(bool fail);

// Every library call in order, e.g. "BASS_Init(-1,44100,16)",
// "BASS_MusicLoad(data\\pork.xm)", "BASS_Start", "BASS_MusicPlay", "BASS_Stop",
// "BASS_MusicFree", "BASS_Free".
const std::vector<std::string>& callLog();

// Frees everything (as BASS_Free does, without logging), clears the log and the
// failure switch, and selects the offline sink at 44100 Hz. A process starts with
// device output selected.
void resetForTest();

} // namespace basshost
