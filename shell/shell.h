// The Windows program: the browser dialog (the system's Open File dialog with
// a hook and a template), its preview, the viewer window and their drawing.
#pragma once

#include "platform/win32.h"

#include <cstddef>

extern HINSTANCE g_instance;
// Tests set a display depth here to take the palette-display paths; 0 asks
// the display itself.
extern int g_displayDepthOverride;
// Set until the first WM_INITDIALOG has initialised the state and registered
// the window classes.
extern bool g_firstDialogInit;
// Direction of LoadNeighbour: 1 next, 0 previous.
extern int g_direction;

const char* const HELP_FILE_NAME = "ZendraHelp.hlp";
// The help file beside the program's own .exe, where the build puts it, so
// that the help viewer finds it whatever the current folder is.
const char* HelpFilePath();
// Appended to the file name in the viewer's caption.
const char* const SIZE_SUFFIX_FORMAT = "     %llu bytes";

// Entry point body: fills the OPENFILENAME, runs the dialog, returns 1.
int RunBrowser(HINSTANCE instance, const char* commandLine);
// The filter list "Images" and "All Files (*.*)", each string ended by a zero
// byte and the list by a second one; returns the bytes used including the last zero.
size_t BuildFilter(char* out, size_t size);
UINT_PTR CALLBACK BrowserHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The animation timer's step: the next image of an icon file or animated
// cursor, drawn into the preview and every open picture window.
void AnimationStep(HWND dialog);

// Animated GIF playback (shell/gif_playback.cpp): started after a GIF file is
// loaded, when it has more than one frame; each step gives the next screen
// to show (owned by the playback) and its delay in hundredths of a second,
// or null once the picture shown is no longer the one that started it.
void StartGifPlayback();
void StopGifPlayback();
HGLOBAL NextGifScreen(int* delay);

// Planes x bits per pixel of a device, unless tests chose a depth.
int DisplayDepth(HDC dc);

// Loads the file selected in the browser's list and draws it into the preview.
void LoadPreview(HWND dialog, int left, int top, int width, int height);
// Steps the browser's selection by g_direction and loads that file for target.
void LoadNeighbour(HWND target, int unused);
// Marks the viewer and the browser's preview for drawing again, after a load
// changed the current picture while other windows may cover them.
void RedrawPictureWindows();
// Grows the preview button to hold the whole square and its frame, and the
// dialog with it, when the template's font made them smaller.
void FitPreviewSquare(HWND dialog);
// The white, black-outlined square the preview is drawn in.
void DrawPreviewFrame(HDC dc, int left, int top, int width, int height);
// Stretches the current raster picture into the preview rectangle.
void DrawPreviewPicture(HDC dc);

// Stretches the whole locked picture to w x h at (x, y).
void StretchPicture(HDC dc, BITMAPINFOHEADER* header, int x, int y, int w, int h);
// The picture's palette selected (foreground) and realised in dc, or null when
// it has none; DeletePicturePalette puts the previous one back.
HPALETTE SelectPicturePalette(HDC dc, BITMAPINFOHEADER* header, HPALETTE* previous);
void DeletePicturePalette(HDC dc, HPALETTE palette, HPALETTE previous);

// Draws a locked picture into a window outside its paint: 0 centred, 1 tiled.
void DrawIntoWindow(BITMAPINFOHEADER* image, HWND window, HPALETTE palette, int placement,
                    bool showName);
// White client area and the standard colours realised again.
void ResetDisplayPalette(HWND window, int colors);
void TwipsPerPixelOf(HDC dc, int* x, int* y);

// The current Windows metafile shrunk by 9/10 steps into availW x availH and
// played through an anisotropic viewport x x y: centred, or a centred grid of
// whole copies. Mapping mode, viewport origin and extent are put back.
void DrawMetafileFitted(HWND window, HDC dc, uint32_t availW, uint32_t availH, uint32_t x,
                        uint32_t y, bool tile);
// The current metafile into the preview rectangle; an enhanced metafile
// writes its description into text when it is not null.
void DrawPreviewMetafile(HDC dc, char* text);
// The current metafile in a cw x ch viewer or full-screen client area.
void PaintMetafile(HWND window, HDC dc, int cw, int ch);
// The current metafile in the slideshow, with the name for the Windows
// metafiles drawn in its order (the enhanced one's name is drawn after it).
void DrawSlideshowMetafile(HWND window, HDC dc, int cw, int ch, RECT* name);
// The current metafile on a pageW x pageH printer page.
void PrintMetafilePage(HWND owner, HDC dc, int pageW, int pageH, bool large, bool tiled);

// The size passed in every OPENFILENAMEA: the old layout that ends with
// lpTemplateName (OPENFILENAME_SIZE_VERSION_400A: 76 bytes on 32-bit Windows,
// the same layout for the 64-bit pointer size).
constexpr DWORD kOpenFileNameSize = DWORD(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
#ifndef _WIN64
static_assert(kOpenFileNameSize == 76, "old OPENFILENAME layout");
#endif

// Convert/Save: writes picture (of the view kind) in a format after asking
// for the target's name; reports the outcome and adds a new file of the
// listed folder to the browser's list.
void ConvertAndSave(HGLOBAL picture, HWND owner, int kind, const char* fileName, int format,
                    HWND dialog, int option1, int option2);
// The file name with everything from its first dot replaced by the format's
// extension; false for a format code without one.
bool ProposeSaveName(char* path, size_t size, const char* fileName, int format);
// Runs the Save As dialog on path (512 bytes, in and out); directory gets the
// current folder. True when the user chose a name.
bool AskSaveName(HWND owner, char* path, int format, char* directory);

// The viewer ("Meta") and the windows it opens.
LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OpenViewer(const char* caption);
// A top-level window of the class at (0, 0) covering the screen.
HWND CreateScreenWindow(const char* className, const char* caption, DWORD style);
// The full-screen window ("Full"), with the scroll bars the picture needs.
void OpenFullScreen();
LRESULT CALLBACK FullScreenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The slideshow window ("Slide") over the browser's list.
void OpenSlideshow();
LRESULT CALLBACK SlideshowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Prints the current picture on one page after the system's print dialog:
// Normal (false, false), Large (true, false) or Tiled (false, true).
void PrintPicture(HWND owner, bool large, bool tiled);
// Draws a raster Image record on a pageW x pageH page as PrintPicture does.
void PrintRasterPage(HDC dc, int pageW, int pageH, HGLOBAL record, bool large, bool tiled);
// After a picture window closes: orientation undone, standard colours on a
// palette display, the user-modified flag cleared.
void RestorePictureForPreview();
void PaintPictureWindow(HWND window);
void RefreshMenuState();
// "name     N bytes" into out (always terminated).
void ViewerCaption(char* out, size_t size);
