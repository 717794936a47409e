// The viewer's Convert/Save and Tools menu commands. The format table, the
// Tools commands, zendra-cli and the resource script all name them from here
// (shell/resource.h includes this file), so a command's number is written once.
// Only #define lines: the resource compiler reads this file too.
#pragma once

// Convert/Save.
#define CM_BMP 117
#define CM_JPG 118
#define CM_GIF 136
#define CM_TIFF_CAPTION 138
#define CM_TIFF_NONE 139
#define CM_TIFF_LZW 140
#define CM_TIFF_JPEG 141
#define CM_TIFF_HUFFMAN 142
#define CM_TIFF_G3 143
#define CM_TIFF_G4 144
#define CM_TIFF_PACKBITS 145
#define CM_TIFF_DEFLATE 146
#define CM_TIFF_NONE_TILES 154
#define CM_TIFF_HUFFMAN_TILES 155
#define CM_TIFF_G3_TILES 156
#define CM_TIFF_G4_TILES 157
#define CM_TIFF_LZW_TILES 158
#define CM_TIFF_JPEG_TILES 159
#define CM_TIFF_PACKBITS_TILES 160
#define CM_TIFF_DEFLATE_TILES 161
#define CM_PNG 163
#define CM_PNG_ADAM7 164
#define CM_GIF_INTERLACED 165
#define CM_JPG_PROGRESSIVE 166
#define CM_TGA 168
#define CM_TGA_RLE 169
#define CM_PCX 172
#define CM_BMP_RLE 173
#define CM_IFF 174
#define CM_IFF_PACKED 175
#define CM_IFF_HAM 176
#define CM_IFF_HAM_PACKED 177
#define CM_BMP_555 178
#define CM_BMP_565 179
#define CM_WEBP 184
#define CM_WEBP_LOSSLESS 185

// Tools.
#define CM_ROTATE_90 119
#define CM_ROTATE_180 120
#define CM_ROTATE_270 121
#define CM_FLIP_LR 122
#define CM_FLIP_TB 123
#define CM_INVERT 124
#define CM_STANDARD_256 126
#define CM_GRAYSCALE 127
#define CM_MONOCHROME 128
#define CM_STANDARD_16 129
#define CM_TRUE_COLOR 130
#define CM_RESTORE_ORIGINAL 131
#define CM_BEST_256 132
#define CM_BEST_32 133
#define CM_BEST_16 134
#define CM_BRIGHTEN 170
#define CM_DARKEN 171
#define CM_WEB_216 183
