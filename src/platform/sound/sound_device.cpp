// Output through an SDL2 audio device: float stereo at the rate the program asked
// for, mixed in SDL's audio callback.
#include "sound_internal.h"

#include <SDL.h>

#include <cstring>

namespace soundimpl {
namespace {

SDL_AudioDeviceID device = 0;
int deviceRate = 44100;

void audioCallback(void*, Uint8* stream, int length)
{
    size_t frames = static_cast<size_t>(length) / (2 * sizeof(float));
    mixer().mix(reinterpret_cast<float*>(stream), frames, deviceRate);
}

// SDL falls back to drivers that play nothing ("dummy", "disk") only when asked to by
// name; if one is running without that request there is no real output to speak of.
bool silentFallbackDriver()
{
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!driver || SDL_getenv("SDL_AUDIODRIVER"))
        return false;
    return std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0;
}

const char* deviceName(int index)
{
    return index < 0 ? nullptr : SDL_GetAudioDeviceName(index, 0);
}

} // namespace

bool openDevice(int index, DWORD freq)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    const char* name = deviceName(index);
    if (silentFallbackDriver() || (index >= 0 && !name)) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(freq);
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = audioCallback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    deviceRate = want.freq;
    return true;
}

void closeDevice()
{
    if (device == 0)
        return;
    SDL_CloseAudioDevice(device); // waits for a running callback to return
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool deviceOpen()
{
    return device != 0;
}

void pauseDevice(bool paused)
{
    if (device != 0)
        SDL_PauseAudioDevice(device, paused ? 1 : 0);
}

void lockDevice()
{
    if (device != 0)
        SDL_LockAudioDevice(device);
}

void unlockDevice()
{
    if (device != 0)
        SDL_UnlockAudioDevice(device);
}

} // namespace soundimpl
