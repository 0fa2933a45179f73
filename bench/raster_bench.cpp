// The rasteriser's heavy cases from the show, on one thread (threads:1) and shared among
// one thread per core (threads:0). HeaviestFrame is the one that sets the bar: the whole
// show has to run at well above real time.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "raster.h"
#include "raster_scene.h"

using rasterbench::Scene;

namespace {

// Draw threads as the benchmark's argument asks, for as long as it runs.
struct DrawThreads {
    explicit DrawThreads(const benchmark::State& state) { raster::setDrawThreads(static_cast<int>(state.range(0))); }
    ~DrawThreads() { raster::setDrawThreads(0); }
};

void threadCounts(benchmark::internal::Benchmark* b) {
    b->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

void FullScreenBlendedQuad(benchmark::State& state) {
    const DrawThreads threads(state);
    Scene scene;
    scene.overlayOn();
    for (auto _ : state) scene.quad(0, 0, 640, 480, scene.background, 0.5f);
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(FullScreenBlendedQuad)->Apply(threadCounts);

void ModelSwarm45(benchmark::State& state) {
    const DrawThreads threads(state);
    Scene scene;
    scene.overlayOff();
    scene.device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    for (auto _ : state) {
        scene.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        scene.swarm(45, 1.1f, 2.7f, 2.4f, 7.0f);
    }
    state.SetItemsProcessed(state.iterations() * 45 * scene.meshTriangles);
}
BENCHMARK(ModelSwarm45)->Apply(threadCounts);

void BlendedGlyphs300(benchmark::State& state) {
    const DrawThreads threads(state);
    Scene scene;
    scene.overlayOn();
    for (auto _ : state) {
        for (int i = 0; i < 300; ++i) {
            scene.quad(7 + 18 * (i % 35), 5 + 18 * (i / 35), 32, 32, scene.glyphs[i % 42], 1.0f);
        }
    }
    state.SetItemsProcessed(state.iterations() * 300);
}
BENCHMARK(BlendedGlyphs300)->Apply(threadCounts);

void HeaviestFrame(benchmark::State& state) {
    const DrawThreads threads(state);
    Scene scene;
    for (auto _ : state) scene.heaviestFrame(0.3f);
}
BENCHMARK(HeaviestFrame)->Apply(threadCounts);

}  // namespace
