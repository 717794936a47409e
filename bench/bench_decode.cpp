// Decoding speed of the bitmap readers' hot paths.
#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/bmp.h"
#include "formats/native/iff.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {
// An RLE 8 stream of a photograph-like picture: runs of 1 to 40 pixels,
// short ones written as absolute runs, longer ones as encoded runs.
std::vector<BYTE> MakeRle8(int width, int height) {
    std::mt19937 random(12345);
    std::vector<BYTE> out;
    for (int y = 0; y < height; y++) {
        int x = 0;
        while (x < width) {
            int run = std::min(width - x, int(random() % 40) + 1);
            if (run >= 3 && random() % 3 == 0) {
                out.push_back(0);
                out.push_back(BYTE(run));
                for (int i = 0; i < run; i++) out.push_back(BYTE(random()));
                if (run & 1) out.push_back(0);
            } else {
                out.push_back(BYTE(run));
                out.push_back(BYTE(random()));
            }
            x += run;
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

void BM_Rle8Decode(benchmark::State& state) {
    const int width = 4000, height = 3000;
    std::vector<BYTE> data = MakeRle8(width, height);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + "zendra-bench-rle8.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    const uint64_t stride = ImageStride(width, 8);
    std::vector<BYTE> pixels(stride * height);
    for (auto _ : state) {
        HFILE file = _lopen(path.c_str(), OF_READ);
        ExpandRunLength(RLE_8, pixels.data(), stride, height, file, nullptr);
        _lclose(file);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * width * height);
    std::remove(path.c_str());
}
BENCHMARK(BM_Rle8Decode)->Unit(benchmark::kMillisecond);

// The whole IFF reader on an 8-plane ByteRun1 ILBM of a photograph-like
// picture (runs of 1 to 40 pixels), written by our own writer. Bytes
// processed are the decoded pixels, one byte each.
void BM_IffByteRun1Decode(benchmark::State& state) {
    const int width = 4000, height = 3000;
    HGLOBAL picture = AllocImageRecord(width, height, 8, 256);
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
    std::mt19937 random(54321);
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    for (int i = 0; i < 1024; i++) table[i] = BYTE(random());
    const uint64_t stride = ImageStride(width, 8);
    for (int y = 0; y < height; y++) {
        BYTE* row = ImagePixels(header) + stride * uint64_t(y);
        for (int x = 0; x < width;) {
            int run = std::min(width - x, int(random() % 40) + 1);
            std::fill(row + x, row + x + run, BYTE(random()));
            x += run;
        }
    }
    GlobalUnlock(picture);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + "zendra-bench-ilbm.iff";
    if (WriteIffPicture(picture, path.c_str(), 1, 0) != 1) state.SkipWithError("writer failed");
    GlobalFree(picture);
    char text[500];
    for (auto _ : state) {
        HFILE file = _lopen(path.c_str(), OF_READ);
        HGLOBAL image = ReadIffPicture(file, nullptr, text);
        _lclose(file);
        if (!image) state.SkipWithError("reader failed");
        benchmark::DoNotOptimize(image);
        GlobalFree(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * width * height);
    std::remove(path.c_str());
}
BENCHMARK(BM_IffByteRun1Decode)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
