// Tracker modules played through libopenmpt and summed into one stereo mix. Nothing
// here blocks or allocates while mixing.
#include "sound_internal.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace soundimpl {

struct Mixer::Music {
    HMUSIC handle = 0;
    std::ostringstream log; // libopenmpt's load messages; must outlive the module
    std::unique_ptr<openmpt::module> module;
    bool playing = false;
    bool ended = false;
};

namespace {

constexpr size_t chunkFrames = 512;

// The sound library mixes a module's samples with linear interpolation unless its flags
// ask for none or for sinc; libopenmpt's own default is an 8-tap sinc.
int interpolationTaps(DWORD flags)
{
    if (flags & BASS_MUSIC_NONINTER)
        return 1;
    return (flags & BASS_MUSIC_SINCINTER) ? 8 : 2;
}

} // namespace

Mixer::Mixer() = default;
Mixer::~Mixer() = default;

HMUSIC Mixer::load(const std::vector<uint8_t>& bytes, DWORD flags)
{
    auto music = std::make_unique<Music>();
    try {
        // "stop" ends a module that does not loop exactly at its last row, no fade tail.
        std::map<std::string, std::string> ctls{{"play.at_end", "stop"}};
        music->module = std::make_unique<openmpt::module>(bytes, music->log, ctls);
        music->module->set_repeat_count((flags & BASS_MUSIC_LOOP) ? -1 : 0);
        music->module->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, interpolationTaps(flags));
    } catch (const std::exception&) {
        return 0;
    }
    music->handle = nextHandle_++;
    MixLock lock;
    musics_.push_back(std::move(music));
    return musics_.back()->handle;
}

bool Mixer::play(HMUSIC handle)
{
    MixLock lock;
    for (auto& m : musics_) {
        if (m->handle != handle)
            continue;
        if (m->ended) {
            m->module->set_position_order_row(0, 0);
            m->ended = false;
        }
        m->playing = true;
        return true;
    }
    return false;
}

bool Mixer::free(HMUSIC handle)
{
    MixLock lock;
    auto it = std::find_if(musics_.begin(), musics_.end(), [&](const auto& m) { return m->handle == handle; });
    if (it == musics_.end())
        return false;
    musics_.erase(it);
    return true;
}

void Mixer::stopAll()
{
    MixLock lock;
    for (auto& m : musics_)
        m->playing = false;
}

void Mixer::freeAll()
{
    MixLock lock;
    musics_.clear();
}

void Mixer::setOutputRunning(bool running)
{
    MixLock lock;
    outputRunning_ = running;
}

void Mixer::mixMusic(Music& music, float* out, size_t frames, int rate)
{
    float chunk[chunkFrames * 2];
    size_t done = 0;
    while (done < frames && !music.ended) {
        size_t want = std::min(chunkFrames, frames - done);
        size_t got = music.module->read_interleaved_stereo(rate, want, chunk);
        for (size_t i = 0; i < got * 2; ++i)
            out[done * 2 + i] += chunk[i];
        done += got;
        if (got < want)
            music.ended = true;
    }
}

void Mixer::mix(float* out, size_t frames, int rate)
{
    std::fill(out, out + frames * 2, 0.0f);
    if (!outputRunning_)
        return;
    for (auto& m : musics_)
        if (m->playing)
            mixMusic(*m, out, frames, rate);
}

Mixer& mixer()
{
    static Mixer instance;
    return instance;
}

} // namespace soundimpl
