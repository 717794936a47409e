// Applies the menu rules to the viewer's menu: greyed items and the labels
// that follow the picture, the display and the tile flag.
#include "shell/shell.h"

#include "core/state.h"
#include "shell/menu_rules.h"

#include <cstring>

namespace {
// Menu bar and submenu positions in the "Menu" resource.
enum {
    BAR_CENTER_TILE = 2,
    BAR_CONVERT = 5,
    BAR_TOOLS = 6,
    CONVERT_BMP = 0,
    CONVERT_TIFF = 7,
    BMP_RLE = 1,
    BMP_BITFIELDS = 2,
    TOOLS_BRIGHTEN = 0,
    TOOLS_DARKEN = 1,
    TOOLS_TRUE_COLOR = 10,
    TOOLS_BEST_256 = 11,
    TOOLS_BEST_32 = 12,
    TOOLS_BEST_16 = 13,
    TOOLS_STANDARD_256 = 15,
    TOOLS_WEB_216 = 16,
    TOOLS_STANDARD_16 = 17,
    TOOLS_GRAYSCALE = 18,
};

void Enable(HMENU menu, UINT position, bool on) {
    if (menu) EnableMenuItem(menu, position, MF_BYPOSITION | (on ? MF_ENABLED : MFS_GRAYED));
}

void Label(HMENU menu, UINT position, const char* text) {
    if (!menu || !text) return;
    MENUITEMINFOA item;
    std::memset(&item, 0, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = const_cast<char*>(text);
    SetMenuItemInfoA(menu, position, TRUE, &item);
}

// Bit count of the picture Convert/Save would write, 0 when there is none.
int SaveBitCount() {
    HGLOBAL picture = (g_original && !g_userModified && g_viewKind == KIND_RASTER)
                          ? g_original
                          : (g_viewKind == KIND_RASTER ? g_picture : nullptr);
    if (!picture) return 0;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
    if (!header) return 0;
    int bits = header->biBitCount;
    GlobalUnlock(picture);
    return bits;
}
} // namespace

void RefreshMenuState() {
    if (!g_viewerWindow) return;
    HMENU bar = GetMenu(g_viewerWindow);
    if (!bar) return;
    MenuInputs in = {g_viewKind,       g_displayDepth, g_bitCount,    g_colorsUsed,
                     g_monochromeTool, g_tile,         SaveBitCount()};
    MenuStates s = ComputeMenuStates(in);

    HMENU tools = GetSubMenu(bar, BAR_TOOLS);
    Enable(tools, TOOLS_BRIGHTEN, s.brighten);
    Enable(tools, TOOLS_DARKEN, s.darken);
    Enable(tools, TOOLS_TRUE_COLOR, s.trueColor);
    Enable(tools, TOOLS_BEST_256, s.best256);
    Enable(tools, TOOLS_BEST_32, s.best32);
    Enable(tools, TOOLS_BEST_16, s.best16);
    Enable(tools, TOOLS_STANDARD_256, s.standard256);
    Enable(tools, TOOLS_WEB_216, s.web216);
    Enable(tools, TOOLS_STANDARD_16, s.standard16);
    Label(tools, TOOLS_GRAYSCALE, s.grayscaleLabel);

    HMENU convert = GetSubMenu(bar, BAR_CONVERT);
    HMENU tiff = convert ? GetSubMenu(convert, CONVERT_TIFF) : nullptr;
    for (UINT position = 3; position <= 5; position++) Enable(tiff, position, s.tiffMonochrome);
    HMENU bmp = convert ? GetSubMenu(convert, CONVERT_BMP) : nullptr;
    Enable(bmp, BMP_RLE, s.bmpRle);
    Label(bmp, BMP_RLE, s.bmpRleLabel);
    Enable(bmp, BMP_BITFIELDS, s.bmpBitfields);
    HMENU bitfields = bmp ? GetSubMenu(bmp, BMP_BITFIELDS) : nullptr;
    Label(bitfields, 0, s.bitfields555Label);
    Label(bitfields, 1, s.bitfields565Label);

    Label(bar, BAR_CENTER_TILE, s.centerTileLabel);
    Enable(bar, BAR_CONVERT, s.convertSave);
    Enable(bar, BAR_TOOLS, s.tools);
    DrawMenuBar(g_viewerWindow);
}
