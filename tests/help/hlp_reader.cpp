#include "hlp_reader.h"

#include <algorithm>
#include <set>

uint16_t HlpU16(const Bytes& b, size_t at) {
    return uint16_t(b.at(at) | (b.at(at + 1) << 8));
}

uint32_t HlpU32(const Bytes& b, size_t at) {
    return uint32_t(HlpU16(b, at)) | (uint32_t(HlpU16(b, at + 2)) << 16);
}

namespace {
bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

bool ReadFileAt(const Bytes& file, uint32_t at, HlpInternalFile* f, std::string* error) {
    if (uint64_t(at) + 9 > file.size()) return Fail(error, "file header outside the file");
    f->header = at;
    f->reserved = HlpU32(file, at);
    f->used = HlpU32(file, at + 4);
    if (uint64_t(f->used) + 9 > f->reserved) return Fail(error, "used space beyond reserved");
    if (uint64_t(at) + f->reserved > file.size()) return Fail(error, "internal file too long");
    f->content.assign(file.begin() + long(at) + 9, file.begin() + long(at) + 9 + long(f->used));
    return true;
}

// One entry at p in page (bounds checked): key, then leaf value or page number.
bool SplitEntry(const Bytes& page, size_t* p, const HlpTreeFormat& format, bool leaf,
                HlpTreeEntry* e) {
    size_t start = *p;
    if (format.stringKey) {
        while (*p < page.size() && page[*p]) ++*p;
        if (*p >= page.size()) return false;
        ++*p;
    } else {
        *p += 4;
        if (*p > page.size()) return false;
    }
    e->key.assign(page.begin() + long(start), page.begin() + long(*p));
    size_t valueStart = *p;
    if (!leaf) {
        *p += 2;
    } else if (format.valueSize < 0) {
        while (*p < page.size() && page[*p]) ++*p;
        if (*p >= page.size()) return false;
        ++*p;
    } else {
        *p += size_t(format.valueSize);
    }
    if (*p > page.size()) return false;
    e->value.assign(page.begin() + long(valueStart), page.begin() + long(*p));
    return true;
}

struct TreeWalk {
    const std::vector<Bytes>* pages;
    const HlpTreeFormat* format;
    unsigned levels;
    std::vector<unsigned> leaves;
    std::vector<HlpTreeEntry> entries;
    std::set<unsigned> seen;
};

// Walks the subtree at page; gives its first key.
bool Walk(TreeWalk& w, unsigned page, unsigned depth, Bytes* firstKey, std::string* error) {
    if (page >= w.pages->size()) return Fail(error, "page number beyond the tree");
    if (!w.seen.insert(page).second) return Fail(error, "a page is reached twice");
    const Bytes& p = (*w.pages)[page];
    bool leaf = depth == w.levels;
    unsigned unused = HlpU16(p, 0);
    unsigned n = HlpU16(p, 2);
    size_t at = leaf ? 8 : 6;
    if (leaf) {
        w.leaves.push_back(page);
        for (unsigned i = 0; i < n; i++) {
            HlpTreeEntry e;
            if (!SplitEntry(p, &at, *w.format, true, &e)) return Fail(error, "leaf overflows");
            if (i == 0) *firstKey = e.key;
            w.entries.push_back(e);
        }
    } else {
        Bytes childKey;
        if (!Walk(w, HlpU16(p, 4), depth + 1, firstKey, error)) return false;
        for (unsigned i = 0; i < n; i++) {
            HlpTreeEntry e;
            if (!SplitEntry(p, &at, *w.format, false, &e)) return Fail(error, "index overflows");
            if (!Walk(w, HlpU16(e.value, 0), depth + 1, &childKey, error)) return false;
            if (childKey != e.key) return Fail(error, "index key is not its child's first key");
        }
    }
    if (at + unused != p.size()) return Fail(error, "page entries and free bytes do not fill it");
    return true;
}
} // namespace

bool ReadHlpContainer(const Bytes& file, HlpContainer* out, std::string* error) {
    if (file.size() < 16 || HlpU32(file, 0) != 0x00035F3F) return Fail(error, "not a help file");
    if (HlpU32(file, 12) != file.size()) return Fail(error, "header's file size is wrong");
    out->directoryStart = HlpU32(file, 4);
    HlpInternalFile directory;
    if (!ReadFileAt(file, out->directoryStart, &directory, error)) return false;
    HlpTree tree;
    if (!ReadHlpTree(directory.content, {true, 4}, &tree, error)) return false;
    std::vector<std::pair<uint32_t, uint32_t>> spans = {
        {0, 16}, {directory.header, directory.header + directory.reserved}};
    for (const HlpTreeEntry& e : tree.entries) {
        std::string name(e.key.begin(), e.key.end() - 1);
        HlpInternalFile f;
        if (!ReadFileAt(file, HlpU32(e.value, 0), &f, error)) return false;
        spans.push_back({f.header, f.header + f.reserved});
        out->files[name] = f;
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); i++)
        if (spans[i].first < spans[i - 1].second) return Fail(error, "internal files overlap");
    return true;
}

bool ReadHlpTree(const Bytes& tree, const HlpTreeFormat& format, HlpTree* out, std::string* error) {
    if (tree.size() < 38 || HlpU16(tree, 0) != 0x293B) return Fail(error, "not a B+ tree");
    out->pageSize = HlpU16(tree, 4);
    unsigned root = HlpU16(tree, 26);
    out->pages = HlpU16(tree, 30);
    out->levels = HlpU16(tree, 32);
    uint32_t total = HlpU32(tree, 34);
    if (out->pageSize < 16 || out->levels < 1 || root >= out->pages)
        return Fail(error, "bad tree header");
    if (38 + size_t(out->pages) * out->pageSize != tree.size())
        return Fail(error, "pages do not match the tree's size");
    std::vector<Bytes> pages;
    for (unsigned i = 0; i < out->pages; i++) {
        size_t at = 38 + size_t(i) * out->pageSize;
        pages.emplace_back(tree.begin() + long(at), tree.begin() + long(at + out->pageSize));
    }
    TreeWalk w{&pages, &format, out->levels, {}, {}, {}};
    Bytes first;
    if (!Walk(w, root, 1, &first, error)) return false;
    if (w.seen.size() != out->pages) return Fail(error, "pages outside the tree");
    if (w.entries.size() != total) return Fail(error, "entry count differs from the header");
    // The leaf chain: from the first leaf by next-page links, back links matching.
    unsigned page = w.leaves.front(), previous = 0xFFFF;
    for (unsigned leaf : w.leaves) {
        if (page != leaf) return Fail(error, "leaf chain out of order");
        if (HlpU16(pages[page], 4) != previous) return Fail(error, "leaf back link wrong");
        previous = page;
        page = HlpU16(pages[page], 6);
    }
    if (page != 0xFFFF) return Fail(error, "leaf chain does not end");
    out->entries = w.entries;
    return true;
}

namespace {
const size_t kBlockData = 4096 - 12;

size_t DataPos(uint32_t topicPos) {
    return size_t((topicPos - 12) >> 14) * kBlockData + ((topicPos - 12) & 0x3FFF);
}

bool CompressedUShort(const Bytes& b, size_t* at, unsigned* v) {
    if (*at >= b.size()) return false;
    if (b[*at] & 1) {
        if (*at + 2 > b.size()) return false;
        *v = HlpU16(b, *at) / 2;
        *at += 2;
    } else {
        *v = b[*at] / 2;
        *at += 1;
    }
    return true;
}

bool CompressedLong(const Bytes& b, size_t* at, long* v) {
    if (*at + 2 > b.size()) return false;
    if (b[*at] & 1) {
        if (*at + 4 > b.size()) return false;
        *v = long(HlpU32(b, *at) / 2) - 0x40000000L;
        *at += 4;
    } else {
        *v = long(HlpU16(b, *at) / 2) - 16384;
        *at += 2;
    }
    return true;
}

// Paragraph settings: which compressed shorts follow (one byte each here).
bool SkipParagraphInfo(const Bytes& d1, size_t* at) {
    *at += 4; // two unknown bytes and an id
    if (*at + 2 > d1.size()) return false;
    unsigned bits = HlpU16(d1, *at);
    *at += 2;
    if (bits & 0x0001) {
        long unused;
        if (!CompressedLong(d1, at, &unused)) return false;
    }
    for (unsigned bit : {0x0002u, 0x0004u, 0x0008u, 0x0010u, 0x0020u, 0x0040u})
        if (bits & bit) {
            if (*at >= d1.size()) return false;
            *at += (d1[*at] & 1) ? 2 : 1;
        }
    return !(bits & 0x0300); // borders and tabs are not written
}

bool ReadText(const Bytes& d1, const Bytes& d2, HlpParagraphText* p, std::string* error) {
    size_t at = 0;
    long size;
    unsigned length;
    if (!CompressedLong(d1, &at, &size) || !CompressedUShort(d1, &at, &length))
        return Fail(error, "text record header cut short");
    if (size_t(size) != d2.size() || length != d2.size())
        return Fail(error, "text sizes differ from the text");
    if (!SkipParagraphInfo(d1, &at)) return Fail(error, "paragraph settings unreadable");
    size_t text = 0;
    bool inLink = false;
    while (true) {
        size_t end = text;
        while (end < d2.size() && d2[end]) end++;
        if (end >= d2.size()) return Fail(error, "text string not terminated");
        std::string s(d2.begin() + long(text), d2.begin() + long(end));
        text = end + 1;
        p->text += s;
        if (inLink) p->links.back().text += s;
        if (at >= d1.size()) return Fail(error, "formatting commands cut short");
        uint8_t command = d1[at++];
        if (command == 0xFF) break;
        switch (command) {
        case 0x80:
            if (at + 2 > d1.size()) return Fail(error, "font command cut short");
            p->font = HlpU16(d1, at);
            at += 2;
            break;
        case 0x82:
            break;
        case 0xE3:
            if (at + 4 > d1.size()) return Fail(error, "jump cut short");
            p->links.push_back({"", int32_t(HlpU32(d1, at))});
            at += 4;
            inLink = true;
            break;
        case 0x89:
            if (!inLink) return Fail(error, "end of a link that did not start");
            inLink = false;
            break;
        default:
            return Fail(error, "unexpected formatting command " + std::to_string(command));
        }
    }
    if (at != d1.size() || text != d2.size()) return Fail(error, "text record has extra bytes");
    return true;
}
} // namespace

bool ReadHlpTopics(const Bytes& topic, std::vector<HlpTopicText>* out, std::string* error) {
    if (topic.empty() || topic.size() % 4096) return Fail(error, "|TOPIC is not whole blocks");
    Bytes data;
    for (size_t b = 0; b < topic.size() / 4096; b++)
        data.insert(data.end(), topic.begin() + long(b * 4096 + 12),
                    topic.begin() + long((b + 1) * 4096));
    if (HlpU32(topic, 4) != 12) return Fail(error, "first block does not start at 12");
    uint32_t pos = 12, previous = 0xFFFFFFFFu;
    size_t block = 0;
    uint32_t characters = 0;
    size_t guard = 0;
    while (pos != 0xFFFFFFFFu) {
        if (++guard > 100000) return Fail(error, "record chain loops");
        size_t at = DataPos(pos);
        if (at + 21 > data.size()) return Fail(error, "record outside |TOPIC");
        uint32_t blockSize = HlpU32(data, at), len2 = HlpU32(data, at + 4);
        uint32_t len1 = HlpU32(data, at + 16);
        uint8_t type = data[at + 20];
        if (HlpU32(data, at + 8) != previous) return Fail(error, "record back link wrong");
        if (len1 < 21 || len1 > blockSize || uint64_t(at) + blockSize > data.size() ||
            blockSize - len1 != len2)
            return Fail(error, "record sizes inconsistent");
        Bytes d1(data.begin() + long(at + 21), data.begin() + long(at + len1));
        Bytes d2(data.begin() + long(at + len1), data.begin() + long(at + blockSize));
        if (at / kBlockData != block) {
            block = at / kBlockData;
            characters = 0;
        }
        if (type == 2) {
            if (d1.size() != 28) return Fail(error, "topic header of the wrong size");
            HlpTopicText t;
            t.offset = uint32_t(block * 0x8000 + characters);
            t.title.assign(d2.begin(), d2.end());
            t.browseBack = HlpU32(d1, 4);
            t.browseNext = HlpU32(d1, 8);
            out->push_back(t);
        } else if (type == 0x20) {
            if (out->empty()) return Fail(error, "text before the first topic");
            HlpParagraphText p;
            if (!ReadText(d1, d2, &p, error)) return false;
            out->back().paragraphs.push_back(p);
            characters += uint32_t(d2.size());
        } else {
            return Fail(error, "unknown record type " + std::to_string(type));
        }
        previous = pos;
        pos = HlpU32(data, at + 12);
    }
    return true;
}
