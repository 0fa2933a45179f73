// Shared by the sources of the sound stand-in. The library's state is touched by the
// program's thread and, with a device open, by SDL's audio thread; the mixer's state
// is only read or changed while MixLock is held.
#pragma once

#include "bass_host.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace soundimpl {

// The music modules and what plays: everything the audio thread reads. The changing
// operations take MixLock themselves; mix runs under the audio thread's own lock.
class Mixer {
public:
    Mixer();
    ~Mixer();
    // Creates a module from a whole XM (or other tracker) file; 0 when it is not one.
    // `flags` are BASS_MusicLoad's: looping and the sample interpolation.
    HMUSIC load(const std::vector<uint8_t>& bytes, DWORD flags);
    bool play(HMUSIC music);
    bool free(HMUSIC music);
    void stopAll();
    void freeAll();
    void setOutputRunning(bool running);
    // Mixes the next frames at `rate` into interleaved float stereo.
    void mix(float* out, size_t frames, int rate);

private:
    struct Music;
    void mixMusic(Music& music, float* out, size_t frames, int rate);
    std::vector<std::unique_ptr<Music>> musics_;
    HMUSIC nextHandle_ = 1;
    bool outputRunning_ = false;
};

Mixer& mixer();

// The library's own state (bass.cpp).
void selectOffline(bool offline, DWORD rate);
bool offlineActive(); // initialised with the offline sink as output
DWORD activeRate();
void failNextInit(bool fail);
std::vector<std::string>& callLog();
void releaseAll(); // BASS_Free without logging
void resetLibrary(); // releaseAll, and a clear log, error and failure switch

// The SDL audio device, when device output is in use.
bool openDevice(int device, DWORD freq);
void closeDevice();
bool deviceOpen();
void pauseDevice(bool paused);
void lockDevice();
void unlockDevice();

// Holds the device's lock (a no-op without a device) so the audio thread cannot mix
// while the program changes the mixer.
class MixLock {
public:
    MixLock() { lockDevice(); }
    ~MixLock() { unlockDevice(); }
    MixLock(const MixLock&) = delete;
    MixLock& operator=(const MixLock&) = delete;
};

} // namespace soundimpl
