// One-dimensional Modified Huffman decoding (ITU-T T.4) for OS/2 2.0 bitmaps.
#include "formats/native/bmp.h"

namespace {
struct Code {
    BYTE length;
    WORD bits;
    WORD run;
};

// Codes are written as their bit strings, most significant bit first.
constexpr Code C(const char* s, int run) {
    int length = 0, bits = 0;
    for (; s[length]; length++) bits = bits * 2 + (s[length] - '0');
    return Code{BYTE(length), WORD(bits), WORD(run)};
}

// The end-of-line code is given run 0xFFFF and recognised by it.
const WORD EOL_RUN = 0xFFFF;

const Code kWhite[] = {
    C("00110101", 0),
    C("000111", 1),
    C("0111", 2),
    C("1000", 3),
    C("1011", 4),
    C("1100", 5),
    C("1110", 6),
    C("1111", 7),
    C("10011", 8),
    C("10100", 9),
    C("00111", 10),
    C("01000", 11),
    C("001000", 12),
    C("000011", 13),
    C("110100", 14),
    C("110101", 15),
    C("101010", 16),
    C("101011", 17),
    C("0100111", 18),
    C("0001100", 19),
    C("0001000", 20),
    C("0010111", 21),
    C("0000011", 22),
    C("0000100", 23),
    C("0101000", 24),
    C("0101011", 25),
    C("0010011", 26),
    C("0100100", 27),
    C("0011000", 28),
    C("00000010", 29),
    C("00000011", 30),
    C("00011010", 31),
    C("00011011", 32),
    C("00010010", 33),
    C("00010011", 34),
    C("00010100", 35),
    C("00010101", 36),
    C("00010110", 37),
    C("00010111", 38),
    C("00101000", 39),
    C("00101001", 40),
    C("00101010", 41),
    C("00101011", 42),
    C("00101100", 43),
    C("00101101", 44),
    C("00000100", 45),
    C("00000101", 46),
    C("00001010", 47),
    C("00001011", 48),
    C("01010010", 49),
    C("01010011", 50),
    C("01010100", 51),
    C("01010101", 52),
    C("00100100", 53),
    C("00100101", 54),
    C("01011000", 55),
    C("01011001", 56),
    C("01011010", 57),
    C("01011011", 58),
    C("01001010", 59),
    C("01001011", 60),
    C("00110010", 61),
    C("00110011", 62),
    C("00110100", 63),
    // make-up
    C("11011", 64),
    C("10010", 128),
    C("010111", 192),
    C("0110111", 256),
    C("00110110", 320),
    C("00110111", 384),
    C("01100100", 448),
    C("01100101", 512),
    C("01101000", 576),
    C("01100111", 640),
    C("011001100", 704),
    C("011001101", 768),
    C("011010010", 832),
    C("011010011", 896),
    C("011010100", 960),
    C("011010101", 1024),
    C("011010110", 1088),
    C("011010111", 1152),
    C("011011000", 1216),
    C("011011001", 1280),
    C("011011010", 1344),
    C("011011011", 1408),
    C("010011000", 1472),
    C("010011001", 1536),
    C("010011010", 1600),
    C("011000", 1664),
    C("010011011", 1728),
};

const Code kBlack[] = {
    C("0000110111", 0),
    C("010", 1),
    C("11", 2),
    C("10", 3),
    C("011", 4),
    C("0011", 5),
    C("0010", 6),
    C("00011", 7),
    C("000101", 8),
    C("000100", 9),
    C("0000100", 10),
    C("0000101", 11),
    C("0000111", 12),
    C("00000100", 13),
    C("00000111", 14),
    C("000011000", 15),
    C("0000010111", 16),
    C("0000011000", 17),
    C("0000001000", 18),
    C("00001100111", 19),
    C("00001101000", 20),
    C("00001101100", 21),
    C("00000110111", 22),
    C("00000101000", 23),
    C("00000010111", 24),
    C("00000011000", 25),
    C("000011001010", 26),
    C("000011001011", 27),
    C("000011001100", 28),
    C("000011001101", 29),
    C("000001101000", 30),
    C("000001101001", 31),
    C("000001101010", 32),
    C("000001101011", 33),
    C("000011010010", 34),
    C("000011010011", 35),
    C("000011010100", 36),
    C("000011010101", 37),
    C("000011010110", 38),
    C("000011010111", 39),
    C("000001101100", 40),
    C("000001101101", 41),
    C("000011011010", 42),
    C("000011011011", 43),
    C("000001010100", 44),
    C("000001010101", 45),
    C("000001010110", 46),
    C("000001010111", 47),
    C("000001100100", 48),
    C("000001100101", 49),
    C("000001010010", 50),
    C("000001010011", 51),
    C("000000100100", 52),
    C("000000110111", 53),
    C("000000111000", 54),
    C("000000100111", 55),
    C("000000101000", 56),
    C("000001011000", 57),
    C("000001011001", 58),
    C("000000101011", 59),
    C("000000101100", 60),
    C("000001011010", 61),
    C("000001100110", 62),
    C("000001100111", 63),
    // make-up
    C("0000001111", 64),
    C("000011001000", 128),
    C("000011001001", 192),
    C("000001011011", 256),
    C("000000110011", 320),
    C("000000110100", 384),
    C("000000110101", 448),
    C("0000001101100", 512),
    C("0000001101101", 576),
    C("0000001001010", 640),
    C("0000001001011", 704),
    C("0000001001100", 768),
    C("0000001001101", 832),
    C("0000001110010", 896),
    C("0000001110011", 960),
    C("0000001110100", 1024),
    C("0000001110101", 1088),
    C("0000001110110", 1152),
    C("0000001110111", 1216),
    C("0000001010010", 1280),
    C("0000001010011", 1344),
    C("0000001010100", 1408),
    C("0000001010101", 1472),
    C("0000001011010", 1536),
    C("0000001011011", 1600),
    C("0000001100100", 1664),
    C("0000001100101", 1728),
};

// Extended make-up codes, shared by both colours, and the end of line.
const Code kShared[] = {
    C("00000001000", 1792),  C("00000001100", 1856),     C("00000001101", 1920),
    C("000000010010", 1984), C("000000010011", 2048),    C("000000010100", 2112),
    C("000000010101", 2176), C("000000010110", 2240),    C("000000010111", 2304),
    C("000000011100", 2368), C("000000011101", 2432),    C("000000011110", 2496),
    C("000000011111", 2560), C("000000000001", EOL_RUN),
};

template <size_t N> const Code* Find(const Code (&table)[N], int length, int bits) {
    for (const Code& c : table)
        if (c.length == length && c.bits == bits) return &c;
    return nullptr;
}

// Reads one run of a colour: make-up codes add up until a terminating code
// (run below 64) ends it.
template <size_t N> int DecodeRun(BitSource* source, const Code (&table)[N], int maxLength) {
    int total = 0;
    for (;;) {
        int bits = 0;
        const Code* code = nullptr;
        for (int length = 1; length <= maxLength && !code; length++) {
            int bit = ReadBit(source);
            if (bit < 0) return RUN_INVALID;
            bits = bits * 2 + bit;
            code = Find(table, length, bits);
            if (!code) code = Find(kShared, length, bits);
        }
        if (!code) return RUN_INVALID;
        if (code->run == EOL_RUN) return RUN_END_OF_LINE;
        total += code->run;
        if (code->run < 64) return total;
    }
}
} // namespace

int ReadBit(BitSource* bits) {
    if (bits->bitPosition >= 8) {
        if (!NextByte(&bits->bytes, &bits->current)) return -1;
        bits->bitPosition = 0;
    }
    int shift = bits->bitOrder == 1 ? 7 - bits->bitPosition : bits->bitPosition;
    bits->bitPosition++;
    return (bits->current >> shift) & 1;
}

int DecodeWhiteRun(BitSource* bits) {
    return DecodeRun(bits, kWhite, 12);
}
int DecodeBlackRun(BitSource* bits) {
    return DecodeRun(bits, kBlack, 13);
}

void DecodeHuffmanRows(BitSource* bits, BYTE* pixels, uint64_t stride, int64_t width,
                       int64_t rows) {
    if (width > int64_t(stride) * 8) width = int64_t(stride) * 8;
    for (int64_t y = 0; y < rows; y++) {
        BYTE* line = pixels + uint64_t(y) * stride;
        int64_t x = 0;
        bool rowDone = false;
        while (!rowDone) {
            int r = DecodeWhiteRun(bits);
            if (r == RUN_END_OF_LINE && x == 0) continue;
            if (r == RUN_INVALID) return;
            if (r == RUN_END_OF_LINE) break; // the rest of the row stays white
            x += r;
            if (x == width) break;
            if (x > width) return;
            r = DecodeBlackRun(bits);
            if (r == RUN_END_OF_LINE) break;
            if (r == RUN_INVALID || x + r > width) return;
            for (int64_t i = x; i < x + r; i++) line[i / 8] |= BYTE(0x80 >> (i % 8));
            x += r;
            rowDone = x == width;
        }
    }
}
