// JPEG files made at test time straight through libjpeg: any component
// count and colour space, with or without the Adobe marker, sequential,
// progressive or arithmetic-coded; and the markers of a file, counted.
#pragma once

#include "test_util.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

#include <string>
#include <vector>

namespace jpeg {

struct Settings {
    int width = 16, height = 16;
    int components = 3;
    J_COLOR_SPACE input = JCS_RGB;    // the samples given
    J_COLOR_SPACE stored = JCS_YCbCr; // the colour space in the file
    bool adobe = true;                // write the Adobe marker when the library would
    bool progressive = false;
    bool arithmetic = false;
    int quality = 100;
    bool fullChroma = true; // every component at full resolution
    // Samples, top row first, components interleaved; sample(x, y, c) when empty.
    std::vector<uint8_t> samples;
};

// A picture of solid 16 x 16 blocks, so that the codec's loss stays small.
inline uint8_t BlockSample(int x, int y, int c) {
    return uint8_t(((x / 16) * 97 + (y / 16) * 61 + c * 83 + 40) % 256);
}

inline Bytes Make(const Settings& s) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(s.width);
    info.image_height = JDIMENSION(s.height);
    info.input_components = s.components;
    info.in_color_space = s.input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, s.stored);
    if (!s.adobe) info.write_Adobe_marker = FALSE;
    if (s.fullChroma)
        for (int c = 0; c < info.num_components; c++)
            info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&info, s.quality, TRUE);
    if (s.progressive) jpeg_simple_progression(&info);
    if (s.arithmetic) info.arith_code = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(s.width) * size_t(s.components));
    while (info.next_scanline < info.image_height) {
        int y = int(info.next_scanline);
        for (int x = 0; x < s.width; x++)
            for (int c = 0; c < s.components; c++) {
                size_t i =
                    (size_t(y) * size_t(s.width) + size_t(x)) * size_t(s.components) + size_t(c);
                row[size_t(x) * size_t(s.components) + size_t(c)] =
                    s.samples.empty() ? BlockSample(x, y, c) : s.samples[i];
            }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// How often the marker FF code appears as a marker (not as stuffed data).
inline int CountMarkers(const Bytes& file, uint8_t code) {
    int n = 0;
    for (size_t i = 0; i + 1 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == code) n++;
    return n;
}

// Offset of the first marker FF code, or 0 when there is none.
inline size_t FindMarker(const Bytes& file, uint8_t code, size_t from = 2) {
    for (size_t i = from; i + 1 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == code) return i;
    return 0;
}

} // namespace jpeg
