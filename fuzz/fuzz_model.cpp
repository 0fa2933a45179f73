// The .r3d reader on arbitrary bytes: it must never read or write outside its buffers,
// and whatever it accepts must be safe to hand to the device.
#include "assets.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ModelData model;
    std::string error;
    if (!parseModel(data, size, model, &error)) {
        if (!model.vertices.empty() || !model.indices.empty() || error.empty())
            std::abort();
        return 0;
    }
    if (model.indices.size() % 3 != 0)
        std::abort();
    for (uint32_t index : model.indices)
        if (index >= model.vertices.size())
            std::abort();
    return 0;
}
