// Writes .r3d model files for tests, field by field in little-endian order, so that
// the bytes under test never come from the reader's own code.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct R3dFile {
    std::vector<uint8_t> bytes;

    R3dFile& u32(uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(value >> shift));
        return *this;
    }
    R3dFile& f32(float value) { return u32(std::bit_cast<uint32_t>(value)); }
    R3dFile& header(int32_t vertices, int32_t triangles, int32_t hasNormals, int32_t texCoords,
                    int32_t reserved = 0)
    {
        for (int32_t value : {vertices, triangles, hasNormals, texCoords, reserved})
            u32(static_cast<uint32_t>(value));
        return *this;
    }
    R3dFile& floats(std::initializer_list<float> values)
    {
        for (float value : values)
            f32(value);
        return *this;
    }
    R3dFile& indices(std::initializer_list<uint32_t> values)
    {
        for (uint32_t value : values)
            u32(value);
        return *this;
    }

    void write(const std::filesystem::path& path) const
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

// A square of two clockwise triangles in the plane z = 0 facing -z (towards a viewer at
// negative z), with texture pairs and file normals of its own.
//   v0 (0,0)  v1 (0,1)  v2 (1,1)  v3 (1,0); triangles 0 1 2 and 0 2 3.
inline R3dFile squareModel(int32_t reserved = 0)
{
    return R3dFile()
        .header(4, 2, 1, 4, reserved)
        .floats({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0})
        .indices({0, 1, 2, 0, 2, 3})
        .floats({0.0f, 0.5f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1.0f})
        .floats({0.1f, 0.2f, -1, 0.3f, 0.4f, -1, 0.5f, 0.6f, -1, 0.7f, 0.8f, -1});
}

// A grid of n x n vertices in the plane z = 0, two clockwise triangles per cell, with
// texture pairs and without normals.
inline R3dFile gridModel(int n)
{
    R3dFile file;
    file.header(n * n, 2 * (n - 1) * (n - 1), 0, n * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            file.floats({float(x), float(y), 0});
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const uint32_t a = y * n + x, b = a + n, c = b + 1, d = a + 1;
            file.indices({a, b, c, a, c, d});
        }
    for (int i = 0; i < n * n; ++i)
        file.floats({float(i % n) / float(n), float(i / n) / float(n)});
    return file;
}
