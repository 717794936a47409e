// The WebP reader: the whole file is read into memory (libwebp decodes from a
// buffer) and decoded to blue, green, red, alpha rows, which are composited
// onto white into a 24-bit record. Animated files go through the library's
// animation decoder, which gives the first frame on its canvas.
#include "formats/library/webp_format.h"

#include "core/image.h"
#include "core/text.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdio>
#include <cstdlib>

namespace {
// The file's bytes, or an empty buffer with the message to show.
struct FileBytes {
    BYTE* data;
    size_t size;
    const char* message;
};

FileBytes ReadWholeFile(const char* name) {
    FileBytes bytes = {nullptr, 0, "Error Opening File"};
    FILE* file = std::fopen(name, "rb");
    if (!file) return bytes;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::rewind(file);
    // A RIFF file holds at most 4 GiB; anything beyond the limit of a picture
    // (or beyond what ftell can tell) is refused before memory is taken.
    if (size < 0 || uint64_t(size) > kMaxImageBytes) {
        bytes.message = "Picture Too Large";
    } else if (size == 0) {
        bytes.message = "Invalid Picture Data";
    } else if (!(bytes.data = static_cast<BYTE*>(std::malloc(size_t(size))))) {
        bytes.message = "Memory Allocation Error";
    } else if (std::fread(bytes.data, 1, size_t(size), file) != size_t(size)) {
        std::free(bytes.data);
        bytes.data = nullptr;
        bytes.message = "Error Opening File";
    } else {
        bytes.size = size_t(size);
        bytes.message = nullptr;
    }
    std::fclose(file);
    return bytes;
}

const char* CompressionName(int format) {
    switch (format) {
    case 1:
        return "lossy";
    case 2:
        return "lossless";
    default:
        return "mixed";
    }
}

// The canvas as blue, green, red, alpha rows, top row first, and what the
// text says of the file.
struct Decoded {
    BYTE* bgra;               // 4 x width x height bytes; null after a failure
    WebPAnimDecoder* decoder; // the animation decoder whose canvas bgra is, or null (malloc'd)
    int width, height;
    int frames; // 0 for a still picture
    int format; // of the still picture or the first frame: 1 lossy, 2 lossless
    bool alpha;
    const char* message; // why bgra is null
};

// A still picture straight into a buffer of its own.
void DecodeStill(const BYTE* data, size_t size, const WebPBitstreamFeatures& features,
                 Decoded* out) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        out->message = "Invalid Picture Data";
        return;
    }
    const size_t stride = 4 * size_t(features.width);
    const size_t bytes = stride * size_t(features.height);
    out->bgra = static_cast<BYTE*>(std::malloc(bytes));
    if (!out->bgra) {
        out->message = "Memory Allocation Error";
        return;
    }
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out->bgra;
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size = bytes;
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        out->message =
            status == VP8_STATUS_OUT_OF_MEMORY ? "Memory Allocation Error" : "Invalid Picture Data";
        std::free(out->bgra);
        out->bgra = nullptr;
    }
}

// The first frame of an animation, composited by the library onto its
// transparent canvas.
void DecodeFirstFrame(const BYTE* data, size_t size, Decoded* out) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        out->message = "Invalid Picture Data";
        return;
    }
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    WebPData whole = {data, size};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&whole, &options);
    if (!decoder) {
        out->message = "Invalid Picture Data";
        return;
    }
    WebPAnimInfo info;
    BYTE* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetInfo(decoder, &info) || int(info.canvas_width) != out->width ||
        int(info.canvas_height) != out->height || info.frame_count < 1 ||
        !WebPAnimDecoderGetNext(decoder, &canvas, &timestamp) || !canvas) {
        out->message = "Invalid Picture Data";
    } else {
        out->frames = int(info.frame_count);
        // The first frame's own compression, from its bitstream.
        const WebPDemuxer* demux = WebPAnimDecoderGetDemuxer(decoder);
        WebPIterator frame;
        if (WebPDemuxGetFrame(demux, 1, &frame)) {
            WebPBitstreamFeatures features;
            if (WebPGetFeatures(frame.fragment.bytes, frame.fragment.size, &features) ==
                VP8_STATUS_OK)
                out->format = features.format;
            WebPDemuxReleaseIterator(&frame);
        }
        // The canvas is read where it is: the decoder lives until the record is filled.
        out->bgra = canvas;
        out->decoder = decoder;
        return;
    }
    WebPAnimDecoderDelete(decoder);
}

void Release(Decoded* d) {
    if (d->decoder)
        WebPAnimDecoderDelete(d->decoder);
    else
        std::free(d->bgra);
    d->bgra = nullptr;
    d->decoder = nullptr;
}

// Each channel c of alpha a becomes (c a + 255 (255 - a)) / 255, rounded.
void CompositeOntoWhite(const BYTE* bgra, int64_t width, BYTE* bgr) {
    for (int64_t x = 0; x < width; x++, bgra += 4, bgr += 3) {
        const unsigned a = bgra[3];
        for (int c = 0; c < 3; c++) bgr[c] = BYTE((bgra[c] * a + 255 * (255 - a) + 127) / 255);
    }
}

void WriteText(char* text, const Decoded& d) {
    InfoSet(text, "image type: WebP \nwidth: %d \nheight: %d \ncompression: %s \nalpha channel: %s",
            d.width, d.height, CompressionName(d.format), d.alpha ? "yes" : "no");
    if (d.frames > 0) InfoAppend(text, " \nanimation: %d frames, the first shown", d.frames);
}
} // namespace

ReaderResult ReadWebp(const char* name, HWND owner, char* text, int displayDepth) {
    FileBytes file = ReadWholeFile(name);
    if (!file.data) {
        ReportError(owner, file.message);
        return NoPictureReported();
    }
    WebPBitstreamFeatures features;
    Decoded d = {};
    d.message = "Invalid Picture Data";
    if (WebPGetFeatures(file.data, file.size, &features) == VP8_STATUS_OK && features.width > 0 &&
        features.height > 0) {
        d.width = features.width;
        d.height = features.height;
        d.alpha = features.has_alpha != 0;
        d.format = features.format;
        WriteText(text, d);
        // The record and, while it is filled, the decoded canvas of 4 bytes
        // a pixel both stay within the limit of a picture.
        if (ImageBlockBytes(d.width, d.height, 32, 0) == 0)
            d.message = "Picture Too Large";
        else if (features.has_animation)
            DecodeFirstFrame(file.data, file.size, &d);
        else
            DecodeStill(file.data, file.size, features, &d);
        WriteText(text, d);
    }
    // The animation decoder's demuxer points into the file's bytes: they go last.
    if (!d.bgra) {
        std::free(file.data);
        ReportError(owner, d.message);
        return NoPictureReported();
    }
    HGLOBAL image = AllocImageRecord(d.width, d.height, 24, 0);
    if (!image) {
        Release(&d);
        std::free(file.data);
        ReportError(owner, "Memory Allocation Error");
        return NoPictureReported();
    }
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const uint64_t stride = ImageStride(d.width, 24);
    BYTE* bottom = ImagePixels(header);
    // The first decoded row is the top of the picture: the last stored row.
    for (int y = 0; y < d.height; y++)
        CompositeOntoWhite(d.bgra + 4 * size_t(d.width) * size_t(y), d.width,
                           bottom + stride * uint64_t(d.height - 1 - y));
    GlobalUnlock(image);
    Release(&d);
    std::free(file.data);
    return GotPicture(image);
}
