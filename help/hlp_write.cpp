#include "hlp_write.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

// A record of |TOPIC: a topic header (2) or a paragraph of text (0x20).
struct Record {
    uint8_t type = 0;
    Bytes data1; // LinkData1 after the 21-byte link header
    Bytes data2; // LinkData2: the title, or the paragraph's strings
    size_t topic = 0;
    uint32_t length = 0; // characters, counted in topic offsets
    size_t pos = 0;      // in the concatenated block data
};

struct Topics {
    std::vector<Record> records;
    std::vector<size_t> headers;   // record index of each topic's header
    std::vector<uint32_t> offsets; // each topic's TOPICOFFSET
    Bytes file;                    // |TOPIC
};

uint32_t TopicPos(size_t pos) {
    return uint32_t(((pos / kTopicBlockData) << 14) + pos % kTopicBlockData + 12);
}

// The compressed numbers of paragraph records.
void PutCompressedLong(Bytes& b, uint32_t v) {
    if (v < 16384) {
        PutU16(b, (v + 16384) * 2);
    } else {
        PutU32(b, v * 2 + 0x80000001u);
    }
}

void PutCompressedUShort(Bytes& b, unsigned v) {
    if (v < 128) {
        PutU8(b, v * 2);
    } else {
        PutU16(b, v * 2 + 1);
    }
}

// Only the one-byte form: WinHelp readers round the two-byte form of
// negative values differently.
void PutCompressedShort(Bytes& b, int v) {
    PutU8(b, unsigned((v + 64) * 2));
}

struct ParagraphStyle {
    HelpFont font;
    int above, below, left, firstLine; // half points; 0 leaves it out
};

ParagraphStyle StyleOf(HelpParagraphKind kind) {
    switch (kind) {
    case PARA_TITLE:
        return {FONT_TITLE, 0, 12, 0, 0};
    case PARA_HEADING:
        return {FONT_HEADING, 10, 4, 0, 0};
    case PARA_ITEM:
        return {FONT_BODY, 0, 4, 30, -12};
    case PARA_BODY:
        break;
    }
    return {FONT_BODY, 0, 8, 0, 0};
}

Record TextRecord(const HelpParagraph& paragraph, size_t topic) {
    ParagraphStyle style = StyleOf(paragraph.kind);
    Bytes strings, commands;
    std::string pending;
    // Each formatting command follows one string, often an empty one.
    auto command = [&](std::initializer_list<uint8_t> bytes) {
        strings.insert(strings.end(), pending.begin(), pending.end());
        strings.push_back(0);
        commands.insert(commands.end(), bytes);
        pending.clear();
    };
    command({0x80, uint8_t(style.font), 0});
    if (paragraph.kind == PARA_ITEM) pending = kHelpBullet;
    for (const HelpRun& run : paragraph.runs) {
        if (run.target.empty()) {
            pending += run.text;
            continue;
        }
        uint32_t hash = uint32_t(HelpContextHash(run.target));
        command(
            {0xE3, uint8_t(hash), uint8_t(hash >> 8), uint8_t(hash >> 16), uint8_t(hash >> 24)});
        pending = run.text;
        command({0x89});
    }
    command({0x82});
    command({0xFF});

    Record r;
    r.type = 0x20;
    r.topic = topic;
    r.length = uint32_t(strings.size());
    PutCompressedLong(r.data1, r.length);
    PutCompressedUShort(r.data1, r.length);
    PutU8(r.data1, 0x00);
    PutU8(r.data1, 0x80);
    PutU16(r.data1, 0);
    unsigned bits = 0;
    if (style.above) bits |= 0x0002;
    if (style.below) bits |= 0x0004;
    if (style.left) bits |= 0x0010;
    if (style.firstLine) bits |= 0x0040;
    PutU16(r.data1, bits);
    if (style.above) PutCompressedShort(r.data1, style.above);
    if (style.below) PutCompressedShort(r.data1, style.below);
    if (style.left) PutCompressedShort(r.data1, style.left);
    if (style.firstLine) PutCompressedShort(r.data1, style.firstLine);
    r.data1.insert(r.data1.end(), commands.begin(), commands.end());
    r.data2 = strings;
    return r;
}

size_t RecordSize(const Record& r) {
    return 21 + r.data1.size() + r.data2.size();
}

bool BuildTopics(const HelpProject& project, Topics* t, std::string* error) {
    const size_t topicCount = project.topics.size();
    for (size_t i = 0; i < topicCount; i++) {
        const HelpTopic& topic = project.topics[i];
        Record header;
        header.type = 2;
        header.topic = i;
        header.data1.assign(28, 0); // filled once every position is known
        header.data2.assign(topic.title.begin(), topic.title.end());
        t->headers.push_back(t->records.size());
        t->records.push_back(header);
        for (const HelpParagraph& paragraph : topic.paragraphs)
            t->records.push_back(TextRecord(paragraph, i));
    }

    // Positions, and the topic offsets: the block number times 0x8000 plus
    // the characters of the text records that start earlier in that block.
    size_t pos = 0, block = 0;
    uint32_t characters = 0;
    for (Record& r : t->records) {
        r.pos = pos;
        if (pos / kTopicBlockData != block) {
            block = pos / kTopicBlockData;
            characters = 0;
        }
        if (r.type == 2) {
            if (characters >= 0x8000 || block >= 0x20000) {
                *error = "the help text is too long for topic offsets";
                return false;
            }
            t->offsets.push_back(uint32_t(block * 0x8000 + characters));
        } else {
            // The character count of a paragraph is a 15-bit number.
            if (r.length > 0x7FFF) {
                *error = "a paragraph is longer than 32767 characters";
                return false;
            }
            characters += r.length;
        }
        pos += RecordSize(r);
    }
    const size_t dataSize = pos;

    // Topic headers: size, browse sequence in source order, number, scrolling
    // region and next topic.
    for (size_t i = 0; i < topicCount; i++) {
        size_t first = t->headers[i];
        size_t last = i + 1 < topicCount ? t->headers[i + 1] : t->records.size();
        size_t end = i + 1 < topicCount ? t->records[last].pos : dataSize;
        Bytes& d = t->records[first].data1;
        SetU32(d, 0, uint32_t(end - t->records[first].pos));
        SetU32(d, 4, i > 0 ? t->offsets[i - 1] : 0xFFFFFFFFu);
        SetU32(d, 8, i + 1 < topicCount ? t->offsets[i + 1] : 0xFFFFFFFFu);
        SetU32(d, 12, uint32_t(i));
        SetU32(d, 16, 0xFFFFFFFFu);
        SetU32(d, 20, first + 1 < last ? TopicPos(t->records[first + 1].pos) : 0xFFFFFFFFu);
        SetU32(d, 24, i + 1 < topicCount ? TopicPos(t->records[last].pos) : 0xFFFFFFFFu);
    }

    Bytes data;
    for (size_t k = 0; k < t->records.size(); k++) {
        const Record& r = t->records[k];
        PutU32(data, uint32_t(RecordSize(r)));
        PutU32(data, uint32_t(r.data2.size()));
        PutU32(data, k > 0 ? TopicPos(t->records[k - 1].pos) : 0xFFFFFFFFu);
        PutU32(data, k + 1 < t->records.size() ? TopicPos(t->records[k + 1].pos) : 0xFFFFFFFFu);
        PutU32(data, uint32_t(21 + r.data1.size()));
        PutU8(data, r.type);
        data.insert(data.end(), r.data1.begin(), r.data1.end());
        data.insert(data.end(), r.data2.begin(), r.data2.end());
    }

    // Blocks: a header with the last record and topic header before the block
    // and the first record starting in it; records run on across blocks. The
    // last block is filled up with zeros.
    size_t blocks = (dataSize + kTopicBlockData - 1) / kTopicBlockData;
    for (size_t b = 0; b < blocks; b++) {
        uint32_t lastLink = 0xFFFFFFFFu, firstLink = 0xFFFFFFFFu, lastHeader = 0xFFFFFFFFu;
        for (const Record& r : t->records) {
            size_t rb = r.pos / kTopicBlockData;
            if (rb < b) {
                lastLink = TopicPos(r.pos);
                if (r.type == 2) lastHeader = TopicPos(r.pos);
            } else if (rb == b && firstLink == 0xFFFFFFFFu) {
                firstLink = TopicPos(r.pos);
            }
        }
        PutU32(t->file, lastLink);
        PutU32(t->file, firstLink);
        PutU32(t->file, lastHeader);
        size_t from = b * kTopicBlockData;
        size_t to = std::min(data.size(), from + kTopicBlockData);
        t->file.insert(t->file.end(), data.begin() + long(from), data.begin() + long(to));
        t->file.resize((b + 1) * kTopicBlockSize, 0);
    }
    return true;
}

Bytes SystemFile(const HelpProject& project, uint32_t contents) {
    Bytes b;
    PutU16(b, 0x036C); // magic
    PutU16(b, 21);     // Windows 3.1
    PutU16(b, 1);
    PutU32(b, 0); // no date, so that builds are reproducible
    PutU16(b, 0); // topic blocks of 4 KB, uncompressed
    auto record = [&](unsigned type, const Bytes& data) {
        PutU16(b, type);
        PutU16(b, unsigned(data.size()));
        b.insert(b.end(), data.begin(), data.end());
    };
    Bytes title;
    PutString(title, project.title);
    record(1, title);
    if (!project.copyright.empty()) {
        Bytes copyright;
        PutString(copyright, project.copyright);
        record(2, copyright);
    }
    Bytes start;
    PutU32(start, contents);
    record(3, start);
    // The main window, so that its caption is the help file's title: type,
    // name and caption given, position, size and colours left to the viewer.
    Bytes window(90, 0);
    SetU16(window, 0, 0x0007);
    auto field = [&](size_t at, size_t size, const std::string& text) {
        for (size_t i = 0; i < text.size() && i + 1 < size; i++) window[at + i] = uint8_t(text[i]);
    };
    field(2, 10, "primary");
    field(12, 9, "main");
    field(21, 51, project.title);
    record(6, window);
    return b;
}

Bytes FontFile() {
    struct Face {
        uint8_t attributes, halfPoints;
        uint8_t r, g, b;
    };
    const Face fonts[] = {
        {0, 20, 0, 0, 0},   // FONT_BODY: 10 points
        {1, 28, 0, 0, 128}, // FONT_TITLE: 14 points bold, dark blue
        {1, 22, 0, 0, 0},   // FONT_HEADING: 11 points bold
    };
    const size_t faceLength = 20;
    const size_t nFonts = sizeof fonts / sizeof fonts[0];
    Bytes b;
    PutU16(b, 1); // face names
    PutU16(b, unsigned(nFonts));
    PutU16(b, 8);
    PutU16(b, unsigned(8 + faceLength));
    std::string face = "Arial";
    face.resize(faceLength, '\0');
    b.insert(b.end(), face.begin(), face.end());
    for (const Face& f : fonts) {
        PutU8(b, f.attributes);
        PutU8(b, f.halfPoints);
        PutU8(b, 3); // swiss
        PutU16(b, 0);
        PutU8(b, f.r);
        PutU8(b, f.g);
        PutU8(b, f.b);
        PutU8(b, 255);
        PutU8(b, 255);
        PutU8(b, 255);
    }
    return b;
}

std::string Lower(const std::string& s) {
    std::string l = s;
    for (char& c : l) c = char(std::tolower(static_cast<unsigned char>(c)));
    return l;
}

struct Keyword {
    std::string text;
    std::vector<uint32_t> offsets;
};

} // namespace

bool WriteHelpFile(const HelpProject& project, Bytes* out, std::string* error) {
    if (project.topics.empty()) {
        *error = "no topics";
        return false;
    }
    Topics topics;
    if (!BuildTopics(project, &topics, error)) return false;

    std::vector<std::pair<std::string, Bytes>> files;
    files.push_back({"|SYSTEM", SystemFile(project, topics.offsets[0])});
    files.push_back({"|TOPIC", topics.file});
    files.push_back({"|FONT", FontFile()});

    // |CONTEXT: hashes in signed order, as WinHelp compares them.
    std::vector<std::pair<int32_t, uint32_t>> contexts;
    for (size_t i = 0; i < project.topics.size(); i++)
        contexts.push_back({HelpContextHash(project.topics[i].context), topics.offsets[i]});
    std::sort(contexts.begin(), contexts.end());
    std::vector<BTreeEntry> entries;
    for (const auto& c : contexts) {
        BTreeEntry e;
        PutU32(e.key, uint32_t(c.first));
        PutU32(e.value, c.second);
        entries.push_back(e);
    }
    Bytes tree;
    if (!BuildBTree(entries, {2048, 0x0002, "L4"}, &tree, nullptr, error)) return false;
    files.push_back({"|CONTEXT", tree});

    // |CTXOMAP: the numbers programs ask for.
    std::vector<std::pair<uint32_t, uint32_t>> maps;
    for (size_t i = 0; i < project.topics.size(); i++)
        for (uint32_t number : project.topics[i].mapNumbers)
            maps.push_back({number, topics.offsets[i]});
    std::sort(maps.begin(), maps.end());
    Bytes ctxomap;
    PutU16(ctxomap, unsigned(maps.size()));
    for (const auto& m : maps) {
        PutU32(ctxomap, m.first);
        PutU32(ctxomap, m.second);
    }
    files.push_back({"|CTXOMAP", ctxomap});

    // |TTLBTREE: titles by topic offset.
    entries.clear();
    for (size_t i = 0; i < project.topics.size(); i++) {
        BTreeEntry e;
        PutU32(e.key, topics.offsets[i]);
        PutString(e.value, project.topics[i].title);
        entries.push_back(e);
    }
    if (!BuildBTree(entries, {2048, 0x0002, "Lz"}, &tree, nullptr, error)) return false;
    files.push_back({"|TTLBTREE", tree});

    // Keywords: one entry per keyword whatever its case, sorted without
    // regard to case, pointing at its run of topic offsets in |KWDATA.
    std::map<std::string, Keyword> keywords;
    for (size_t i = 0; i < project.topics.size(); i++)
        for (const std::string& k : project.topics[i].keywords) {
            Keyword& keyword = keywords[Lower(k)];
            if (keyword.text.empty()) keyword.text = k;
            if (std::find(keyword.offsets.begin(), keyword.offsets.end(), topics.offsets[i]) ==
                keyword.offsets.end())
                keyword.offsets.push_back(topics.offsets[i]);
        }
    Bytes kwdata;
    entries.clear();
    for (const auto& k : keywords) {
        BTreeEntry e;
        PutString(e.key, k.second.text);
        PutU16(e.value, unsigned(k.second.offsets.size()));
        PutU32(e.value, uint32_t(kwdata.size()));
        for (uint32_t offset : k.second.offsets) PutU32(kwdata, offset);
        entries.push_back(e);
    }
    std::vector<std::pair<uint32_t, uint16_t>> leafStarts;
    if (!BuildBTree(entries, {2048, 0x0002, "F24"}, &tree, &leafStarts, error)) return false;
    Bytes kwmap;
    for (const auto& start : leafStarts) {
        PutU32(kwmap, start.first);
        PutU16(kwmap, start.second);
    }
    files.push_back({"|KWBTREE", tree});
    files.push_back({"|KWDATA", kwdata});
    files.push_back({"|KWMAP", kwmap});

    // The container: header, internal files, then the directory.
    out->clear();
    PutU32(*out, 0x00035F3F);
    PutU32(*out, 0); // directory offset, set below
    PutU32(*out, 0xFFFFFFFFu);
    PutU32(*out, 0); // file size, set below
    auto putFile = [&](const Bytes& content) {
        size_t at = out->size();
        PutU32(*out, uint32_t(content.size() + 9));
        PutU32(*out, uint32_t(content.size()));
        PutU8(*out, 4);
        out->insert(out->end(), content.begin(), content.end());
        return uint32_t(at);
    };
    std::vector<std::pair<std::string, uint32_t>> directory;
    for (const auto& f : files) directory.push_back({f.first, putFile(f.second)});
    std::sort(directory.begin(), directory.end());
    entries.clear();
    for (const auto& d : directory) {
        BTreeEntry e;
        PutString(e.key, d.first);
        PutU32(e.value, d.second);
        entries.push_back(e);
    }
    if (!BuildBTree(entries, {1024, 0x0402, "z4"}, &tree, nullptr, error)) return false;
    SetU32(*out, 4, putFile(tree));
    SetU32(*out, 12, uint32_t(out->size()));
    return true;
}
