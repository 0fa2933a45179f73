// Start-up costs: building every texture of the show's data set, loading its models.
#include "assets.h"
#include "dataset.h"

#include <d3d8_host.h>
#include <win32_host.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// The data set, generated once per run into a scratch folder.
const std::filesystem::path& dataFolder()
{
    static const std::filesystem::path folder = [] {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / "tovira-bench-data";
        std::vector<makedata::BuiltFile> files;
        std::string error;
        if (!makedata::buildDataSet(&files, &error) || !makedata::writeFiles(path.string(), files, &error))
            throw std::runtime_error(error);
        return path;
    }();
    return folder;
}

std::vector<std::string> filesOfKind(bool pictures)
{
    std::vector<std::string> paths;
    for (const makedata::DataFile& file : makedata::dataSetFiles())
        if ((file.kind != makedata::FileKind::Model) == pictures)
            paths.push_back((dataFolder() / file.name).string());
    return paths;
}

struct HeadlessDevice {
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    HeadlessDevice()
    {
        win32host::selectBackend(win32host::Backend::Headless);
        direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS parameters = d3d8host::showPresentParameters();
        direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                               &parameters, &device);
    }
    ~HeadlessDevice()
    {
        device->Release();
        direct3d->Release();
    }
};

// All eleven pictures and 42 glyphs, decoded and built with their mip chains.
void BuildDataSetTextures(benchmark::State& state)
{
    const std::vector<std::string> pictures = filesOfKind(true);
    HeadlessDevice headless;
    for (auto _ : state) {
        for (const std::string& path : pictures) {
            IDirect3DTexture8* texture = nullptr;
            if (SUCCEEDED(createTextureFromFile(headless.device, path.c_str(), &texture)))
                texture->Release();
        }
    }
    state.counters["files"] = static_cast<double>(pictures.size());
}
BENCHMARK(BuildDataSetTextures)->Unit(benchmark::kMillisecond);

// The four models read, checked and put into device buffers.
void LoadDataSetModels(benchmark::State& state)
{
    const std::vector<std::string> models = filesOfKind(false);
    HeadlessDevice headless;
    showState.device = headless.device;
    for (auto _ : state) {
        for (const std::string& path : models) {
            Mesh* mesh = loadModel(path.c_str());
            releaseMesh(mesh);
            delete mesh; // the show leaves the record to the end of the process
        }
    }
    showState.device = nullptr;
}
BENCHMARK(LoadDataSetModels)->Unit(benchmark::kMillisecond);

} // namespace
