// The help compiler: the help text of the repository compiled and read back
// with an independent reader, and the faults that must stop the build.
#include "help_source.h"
#include "hlp_reader.h"
#include "hlp_write.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadSource() {
    std::ifstream in(ZENDRA_HELP_SOURCE, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The repository's help text, parsed, compiled and its container read.
struct Compiled {
    HelpProject project;
    Bytes file;
    HlpContainer container;
};

const Compiled& RepositoryHelp() {
    static Compiled c;
    static bool done = false;
    if (done) return c;
    done = true;
    std::vector<HelpError> errors;
    std::string source = ReadSource();
    EXPECT_FALSE(source.empty()) << ZENDRA_HELP_SOURCE;
    EXPECT_TRUE(ParseHelpSource(source, &c.project, &errors));
    for (const HelpError& e : errors) ADD_FAILURE() << e.line << ": " << e.message;
    std::string error;
    EXPECT_TRUE(WriteHelpFile(c.project, &c.file, &error)) << error;
    EXPECT_TRUE(ReadHlpContainer(c.file, &c.container, &error)) << error;
    return c;
}

const Bytes& Internal(const Compiled& c, const std::string& name) {
    static const Bytes none;
    auto it = c.container.files.find(name);
    EXPECT_NE(it, c.container.files.end()) << name;
    return it == c.container.files.end() ? none : it->second.content;
}

std::vector<HlpTopicText> Topics(const Compiled& c) {
    std::vector<HlpTopicText> topics;
    std::string error;
    EXPECT_TRUE(ReadHlpTopics(Internal(c, "|TOPIC"), &topics, &error)) << error;
    return topics;
}

std::string Lower(std::string s) {
    for (char& ch : s) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::string KeyString(const Bytes& key) {
    return std::string(key.begin(), key.end() - 1); // without its terminating zero
}

} // namespace

TEST(HelpFile, DirectoryListsEveryInternalFileWhereItIs) {
    const Compiled& c = RepositoryHelp();
    std::set<std::string> names;
    for (const auto& f : c.container.files) names.insert(f.first);
    EXPECT_EQ(names, (std::set<std::string>{"|CONTEXT", "|CTXOMAP", "|FONT", "|KWBTREE", "|KWDATA",
                                            "|KWMAP", "|SYSTEM", "|TOPIC", "|TTLBTREE"}));
    for (const auto& f : c.container.files) {
        // Each file header sits where the directory says, sized as it claims.
        EXPECT_GE(f.second.header, 16u) << f.first;
        EXPECT_EQ(f.second.reserved, f.second.used + 9) << f.first;
        EXPECT_LE(f.second.header + f.second.reserved, c.container.directoryStart) << f.first;
        EXPECT_EQ(c.file[f.second.header + 8], 4) << f.first;
    }
    // |SYSTEM: WinHelp 3.1, uncompressed, the title and the contents topic.
    const Bytes& system = Internal(c, "|SYSTEM");
    ASSERT_GE(system.size(), 12u);
    EXPECT_EQ(HlpU16(system, 0), 0x036C);
    EXPECT_EQ(HlpU16(system, 2), 21);
    EXPECT_EQ(HlpU16(system, 4), 1);
    EXPECT_EQ(HlpU16(system, 10), 0);
    std::map<unsigned, Bytes> records;
    for (size_t at = 12; at + 4 <= system.size();) {
        unsigned type = HlpU16(system, at), size = HlpU16(system, at + 2);
        ASSERT_LE(at + 4 + size, system.size());
        records[type].assign(system.begin() + long(at + 4), system.begin() + long(at + 4 + size));
        at += 4 + size;
    }
    EXPECT_EQ(std::string(records[1].begin(), records[1].end()), std::string("Zendra Help") + '\0');
    ASSERT_EQ(records[3].size(), 4u);
    // The main window's definition: its name and the caption.
    ASSERT_EQ(records[6].size(), 90u);
    EXPECT_EQ(HlpU16(records[6], 0), 0x0007);
    EXPECT_STREQ(reinterpret_cast<const char*>(&records[6][12]), "main");
    EXPECT_STREQ(reinterpret_cast<const char*>(&records[6][21]), "Zendra Help");
    std::vector<HlpTopicText> topics = Topics(c);
    ASSERT_FALSE(topics.empty());
    EXPECT_EQ(HlpU32(records[3], 0), topics[0].offset);
    EXPECT_EQ(topics[0].title, "Zendra Help Contents");
}

TEST(HelpFile, TreesAreSortedAndTheirPagesFit) {
    const Compiled& c = RepositoryHelp();
    auto asString = [](const Bytes& k) { return KeyString(k); };
    struct Case {
        const char* name;
        HlpTreeFormat format;
        unsigned pageSize;
        // Whether key a must come before key b.
        bool (*before)(const Bytes& a, const Bytes& b);
    };
    const Case cases[] = {
        {"|CONTEXT",
         {false, 4},
         2048,
         [](const Bytes& a, const Bytes& b) {
             return int32_t(HlpU32(a, 0)) < int32_t(HlpU32(b, 0));
         }},
        {"|TTLBTREE",
         {false, -1},
         2048,
         [](const Bytes& a, const Bytes& b) { return HlpU32(a, 0) < HlpU32(b, 0); }},
        {"|KWBTREE",
         {true, 6},
         2048,
         [](const Bytes& a, const Bytes& b) { return Lower(KeyString(a)) < Lower(KeyString(b)); }},
    };
    for (const Case& k : cases) {
        HlpTree tree;
        std::string error;
        ASSERT_TRUE(ReadHlpTree(Internal(c, k.name), k.format, &tree, &error)) << k.name << error;
        EXPECT_EQ(tree.pageSize, k.pageSize) << k.name;
        ASSERT_FALSE(tree.entries.empty()) << k.name;
        for (size_t i = 1; i < tree.entries.size(); i++)
            EXPECT_TRUE(k.before(tree.entries[i - 1].key, tree.entries[i].key)) << k.name << i;
    }
    // The directory itself: 1 KB pages, names in byte order.
    const Bytes& file = c.file;
    Bytes directory(file.begin() + c.container.directoryStart + 9, file.end());
    HlpTree tree;
    std::string error;
    ASSERT_TRUE(ReadHlpTree(directory, {true, 4}, &tree, &error)) << error;
    EXPECT_EQ(tree.pageSize, 1024u);
    EXPECT_EQ(HlpU16(directory, 2), 0x0402);
    for (size_t i = 1; i < tree.entries.size(); i++)
        EXPECT_LT(asString(tree.entries[i - 1].key), asString(tree.entries[i].key));
}

TEST(HelpFile, EveryContextAndMapNumberStartsItsTopic) {
    const Compiled& c = RepositoryHelp();
    std::vector<HlpTopicText> topics = Topics(c);
    ASSERT_EQ(topics.size(), c.project.topics.size());
    std::map<uint32_t, std::string> titleAt;
    for (const HlpTopicText& t : topics) titleAt[t.offset] = t.title;
    ASSERT_EQ(titleAt.size(), topics.size()) << "two topics share an offset";

    HlpTree context;
    std::string error;
    ASSERT_TRUE(ReadHlpTree(Internal(c, "|CONTEXT"), {false, 4}, &context, &error)) << error;
    ASSERT_EQ(context.entries.size(), c.project.topics.size());
    for (const HelpTopic& topic : c.project.topics) {
        int32_t hash = HelpContextHash(topic.context);
        auto entry =
            std::find_if(context.entries.begin(), context.entries.end(),
                         [&](const HlpTreeEntry& e) { return int32_t(HlpU32(e.key, 0)) == hash; });
        ASSERT_NE(entry, context.entries.end()) << topic.context;
        uint32_t offset = HlpU32(entry->value, 0);
        ASSERT_TRUE(titleAt.count(offset)) << topic.context << " points inside a topic";
        EXPECT_EQ(titleAt[offset], topic.title) << topic.context;
    }

    // |CTXOMAP: the program's context 102 opens the browser dialog's topic.
    const Bytes& map = Internal(c, "|CTXOMAP");
    ASSERT_GE(map.size(), 2u);
    unsigned n = HlpU16(map, 0);
    ASSERT_EQ(map.size(), 2 + 8 * size_t(n));
    bool found102 = false;
    for (unsigned i = 0; i < n; i++) {
        uint32_t number = HlpU32(map, 2 + 8 * i), offset = HlpU32(map, 6 + 8 * i);
        ASSERT_TRUE(titleAt.count(offset)) << number;
        if (number == 102) {
            found102 = true;
            EXPECT_EQ(titleAt[offset], "The browser dialog");
        }
    }
    EXPECT_TRUE(found102);

    // |TTLBTREE holds each topic's title under its offset.
    HlpTree titles;
    ASSERT_TRUE(ReadHlpTree(Internal(c, "|TTLBTREE"), {false, -1}, &titles, &error)) << error;
    ASSERT_EQ(titles.entries.size(), topics.size());
    for (const HlpTreeEntry& e : titles.entries)
        EXPECT_EQ(KeyString(e.value), titleAt[HlpU32(e.key, 0)]);
}

TEST(HelpFile, TopicTextsReadBackAsWritten) {
    const Compiled& c = RepositoryHelp();
    std::vector<HlpTopicText> topics = Topics(c);
    ASSERT_EQ(topics.size(), c.project.topics.size());
    for (size_t i = 0; i < topics.size(); i++) {
        const HelpTopic& source = c.project.topics[i];
        const HlpTopicText& read = topics[i];
        EXPECT_EQ(read.title, source.title);
        // The browse sequence runs through the topics in source order.
        EXPECT_EQ(read.browseBack, i > 0 ? topics[i - 1].offset : 0xFFFFFFFFu) << source.title;
        EXPECT_EQ(read.browseNext, i + 1 < topics.size() ? topics[i + 1].offset : 0xFFFFFFFFu);
        ASSERT_EQ(read.paragraphs.size(), source.paragraphs.size()) << source.title;
        EXPECT_EQ(read.paragraphs[0].text, source.title);
        EXPECT_EQ(read.paragraphs[0].font, unsigned(FONT_TITLE));
        for (size_t p = 0; p < source.paragraphs.size(); p++) {
            const HelpParagraph& sp = source.paragraphs[p];
            std::string expected = ParagraphText(sp);
            if (sp.kind == PARA_ITEM) expected = "\x95 " + expected;
            EXPECT_EQ(read.paragraphs[p].text, expected) << source.title << " " << p;
            // Links: the same texts, each jumping to its topic's hash.
            std::vector<HlpLink> links;
            for (const HelpRun& run : sp.runs)
                if (!run.target.empty()) links.push_back({run.text, HelpContextHash(run.target)});
            ASSERT_EQ(read.paragraphs[p].links.size(), links.size()) << source.title << " " << p;
            for (size_t l = 0; l < links.size(); l++) {
                EXPECT_EQ(read.paragraphs[p].links[l].text, links[l].text);
                EXPECT_EQ(read.paragraphs[p].links[l].hash, links[l].hash);
            }
        }
    }
    // The contents links to the browser topic under its title.
    ASSERT_GT(topics[0].paragraphs.size(), 3u);
    bool linked = false;
    for (const HlpParagraphText& p : topics[0].paragraphs)
        for (const HlpLink& l : p.links)
            if (l.text == "The browser dialog" && l.hash == HelpContextHash("browser"))
                linked = true;
    EXPECT_TRUE(linked);
    // The help text spans several topic blocks, so records cross block edges.
    EXPECT_GT(Internal(c, "|TOPIC").size(), 3 * 4096u);
}

TEST(HelpFile, EveryKeywordLeadsToItsTopics) {
    const Compiled& c = RepositoryHelp();
    std::vector<HlpTopicText> topics = Topics(c);
    ASSERT_EQ(topics.size(), c.project.topics.size());
    HlpTree keywords;
    std::string error;
    ASSERT_TRUE(ReadHlpTree(Internal(c, "|KWBTREE"), {true, 6}, &keywords, &error)) << error;
    const Bytes& data = Internal(c, "|KWDATA");
    std::map<std::string, std::vector<uint32_t>> byKeyword;
    for (const HlpTreeEntry& e : keywords.entries) {
        unsigned count = HlpU16(e.value, 0);
        uint32_t at = HlpU32(e.value, 2);
        ASSERT_LE(at + 4 * size_t(count), data.size());
        for (unsigned i = 0; i < count; i++)
            byKeyword[Lower(KeyString(e.key))].push_back(HlpU32(data, at + 4 * i));
    }
    for (size_t i = 0; i < topics.size(); i++) {
        ASSERT_FALSE(c.project.topics[i].keywords.empty()) << topics[i].title;
        for (const std::string& k : c.project.topics[i].keywords) {
            const std::vector<uint32_t>& offsets = byKeyword[Lower(k)];
            EXPECT_NE(std::find(offsets.begin(), offsets.end(), topics[i].offset), offsets.end())
                << k;
        }
    }
    // |KWMAP: one entry per leaf page, counting the keywords before it.
    const Bytes& map = Internal(c, "|KWMAP");
    ASSERT_EQ(map.size() % 6, 0u);
    ASSERT_FALSE(map.empty());
    EXPECT_EQ(HlpU32(map, 0), 0u);
}

TEST(HelpFile, LargeTreesGetIndexPages) {
    // 3000 keys do not fit one 2 KB page: index pages must lead to every leaf.
    std::vector<BTreeEntry> entries;
    for (int i = 0; i < 3000; i++) {
        char key[32];
        std::snprintf(key, sizeof key, "keyword %05d", i);
        BTreeEntry e;
        PutString(e.key, key);
        PutU16(e.value, 1);
        PutU32(e.value, uint32_t(i * 4));
        entries.push_back(e);
    }
    for (unsigned pageSize : {2048u, 256u}) {
        Bytes tree;
        std::string error;
        ASSERT_TRUE(BuildBTree(entries, {uint16_t(pageSize), 2, "F24"}, &tree, nullptr, &error));
        HlpTree read;
        ASSERT_TRUE(ReadHlpTree(tree, {true, 6}, &read, &error)) << error;
        EXPECT_GE(read.levels, pageSize == 256 ? 3u : 2u);
        ASSERT_EQ(read.entries.size(), entries.size());
        for (size_t i = 0; i < entries.size(); i++) {
            EXPECT_EQ(read.entries[i].key, entries[i].key);
            EXPECT_EQ(read.entries[i].value, entries[i].value);
        }
    }
    // An entry larger than a page is refused rather than cut.
    std::vector<BTreeEntry> huge(1);
    huge[0].key.assign(300, 'x');
    huge[0].key.push_back(0);
    Bytes tree;
    std::string error;
    EXPECT_FALSE(BuildBTree(huge, {256, 2, "F24"}, &tree, nullptr, &error));
    EXPECT_FALSE(error.empty());
}

TEST(HelpFile, ContextHashesAsWinHelpComputesThem) {
    // Worked by hand from the published rule: hash = hash * 43 + value, with
    // '1'..'9' 1..9, '0' 10, '.' 12, '_' 13, letters 17.. without case.
    const struct {
        const char* context;
        int32_t hash;
    } cases[] = {
        {"a", 17},
        {"A", 17},
        {"ab", 17 * 43 + 18},
        {"z9", 42 * 43 + 9},
        {"x_0.", ((40 * 43 + 13) * 43 + 10) * 43 + 12},
        // Longer names wrap around 32 bits (worked out with a separate script).
        {"browser", int32_t(uint32_t(0xae838280))},
    };
    for (const auto& k : cases) EXPECT_EQ(HelpContextHash(k.context), k.hash) << k.context;
}

TEST(HelpFile, FaultsInTheSourceStopTheBuild) {
    const std::string head = "@helptitle T\n";
    const std::string good = "@topic a\n@title A\n@keywords k\n\nText [[b]].\n\n"
                             "@topic b\n@title B\n@keywords j\n\nMore.\n";
    std::vector<HelpError> errors;
    HelpProject project;
    ASSERT_TRUE(ParseHelpSource(head + good, &project, &errors));
    ASSERT_EQ(project.topics.size(), 2u);
    EXPECT_EQ(ParagraphText(project.topics[0].paragraphs[1]), "Text B.");

    const struct {
        std::string source;
        int line;
        const char* message;
    } cases[] = {
        {head + "@topic a\n@title A\n@keywords k\n\nSee [[missing]].\n", 6,
         "cross-reference to unknown topic \"missing\""},
        {head + "@topic a\n@keywords k\n\nText.\n", 2, "topic \"a\" has no @title"},
        {head + "@topic a\n@title A\n\nText.\n", 2, "topic \"a\" has no @keywords"},
        {head + "@topic a\n@title A\n@keywords k\n", 2, "topic \"a\" has no text"},
        {head + good + "@topic A\n@title C\n@keywords k\n\nx\n", 13, "a second topic named \"A\""},
        {head + "@topic a\n@title A\n@keywords k\n\nSee [[b.\n", 6, "is not closed"},
        {head + "@topic a b\n@title A\n@keywords k\n\nx\n", 2, "@topic needs a name"},
        {head + "@topic a\n@title A\n@keywords k\n@map 1x\n\nx\n", 5, "@map needs a number"},
        {head + good + "@topic c\n@title C\n@keywords k\n@map 7\n@map 7\n\nx\n", 13,
         "map number 7 used twice"},
        {"@topic a\n@title A\n@keywords k\n\nx\n", 0, "no @helptitle"},
        {"@helptitle " + std::string(51, 'x') + "\n" + good, 1, "longer than 50"},
        {head + "Text first.\n@topic a\n@title A\n@keywords k\n\nx\n", 2, "text before the first"},
        {head + "@topic a\n@title A\n@keywords k\n\nA \xe2\x82\xac sign? No: \xe4\xb8\x80\n", 6,
         "Windows-1252"},
        {head + "@topic a\n@title A\n@keywords k\n@color red\n\nx\n", 5, "unknown directive"},
    };
    for (const auto& k : cases) {
        errors.clear();
        EXPECT_FALSE(ParseHelpSource(k.source, &project, &errors)) << k.message;
        bool seen = false;
        for (const HelpError& e : errors)
            if (e.line == k.line && e.message.find(k.message) != std::string::npos) seen = true;
        EXPECT_TRUE(seen) << k.message << " at line " << k.line
                          << (errors.empty() ? "" : ", first: " + errors[0].message);
    }
}

TEST(HelpFile, LongParagraphsCrossBlocksOrAreRefused) {
    // A paragraph of 20000 characters spans five topic blocks and reads back
    // whole; one beyond the 15-bit character count is refused.
    for (size_t length : {size_t(20000), size_t(40000)}) {
        std::vector<HelpError> errors;
        HelpProject project;
        std::string text(length, 'x');
        ASSERT_TRUE(ParseHelpSource("@helptitle T\n@topic a\n@title A\n@keywords k\n\n" + text +
                                        "\n\n@topic b\n@title B\n@keywords j\n\nEnd.\n",
                                    &project, &errors));
        Bytes file;
        std::string error;
        if (length > 32766) {
            EXPECT_FALSE(WriteHelpFile(project, &file, &error));
            EXPECT_NE(error.find("32767"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(WriteHelpFile(project, &file, &error)) << error;
        HlpContainer container;
        ASSERT_TRUE(ReadHlpContainer(file, &container, &error)) << error;
        std::vector<HlpTopicText> topics;
        ASSERT_TRUE(ReadHlpTopics(container.files["|TOPIC"].content, &topics, &error)) << error;
        ASSERT_EQ(topics.size(), 2u);
        ASSERT_EQ(topics[0].paragraphs.size(), 2u);
        EXPECT_EQ(topics[0].paragraphs[1].text, text);
        EXPECT_EQ(topics[1].title, "B");
        // The second topic starts in a later block: its offset counts from there.
        EXPECT_GE(topics[1].offset, 4u * 0x8000);
        EXPECT_EQ(topics[1].offset % 0x8000, 0u);
    }
}

TEST(HelpFile, TextInUtf8BecomesWindows1252) {
    std::vector<HelpError> errors;
    HelpProject project;
    ASSERT_TRUE(ParseHelpSource("@helptitle T\n@topic a\n@title Rotate 90\xc2\xb0\n@keywords k\n\n"
                                "- \xe2\x80\x9cQuoted\xe2\x80\x9d \xe2\x80\x93 caf\xc3\xa9\n",
                                &project, &errors));
    EXPECT_EQ(project.topics[0].title, "Rotate 90\xb0");
    ASSERT_EQ(project.topics[0].paragraphs.size(), 2u);
    EXPECT_EQ(project.topics[0].paragraphs[1].kind, PARA_ITEM);
    EXPECT_EQ(ParagraphText(project.topics[0].paragraphs[1]), "\x93Quoted\x94 \x96 caf\xe9");
}

TEST(HelpFile, CompilerFailsTheBuildAndKeepsTheOldFile) {
    char dir[] = "/tmp/zendra-helpc-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string source = std::string(dir) + "/help.txt",
                      output = std::string(dir) + "/out.hlp",
                      messages = std::string(dir) + "/messages.txt";
    auto write = [](const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    };
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    auto run = [&]() {
        std::string command =
            std::string(ZENDRA_HELPC) + " " + source + " " + output + " 2> " + messages;
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string topics = "@helptitle T\n@topic a\n@title A\n@keywords k\n\n";
    write(output, "old");
    write(source, topics + "See [[nowhere]].\n");
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(read(output), "old");
    EXPECT_NE(read(messages).find(source + ":6: cross-reference to unknown topic \"nowhere\""),
              std::string::npos)
        << read(messages);
    write(source, "@helptitle T\n@topic a\n@keywords k\n\nText.\n");
    EXPECT_EQ(run(), 1);
    EXPECT_NE(read(messages).find(source + ":2: topic \"a\" has no @title"), std::string::npos);
    EXPECT_EQ(read(output), "old");

    write(source, topics + "Text.\n");
    EXPECT_EQ(run(), 0) << read(messages);
    std::string file = read(output);
    ASSERT_GE(file.size(), 16u);
    EXPECT_EQ(file.substr(0, 4), std::string("\x3f\x5f\x03\x00", 4));
    for (const std::string& path : {source, output, messages}) std::remove(path.c_str());
    rmdir(dir);
}
