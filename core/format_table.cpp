// Looking things up in the format table.
#include "core/format_table.h"

#include <cstring>

FormatRow* FormatRowOf(DetectedFormat format) {
    for (int i = 0; i < FORMAT_ROW_COUNT; i++)
        for (int r = 0; r < g_formats[i].ruleCount; r++)
            if (g_formats[i].rules[r].format == format) return &g_formats[i];
    return nullptr;
}

const DetectionRule* DetectionRuleOf(DetectedFormat format) {
    FormatRow* row = FormatRowOf(format);
    if (!row) return nullptr;
    for (int r = 0; r < row->ruleCount; r++)
        if (row->rules[r].format == format) return &row->rules[r];
    return nullptr;
}

const DetectionRule* NextDetectionRule(int after) {
    const DetectionRule* next = nullptr;
    for (int i = 0; i < FORMAT_ROW_COUNT; i++)
        for (int r = 0; r < g_formats[i].ruleCount; r++) {
            const DetectionRule* rule = &g_formats[i].rules[r];
            if (rule->order > after && (!next || rule->order < next->order)) next = rule;
        }
    return next;
}

const FormatRow* WriterRowOf(int format) {
    for (int i = 0; i < FORMAT_ROW_COUNT; i++)
        for (int e = 0; e < g_formats[i].writing.count; e++)
            if (g_formats[i].writing.entries[e].format == format) return &g_formats[i];
    return nullptr;
}

const WriterEntry* WriterOfCommand(int command) {
    if (command == 0) return nullptr;
    for (int i = 0; i < FORMAT_ROW_COUNT; i++)
        for (int e = 0; e < g_formats[i].writing.count; e++)
            if (g_formats[i].writing.entries[e].command == command)
                return &g_formats[i].writing.entries[e];
    return nullptr;
}

const WriterEntry* WriterNamed(const char* name) {
    for (int i = 0; i < FORMAT_ROW_COUNT; i++)
        for (int e = 0; e < g_formats[i].writing.count; e++)
            if (std::strcmp(g_formats[i].writing.entries[e].name, name) == 0)
                return &g_formats[i].writing.entries[e];
    return nullptr;
}
