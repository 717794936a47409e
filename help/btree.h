// The B+ trees of a WinHelp file: the internal directory and the |CONTEXT,
// |KWBTREE and |TTLBTREE files are each one header and fixed-size pages,
// leaves linked in key order and index pages above them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

struct BTreeEntry {
    Bytes key;   // as stored in leaf and index pages
    Bytes value; // stored after the key in leaf pages only
};

struct BTreeLayout {
    uint16_t pageSize;
    uint16_t flags;        // 0x0002, plus 0x0400 for the directory
    const char* structure; // the format letters of an entry, e.g. "z4"
};

// The tree over entries, which must already be in key order. Also gives the
// first page of each leaf with the number of entries before it (for |KWMAP).
// False when an entry does not fit a page.
bool BuildBTree(const std::vector<BTreeEntry>& entries, const BTreeLayout& layout, Bytes* out,
                std::vector<std::pair<uint32_t, uint16_t>>* leafStarts, std::string* error);

void PutU8(Bytes& b, unsigned v);
void PutU16(Bytes& b, unsigned v);
void PutU32(Bytes& b, uint32_t v);
void PutString(Bytes& b, const std::string& s); // with its terminating zero
void SetU16(Bytes& b, size_t at, unsigned v);
void SetU32(Bytes& b, size_t at, uint32_t v);
