// The animation step: the browser's timer (identifier 0) shows the next image
// of a multi-image icon file or an animated cursor in the preview and in every
// open picture window.
#include "shell/shell.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"

namespace {
// One step of an animated cursor's sequence table.
struct SequenceStep {
    int32_t frame;
    uint32_t rate; // sixtieths of a second
};

void NextIcon() {
    g_iconIndex = g_iconIndex + 1 > g_iconCount ? 1 : g_iconIndex + 1;
    if (g_picture) GlobalFree(g_picture);
    g_picture = nullptr;
    if (!g_iconReader || g_openFile == HFILE_ERROR) return;
    _llseek(g_openFile, 0, 0);
    int count = 0;
    g_picture = g_iconReader(nullptr, g_infoText, g_openFile, &count, g_iconIndex, 0, 0).image;
}

void NextFrame() {
    if (g_sequencePosition >= g_sequenceLength) g_sequencePosition = 0;
    g_picture = nullptr;
    if (!g_sequenceTable || !g_frameTable) return;
    SequenceStep* steps = static_cast<SequenceStep*>(GlobalLock(g_sequenceTable));
    HGLOBAL* frames = static_cast<HGLOBAL*>(GlobalLock(g_frameTable));
    size_t stepSlots = GlobalSize(g_sequenceTable) / sizeof(SequenceStep);
    size_t frameSlots = GlobalSize(g_frameTable) / sizeof(HGLOBAL);
    if (steps && frames && size_t(g_sequencePosition) < stepSlots) {
        const SequenceStep& step = steps[g_sequencePosition];
        // Frame numbers come from the file: only those the table holds count.
        if (step.frame >= 0 && step.frame < g_frameCount && size_t(step.frame) < frameSlots)
            g_picture = frames[step.frame];
        g_frameDelay = AnimationDelay(step.rate);
    }
    g_sequencePosition++;
    if (steps) GlobalUnlock(g_sequenceTable);
    if (frames) GlobalUnlock(g_frameTable);
}

void DrawCurrentFrame(HGLOBAL picture) {
    if (!picture) return;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
    if (!header) return;
    HDC dc = GetDC(g_previewControl);
    HPALETTE oldPalette;
    HPALETTE palette = SelectPicturePalette(dc, header, &oldPalette);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchPicture(dc, header, g_previewLeft, g_previewTop, g_previewWidth, g_previewHeight);
    if (g_viewerWindow && IsWindow(g_viewerWindow))
        DrawIntoWindow(header, g_viewerWindow, palette, g_tile ? 1 : 0, false);
    if (g_fullWindow && IsWindow(g_fullWindow))
        DrawIntoWindow(header, g_fullWindow, palette, g_tile ? 1 : 0, false);
    if (g_slideWindow && IsWindow(g_slideWindow))
        DrawIntoWindow(header, g_slideWindow, palette, 0, false);
    DeletePicturePalette(dc, palette, oldPalette);
    GlobalUnlock(picture);
    ReleaseDC(g_previewControl, dc);
}
} // namespace

void AnimationStep(HWND dialog) {
    KillTimer(dialog, 0);
    g_animationTimer = 0;
    int gifDelay = 0;
    if (g_viewKind == KIND_ICON_CYCLE)
        NextIcon();
    else if (g_viewKind == KIND_ANI)
        NextFrame();
    else if (HGLOBAL screen = NextGifScreen(&gifDelay)) {
        // A GIF's delays are hundredths of a second.
        DrawCurrentFrame(screen);
        SetTimer(dialog, 0, UINT(10 * gifDelay), nullptr);
        g_animationTimer = 1;
        return;
    } else {
        return; // the picture that started the timer is gone
    }
    DrawCurrentFrame(g_picture);
    SetTimer(dialog, 0, UINT(9 * g_frameDelay), nullptr);
    g_animationTimer = 1;
}
