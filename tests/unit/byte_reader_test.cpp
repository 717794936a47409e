// The native readers' byte reader: refills, the limit, the end of the data,
// and the 16- and 32-bit reads in both byte orders.
#include "test_util.h"

#include "core/byte_order.h"
#include "core/byte_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {
Bytes Counting(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; i++) b[i] = BYTE(i * 7 + 3);
    return b;
}

HFILE OpenWith(const Bytes& bytes) {
    HFILE file = _lopen(WriteTestFile("bytes.bin", bytes).c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR);
    return file;
}
} // namespace

// Every byte arrives once, in order, whatever mix of single bytes, copies and
// skips takes it, and whatever the buffer's size; the limit ends the data.
TEST(ByteReader, TakesEveryByteOnceUpToItsLimit) {
    const Bytes file = Counting(5000);
    struct Case {
        int capacity;
        uint64_t limit;
        uint64_t start; // where the file is when the reader starts
    } cases[] = {
        {2048, NO_READ_LIMIT, 0},   {1, NO_READ_LIMIT, 0}, {7, 100, 0}, {2048, 4999, 1}, {64, 0, 0},
        {2048, NO_READ_LIMIT, 128},
    };
    for (const Case& c : cases) {
        std::string what = "capacity " + std::to_string(c.capacity) + ", limit " +
                           std::to_string(c.limit) + ", start " + std::to_string(c.start);
        HFILE f = OpenWith(file);
        _llseek(f, LONG(c.start), FILE_BEGIN);
        Bytes buffer(size_t(c.capacity));
        ByteReader in;
        OpenByteReader(&in, f, buffer.data(), c.capacity, c.limit);
        Bytes got;
        int step = 0;
        for (;;) {
            step++;
            if (step % 3 == 0) {
                BYTE piece[37];
                uint64_t n = NextBytes(&in, piece, sizeof piece);
                got.insert(got.end(), piece, piece + n);
                if (n < sizeof piece) break;
            } else if (step % 7 == 0) {
                // A skip stands for the bytes it passes; the expectation below knows them.
                size_t at = got.size();
                bool whole = SkipBytes(&in, 11);
                uint64_t left = file.size() - c.start - at;
                if (c.limit != NO_READ_LIMIT && c.limit - at < left) left = c.limit - at;
                EXPECT_EQ(whole, left >= 11) << what;
                size_t passed = size_t(left < 11 ? left : 11);
                got.insert(got.end(), file.begin() + c.start + at,
                           file.begin() + c.start + at + passed);
                if (!whole) break;
            } else {
                BYTE b;
                if (!NextByte(&in, &b)) break;
                got.push_back(b);
            }
        }
        uint64_t end = c.limit == NO_READ_LIMIT ? file.size() : c.start + c.limit;
        if (end > file.size()) end = file.size();
        EXPECT_EQ(got, Bytes(file.begin() + c.start, file.begin() + end)) << what;
        BYTE b;
        EXPECT_FALSE(NextByte(&in, &b)) << what << ": the end stays the end";
        EXPECT_LE(in.fill, c.capacity) << what;
        _lclose(f);
    }
}

// Values in both byte orders, from the file and from memory; a value the
// data cannot complete reads as 0 and ends the data.
TEST(ByteReader, ValuesInBothByteOrders) {
    const Bytes file = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0,
                        0x01, 0x02, 0x03, 0x04, 0xFF, 0xEE, 0xAB};
    HFILE f = OpenWith(file);
    BYTE buffer[3]; // values straddle refills
    ByteReader in;
    OpenByteReader(&in, f, buffer, sizeof buffer);
    uint32_t v = 1;
    ASSERT_TRUE(NextLe16(&in, &v));
    EXPECT_EQ(v, 0x3412u);
    ASSERT_TRUE(NextBe16(&in, &v));
    EXPECT_EQ(v, 0x5678u);
    ASSERT_TRUE(NextLe32(&in, &v));
    EXPECT_EQ(v, 0xF0DEBC9Au);
    ASSERT_TRUE(NextBe32(&in, &v));
    EXPECT_EQ(v, 0x01020304u);
    ASSERT_TRUE(NextBe16(&in, &v));
    EXPECT_EQ(v, 0xFFEEu);
    EXPECT_FALSE(NextLe32(&in, &v)) << "one byte left";
    EXPECT_EQ(v, 0u);
    _lclose(f);

    BYTE out[4];
    PutLe32(out, 0x11223344);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(Le32(out), 0x11223344u);
    EXPECT_EQ(Be32(out), 0x44332211u);
    PutBe32(out, 0xA1B2C3D4);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(Be16(out + 2), 0xC3D4u);
    EXPECT_EQ(Le16(out + 2), 0xD4C3u);
    PutLe16(out, 0xBEEF);
    PutBe16(out + 2, 0xBEEF);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xEF, 0xBE, 0xBE, 0xEF}));
}

TEST(ByteReader, FileLengthKeepsThePosition) {
    HFILE f = OpenWith(Counting(3000));
    _llseek(f, 1234, FILE_BEGIN);
    EXPECT_EQ(FileLength(f), 3000);
    EXPECT_EQ(_llseek(f, 0, FILE_CURRENT), 1234);
    _lclose(f);
}
