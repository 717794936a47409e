// The rows of the format table: what this build reads and writes. A new format
// is one row here (its detection rule, reader and writer entries) plus its
// reader and writer files.
#include "core/format_table.h"

#include "core/loader.h"
#include "core/state.h"
#include "formats/library/jpeg_format.h"
#include "formats/library/png_format.h"
#include "formats/library/tiff_format.h"
#include "formats/library/webp_format.h"
#include "formats/native/bmp.h"
#include "formats/native/gif.h"
#include "formats/native/iff.h"
#include "formats/native/icon.h"
#include "formats/native/pcx.h"
#include "formats/native/sun_icon.h"
#include "formats/native/tga.h"
#include "formats/metafile_rows.h"

namespace {
bool EndsIn(const FileProbe& p, const char* ext) {
    return ExtensionIs(p.name, ext);
}

// Detection rules, in the order they are tried (the order field of each row's rules).
bool IsBitmap(const FileProbe& p) {
    return p.w0 == 0x4D42;
}
bool IsWindowsBitmap(const FileProbe& p) {
    // 40, and the later 108- and 124-byte Windows information headers.
    return IsBitmap(p) && p.hasHeaderSize &&
           (p.headerSize == 40 || p.headerSize == 108 || p.headerSize == 124);
}
bool IsOs2Bitmap(const FileProbe& p) {
    return IsBitmap(p) && p.hasHeaderSize && p.headerSize == 12;
}
bool IsOs2v2Bitmap(const FileProbe& p) {
    return IsBitmap(p) && p.hasHeaderSize && p.headerSize == 64;
}
bool IsGif(const FileProbe& p) {
    return p.w0 == 0x4947;
}
bool IsJpeg(const FileProbe& p) {
    return p.w0 == 0xD8FF;
}
bool IsPcx(const FileProbe& p) {
    return p.w0 == 0x000A || p.w0 == 0x020A || p.w0 == 0x030A || p.w0 == 0x040A || p.w0 == 0x050A;
}
bool IsTiff(const FileProbe& p) {
    return p.w0 == 0x4949 || p.w0 == 0x4D4D;
}
bool IsPng(const FileProbe& p) {
    return p.w0 == 0x5089 && p.w1 == 0x474E;
}
bool IsIff(const FileProbe& p) {
    return p.w0 == 0x4F46 && p.w1 == 0x4D52;
}
bool IsWebp(const FileProbe& p) {
    return p.w0 == 0x4952 && p.w1 == 0x4646 && p.form[0] == 'W' && p.form[1] == 'E' &&
           p.form[2] == 'B' && p.form[3] == 'P';
}
bool IsAnimatedCursor(const FileProbe& p) {
    return p.w0 == 0x4952 && p.w1 == 0x4646;
}
bool IsIcon(const FileProbe& p) {
    return p.w0 == 0 && (p.w1 == 1 || p.w1 == 2) &&
           (EndsIn(p, "ICO") || EndsIn(p, "ICN") || EndsIn(p, "CUR"));
}
bool IsSunIcon(const FileProbe& p) {
    return p.w0 == 0x2A2F && EndsIn(p, "ICO");
}
bool IsPlaceableMetafile(const FileProbe& p) {
    return p.w0 == 0xCDD7;
}
bool IsMetafileName(const FileProbe& p) {
    return EndsIn(p, "WMF");
}
bool IsEnhancedMetafileName(const FileProbe& p) {
    return EndsIn(p, "EMF");
}
bool IsTargaName(const FileProbe& p) {
    return EndsIn(p, "TGA");
}
bool IsMacBinaryGif(const FileProbe& p) {
    return p.hasMacBinary && p.macBinary[0] == 'G' && p.macBinary[1] == 'I';
}
bool IsMacBinaryTiff(const FileProbe& p) {
    return p.hasMacBinary && ((p.macBinary[0] == 'I' && p.macBinary[1] == 'I') ||
                              (p.macBinary[0] == 'M' && p.macBinary[1] == 'M'));
}

void PrepareGif() {
    g_frameDelay = 25;
    g_gif = GifFrameInfo{};
}
void ResetOrientation() {
    g_orientation = 0;
}

// The writers, each with the table's signature.
WriteResult WriteBmp(HGLOBAL image, const char* path, int, int) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return WRITE_CREATE_FAILED;
    WriteResult result = WriteBitmapUncompressed(image, file);
    // A file that does not close cleanly may not hold what was written.
    if (!CloseHandle(file)) result = WRITE_FAILED;
    return result;
}
WriteResult WriteBmpRle(HGLOBAL image, const char* path, int, int) {
    return WriteBitmapRunLength(image, path);
}
WriteResult WriteBmpBitfields(HGLOBAL image, const char* path, int layout, int) {
    return WriteBitmapBitfields(image, path, layout);
}
WriteResult WriteIff(HGLOBAL image, const char* path, int packer, int ham) {
    return WriteIffPicture(image, path, packer, ham);
}
WriteResult WriteJpg(HGLOBAL image, const char* path, int progressive, int) {
    return WriteJpeg(path, 85, image, progressive);
}
WriteResult WritePngFile(HGLOBAL image, const char* path, int adam7, int) {
    return WritePng(path, image, adam7);
}
WriteResult WritePcxFile(HGLOBAL image, const char* path, int, int) {
    return WritePcx(image, path);
}
WriteResult WriteTga(HGLOBAL image, const char* path, int runLength, int) {
    return WriteTarga(image, path, runLength);
}
WriteResult WriteTif(HGLOBAL image, const char* path, int compression, int tiles) {
    return WriteTiff(path, compression, tiles, image);
}
WriteResult WriteWebpFile(HGLOBAL image, const char* path, int quality, int lossless) {
    return WriteWebp(path, image, quality, lossless);
}

// The Bitfields entries write 8-8-8 and 10-10-10 from 32-bit pictures (the
// menu relabels them); zendra-cli also knows them by those names.
const WriterEntry kBmpWriters[] = {
    {CM_BMP, "bmp", FMT_BMP, 0, 0, WriteBmp},
    {CM_BMP_RLE, "bmp-rle", FMT_BMP_RLE, 0, 0, WriteBmpRle},
    {CM_BMP_555, "bmp-555", FMT_BMP_BITFIELDS, 0, 0, WriteBmpBitfields},
    {CM_BMP_565, "bmp-565", FMT_BMP_BITFIELDS, 1, 0, WriteBmpBitfields},
    {0, "bmp-888", FMT_BMP_BITFIELDS, 0, 0, WriteBmpBitfields},
    {0, "bmp-101010", FMT_BMP_BITFIELDS, 1, 0, WriteBmpBitfields},
};
const WriterEntry kIffWriters[] = {
    {CM_IFF, "iff", FMT_IFF, 0, 0, WriteIff},
    {CM_IFF_PACKED, "iff-packed", FMT_IFF, 1, 0, WriteIff},
    {CM_IFF_HAM, "iff-ham", FMT_IFF, 0, 1, WriteIff},
    {CM_IFF_HAM_PACKED, "iff-ham-packed", FMT_IFF, 1, 1, WriteIff},
};
const WriterEntry kJpegWriters[] = {
    {CM_JPG, "jpg", FMT_JPEG, 0, 0, WriteJpg},
    {CM_JPG_PROGRESSIVE, "jpg-progressive", FMT_JPEG, 1, 0, WriteJpg},
};
const WriterEntry kPcxWriters[] = {
    {CM_PCX, "pcx", FMT_PCX, 0, 0, WritePcxFile},
};
const WriterEntry kPngWriters[] = {
    {CM_PNG, "png", FMT_PNG, 0, 0, WritePngFile},
    {CM_PNG_ADAM7, "png-adam7", FMT_PNG, 1, 0, WritePngFile},
};
const WriterEntry kTgaWriters[] = {
    {CM_TGA, "tga", FMT_TGA, 0, 0, WriteTga},
    {CM_TGA_RLE, "tga-rle", FMT_TGA, 1, 0, WriteTga},
};
// Option 1 is the TIFF compression code, option 2 1 for tiles.
const WriterEntry kTiffWriters[] = {
    {CM_TIFF_NONE, "tif-none", FMT_TIFF, 1, 0, WriteTif},
    {CM_TIFF_HUFFMAN, "tif-huffman", FMT_TIFF, 2, 0, WriteTif},
    {CM_TIFF_G3, "tif-g3", FMT_TIFF, 3, 0, WriteTif},
    {CM_TIFF_G4, "tif-g4", FMT_TIFF, 4, 0, WriteTif},
    {CM_TIFF_LZW, "tif-lzw", FMT_TIFF, 5, 0, WriteTif},
    {CM_TIFF_JPEG, "tif-jpeg", FMT_TIFF, 7, 0, WriteTif},
    {CM_TIFF_PACKBITS, "tif-packbits", FMT_TIFF, 32773, 0, WriteTif},
    {CM_TIFF_DEFLATE, "tif-deflate", FMT_TIFF, 32946, 0, WriteTif},
    {CM_TIFF_NONE_TILES, "tif-none-tiles", FMT_TIFF, 1, 1, WriteTif},
    {CM_TIFF_HUFFMAN_TILES, "tif-huffman-tiles", FMT_TIFF, 2, 1, WriteTif},
    {CM_TIFF_G3_TILES, "tif-g3-tiles", FMT_TIFF, 3, 1, WriteTif},
    {CM_TIFF_G4_TILES, "tif-g4-tiles", FMT_TIFF, 4, 1, WriteTif},
    {CM_TIFF_LZW_TILES, "tif-lzw-tiles", FMT_TIFF, 5, 1, WriteTif},
    {CM_TIFF_JPEG_TILES, "tif-jpeg-tiles", FMT_TIFF, 7, 1, WriteTif},
    {CM_TIFF_PACKBITS_TILES, "tif-packbits-tiles", FMT_TIFF, 32773, 1, WriteTif},
    {CM_TIFF_DEFLATE_TILES, "tif-deflate-tiles", FMT_TIFF, 32946, 1, WriteTif},
};
// Option 1 is the lossy quality, option 2 1 for lossless.
const WriterEntry kWebpWriters[] = {
    {CM_WEBP, "webp", FMT_WEBP, 85, 0, WriteWebpFile},
    {CM_WEBP_LOSSLESS, "webp-lossless", FMT_WEBP, 0, 1, WriteWebpFile},
};

template <size_t N>
constexpr FormatWriting Writing(const WriterEntry (&entries)[N], const char* filter,
                                const char* extension, const char* ext1, const char* ext2 = nullptr,
                                const char* ext3 = nullptr) {
    return FormatWriting{entries, int(N), filter, extension, {ext1, ext2, ext3, nullptr}};
}
const FormatWriting kReadOnly = {
    nullptr, 0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}};
const DetectionRule kNoRule = {0, DET_NONE, nullptr, CALL_NOTHING};
} // namespace

// Detection order: "BM" with its header size (10-13), the magic words (20-110;
// WebP's 75 looks at the RIFF form type too),
// the extension rules (120-140), and last the MacBinary header (150, 151). The
// GIF Convert/Save commands have no writer and no entry.
// Each row: name; detection rules and their count; reader by handle, by byte
// reader or by name; view kind; what to reset before and put right after the read; writing.
// clang-format off
FormatRow g_formats[] = {
    {"Windows bitmap", {{10, DET_WINDOWS_BMP, IsWindowsBitmap, CALL_HANDLE},
                        {13, DET_BITMAP_OTHER, IsBitmap, CALL_NOTHING}}, 2,
     ReadWindowsBitmap, nullptr, nullptr, KIND_RASTER, nullptr, nullptr,
     Writing(kBmpWriters, "Windows Bitmap (*.bmp)|*.bmp|All Files (*.*)|*.*|", "bmp", "bmp")},
    {"OS/2 1.x bitmap", {{11, DET_OS2_BMP, IsOs2Bitmap, CALL_HANDLE}, kNoRule}, 1,
     ReadOs2Bitmap, nullptr, nullptr, KIND_RASTER, nullptr, nullptr, kReadOnly},
    {"OS/2 2.0 bitmap", {{12, DET_OS2V2_BMP, IsOs2v2Bitmap, CALL_HANDLE}, kNoRule}, 1,
     ReadOs2v2Bitmap, nullptr, nullptr, KIND_RASTER, nullptr, nullptr, kReadOnly},
    {"GIF", {{20, DET_GIF, IsGif, CALL_HANDLE},
             {150, DET_MACBINARY_GIF, IsMacBinaryGif, CALL_HANDLE}}, 2,
     ReadGif, nullptr, nullptr, KIND_RASTER, PrepareGif, nullptr, kReadOnly},
    {"IFF/ILBM", {{70, DET_IFF, IsIff, CALL_HANDLE}, kNoRule}, 1,
     ReadIffPicture, nullptr, nullptr, KIND_RASTER, nullptr, nullptr,
     Writing(kIffWriters, "IFF (*.iff)|*.iff|All Files (*.*)|*.*|", "iff", "iff", "lbm")},
    {"JPEG", {{30, DET_JPEG, IsJpeg, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadJpeg, KIND_RASTER, nullptr, nullptr,
     Writing(kJpegWriters, "JPEG (*.jpg)|*.jpg|All Files (*.*)|*.*|", "jpg",
             "jpg", "jpeg", "jpe")},
    {"PCX", {{40, DET_PCX, IsPcx, CALL_BUFFERED}, kNoRule}, 1,
     nullptr, ReadPcx, nullptr, KIND_RASTER, nullptr, nullptr,
     Writing(kPcxWriters, "PCX (*.pcx)|*.pcx|All Files (*.*)|*.*|", "pcx", "pcx")},
    {"PNG", {{60, DET_PNG, IsPng, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadPng, KIND_RASTER, nullptr, nullptr,
     Writing(kPngWriters, "PNG (*.png)|*.png|All Files (*.*)|*.*|", "png", "png")},
    {"Targa", {{140, DET_TARGA, IsTargaName, CALL_BUFFERED}, kNoRule}, 1,
     nullptr, ReadTarga, nullptr, KIND_RASTER, nullptr, nullptr,
     Writing(kTgaWriters, "TARGA (*.tga)|*.tga|All Files (*.*)|*.*|", "tga", "tga")},
    {"TIFF", {{50, DET_TIFF, IsTiff, CALL_NAME},
              {151, DET_MACBINARY_TIFF, IsMacBinaryTiff, CALL_MACBINARY_COPY}}, 2,
     nullptr, nullptr, ReadTiff, KIND_RASTER, nullptr, ResetOrientation,
     Writing(kTiffWriters, "TIFF (*.tif)|*.tif|All Files (*.*)|*.*|", "tif", "tif", "tiff")},
    {"Sun icon", {{100, DET_SUN_ICON, IsSunIcon, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadSunIcon, KIND_RASTER, nullptr, nullptr, kReadOnly},
    // Icons and animated cursors are read through g_iconReader and g_animatedReader.
    {"Animated cursor", {{80, DET_ANI, IsAnimatedCursor, CALL_ANIMATED}, kNoRule}, 1,
     nullptr, nullptr, nullptr, KIND_ANI, nullptr, nullptr, kReadOnly},
    {"Icon or cursor", {{90, DET_ICON, IsIcon, CALL_ICON}, kNoRule}, 1,
     nullptr, nullptr, nullptr, KIND_RASTER, nullptr, nullptr, kReadOnly},
    // Metafiles: the readers open the file by name and hand back a metafile handle.
    {"Placeable metafile",
     {{110, DET_WMF_PLACEABLE, IsPlaceableMetafile, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadPlaceableMetafileFile, KIND_WMF, nullptr, nullptr, kReadOnly},
    {"Plain metafile", {{120, DET_WMF, IsMetafileName, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadPlainMetafileFile, KIND_WMF, nullptr, nullptr, kReadOnly},
    {"Enhanced metafile", {{130, DET_EMF, IsEnhancedMetafileName, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadEnhancedMetafileFile, KIND_EMF, nullptr, nullptr, kReadOnly},
    // A RIFF file of form WEBP, before the animated cursor's rule for all RIFF files.
    {"WebP", {{75, DET_WEBP, IsWebp, CALL_NAME}, kNoRule}, 1,
     nullptr, nullptr, ReadWebp, KIND_RASTER, nullptr, nullptr,
     Writing(kWebpWriters, "WebP (*.webp)|*.webp|All Files (*.*)|*.*|", "webp", "webp")},
};
// clang-format on
IconReader g_iconReader = ReadIcon;
AnimatedReader g_animatedReader = ReadAnimatedCursor;
const int FORMAT_ROW_COUNT = int(sizeof g_formats / sizeof g_formats[0]);
