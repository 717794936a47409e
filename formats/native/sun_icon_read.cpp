// The Sun icon reader: the 78-character header comment, then the pixel words,
// each row of the picture a whole number of 16-bit words.
#include "formats/native/sun_icon.h"

#include "core/image.h"
#include "core/text.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const int kHeaderLength = 78;
const int kCommentSlack = 64; // characters searched past the header for the comment's end

// Red, green, blue: the first 16 entries of a depth-8 icon's colours.
const BYTE kDepth8Colors[16][3] = {
    {255, 255, 255}, {0, 0, 0},       {0, 128, 0},     {128, 128, 0}, {0, 0, 128}, {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {128, 0, 0},
};

// The decimal number after key in the header; 0 when the key is missing.
long long KeyValue(const char* header, const char* key) {
    const char* at = std::strstr(header, key);
    if (!at) return 0;
    errno = 0;
    long long value = std::strtoll(at + std::strlen(key), nullptr, 10);
    return errno == ERANGE ? (value < 0 ? -1 : INT64_MAX) : value;
}

int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The characters of the pixel words: first those already read with the
// header, then the file's, with one character to give back.
struct WordInput {
    FILE* file;
    const char* pending;
    int pendingLeft;
    int back; // -1: none
};

int NextChar(WordInput* in) {
    int c = in->back;
    if (c >= 0) {
        in->back = -1;
    } else if (in->pendingLeft > 0) {
        in->pendingLeft--;
        c = (unsigned char)*in->pending++;
    } else {
        c = std::getc(in->file);
    }
    return c;
}

// The next word as the format "%x," takes it: blanks, an optional sign and
// "0x", hexadecimal digits (of which the low 16 bits are kept), then the
// comma when there is one. False when no number comes.
bool ReadWord(WordInput* in, unsigned* word) {
    int c;
    do c = NextChar(in);
    while (c != EOF && std::isspace(c));
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = NextChar(in);
    }
    bool digits = false;
    unsigned value = 0;
    if (c == '0') {
        digits = true;
        c = NextChar(in);
        if (c == 'x' || c == 'X') c = NextChar(in);
    }
    for (int d; (d = HexDigit(c)) >= 0; c = NextChar(in)) {
        value = ((value << 4) | unsigned(d)) & 0xFFFF;
        digits = true;
    }
    if (!digits) return false;
    if (c != ',' && c != EOF) in->back = c;
    *word = negative ? (0x10000 - value) & 0xFFFF : value;
    return true;
}

// Each row is rowWords words, high byte first; the bytes past the row's
// pixels (the padding of widths that are not a whole number of words) are
// dropped. A file that ends early leaves the rest of the picture zero.
void ReadPixelWords(WordInput* in, BYTE* pixels, uint64_t stride, int64_t width, int64_t height,
                    int bits) {
    const int64_t rowWords = (width * bits + 15) / 16;
    const int64_t rowBytes = (width * bits + 7) / 8;
    for (int64_t y = 0; y < height; y++) {
        BYTE* row = pixels + uint64_t(height - 1 - y) * stride;
        for (int64_t w = 0; w < rowWords; w++) {
            unsigned word;
            if (!ReadWord(in, &word)) return;
            if (2 * w < rowBytes) row[2 * w] = BYTE(word >> 8);
            if (2 * w + 1 < rowBytes) row[2 * w + 1] = BYTE(word);
        }
    }
}

// Where the comment that holds the header ends ("*/"), in the first count
// characters; -1 when it does not.
int CommentEnd(const char* chars, int count) {
    for (int i = 0; i + 1 < count; i++)
        if (chars[i] == '*' && chars[i + 1] == '/') return i + 2;
    return -1;
}

ReaderResult Refuse(FILE* in, HWND owner, const char* message) {
    std::fclose(in);
    ReportError(owner, message);
    return NoPictureReported();
}
} // namespace

ReaderResult ReadSunIcon(const char* name, HWND owner, char* text, int) {
    FILE* in = std::fopen(name, "rt");
    if (!in) {
        ReportError(owner, "Error Opening File");
        return NoPictureReported();
    }
    // The header is the first 78 characters. The pixel words follow the
    // comment, which ends before that in short headers and a little after
    // it when the sizes have many digits.
    char chars[kHeaderLength + kCommentSlack];
    int got = 0;
    for (int c; got < kHeaderLength && (c = std::getc(in)) != EOF;) chars[got++] = char(c);
    int wordsFrom = CommentEnd(chars, got);
    if (wordsFrom < 0 && got == kHeaderLength) {
        for (int c; got < int(sizeof chars) && (c = std::getc(in)) != EOF;) {
            chars[got++] = char(c);
            if (chars[got - 2] == '*' && c == '/') break;
        }
        wordsFrom = CommentEnd(chars, got);
    }
    if (wordsFrom < 0) wordsFrom = got < kHeaderLength ? got : kHeaderLength;
    WordInput words = {in, chars + wordsFrom, got - wordsFrom, -1};

    char header[kHeaderLength + 1];
    const int headerLength = got < kHeaderLength ? got : kHeaderLength;
    for (int i = 0; i < headerLength; i++) header[i] = char(std::tolower((unsigned char)chars[i]));
    header[headerLength] = 0;
    InfoSet(text, "image type: SunIcon \n\nheader string: %s", header);

    const long long depth = KeyValue(header, "depth=");
    const long long width = KeyValue(header, "width=");
    const long long height = KeyValue(header, "height=");
    if (depth != 1 && depth != 8) return Refuse(in, owner, "Unsupported SunIcon Depth");
    const int bits = int(depth);
    if (width <= 0 || height <= 0) return Refuse(in, owner, "Invalid Picture Data");
    if (ImageBlockBytes(width, height, bits, 1 << bits) == 0)
        return Refuse(in, owner, "Picture Too Large");
    HGLOBAL image = AllocImageRecord(width, height, bits, 0);
    if (!image) return Refuse(in, owner, "Memory Allocation Error");

    BITMAPINFOHEADER* record = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(record) + 40;
    if (bits == 1) {
        std::memset(table, 255, 3); // entry 0 white, entry 1 black
    } else {
        for (int i = 0; i < 16; i++) {
            table[4 * i] = kDepth8Colors[i][2];
            table[4 * i + 1] = kDepth8Colors[i][1];
            table[4 * i + 2] = kDepth8Colors[i][0];
        }
    }
    ReadPixelWords(&words, ImagePixels(record), ImageStride(width, bits), width, height, bits);
    std::fclose(in);
    GlobalUnlock(image);
    return GotPicture(image);
}
