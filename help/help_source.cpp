#include "help_source.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

namespace {

// Longest title and keyword the B+ tree pages and WinHelp's dialogs take comfortably.
const size_t kMaxTitle = 127;
const size_t kMaxKeyword = 127;

struct Parser {
    HelpProject* project;
    std::vector<HelpError>* errors;
    int line = 0;
    // The paragraph being collected: its kind, its joined lines and first line.
    bool open = false;
    HelpParagraphKind kind = PARA_BODY;
    std::string text;
    int textLine = 0;
    // Links by line, checked once every topic is known.
    std::vector<std::pair<int, std::string>> links;
};

void Fail(Parser& p, int line, const std::string& message) {
    p.errors->push_back({line, message});
}

bool ValidContext(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_') return false;
    return true;
}

// Windows-1252 bytes for the punctuation beyond Latin-1 that help texts use.
int Cp1252Extra(uint32_t code) {
    switch (code) {
    case 0x2013:
        return 0x96;
    case 0x2014:
        return 0x97;
    case 0x2018:
        return 0x91;
    case 0x2019:
        return 0x92;
    case 0x201C:
        return 0x93;
    case 0x201D:
        return 0x94;
    case 0x2022:
        return 0x95;
    case 0x2026:
        return 0x85;
    }
    return -1;
}

// UTF-8 to Windows-1252, the character set the help file declares.
bool ToCp1252(const std::string& in, std::string* out) {
    out->clear();
    for (size_t i = 0; i < in.size();) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t') return false;
            out->push_back(c == '\t' ? ' ' : char(c));
            i++;
            continue;
        }
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + size_t(extra) >= in.size()) return false;
        uint32_t code = c & (0x3F >> extra);
        for (int k = 1; k <= extra; k++) {
            unsigned char d = static_cast<unsigned char>(in[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        i += size_t(extra) + 1;
        if (code >= 0xA0 && code <= 0xFF) {
            out->push_back(char(code));
        } else {
            int mapped = Cp1252Extra(code);
            if (mapped < 0) return false;
            out->push_back(char(mapped));
        }
    }
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Splits "text [[target|shown]] more" into runs.
bool SplitRuns(Parser& p, const std::string& text, int line, std::vector<HelpRun>* runs) {
    size_t at = 0;
    while (at < text.size()) {
        size_t open = text.find("[[", at);
        if (open == std::string::npos) {
            runs->push_back({text.substr(at), ""});
            break;
        }
        if (open > at) runs->push_back({text.substr(at, open - at), ""});
        size_t close = text.find("]]", open + 2);
        if (close == std::string::npos) {
            Fail(p, line, "a cross-reference \"[[\" is not closed with \"]]\"");
            return false;
        }
        std::string inside = text.substr(open + 2, close - open - 2);
        size_t bar = inside.find('|');
        HelpRun run;
        run.target = Trim(inside.substr(0, bar));
        run.text = bar == std::string::npos ? "" : Trim(inside.substr(bar + 1));
        if (!ValidContext(run.target)) {
            Fail(p, line, "cross-reference to \"" + run.target + "\": not a topic name");
            return false;
        }
        p.links.push_back({line, run.target});
        runs->push_back(run);
        at = close + 2;
    }
    return true;
}

void CloseParagraph(Parser& p) {
    if (!p.open) return;
    p.open = false;
    if (p.project->topics.empty()) {
        Fail(p, p.textLine, "text before the first @topic");
        return;
    }
    HelpParagraph paragraph;
    paragraph.kind = p.kind;
    if (!SplitRuns(p, p.text, p.textLine, &paragraph.runs)) return;
    p.project->topics.back().paragraphs.push_back(paragraph);
}

void StartParagraph(Parser& p, HelpParagraphKind kind, const std::string& text) {
    CloseParagraph(p);
    p.open = true;
    p.kind = kind;
    p.text = Trim(text);
    p.textLine = p.line;
}

void Directive(Parser& p, const std::string& line) {
    size_t space = line.find(' ');
    std::string name = line.substr(0, space);
    std::string value = space == std::string::npos ? "" : Trim(line.substr(space + 1));
    HelpTopic* topic = p.project->topics.empty() ? nullptr : &p.project->topics.back();
    if (name == "@helptitle") {
        // It is also the caption of the help window, a 51-byte field.
        if (value.size() > 50) Fail(p, p.line, "@helptitle longer than 50 characters");
        p.project->title = value;
    } else if (name == "@copyright") {
        p.project->copyright = value;
    } else if (name == "@topic") {
        if (!ValidContext(value)) {
            Fail(p, p.line, "@topic needs a name of letters, digits, '.' and '_'");
            value = "invalid";
        }
        HelpTopic next;
        next.context = value;
        next.line = p.line;
        p.project->topics.push_back(next);
    } else if (!topic) {
        Fail(p, p.line, name + " before the first @topic");
    } else if (name == "@title") {
        if (!topic->title.empty())
            Fail(p, p.line, "topic \"" + topic->context + "\": second @title");
        if (value.size() > kMaxTitle) Fail(p, p.line, "title longer than 127 characters");
        topic->title = value;
    } else if (name == "@keywords") {
        size_t at = 0;
        while (at <= value.size()) {
            size_t semi = value.find(';', at);
            if (semi == std::string::npos) semi = value.size();
            std::string keyword = Trim(value.substr(at, semi - at));
            if (keyword.size() > kMaxKeyword) Fail(p, p.line, "keyword longer than 127 characters");
            if (!keyword.empty()) topic->keywords.push_back(keyword);
            at = semi + 1;
        }
    } else if (name == "@map") {
        char* end = nullptr;
        unsigned long number = std::strtoul(value.c_str(), &end, 10);
        if (value.empty() || *end || number > 0x7FFFFFFFul)
            Fail(p, p.line, "@map needs a number");
        else
            topic->mapNumbers.push_back(uint32_t(number));
    } else {
        Fail(p, p.line, "unknown directive " + name);
    }
}

void CheckProject(Parser& p) {
    HelpProject& project = *p.project;
    if (project.title.empty()) Fail(p, 0, "the help file has no @helptitle");
    if (project.topics.empty()) Fail(p, 0, "no topics");
    std::map<std::string, int> contexts;
    std::map<int32_t, std::string> hashes;
    std::map<uint32_t, int> maps;
    for (HelpTopic& topic : project.topics) {
        if (topic.title.empty())
            Fail(p, topic.line, "topic \"" + topic.context + "\" has no @title");
        if (topic.keywords.empty())
            Fail(p, topic.line, "topic \"" + topic.context + "\" has no @keywords");
        if (topic.paragraphs.empty())
            Fail(p, topic.line, "topic \"" + topic.context + "\" has no text");
        std::string lower = topic.context;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (!contexts.emplace(lower, topic.line).second)
            Fail(p, topic.line, "a second topic named \"" + topic.context + "\"");
        // WinHelp finds topics by hash alone: two names must not share one.
        auto hash = hashes.emplace(HelpContextHash(topic.context), topic.context);
        if (!hash.second && hash.first->second != topic.context)
            Fail(p, topic.line,
                 "topic names \"" + hash.first->second + "\" and \"" + topic.context +
                     "\" have the same hash");
        for (uint32_t number : topic.mapNumbers)
            if (!maps.emplace(number, topic.line).second)
                Fail(p, topic.line, "map number " + std::to_string(number) + " used twice");
        HelpParagraph title;
        title.kind = PARA_TITLE;
        title.runs.push_back({topic.title, ""});
        topic.paragraphs.insert(topic.paragraphs.begin(), title);
    }
    for (const auto& link : p.links) {
        std::string lower = link.second;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (!contexts.count(lower))
            Fail(p, link.first, "cross-reference to unknown topic \"" + link.second + "\"");
    }
    // A link without its own text shows the target's title.
    for (HelpTopic& topic : project.topics)
        for (HelpParagraph& paragraph : topic.paragraphs)
            for (HelpRun& run : paragraph.runs)
                if (!run.target.empty() && run.text.empty())
                    for (const HelpTopic& target : project.topics)
                        if (target.context == run.target) run.text = target.title;
}

} // namespace

int32_t HelpContextHash(const std::string& context) {
    uint32_t hash = 0;
    for (char c : context) {
        uint32_t value = 0;
        if (c >= 'A' && c <= 'Z')
            value = uint32_t(c - 'A') + 17;
        else if (c >= 'a' && c <= 'z')
            value = uint32_t(c - 'a') + 17;
        else if (c >= '1' && c <= '9')
            value = uint32_t(c - '0');
        else if (c == '0')
            value = 10;
        else if (c == '.')
            value = 12;
        else if (c == '_')
            value = 13;
        hash = hash * 43 + value;
    }
    return int32_t(hash);
}

std::string ParagraphText(const HelpParagraph& paragraph) {
    std::string text;
    for (const HelpRun& run : paragraph.runs) text += run.text;
    return text;
}

bool ParseHelpSource(const std::string& source, HelpProject* project,
                     std::vector<HelpError>* errors) {
    *project = HelpProject();
    Parser p;
    p.project = project;
    p.errors = errors;
    size_t errorsBefore = errors->size();
    size_t at = 0;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        if (end == std::string::npos) end = source.size();
        std::string raw = source.substr(at, end - at);
        at = end + 1;
        p.line++;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string line;
        if (!ToCp1252(raw, &line)) {
            Fail(p, p.line, "a character Windows-1252 cannot show");
            continue;
        }
        std::string trimmed = Trim(line);
        if (trimmed.empty()) {
            CloseParagraph(p);
        } else if (line[0] == '#' && line.compare(0, 3, "## ") != 0) {
            // A comment.
        } else if (line[0] == '@') {
            CloseParagraph(p);
            Directive(p, trimmed);
        } else if (line.compare(0, 3, "## ") == 0) {
            StartParagraph(p, PARA_HEADING, line.substr(3));
            CloseParagraph(p);
        } else if (line.compare(0, 2, "- ") == 0) {
            StartParagraph(p, PARA_ITEM, line.substr(2));
        } else if (p.open) {
            p.text += " " + trimmed;
        } else {
            StartParagraph(p, PARA_BODY, trimmed);
        }
    }
    CloseParagraph(p);
    CheckProject(p);
    return errors->size() == errorsBefore;
}
