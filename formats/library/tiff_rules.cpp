// The TIFF reader's and writer's tables: routes, record depths, colour maps,
// the names of the File information text, orientations and tile sizes.
#include "formats/library/tiff_format.h"

TiffRoute TiffRouteFor(int compression, int photometric) {
    switch (compression) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 32766:
    case 32771:
    case 32773:
    case 32809:
    case 32946:
        break;
    default:
        return TIFF_ROUTE_RGBA;
    }
    // Y/Cb/Cr only the JPEG codec converts; CIE L*a*b* only the RGBA reader.
    if (photometric == 6 && compression != 7) return TIFF_ROUTE_RGBA;
    if (photometric == 8) return TIFF_ROUTE_RGBA;
    return TIFF_ROUTE_DIRECT;
}

int TiffDirectBits(int bits, int samples, int photometric, int compression) {
    const bool gray = photometric == 0 || photometric == 1 || photometric == 3;
    const bool rgb = photometric == 2 || compression == 7;
    if (samples < 1) return 0;
    // Packed 1- and 4-bit rows show their first sample; more samples than
    // one only make sense for gray and palette files.
    if (bits == 1 || bits == 4) return samples == 1 || gray ? bits : 0;
    if (bits == 8) {
        if (gray) return 8;
        if (samples == 3 && rgb) return 24;
        if (samples == 4 && photometric == 5) return 24;
        if (samples == 4 && photometric == 2) return 32;
        return 0;
    }
    // The 16-bit words of RGB files with one sample are 5-5-5 pixels (the
    // writer's own 16-bit pictures); 16-bit gray goes through the RGBA reader.
    if (bits == 16 && samples == 1 && photometric == 2) return 16;
    return 0;
}

int TiffRgbaBits(int bits, int samples, int photometric) {
    if (bits == 8 && samples == 4) return 32;
    if (bits == 8 && samples == 3) return 24;
    if (photometric == 3) return 24;
    // Gray files of any depth become 8-bit gray; everything else is colour.
    if (photometric == 0 || photometric == 1) return 8;
    return 24;
}

int TiffRecordColors(TiffRoute route, int recordBits, int bits, int samples, int photometric) {
    switch (recordBits) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        if (route == TIFF_ROUTE_RGBA && samples == 1) {
            if (bits == 1) return 2;
            if (bits == 4 && (photometric == 0 || photometric == 1)) return 16;
        }
        return 256;
    default:
        return 0;
    }
}

void TiffScaleColorMap(const uint16_t* red, const uint16_t* green, const uint16_t* blue, int n,
                       BYTE* table) {
    bool sixteen = false;
    for (int i = 0; i < n; i++)
        if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) sixteen = true;
    for (int i = 0; i < n; i++, table += 4) {
        if (sixteen) {
            table[0] = BYTE(uint32_t(blue[i]) * 255 / 65535);
            table[1] = BYTE(uint32_t(green[i]) * 255 / 65535);
            table[2] = BYTE(uint32_t(red[i]) * 255 / 65535);
        } else {
            table[0] = BYTE(blue[i]);
            table[1] = BYTE(green[i]);
            table[2] = BYTE(red[i]);
        }
        table[3] = 0;
    }
}

const char* TiffPhotometricName(int photometric) {
    switch (photometric) {
    case 0:
        return "min value is white";
    case 1:
        return "min value is black";
    case 2:
        return "RGB color model";
    case 3:
        return "color map indexed";
    case 4:
        return "holdout mask";
    case 5:
        return "CMYK";
    case 6:
        return "Y Cb Cr";
    case 8:
        return "1976 CIE L*a*b*";
    default:
        return "?";
    }
}

const char* TiffCompressionName(int compression) {
    switch (compression) {
    case 1:
        return "none";
    case 2:
        return "CCITT modified Huffman RLE";
    case 3:
        return "CCITT Group 3 fax encoding";
    case 4:
        return "CCITT Group 4 fax encoding";
    case 5:
        return "Lempel-Ziv  & Welch";
    case 6:
        return "6.0 JPEG";
    case 7:
        return "JPEG DCT compression";
    case 32766:
        return "NeXT 2-bit RLE";
    case 32771:
        return "CCITT Group 1 w/ word alignment";
    case 32773:
        return "Macintosh RLE (Packbits)";
    case 32809:
        return "ThunderScan RLE";
    case 32908:
        return "Pixar companded 10bit LZW";
    case 32909:
        return "Pixar companded 11bit ZIP";
    case 32946:
        return "Deflate compression";
    case 32947:
        return "Kodak DCS encoding";
    case 34661:
        return "ISO JBIG";
    default:
        return "?";
    }
}

int TiffOrientationCode(int orientation) {
    switch (orientation) {
    case 2:
        return 1;
    case 3:
        return 4;
    case 4:
        return 5;
    case 5:
        return 7;
    case 6:
        return 6;
    case 7:
        return 3;
    case 8:
        return 2;
    default:
        return 0;
    }
}

int TiffAdjustTileSize(int tile, int pictureSize) {
    if (tile > pictureSize) tile -= 16 * ((tile - pictureSize + 15) / 16);
    if (tile < 16) tile = 16;
    if (pictureSize % 16 != 0 && tile < 256) tile += 16;
    return tile;
}
