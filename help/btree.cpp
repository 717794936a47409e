#include "btree.h"

#include <cstring>

void PutU8(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
}

void PutU16(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void PutU32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
}

void PutString(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

void SetU16(Bytes& b, size_t at, unsigned v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void SetU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

namespace {
// One index-page entry per child: the child's first key and its page number.
struct Child {
    Bytes firstKey;
    uint16_t page;
};
} // namespace

bool BuildBTree(const std::vector<BTreeEntry>& entries, const BTreeLayout& layout, Bytes* out,
                std::vector<std::pair<uint32_t, uint16_t>>* leafStarts, std::string* error) {
    const size_t pageSize = layout.pageSize;
    std::vector<Bytes> pages;
    std::vector<Child> level;
    if (leafStarts) leafStarts->clear();

    // Leaves: as many entries as fit, in order; an empty tree has one empty leaf.
    size_t i = 0;
    do {
        Bytes page;
        PutU16(page, 0); // free bytes, set below
        PutU16(page, 0); // entries
        PutU16(page, pages.empty() ? 0xFFFF : unsigned(pages.size() - 1));
        PutU16(page, 0xFFFF); // next leaf, set below
        size_t first = i;
        while (i < entries.size()) {
            size_t size = entries[i].key.size() + entries[i].value.size();
            if (page.size() + size > pageSize) break;
            page.insert(page.end(), entries[i].key.begin(), entries[i].key.end());
            page.insert(page.end(), entries[i].value.begin(), entries[i].value.end());
            i++;
        }
        if (i == first && i < entries.size()) {
            *error = "a B+ tree entry does not fit one page";
            return false;
        }
        SetU16(page, 0, unsigned(pageSize - page.size()));
        SetU16(page, 2, unsigned(i - first));
        uint16_t number = uint16_t(pages.size());
        if (!pages.empty()) SetU16(pages.back(), 6, number);
        if (leafStarts) leafStarts->push_back({uint32_t(first), number});
        level.push_back({first < entries.size() ? entries[first].key : Bytes(), number});
        page.resize(pageSize, 0);
        pages.push_back(page);
    } while (i < entries.size());

    // Index levels until one page is the root.
    unsigned levels = 1;
    while (level.size() > 1) {
        std::vector<Child> above;
        size_t c = 0;
        while (c < level.size()) {
            Bytes page;
            PutU16(page, 0);
            PutU16(page, 0);
            PutU16(page, level[c].page); // the child before the first key
            Bytes firstKey = level[c].firstKey;
            c++;
            unsigned count = 0;
            while (c < level.size() && page.size() + level[c].firstKey.size() + 2 <= pageSize) {
                page.insert(page.end(), level[c].firstKey.begin(), level[c].firstKey.end());
                PutU16(page, level[c].page);
                c++;
                count++;
            }
            if (count == 0 && c < level.size()) {
                *error = "a B+ tree key does not fit an index page";
                return false;
            }
            SetU16(page, 0, unsigned(pageSize - page.size()));
            SetU16(page, 2, count);
            above.push_back({firstKey, uint16_t(pages.size())});
            page.resize(pageSize, 0);
            pages.push_back(page);
        }
        level = above;
        levels++;
    }
    if (pages.size() > 0x7FFF) {
        *error = "a B+ tree has too many pages";
        return false;
    }

    out->clear();
    PutU16(*out, 0x293B);
    PutU16(*out, layout.flags);
    PutU16(*out, layout.pageSize);
    char structure[16] = {};
    std::strncpy(structure, layout.structure, sizeof structure - 1);
    out->insert(out->end(), structure, structure + 16);
    PutU16(*out, 0);             // must be zero
    PutU16(*out, 0);             // page splits
    PutU16(*out, level[0].page); // root
    PutU16(*out, 0xFFFF);        // must be -1
    PutU16(*out, unsigned(pages.size()));
    PutU16(*out, levels);
    PutU32(*out, uint32_t(entries.size()));
    for (const Bytes& page : pages) out->insert(out->end(), page.begin(), page.end());
    return true;
}
