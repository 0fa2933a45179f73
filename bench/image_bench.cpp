// Decoding speed of the image readers on 512×512 pictures, with libjpeg-turbo's own decoding
// of the same JPEG as the yardstick. The pictures are made in memory; nothing touches disk.
//
//   build/tovira-bench --benchmark_filter=Image
#include <image.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<BYTE>;
constexpr UINT side = 512;

// Art-like content: smooth gradients, flat areas and hard edges, a little noise.
Bytes makePicture(int channels)
{
    Bytes rgb(size_t{side} * side * channels);
    uint32_t noise = 12345;
    for (UINT y = 0; y < side; ++y) {
        for (UINT x = 0; x < side; ++x) {
            noise = noise * 1664525u + 1013904223u;
            BYTE* p = &rgb[(size_t{y} * side + x) * channels];
            const bool flat = ((x / 64) + (y / 64)) % 3 == 0;
            p[0] = flat ? 40 : static_cast<BYTE>(x / 2);
            p[1] = flat ? 90 : static_cast<BYTE>(y / 2);
            p[2] = flat ? 200 : static_cast<BYTE>((x + y) / 4 + (noise >> 29));
            if (channels == 4)
                p[3] = flat ? 255 : static_cast<BYTE>(x ^ y);
        }
    }
    return rgb;
}

Bytes encodeJpeg(bool grey)
{
    const Bytes rgb = makePicture(3);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = side;
    info.image_height = side;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (grey)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < side) {
        JSAMPROW row = const_cast<BYTE*>(&rgb[size_t{info.next_scanline} * side * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// A TGA of the picture: 24 or 32 bits, raw or run-length, stored top-down or bottom-up.
Bytes encodeTga(int bytesPerPixel, bool runLength, bool topDown)
{
    const Bytes rgb = makePicture(bytesPerPixel);
    Bytes out = {0, 0, BYTE(runLength ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                 BYTE(side & 255), BYTE(side >> 8), BYTE(side & 255), BYTE(side >> 8),
                 BYTE(bytesPerPixel * 8), BYTE(topDown ? 0x20 : 0)};
    for (UINT stored = 0; stored < side; ++stored) {
        const UINT y = topDown ? stored : side - 1 - stored;
        // The row as stored: blue, green, red (, alpha).
        Bytes row(size_t{side} * bytesPerPixel);
        for (UINT x = 0; x < side; ++x) {
            const BYTE* p = &rgb[(size_t{y} * side + x) * bytesPerPixel];
            BYTE* q = &row[size_t{x} * bytesPerPixel];
            q[0] = p[2], q[1] = p[1], q[2] = p[0];
            if (bytesPerPixel == 4)
                q[3] = p[3];
        }
        if (!runLength) {
            out.insert(out.end(), row.begin(), row.end());
            continue;
        }
        auto same = [&](UINT a, UINT b) {
            return std::equal(&row[size_t{a} * bytesPerPixel], &row[size_t{a + 1} * bytesPerPixel],
                              &row[size_t{b} * bytesPerPixel]);
        };
        auto append = [&](UINT x, UINT count) {
            out.insert(out.end(), &row[size_t{x} * bytesPerPixel], &row[size_t{x + count} * bytesPerPixel]);
        };
        for (UINT x = 0; x < side;) {
            UINT run = 1;
            while (x + run < side && run < 128 && same(x + run, x))
                ++run;
            if (run > 1) {
                out.push_back(static_cast<BYTE>(0x80 | (run - 1)));
                append(x, 1);
                x += run;
                continue;
            }
            UINT literal = 1;
            while (x + literal < side && literal < 128 && !(x + literal + 1 < side && same(x + literal, x + literal + 1)))
                ++literal;
            out.push_back(static_cast<BYTE>(literal - 1));
            append(x, literal);
            x += literal;
        }
    }
    return out;
}

void decodeBenchmark(benchmark::State& state, const Bytes& file)
{
    for (auto _ : state) {
        DecodedImage image;
        if (FAILED(decodeImage(file.data(), file.size(), image))) {
            state.SkipWithError("decodeImage refused the file");
            return;
        }
        benchmark::DoNotOptimize(image.pixels);
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

void BM_ImageDecodeJpegColour512(benchmark::State& state)
{
    static const Bytes file = encodeJpeg(false);
    decodeBenchmark(state, file);
}
BENCHMARK(BM_ImageDecodeJpegColour512)->Unit(benchmark::kMillisecond);

void BM_ImageDecodeJpegGrey512(benchmark::State& state)
{
    static const Bytes file = encodeJpeg(true);
    decodeBenchmark(state, file);
}
BENCHMARK(BM_ImageDecodeJpegGrey512)->Unit(benchmark::kMillisecond);

// The yardstick: libjpeg-turbo alone, defaults and RGB output, several rows per call, into
// one buffer; and the same with libjpeg-turbo writing the B, G, R, X layout itself.
void libjpegDecode(benchmark::State& state, J_COLOR_SPACE space, int components)
{
    static const Bytes file = encodeJpeg(false);
    std::vector<BYTE> pixels(size_t{side} * side * components);
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, file.data(), file.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = space;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[16];
            for (int i = 0; i < 16; ++i)
                rows[i] = &pixels[size_t{std::min<UINT>(info.output_scanline + i, side - 1)} * side * components];
            jpeg_read_scanlines(&info, rows, 16);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}

void BM_ImageLibjpegTurboRgb512(benchmark::State& state)
{
    libjpegDecode(state, JCS_RGB, 3);
}
BENCHMARK(BM_ImageLibjpegTurboRgb512)->Unit(benchmark::kMillisecond);

void BM_ImageLibjpegTurboBgrx512(benchmark::State& state)
{
    libjpegDecode(state, JCS_EXT_BGRX, 4);
}
BENCHMARK(BM_ImageLibjpegTurboBgrx512)->Unit(benchmark::kMillisecond);

void BM_ImageDecodeTga512(benchmark::State& state)
{
    const int bytesPerPixel = static_cast<int>(state.range(0));
    const bool runLength = state.range(1) != 0;
    const bool topDown = state.range(2) != 0;
    const Bytes file = encodeTga(bytesPerPixel, runLength, topDown);
    state.SetLabel(std::string(runLength ? "rle" : "raw") + (topDown ? " top-down" : " bottom-up"));
    decodeBenchmark(state, file);
}
BENCHMARK(BM_ImageDecodeTga512)
    ->ArgNames({"bytes", "rle", "topdown"})
    ->Args({3, 0, 1})
    ->Args({3, 0, 0})
    ->Args({3, 1, 0})
    ->Args({4, 0, 0})
    ->Args({4, 1, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace
