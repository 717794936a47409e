// The About box's line on what the program views, from the format table.
#include "shell/about_text.h"

#include <cstdio>

namespace {
struct Kind {
    const char* name;
    DetectedFormat formats[8];
    int count;
};

const Kind kKinds[] = {
    {"bitmaps",
     {DET_WINDOWS_BMP, DET_OS2_BMP, DET_OS2V2_BMP, DET_GIF, DET_PCX, DET_TARGA, DET_IFF,
      DET_SUN_ICON},
     8},
    {"icons", {DET_ICON}, 1},
    {"metafiles", {DET_WMF_PLACEABLE, DET_WMF, DET_EMF}, 3},
    {"photographs", {DET_JPEG, DET_PNG, DET_TIFF, DET_WEBP}, 4},
};
} // namespace

bool FormatIsRead(DetectedFormat format) {
    // A rule that calls no reader shows nothing.
    const FormatRow* row = FormatRowOf(format);
    const DetectionRule* rule = DetectionRuleOf(format);
    if (!row || !rule || rule->call == CALL_NOTHING) return false;
    if (rule->call == CALL_ICON) return g_iconReader != nullptr;
    if (rule->call == CALL_ANIMATED) return g_animatedReader != nullptr;
    return row->byHandle || row->byBuffer || row->byName;
}

bool AboutViewsLine(bool (*reads)(DetectedFormat), char* out, size_t size) {
    const char* names[sizeof kKinds / sizeof kKinds[0]];
    int n = 0;
    for (const Kind& kind : kKinds) {
        bool any = false;
        for (int i = 0; i < kind.count; i++) any = any || reads(kind.formats[i]);
        if (any) names[n++] = kind.name;
    }
    if (size == 0) return false;
    out[0] = 0;
    if (n == 0) return std::snprintf(out, size, "Views no pictures in this build,") < int(size);
    size_t used = 0;
    bool fits = true;
    auto add = [&](const char* text) {
        int written = std::snprintf(out + used, size - used, "%s", text);
        if (written < 0 || size_t(written) >= size - used) {
            fits = false;
            used = size - 1;
        } else {
            used += size_t(written);
        }
    };
    add("Views ");
    for (int i = 0; i < n && fits; i++) {
        if (i > 0) add(i == n - 1 ? " and " : ", ");
        add(names[i]);
    }
    add(",");
    return fits;
}
