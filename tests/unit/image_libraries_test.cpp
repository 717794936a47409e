// The image libraries as linked into this program (Debian's natively, the
// static builds of scripts/deps.sh on Windows): their versions, and a round
// trip through each one: zlib, libpng, libjpeg, libtiff with the codecs the
// TIFF reader and writer use, and libwebp.
#include "test_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <zlib.h>

#include <gtest/gtest.h>

namespace {

// A smooth picture (no value wraps past 255 up to 16 x 9), which JPEG keeps
// close; every channel differs.
Bytes GradientPixels(int width, int height, int channels) {
    Bytes pixels;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < channels; c++) pixels.push_back(BYTE(20 + 6 * x + 8 * y + 30 * c));
    return pixels;
}

int MaxDifference(const Bytes& a, const Bytes& b) {
    int most = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++) {
        int d = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
        if (d > most) most = d;
    }
    return most;
}

TEST(ImageLibraries, VersionsAreDebian12s) {
    EXPECT_STREQ(ZLIB_VERSION, "1.2.13");
    EXPECT_STREQ(zlibVersion(), ZLIB_VERSION); // the library linked is the header's
    EXPECT_STREQ(PNG_LIBPNG_VER_STRING, "1.6.39");
    EXPECT_EQ(png_access_version_number(), 10639u);
    EXPECT_EQ(JPEG_LIB_VERSION, 62);
    EXPECT_EQ(LIBJPEG_TURBO_VERSION_NUMBER, 2001005);
    EXPECT_NE(std::string(TIFFGetVersion()).find("Version 4.5.0"), std::string::npos)
        << TIFFGetVersion();
    EXPECT_EQ(WebPGetDecoderVersion(), 0x010204);
    EXPECT_EQ(WebPGetEncoderVersion(), 0x010204);
    EXPECT_EQ(WebPGetDemuxVersion(), 0x010204);
}

// libwebp's one-call encoders and decoder: lossless keeps every byte, lossy
// at quality 85 stays close on a smooth picture.
TEST(ImageLibraries, WebpRoundTripInMemory) {
    const int width = 16, height = 9;
    const Bytes pixels = GradientPixels(width, height, 3);
    for (bool lossless : {true, false}) {
        SCOPED_TRACE(lossless ? "lossless" : "lossy");
        uint8_t* encoded = nullptr;
        size_t size = lossless
                          ? WebPEncodeLosslessRGB(pixels.data(), width, height, 3 * width, &encoded)
                          : WebPEncodeRGB(pixels.data(), width, height, 3 * width, 85, &encoded);
        ASSERT_GT(size, 12u);
        EXPECT_EQ(std::memcmp(encoded, "RIFF", 4), 0);
        EXPECT_EQ(std::memcmp(encoded + 8, "WEBP", 4), 0);
        int w = 0, h = 0;
        uint8_t* decoded = WebPDecodeRGB(encoded, size, &w, &h);
        WebPFree(encoded);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        Bytes back(decoded, decoded + 3 * width * height);
        WebPFree(decoded);
        if (lossless)
            EXPECT_EQ(back, pixels);
        else
            EXPECT_LE(MaxDifference(back, pixels), 12);
    }
}

TEST(ImageLibraries, ZlibRoundTrip) {
    const std::string text = "The quick brown fox jumps over the lazy dog. ";
    Bytes repetitive;
    for (int i = 0; i < 200; i++) repetitive.insert(repetitive.end(), text.begin(), text.end());
    Bytes noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 5000; i++) {
        seed = seed * 1103515245u + 12345u;
        noise.push_back(BYTE(seed >> 16));
    }
    for (const Bytes* input : {&repetitive, &noise}) {
        for (int level : {1, 9}) {
            SCOPED_TRACE(testing::Message() << input->size() << " bytes, level " << level);
            uLongf packedSize = compressBound(uLong(input->size()));
            Bytes packed(packedSize);
            ASSERT_EQ(
                compress2(packed.data(), &packedSize, input->data(), uLong(input->size()), level),
                Z_OK);
            if (input == &repetitive) {
                EXPECT_LT(packedSize, input->size() / 10);
            }
            uLongf size = uLongf(input->size());
            Bytes unpacked(size);
            ASSERT_EQ(uncompress(unpacked.data(), &size, packed.data(), packedSize), Z_OK);
            EXPECT_EQ(size, input->size());
            EXPECT_EQ(unpacked, *input);
        }
    }
}

TEST(ImageLibraries, PngRoundTripInMemory) {
    struct Case {
        png_uint_32 format;
        int channels;
    };
    for (Case c : {Case{PNG_FORMAT_GRAY, 1}, Case{PNG_FORMAT_RGB, 3}, Case{PNG_FORMAT_RGBA, 4}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels");
        const int width = 5, height = 3;
        Bytes pixels = GradientPixels(width, height, c.channels);
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = width;
        image.height = height;
        image.format = c.format;
        png_alloc_size_t size = 0;
        ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr))
            << image.message;
        Bytes file(size);
        ASSERT_TRUE(
            png_image_write_to_memory(&image, file.data(), &size, 0, pixels.data(), 0, nullptr))
            << image.message;
        ASSERT_GE(size, 8u);
        EXPECT_EQ(png_sig_cmp(file.data(), 0, 8), 0);

        png_image back;
        std::memset(&back, 0, sizeof back);
        back.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&back, file.data(), size)) << back.message;
        EXPECT_EQ(back.width, png_uint_32(width));
        EXPECT_EQ(back.height, png_uint_32(height));
        back.format = c.format;
        Bytes read(PNG_IMAGE_SIZE(back));
        ASSERT_TRUE(png_image_finish_read(&back, nullptr, read.data(), 0, nullptr)) << back.message;
        EXPECT_EQ(read, pixels);
    }
}

TEST(ImageLibraries, JpegRoundTripInMemory) {
    struct Case {
        J_COLOR_SPACE space;
        int channels;
    };
    for (Case c : {Case{JCS_GRAYSCALE, 1}, Case{JCS_RGB, 3}}) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels");
        const int width = 16, height = 9;
        Bytes pixels = GradientPixels(width, height, c.channels);

        jpeg_compress_struct out;
        jpeg_error_mgr outErrors;
        out.err = jpeg_std_error(&outErrors);
        jpeg_create_compress(&out);
        unsigned char* file = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&out, &file, &size);
        out.image_width = width;
        out.image_height = height;
        out.input_components = c.channels;
        out.in_color_space = c.space;
        jpeg_set_defaults(&out);
        jpeg_set_quality(&out, 95, TRUE);
        jpeg_start_compress(&out, TRUE);
        while (out.next_scanline < out.image_height) {
            JSAMPROW row = pixels.data() + size_t(out.next_scanline) * width * c.channels;
            jpeg_write_scanlines(&out, &row, 1);
        }
        jpeg_finish_compress(&out);
        jpeg_destroy_compress(&out);
        ASSERT_NE(file, nullptr);
        ASSERT_GT(size, 2ul);
        EXPECT_EQ(file[0], 0xFF);
        EXPECT_EQ(file[1], 0xD8);

        jpeg_decompress_struct in;
        jpeg_error_mgr inErrors;
        in.err = jpeg_std_error(&inErrors);
        jpeg_create_decompress(&in);
        jpeg_mem_src(&in, file, size);
        ASSERT_EQ(jpeg_read_header(&in, TRUE), JPEG_HEADER_OK);
        jpeg_start_decompress(&in);
        EXPECT_EQ(in.output_width, JDIMENSION(width));
        EXPECT_EQ(in.output_height, JDIMENSION(height));
        ASSERT_EQ(in.output_components, c.channels);
        Bytes read(size_t(width) * height * c.channels);
        while (in.output_scanline < in.output_height) {
            JSAMPROW row = read.data() + size_t(in.output_scanline) * width * c.channels;
            jpeg_read_scanlines(&in, &row, 1);
        }
        jpeg_finish_decompress(&in);
        jpeg_destroy_decompress(&in);
        std::free(file);
        EXPECT_LE(MaxDifference(read, pixels), 4);
    }
}

TEST(ImageLibraries, TiffHasTheCodecsTheFormatNeeds) {
    for (uint16_t scheme :
         {COMPRESSION_NONE, COMPRESSION_CCITTRLE, COMPRESSION_CCITTFAX3, COMPRESSION_CCITTFAX4,
          COMPRESSION_LZW, COMPRESSION_JPEG, COMPRESSION_NEXT, COMPRESSION_CCITTRLEW,
          COMPRESSION_PACKBITS, COMPRESSION_THUNDERSCAN, COMPRESSION_ADOBE_DEFLATE}) {
        EXPECT_TRUE(TIFFIsCODECConfigured(scheme)) << "compression " << scheme;
    }
}

TEST(ImageLibraries, TiffRoundTripThroughScanlines) {
    struct Case {
        uint16_t compression;
        int bits;      // 1: white-is-zero bilevel, 8: RGB
        int tolerance; // JPEG is lossy
    };
    const Case cases[] = {
        {COMPRESSION_NONE, 8, 0},      {COMPRESSION_LZW, 8, 0},
        {COMPRESSION_PACKBITS, 8, 0},  {COMPRESSION_ADOBE_DEFLATE, 8, 0},
        {COMPRESSION_JPEG, 8, 4},      {COMPRESSION_CCITTFAX4, 1, 0},
        {COMPRESSION_CCITTFAX3, 1, 0}, {COMPRESSION_PACKBITS, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "compression " << c.compression << ", " << c.bits << " bits");
        const int width = 8, height = 4;
        const int samples = c.bits == 8 ? 3 : 1;
        const int rowBytes = c.bits == 8 ? width * 3 : width / 8;
        Bytes pixels =
            c.bits == 8 ? GradientPixels(width, height, 3) : GradientPixels(rowBytes, height, 1);
        std::string path = TestDir() + "/round-trip.tif";

        TIFF* out = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(out, nullptr);
        TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(width));
        TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(height));
        TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, uint16_t(c.bits));
        TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC,
                     c.bits == 8 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE);
        TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(height));
        ASSERT_EQ(TIFFSetField(out, TIFFTAG_COMPRESSION, c.compression), 1);
        for (int y = 0; y < height; y++) {
            ASSERT_EQ(TIFFWriteScanline(out, pixels.data() + size_t(y) * rowBytes, uint32_t(y)), 1);
        }
        TIFFClose(out);

        TIFF* in = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(in, nullptr);
        uint32_t readWidth = 0, readHeight = 0;
        uint16_t compression = 0;
        TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &readWidth);
        TIFFGetField(in, TIFFTAG_IMAGELENGTH, &readHeight);
        TIFFGetField(in, TIFFTAG_COMPRESSION, &compression);
        EXPECT_EQ(readWidth, uint32_t(width));
        EXPECT_EQ(readHeight, uint32_t(height));
        EXPECT_EQ(compression, c.compression);
        ASSERT_EQ(TIFFScanlineSize(in), tmsize_t(rowBytes));
        Bytes read(pixels.size());
        for (int y = 0; y < height; y++) {
            ASSERT_EQ(TIFFReadScanline(in, read.data() + size_t(y) * rowBytes, uint32_t(y)), 1);
        }
        TIFFClose(in);
        std::remove(path.c_str());
        if (c.tolerance == 0) {
            EXPECT_EQ(read, pixels);
        } else {
            EXPECT_LE(MaxDifference(read, pixels), c.tolerance);
        }
    }
}

} // namespace
