// The help text's source: a plain text file of topics, each with a context
// name, a title, index keywords, optional map numbers for programs and its
// paragraphs with cross-references. ParseHelpSource reads it and checks it
// (titles, keywords, every cross-reference resolves) before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum HelpParagraphKind {
    PARA_TITLE,   // the topic's title, written first in every topic
    PARA_HEADING, // "## " lines
    PARA_BODY,    // plain paragraphs
    PARA_ITEM,    // "- " list items
};

// A piece of a paragraph; with a target it is a jump to that topic.
struct HelpRun {
    std::string text; // Windows-1252
    std::string target;
};

struct HelpParagraph {
    HelpParagraphKind kind = PARA_BODY;
    std::vector<HelpRun> runs;
};

struct HelpTopic {
    std::string context; // letters, digits, '.' and '_'
    std::string title;
    std::vector<std::string> keywords;
    std::vector<uint32_t> mapNumbers;
    std::vector<HelpParagraph> paragraphs; // the title paragraph first
    int line = 0;                          // of its @topic line
};

struct HelpProject {
    std::string title; // the help file's own title (@helptitle)
    std::string copyright;
    std::vector<HelpTopic> topics; // the first one is the contents
};

struct HelpError {
    int line;
    std::string message;
};

// Parses and checks source; false (with every problem found in errors) when
// the source is not a complete help text.
bool ParseHelpSource(const std::string& source, HelpProject* project,
                     std::vector<HelpError>* errors);

// The context hash WinHelp 3.1 looks topics up by.
int32_t HelpContextHash(const std::string& context);

// The paragraph as plain text (links as their text).
std::string ParagraphText(const HelpParagraph& paragraph);
