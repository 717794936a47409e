// A small reader of Windows Help 3.1 files for the help compiler's tests,
// written from the published descriptions of the format: the container and its
// internal directory, B+ trees (checked page by page) and the text of |TOPIC.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

struct HlpInternalFile {
    uint32_t header = 0; // offset of its 9-byte file header
    uint32_t reserved = 0;
    uint32_t used = 0;
    Bytes content;
};

struct HlpContainer {
    uint32_t directoryStart = 0;
    std::map<std::string, HlpInternalFile> files; // by name, from the directory
};

// Reads the header and the internal directory; checks that every internal
// file lies inside the file and that no two overlap.
bool ReadHlpContainer(const Bytes& file, HlpContainer* out, std::string* error);

// How the entries of a tree are laid out: a key of 4 bytes or a string, and a
// leaf value of a fixed size or a string.
struct HlpTreeFormat {
    bool stringKey;
    int valueSize; // -1 for a string
};

struct HlpTreeEntry {
    Bytes key;
    Bytes value;
};

struct HlpTree {
    unsigned pageSize = 0, levels = 0, pages = 0;
    std::vector<HlpTreeEntry> entries; // in leaf order
};

// Reads a B+ tree, checking its header, that every page's entries and free
// bytes add up to the page size, that the index keys are the first keys of
// their children and that the leaf chain holds the same entries.
bool ReadHlpTree(const Bytes& tree, const HlpTreeFormat& format, HlpTree* out, std::string* error);

struct HlpLink {
    std::string text;
    int32_t hash;
};

struct HlpParagraphText {
    unsigned font = 0;
    std::string text;
    std::vector<HlpLink> links;
};

struct HlpTopicText {
    uint32_t offset = 0; // TOPICOFFSET of its header, as WinHelp counts it
    std::string title;
    uint32_t browseBack = 0, browseNext = 0;
    std::vector<HlpParagraphText> paragraphs;
};

// Walks the records of an uncompressed |TOPIC (4 KB blocks) from the first.
bool ReadHlpTopics(const Bytes& topic, std::vector<HlpTopicText>* out, std::string* error);

uint16_t HlpU16(const Bytes& b, size_t at);
uint32_t HlpU32(const Bytes& b, size_t at);
