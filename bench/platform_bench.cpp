// Costs the capture tool and every frame pay in the platform layer: one video frame's
// worth of offline music, and one pump of an empty message queue.
#include "../tests/platform/xm_test_module.h"

#include <bass.h>
#include <bass_host.h>
#include <win32_host.h>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void offlineMusicPerVideoFrame(benchmark::State& state)
{
    basshost::resetForTest();
    basshost::useOfflineSink(44100);
    std::vector<uint8_t> module = platformtest::makeTestModule();
    BASS_Init(-1, 44100, 16, nullptr);
    HMUSIC music = BASS_MusicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), BASS_MUSIC_LOOP);
    BASS_Start();
    BASS_MusicPlay(music);
    std::vector<int16_t> pcm(735 * 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(basshost::renderOffline(pcm.data(), 735));
    state.SetItemsProcessed(state.iterations() * 735);
    basshost::resetForTest();
}
BENCHMARK(offlineMusicPerVideoFrame);

void emptyMessagePump(benchmark::State& state)
{
    win32host::resetForTest();
    MSG msg;
    for (auto _ : state)
        benchmark::DoNotOptimize(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}
BENCHMARK(emptyMessagePump);

} // namespace
