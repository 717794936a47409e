// Helpers shared by the test suites: files in a private folder, recorded
// message boxes, little-endian byte building, and pixel access to Image records.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// A fresh folder for this test process, under the temporary folder.
std::string TestDir();
std::string WriteTestFile(const std::string& name, const Bytes& bytes);
Bytes ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

// Records every message box while alive; answers with `answer`.
struct MessageRecord {
    HWND owner;
    std::string text;
    std::string caption; // "(null)" when no caption was given
    UINT type;
};
struct RecordMessages {
    RecordMessages(int answer = IDOK);
    ~RecordMessages();
    std::vector<MessageRecord>& messages;
    MessageSink previous;
};

void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);

// A bitmap file: file header, a header of headerSize bytes (12, 40, 64, 108,
// 124), optional masks, colour table (entryBytes per entry) and pixel bytes.
struct BmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> colors; // 0x00RRGGBB
    std::vector<uint32_t> masks;  // red, green, blue: after a 40-byte header, inside longer ones
    Bytes pixels;
    int32_t dataOffset = -1; // -1: right after the table
};
Bytes BuildBmp(const BmpSpec& bmpFile);

// Pads rows of packed pixel bytes to 4 bytes each.
Bytes PadRows(const std::vector<Bytes>& rows);

// Loads a file into the current-image state from a clean state.
bool LoadForTest(const std::string& path);
// The same for a display of depth bits and the preview (window = false) or
// window load (window = true).
bool LoadForTestAt(const std::string& path, int depth, bool window);

// Pixel access to a record; y counts from the top row, the result is 0x00RRGGBB.
uint32_t PixelAt(HGLOBAL image, int x, int y);
// The raw value (index or packed pixel) at (x, y) from the top.
uint32_t RawPixelAt(HGLOBAL image, int x, int y);
BITMAPINFOHEADER HeaderOf(HGLOBAL image);

// The pixel rows of a record as stored (bottom row first, stride bytes each:
// stride x height bytes after the colour table).
Bytes RecordPixelBytes(HGLOBAL image);
// The colour table of a record (biClrUsed entries, or 2^bits up to 8 bits)
// as 0x00RRGGBB values; empty above 8 bits.
std::vector<uint32_t> RecordColors(HGLOBAL image);
