// The bitmap decoders on their own: the RLE 8, RLE 4 and RLE 24 expanders,
// the Modified Huffman run decoders and row decoding, and the bit-field
// pixel conversions.
#include "test_util.h"

#include "formats/native/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {
// A file holding the bytes, opened for reading; closed by the caller.
HFILE OpenBytes(const std::string& name, const Bytes& bytes) {
    std::string path = WriteTestFile(name, bytes);
    HFILE file = _lopen(path.c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR) << path;
    return file;
}

const BYTE kGuard = 0xA5;
const size_t kGuardBytes = 64;

// Runs an expander over a zero-filled area with guard bytes on both sides and
// returns the area; guards that changed fail the test.
Bytes Expand(RunLengthKind kind, uint64_t stride, int64_t rows, const Bytes& stream,
             const std::string& name) {
    Bytes block(kGuardBytes + stride * uint64_t(rows) + kGuardBytes, 0);
    for (size_t i = 0; i < kGuardBytes; i++) block[i] = block[block.size() - 1 - i] = kGuard;
    HFILE file = OpenBytes(name, stream);
    ExpandRunLength(kind, block.data() + kGuardBytes, stride, rows, file, nullptr);
    _lclose(file);
    for (size_t i = 0; i < kGuardBytes; i++) {
        EXPECT_EQ(block[i], kGuard) << name << ": written before the area";
        EXPECT_EQ(block[block.size() - 1 - i], kGuard) << name << ": written after the area";
    }
    return Bytes(block.begin() + kGuardBytes, block.end() - kGuardBytes);
}

struct RleCase {
    const char* name;
    RunLengthKind kind;
    uint64_t stride;
    int64_t rows;
    Bytes stream;
    Bytes area; // bottom row first, stride bytes per row
};

void RunCases(const std::vector<RleCase>& cases) {
    for (const RleCase& c : cases) {
        ASSERT_EQ(c.area.size(), c.stride * uint64_t(c.rows)) << c.name << ": case is malformed";
        RecordMessages messages;
        EXPECT_EQ(Expand(c.kind, c.stride, c.rows, c.stream, "rle.bin"), c.area) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name;
    }
}

// Packs a string of '0' and '1' (spaces ignored) into bytes, most significant
// bit first; the last byte is filled up with 0 bits.
Bytes Bits(const std::string& text) {
    Bytes out;
    int n = 0;
    for (char ch : text) {
        if (ch == ' ') continue;
        if (n % 8 == 0) out.push_back(0);
        if (ch == '1') out.back() |= uint8_t(0x80 >> (n % 8));
        n++;
    }
    return out;
}

struct BitReader {
    HFILE file;
    HGLOBAL buffer;
    BitSource bits;
};

void OpenBits(BitReader* r, const Bytes& bytes, int bitOrder = 1) {
    r->file = OpenBytes("bits.bin", bytes);
    r->buffer = AllocByteReader(&r->bits.bytes, r->file, BITMAP_READ_BUFFER, nullptr);
    ASSERT_NE(r->buffer, nullptr);
    r->bits.bitPosition = 8;
    r->bits.current = 0;
    r->bits.bitOrder = bitOrder;
}

void CloseBits(BitReader* r) {
    GlobalUnlock(r->buffer);
    GlobalFree(r->buffer);
    _lclose(r->file);
}
} // namespace

TEST(RunLengthExpand, Rle8Escapes) {
    RunCases({
        {"encoded run, then end of picture",
         RLE_8,
         4,
         2,
         {3, 5, 0, 1, 2, 6},
         {5, 5, 5, 0, 0, 0, 0, 0}},
        {"end of line moves to the start of the next row",
         RLE_8,
         4,
         3,
         {2, 7, 0, 0, 1, 9, 0, 1},
         {7, 7, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0}},
        {"delta moves right by dx and up by dy",
         RLE_8,
         4,
         3,
         {1, 3, 0, 2, 2, 1, 1, 5, 0, 1},
         {3, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0}},
        {"delta to the last row still writes there",
         RLE_8,
         4,
         3,
         {0, 2, 1, 2, 1, 5},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0}},
        {"delta whose dy reaches the height ends decoding",
         RLE_8,
         4,
         3,
         {1, 1, 0, 0, 0, 2, 0, 2, 1, 5},
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"delta whose dy passes the height ends decoding",
         RLE_8,
         4,
         2,
         {0, 2, 0, 9, 1, 5},
         {0, 0, 0, 0, 0, 0, 0, 0}},
        {"absolute run of odd length skips one pad byte",
         RLE_8,
         4,
         2,
         {0, 3, 1, 2, 3, 0, 1, 4},
         {1, 2, 3, 4, 0, 0, 0, 0}},
        {"absolute run of even length has no pad byte",
         RLE_8,
         4,
         2,
         {0, 4, 1, 2, 3, 4, 0, 0, 1, 9},
         {1, 2, 3, 4, 9, 0, 0, 0}},
        {"end of line on the last row ends decoding",
         RLE_8,
         4,
         2,
         {1, 1, 0, 0, 1, 2, 0, 0, 1, 3},
         {1, 0, 0, 0, 2, 0, 0, 0}},
        {"a stream without end of picture leaves the rest zero",
         RLE_8,
         4,
         2,
         {2, 4},
         {4, 4, 0, 0, 0, 0, 0, 0}},
        {"a zero count is an escape, not a run",
         RLE_8,
         4,
         2,
         {0, 0, 1, 8},
         {0, 0, 0, 0, 8, 0, 0, 0}},
    });
}

TEST(RunLengthExpand, Rle8DropsWhatLeavesTheArea) {
    RunCases({
        {"encoded run past the row is cut, not wrapped",
         RLE_8,
         4,
         2,
         {6, 1, 0, 0, 1, 2},
         {1, 1, 1, 1, 2, 0, 0, 0}},
        {"runs after the row is full are dropped",
         RLE_8,
         4,
         2,
         {5, 1, 2, 3},
         {1, 1, 1, 1, 0, 0, 0, 0}},
        {"absolute run past the row is cut, its pad still skipped",
         RLE_8,
         4,
         2,
         {1, 9, 0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 1, 7},
         {9, 1, 2, 3, 7, 0, 0, 0}},
        {"delta past the row end drops the run after it",
         RLE_8,
         4,
         2,
         {0, 2, 5, 0, 1, 1, 0, 0, 1, 2},
         {0, 0, 0, 0, 2, 0, 0, 0}},
        {"delta of exactly the row width drops the run",
         RLE_8,
         4,
         2,
         {0, 2, 4, 0, 1, 1},
         {0, 0, 0, 0, 0, 0, 0, 0}},
        {"run of 255 into a one-row area", RLE_8, 4, 1, {255, 3}, {3, 3, 3, 3}},
    });
}

TEST(RunLengthExpand, Rle8TruncatedStreams) {
    RunCases({
        {"count without value", RLE_8, 4, 1, {3}, {0, 0, 0, 0}},
        {"escape byte missing", RLE_8, 4, 1, {0}, {0, 0, 0, 0}},
        {"delta without dy", RLE_8, 4, 1, {0, 2, 1}, {0, 0, 0, 0}},
        {"absolute run cut short keeps its first pixels", RLE_8, 4, 1, {0, 5, 1, 2}, {1, 2, 0, 0}},
        {"absolute run without its pad byte", RLE_8, 4, 1, {0, 3, 1, 2, 3}, {1, 2, 3, 0}},
        {"empty stream", RLE_8, 4, 1, {}, {0, 0, 0, 0}},
    });
}

TEST(RunLengthExpand, Rle4Escapes) {
    RunCases({
        {"encoded run alternates high and low nibble of its value",
         RLE_4,
         4,
         1,
         {5, 0xAB},
         {0xAB, 0xAB, 0xA0, 0}},
        {"encoded run starting on a low nibble begins with the high nibble",
         RLE_4,
         4,
         1,
         {1, 0xC0, 5, 0xAB},
         {0xCA, 0xBA, 0xBA, 0}},
        {"absolute run of 3 uses 2 bytes and no pad",
         RLE_4,
         4,
         1,
         {0, 3, 0x12, 0x30, 1, 0xF0},
         {0x12, 0x3F, 0, 0}},
        {"absolute run of 4 uses 2 bytes and no pad",
         RLE_4,
         4,
         1,
         {0, 4, 0x12, 0x34, 1, 0xF0},
         {0x12, 0x34, 0xF0, 0}},
        {"absolute run of 5 uses 3 bytes and a pad",
         RLE_4,
         4,
         1,
         {0, 5, 0x12, 0x34, 0x50, 0, 1, 0xF0},
         {0x12, 0x34, 0x5F, 0}},
        {"absolute run of 6 uses 3 bytes and a pad",
         RLE_4,
         4,
         1,
         {0, 6, 0x12, 0x34, 0x56, 0, 1, 0xF0},
         {0x12, 0x34, 0x56, 0xF0}},
        {"absolute run of 7 uses 4 bytes and no pad",
         RLE_4,
         4,
         1,
         {0, 7, 0x12, 0x34, 0x56, 0x70, 1, 0xF0},
         {0x12, 0x34, 0x56, 0x7F}},
        {"absolute run starting on a low nibble",
         RLE_4,
         4,
         1,
         {1, 0x90, 0, 3, 0x12, 0x30},
         {0x91, 0x23, 0, 0}},
        {"delta counts nibbles",
         RLE_4,
         4,
         1,
         {1, 0x10, 0, 2, 2, 0, 2, 0xAB},
         {0x10, 0x0A, 0xB0, 0}},
        {"delta moves up rows and keeps the nibble",
         RLE_4,
         4,
         2,
         {1, 0x70, 0, 2, 0, 1, 1, 0x80},
         {0x70, 0, 0, 0, 0x08, 0, 0, 0}},
        {"end of line from a low nibble goes to the next row's high nibble",
         RLE_4,
         4,
         2,
         {1, 0x50, 0, 0, 2, 0x67},
         {0x50, 0, 0, 0, 0x67, 0, 0, 0}},
        {"delta whose dy reaches the height ends decoding",
         RLE_4,
         4,
         2,
         {1, 0x10, 0, 2, 0, 2, 1, 0x20},
         {0x10, 0, 0, 0, 0, 0, 0, 0}},
        {"end of picture", RLE_4, 4, 2, {2, 0x12, 0, 1, 2, 0x34}, {0x12, 0, 0, 0, 0, 0, 0, 0}},
    });
}

TEST(RunLengthExpand, Rle4DropsWhatLeavesTheArea) {
    RunCases({
        {"encoded run past 2 x stride nibbles is cut",
         RLE_4,
         4,
         2,
         {10, 0x12, 0, 0, 1, 0xF0},
         {0x12, 0x12, 0x12, 0x12, 0xF0, 0, 0, 0}},
        {"absolute run past the row is cut, its pad still skipped",
         RLE_4,
         4,
         2,
         {0, 2, 6, 0, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 1, 0xF0},
         {0, 0, 0, 0x12, 0xF0, 0, 0, 0}},
        {"odd-width rows may fill their padding nibbles",
         RLE_4,
         4,
         1,
         {8, 0x12},
         {0x12, 0x12, 0x12, 0x12}},
    });
}

TEST(RunLengthExpand, Rle4TruncatedStreams) {
    RunCases({
        {"count without value", RLE_4, 4, 1, {3}, {0, 0, 0, 0}},
        {"absolute run cut short keeps its first pixels",
         RLE_4,
         4,
         1,
         {0, 6, 0x12},
         {0x12, 0, 0, 0}},
    });
}

TEST(RunLengthExpand, Rle24Escapes) {
    // Stride 8 holds 2 pixels; its last 2 bytes are row padding.
    RunCases({
        {"encoded run writes blue, green, red",
         RLE_24,
         8,
         1,
         {2, 1, 2, 3},
         {1, 2, 3, 1, 2, 3, 0, 0}},
        {"run past stride / 3 pixels is cut; padding stays zero",
         RLE_24,
         8,
         1,
         {3, 1, 2, 3},
         {1, 2, 3, 1, 2, 3, 0, 0}},
        {"absolute run of 3 skips one pad byte",
         RLE_24,
         12,
         1,
         {0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 10, 11, 12},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"absolute run of 4 has no pad byte",
         RLE_24,
         12,
         2,
         {0, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0, 0, 1, 13, 14, 15},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"delta moves 3 bytes per dx",
         RLE_24,
         8,
         2,
         {0, 2, 1, 1, 1, 7, 8, 9},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9, 0, 0}},
        {"end of line and end of picture",
         RLE_24,
         8,
         2,
         {1, 1, 1, 1, 0, 0, 1, 2, 2, 2, 0, 1, 1, 3, 3, 3},
         {1, 1, 1, 0, 0, 0, 0, 0, 2, 2, 2, 0, 0, 0, 0, 0}},
        {"delta whose dy reaches the height ends decoding",
         RLE_24,
         8,
         2,
         {0, 2, 0, 2, 1, 1, 1, 1},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"absolute run past the row is cut, its pad still skipped",
         RLE_24,
         8,
         2,
         {0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 1, 10, 11, 12},
         {1, 2, 3, 4, 5, 6, 0, 0, 10, 11, 12, 0, 0, 0, 0, 0}},
        {"value cut short", RLE_24, 8, 1, {2, 1, 2}, {0, 0, 0, 0, 0, 0, 0, 0}},
    });
}

TEST(RunLengthExpand, StreamsLongerThanOneReadBuffer) {
    // Eight absolute runs of 255 pixels (258 bytes each) cross the 2048-byte
    // buffer inside a run; row 1 then gets an encoded run.
    const uint64_t stride = 2040;
    Bytes stream, area(2 * stride, 0);
    for (int run = 0; run < 8; run++) {
        stream.push_back(0);
        stream.push_back(255);
        for (int i = 0; i < 255; i++) {
            BYTE v = BYTE((run * 255 + i) * 7 + 3);
            stream.push_back(v);
            area[size_t(run * 255 + i)] = v;
        }
        stream.push_back(0);
    }
    ASSERT_GT(stream.size(), 2048u);
    stream.insert(stream.end(), {0, 0, 200, 0x42, 0, 1});
    for (int i = 0; i < 200; i++) area[stride + size_t(i)] = 0x42;
    EXPECT_EQ(Expand(RLE_8, stride, 2, stream, "long.bin"), area);
}

TEST(RunLengthExpand, ReadBufferFailureLeavesTheAreaZero) {
    for (RunLengthKind kind : {RLE_8, RLE_4, RLE_24}) {
        RecordMessages messages;
        FailGlobalAllocAt(1);
        Bytes area = Expand(kind, 12, 2, {3, 1, 2, 3, 0, 1}, "fail.bin");
        FailGlobalAllocAt(0);
        EXPECT_EQ(area, Bytes(24, 0)) << kind;
        ASSERT_EQ(messages.messages.size(), 1u) << kind;
        EXPECT_EQ(messages.messages[0].text, "Memory Allocation Error");
        EXPECT_EQ(messages.messages[0].caption, "(null)");
        EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR));
    }
}

TEST(HuffmanRuns, CodesOfEachKind) {
    // Code words as ITU-T T.4 lists them; W and B say which decoder reads next.
    struct Step {
        char colour;
        int run;
    };
    struct Case {
        const char* name;
        std::string bits;
        std::vector<Step> steps;
    } cases[] = {
        {"white terminating codes",
         "00110101 000111 0111 1000 1011 00110100 00110011",
         {{'W', 0}, {'W', 1}, {'W', 2}, {'W', 3}, {'W', 4}, {'W', 63}, {'W', 62}}},
        {"black terminating codes",
         "0000110111 010 11 10 011 000001100111 0000100",
         {{'B', 0}, {'B', 1}, {'B', 2}, {'B', 3}, {'B', 4}, {'B', 63}, {'B', 10}}},
        {"white make-up codes add to the terminating code",
         "11011 0111  10010 00110101  010011011 00110100  011000 1000",
         {{'W', 66}, {'W', 128}, {'W', 1791}, {'W', 1667}}},
        {"black make-up codes add to the terminating code",
         "0000001111 010  000011001000 0000110111  0000001100101 000001100111",
         {{'B', 65}, {'B', 128}, {'B', 1791}}},
        {"extended make-up codes serve both colours",
         "00000001000 0111  00000001000 11  000000011111 0000110111  000000011111 00110101",
         {{'W', 1794}, {'B', 1794}, {'B', 2560}, {'W', 2560}}},
        {"make-up codes in a row sum up", "000000011111 000000011111 11011 1000", {{'W', 5187}}},
        {"end of line for both colours",
         "000000000001 000000000001 0111",
         {{'W', RUN_END_OF_LINE}, {'B', RUN_END_OF_LINE}, {'W', 2}}},
        {"end of line after a make-up code", "11011 000000000001", {{'W', RUN_END_OF_LINE}}},
        {"white twelve zero bits are no code", "000000000000", {{'W', RUN_INVALID}}},
        {"white 8 zeros then a 1 are no code", "000000001000", {{'W', RUN_INVALID}}},
        {"black thirteen bits without a code", "0000000000001000", {{'B', RUN_INVALID}}},
        {"end of data inside a code", "00000000", {{'W', RUN_INVALID}}},
        {"end of data after a make-up code", "11011 000", {{'W', RUN_INVALID}}},
        {"white and black codes differ", "10 10100", {{'B', 3}, {'W', 9}}},
    };
    for (const Case& c : cases) {
        BitReader r;
        OpenBits(&r, Bits(c.bits));
        for (size_t i = 0; i < c.steps.size(); i++) {
            int run = c.steps[i].colour == 'W' ? DecodeWhiteRun(&r.bits) : DecodeBlackRun(&r.bits);
            EXPECT_EQ(run, c.steps[i].run) << c.name << ", step " << i;
        }
        CloseBits(&r);
    }
}

TEST(HuffmanRuns, BitOrder) {
    struct Case {
        int order;
        BYTE byte;
        const char* bits;
    } cases[] = {
        {1, 0xB4, "10110100"},
        {0, 0xB4, "00101101"},
        {2, 0x01, "10000000"},
    };
    for (const Case& c : cases) {
        BitReader r;
        OpenBits(&r, {c.byte}, c.order);
        std::string got;
        for (int i = 0; i < 8; i++) got += char('0' + ReadBit(&r.bits));
        EXPECT_EQ(got, c.bits) << "order " << c.order;
        EXPECT_LT(ReadBit(&r.bits), 0) << "end of data";
        CloseBits(&r);
    }
}

TEST(HuffmanRows, RowDecoding) {
    // Width 10 (stride 4), three rows; rows given as their first two bytes.
    const std::string W0 = "00110101", W1 = "000111", W2 = "0111", W3 = "1000", W5 = "1100",
                      W7 = "1111", W8 = "10011", W9 = "10100", W10 = "00111", W11 = "01000",
                      B1 = "010", B2 = "11", B3 = "10", B4 = "011", B6 = "0010", B10 = "0000100",
                      EOL = "000000000001";
    struct Case {
        const char* name;
        std::string bits;
        std::vector<uint16_t> rows; // bits of the first two bytes of each row
    } cases[] = {
        {"runs alternate, white first", W3 + B4 + W3 + W0 + B10 + W10, {0x1E00, 0xFFC0, 0x0000}},
        {"end-of-line codes at the start of rows are skipped",
         EOL + W3 + B4 + W3 + EOL + EOL + W0 + B10 + EOL + W1 + B1 + W8,
         {0x1E00, 0xFFC0, 0x4000}},
        {"end of line in a white run after the row start completes the row",
         W2 + B1 + EOL + W0 + B2 + W8 + W9 + B1,
         {0x2000, 0xC000, 0x0040}},
        {"end of line in a black run completes the row",
         W2 + EOL + W1 + B1 + W8 + W10,
         {0x0000, 0x4000, 0x0000}},
        {"a white run reaching the width completes the row",
         W10 + W0 + B1 + W9 + W10,
         {0x0000, 0x8000, 0x0000}},
        {"a black run reaching the width completes the row",
         W1 + B3 + W3 + B3 + W7 + B3 + W0 + B3 + W7,
         {0x71C0, 0x01C0, 0xE000}},
        {"a white run past the width ends decoding",
         W3 + B4 + W3 + W11 + W0 + B10,
         {0x1E00, 0x0000, 0x0000}},
        {"a black run past the width ends decoding",
         W3 + B4 + W3 + W5 + B6 + W0 + B10,
         {0x1E00, 0x0000, 0x0000}},
        {"a sequence that is no code ends decoding",
         W3 + B4 + W3 + "000000001000" + W0 + B10,
         {0x1E00, 0x0000, 0x0000}},
        {"no code in a black run ends decoding",
         W3 + B4 + W3 + W1 + "0000000000000" + W10,
         {0x1E00, 0x0000, 0x0000}},
        {"the end of the data keeps what was decoded", W1 + B2, {0x6000, 0x0000, 0x0000}},
    };
    for (const Case& c : cases) {
        BitReader r;
        OpenBits(&r, Bits(c.bits));
        Bytes area(12 + 8, kGuard);
        std::fill(area.begin() + 4, area.begin() + 16, 0);
        DecodeHuffmanRows(&r.bits, area.data() + 4, 4, 10, 3);
        CloseBits(&r);
        for (int y = 0; y < 3; y++) {
            const BYTE* row = area.data() + 4 + 4 * y;
            EXPECT_EQ((row[0] << 8) | row[1], c.rows[size_t(y)]) << c.name << ", row " << y;
            EXPECT_EQ(row[2] | row[3], 0) << c.name << ", row " << y << " padding";
        }
        for (int i = 0; i < 4; i++) {
            EXPECT_EQ(area[size_t(i)], kGuard) << c.name;
            EXPECT_EQ(area[16 + size_t(i)], kGuard) << c.name;
        }
    }
}

TEST(HuffmanRows, MakeUpRunsInsideRows) {
    // Width 200: white 2, black 130 (128 + 2), white 68 (64 + 4).
    BitReader r;
    OpenBits(&r, Bits("0111 000011001000 11 11011 1011"));
    Bytes area(28, 0);
    DecodeHuffmanRows(&r.bits, area.data(), 28, 200, 1);
    CloseBits(&r);
    for (int x = 0; x < 224; x++) {
        bool black = (area[size_t(x / 8)] >> (7 - x % 8)) & 1;
        EXPECT_EQ(black, x >= 2 && x < 132) << "pixel " << x;
    }
}

TEST(BitFieldPixels, FiveSixFiveToFiveFiveFive) {
    struct Case {
        uint16_t in, out;
    } cases[] = {
        {0xFFFF, 0x7FFF}, {0xF800, 0x7C00}, {0x07E0, 0x03E0}, {0x001F, 0x001F}, {0x0020, 0x0000},
        {0x0040, 0x0020}, {0x8000, 0x4000}, {0x0800, 0x0400}, {0x0000, 0x0000}, {0x1234, 0x0914},
    };
    // One row of all the pixels and two bytes of padding that must stay.
    const size_t n = sizeof cases / sizeof cases[0];
    Bytes row;
    for (const Case& c : cases) Put16(row, c.in);
    row.push_back(0xEE);
    row.push_back(0xEE);
    Convert565To555(row.data(), int64_t(n));
    for (size_t i = 0; i < n; i++)
        EXPECT_EQ(row[2 * i] | (row[2 * i + 1] << 8), cases[i].out) << std::hex << cases[i].in;
    EXPECT_EQ(row[2 * n], 0xEE);
    EXPECT_EQ(row[2 * n + 1], 0xEE);
}

TEST(BitFieldPixels, TenTenTenToEightEightEight) {
    auto pack = [](uint32_t r, uint32_t g, uint32_t b, uint32_t low) {
        return (r << 22) | (g << 12) | (b << 2) | low;
    };
    struct Case {
        const char* name;
        std::vector<uint32_t> in;  // 2 rows of 2 pixels, bottom row first
        std::vector<uint32_t> out; // 0x00RRGGBB
    } cases[] = {
        {"every component fits 8 bits: taken unscaled",
         {pack(255, 0, 1, 3), pack(1, 2, 3, 0), pack(0, 255, 0, 1), pack(128, 64, 32, 2)},
         {0xFF0001, 0x010203, 0x00FF00, 0x804020}},
        {"one wide green component scales every pixel",
         {pack(255, 0, 1, 0), pack(1, 2, 3, 0), pack(0, 1023, 0, 0), pack(128, 64, 32, 0)},
         {0x3F0000, 0x000000, 0x00FF00, 0x201008}},
        {"a wide red component in the last pixel scales all",
         {pack(4, 8, 12, 0), pack(0, 0, 0, 0), pack(0, 0, 0, 0), pack(256, 0, 1023, 0)},
         {0x010203, 0x000000, 0x000000, 0x4000FF}},
        {"a wide blue component",
         {pack(512, 0, 0, 0), pack(0, 0, 256, 0), 0, 0},
         {0x800000, 0x000040, 0, 0}},
    };
    for (const Case& c : cases) {
        Bytes pixels;
        for (uint32_t v : c.in) Put32(pixels, v);
        Convert101010To888(pixels.data(), 8, 2, 2);
        for (size_t i = 0; i < 4; i++) {
            const BYTE* p = pixels.data() + 4 * i;
            EXPECT_EQ(uint32_t(p[2] << 16 | p[1] << 8 | p[0]), c.out[i])
                << c.name << ", pixel " << i;
            EXPECT_EQ(p[3], 0) << c.name << ", pixel " << i;
        }
    }
}
