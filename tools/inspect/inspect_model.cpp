// `tovira-inspect model FILE`: the .r3d model as the show's reader takes it, on one line:
//     vertices=V triangles=T normals=yes|no|computed texcoords=C bounds=minx,miny,minz,maxx,maxy,maxz
// normals: yes when the file has its normal block, computed when the reader derives them from
// the triangles, no when it has neither; texcoords is the file's pair count, surplus pairs
// included; bounds is the box around the positions (all 0 for a model without vertices).
#include "inspect.h"

#include <assets.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const char* normalsName(ModelNormals normals)
{
    switch (normals) {
    case ModelNormals::File:
        return "yes";
    case ModelNormals::Computed:
        return "computed";
    case ModelNormals::None:
        break;
    }
    return "no";
}

std::string boundsText(const std::vector<MeshVertex>& vertices)
{
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    for (size_t i = 0; i < vertices.size(); ++i) {
        const float at[3] = {vertices[i].x, vertices[i].y, vertices[i].z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = i == 0 ? at[axis] : std::min(low[axis], at[axis]);
            high[axis] = i == 0 ? at[axis] : std::max(high[axis], at[axis]);
        }
    }
    char text[160];
    std::snprintf(text, sizeof(text), "%g,%g,%g,%g,%g,%g", low[0], low[1], low[2], high[0], high[1], high[2]);
    return text;
}

int inspectModel(int argc, char** argv)
{
    if (argc != 1) {
        std::fprintf(stderr, "usage: tovira-inspect model FILE\n");
        return 2;
    }
    const char* path = argv[0];
    ModelData model;
    std::string error;
    if (!readModelFile(path, model, &error)) {
        std::fprintf(stderr, "tovira-inspect: %s: not a model the reader accepts: %s\n", path, error.c_str());
        return 1;
    }
    std::printf("vertices=%zu triangles=%zu normals=%s texcoords=%d bounds=%s\n", model.vertices.size(),
                model.indices.size() / 3, normalsName(model.normals), model.texCoordCount,
                boundsText(model.vertices).c_str());
    return 0;
}

const bool registered = registerInspectCommand(
    {"model", "FILE", "the .r3d model as the reader takes it: counts, where the normals come from, bounds",
     inspectModel});

} // namespace
