// Which viewer menu items are greyed and how the variable ones are labelled,
// decided from the current-image state alone (RefreshMenuState applies it).
#pragma once

struct MenuInputs {
    int kind;            // ViewKind of the current picture
    int displayDepth;    // bits per pixel of the display
    int bitCount;        // bit count as loaded
    int colorsUsed;      // colours used as loaded, 1 for pure black and white
    bool monochromeTool; // the Monochrome tool was the last colour tool
    bool tile;           // the viewer tiles the picture
    int saveBitCount;    // bit count of the picture Convert/Save would write, 0 for none
};

struct MenuStates {
    // Tools menu, true = enabled.
    bool brighten, darken, trueColor, best256, best32, best16, standard256, web216, standard16;
    const char* grayscaleLabel;
    bool tiffMonochrome; // the three "(monochrome only)" TIFF submenus
    const char* centerTileLabel;
    // BMP submenu: the RLE item and the Bitfields submenu; null labels stay as they are.
    bool bmpRle, bmpBitfields;
    const char* bmpRleLabel;
    const char* bitfields555Label;
    const char* bitfields565Label;
    bool convertSave, tools; // the menu bar's Convert/Save and Tools
};

MenuStates ComputeMenuStates(const MenuInputs& in);
