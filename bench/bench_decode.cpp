// Decoding speed of the bitmap readers' hot paths.
#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/bmp.h"
#include "formats/native/gif.h"
#include "formats/native/pcx.h"
#include "formats/native/tga.h"
#include "formats/native/iff.h"
#include "unit/gif_test_util.h"

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

// Times a reader given the open file, as the loader calls it, on the file
// at path; bytes processed are bytesPerRead a call.
void TimeReader(benchmark::State& state, const std::string& path, HandleReader reader,
                int64_t bytesPerRead) {
    char text[INFO_TEXT_SIZE];
    for (auto _ : state) {
        HFILE file = _lopen(path.c_str(), OF_READ);
        HGLOBAL image = reader(file, nullptr, text);
        _lclose(file);
        if (!image) state.SkipWithError("reader failed");
        benchmark::DoNotOptimize(image);
        GlobalFree(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytesPerRead);
}

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
    TimeReader(state, path, ReadIffPicture, int64_t(width) * height);
    std::remove(path.c_str());
}
BENCHMARK(BM_IffByteRun1Decode)->Unit(benchmark::kMillisecond);

// A photograph-like record for the PCX and Targa readers: runs of 1 to 40
// pixels of one colour, most of them single pixels that drift a little from
// their neighbours.
HGLOBAL MakePhotoRecord(int width, int height, int bits) {
    std::mt19937 random(777);
    HGLOBAL image = AllocImageRecord(width, height, bits, bits == 8 ? 256 : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; bits == 8 && i < 256; i++) table[4 * i] = table[4 * i + 1] = BYTE(i);
    const int bytes = bits / 8;
    const uint64_t stride = ImageStride(width, bits);
    for (int y = 0; y < height; y++) {
        BYTE* row = ImagePixels(h) + uint64_t(y) * stride;
        BYTE colour[4] = {BYTE(random()), BYTE(random()), BYTE(random()), 0};
        int run = 0;
        for (int x = 0; x < width; x++) {
            if (run-- <= 0) {
                run = random() % 4 == 0 ? int(random() % 40) : 0;
                for (int c = 0; c < bytes; c++) colour[c] = BYTE(colour[c] + random() % 16 - 8);
            }
            for (int c = 0; c < bytes; c++) row[x * bytes + c] = colour[c];
        }
    }
    GlobalUnlock(image);
    return image;
}

// The whole PCX or Targa reader on a run-length file written by our own
// writer, called as the loader calls it. Bytes processed are the decoded
// pixel bytes.
void BM_ReadPcxOrTarga(benchmark::State& state, int bits, bool pcx) {
    const int width = 4000, height = 3000;
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path =
        std::string(folder) + "zendra-bench-" + std::to_string(bits) + (pcx ? ".pcx" : ".tga");
    HGLOBAL photo = MakePhotoRecord(width, height, bits);
    int written = pcx ? WritePcx(photo, path.c_str()) : WriteTarga(photo, path.c_str(), 1);
    GlobalFree(photo);
    if (!written) {
        state.SkipWithError("writer failed");
        return;
    }
    static BYTE buffer[READ_BUFFER_SIZE];
    char text[INFO_TEXT_SIZE];
    for (auto _ : state) {
        HFILE file = _lopen(path.c_str(), OF_READ);
        ByteReader in;
        OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
        HGLOBAL image = pcx ? ReadPcx(&in, nullptr, text) : ReadTarga(&in, nullptr, text);
        _lclose(file);
        if (!image) state.SkipWithError("reader failed");
        benchmark::DoNotOptimize(image);
        GlobalFree(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * width * height * (bits / 8));
    std::remove(path.c_str());
}
BENCHMARK_CAPTURE(BM_ReadPcxOrTarga, Pcx24, 24, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadPcxOrTarga, Pcx8, 8, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadPcxOrTarga, TargaRle24, 24, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadPcxOrTarga, TargaRle8, 8, false)->Unit(benchmark::kMillisecond);

// The whole GIF reader on a 4000 x 3000 frame of 256 colours coded by the
// tests' LZW encoder (a clear code whenever the table fills, as most
// encoders do): photograph-like runs of 1 to 40 pixels whose index drifts a
// little from the one before. Bytes processed are the decoded pixels.
void BM_ReadGif(benchmark::State& state, bool interlaced) {
    const int width = 4000, height = 3000;
    std::mt19937 random(4242);
    Bytes indices;
    indices.reserve(size_t(width) * height);
    BYTE value = 128;
    while (indices.size() < size_t(width) * height) {
        int run = random() % 4 == 0 ? int(random() % 40) + 1 : 1;
        value = BYTE(value + random() % 9 - 4);
        indices.insert(indices.end(), size_t(run), value);
    }
    indices.resize(size_t(width) * height);
    gif::File f;
    f.width = width;
    f.height = height;
    f.global.resize(256);
    for (int i = 0; i < 256; i++) f.global[size_t(i)] = uint32_t(i) * 0x010101;
    f.minCodeSize = 8;
    f.interlaced = interlaced;
    f.data = gif::ImageData(interlaced ? gif::InterlacedOrder(indices, width, height) : indices, 8);
    Bytes file = gif::Build(f);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string path = std::string(folder) + "zendra-bench.gif";
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    TimeReader(state, path, ReadGif, int64_t(width) * height);
    state.counters["file MB"] = double(file.size()) / 1e6;
    std::remove(path.c_str());
}
BENCHMARK_CAPTURE(BM_ReadGif, Sequential, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadGif, Interlaced, true)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
