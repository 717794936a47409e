// The Orientation tag of a JPEG file's Exif segment: the APP1 payload holds
// "Exif", two zero bytes and a TIFF header (either byte order) whose first
// directory may carry tag 274. Every offset and count comes from the file and
// is checked against the payload before it is used.
#include "formats/library/jpeg_format.h"

#include "core/byte_order.h"

#include <cstring>

namespace {
const size_t kExifHeader = 6; // "Exif" and two zero bytes

struct TiffView {
    const uint8_t* data;
    size_t size;
    bool big; // "MM": Motorola byte order
};

uint16_t Get16(const TiffView& v, size_t at) {
    return v.big ? Be16(v.data + at) : Le16(v.data + at);
}
uint32_t Get32(const TiffView& v, size_t at) {
    return v.big ? Be32(v.data + at) : Le32(v.data + at);
}
} // namespace

int ExifOrientation(const uint8_t* payload, size_t size) {
    if (!payload || size < kExifHeader + 8 || std::memcmp(payload, "Exif\0\0", kExifHeader) != 0)
        return 0;
    TiffView v = {payload + kExifHeader, size - kExifHeader, false};
    if (std::memcmp(v.data, "MM", 2) == 0)
        v.big = true;
    else if (std::memcmp(v.data, "II", 2) != 0)
        return 0;
    if (Get16(v, 2) != 42) return 0;
    const uint32_t directory = Get32(v, 4);
    if (directory < 8 || directory > v.size || v.size - directory < 2) return 0;
    const uint32_t entries = Get16(v, directory);
    // Entries past the end of a damaged segment are not looked at.
    const size_t fit = (v.size - directory - 2) / 12;
    for (size_t i = 0; i < entries && i < fit; i++) {
        const size_t entry = directory + 2 + 12 * i;
        if (Get16(v, entry) != 274) continue;
        // A SHORT of count 1 sits in the first two bytes of the value field.
        if (Get16(v, entry + 2) != 3 || Get32(v, entry + 4) != 1) return 0;
        const int value = Get16(v, entry + 8);
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}
