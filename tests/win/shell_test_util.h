// Running the real browser dialog inside a test: the body runs from the
// dialog's own modal loop, then EXIT ends the dialog.
#pragma once

#include "platform/win32.h"
#include "unit/test_util.h"

#include <functional>
#include <string>
#include <vector>

// Runs RunBrowser with the command line; body gets the dialog once its modal
// loop runs. Ends with EXIT if the body left the dialog open. Returns what
// RunBrowser returned.
int RunDialog(const std::string& commandLine, const std::function<void(HWND)>& body);

// A w x h true-colour bitmap file of one colour (0x00RRGGBB).
Bytes SolidBitmap(int w, int h, uint32_t rgb);

// Dispatches every message waiting in this thread's queue.
void PumpMessages();

// The header of a top-down 32-bit w x h DIB section.
BITMAPINFO TopDownInfo32(int w, int h);

// A pixel of a window's client area as 0x00RRGGBB.
uint32_t WindowPixel(HWND window, int x, int y);

// Pixels of exactly rgb (0x00RRGGBB) on the screen inside area (screen
// coordinates), as a screenshot shows them.
int CountScreenPixels(const RECT& area, uint32_t rgb);

// Makes window the foreground window with the keyboard focus; true when it
// has the focus.
bool GiveFocus(HWND window);

// Presses and releases a key as keyboard input, with Shift held when shift is
// set, after giving window the focus, and lets the messages run. When window
// cannot get the focus the test fails and no key is sent, so that a key meant
// for one window never reaches another (Escape in the browser ends it).
void PressKey(HWND window, WORD key, bool shift = false);

// Selects a name in the file list (1120) and sends the OK command.
void ConfirmFile(HWND dialog, const std::string& name);

std::string WindowText(HWND window);

// Answers the system's Save As dialog while it runs: records what it proposed,
// types name (or cancels when name is empty) and answers the overwrite question.
struct SaveAsDriver {
    explicit SaveAsDriver(const std::string& name, int overwriteAnswer = IDYES);
    ~SaveAsDriver();
    std::string name;
    int overwriteAnswer;
    int dialogs = 0;         // Save As dialogs seen
    int questions = 0;       // overwrite questions answered
    std::string proposed;    // the file name the dialog opened with
    std::string firstFilter; // the first entry of its file-type list
    std::string title;       // its caption
    UINT_PTR timer = 0;
};

// A folder of that name in the test directory (made if missing), as a Windows path.
std::string TestFolder(const std::string& name);

// Ends every dialog box other than the browser with the command id, from the
// modal loop that shows it; counts them and keeps the last one's owner and texts.
struct EndDialogBoxes {
    explicit EndDialogBoxes(int id);
    ~EndDialogBoxes();
    int id;
    int seen = 0;
    HWND owner = nullptr;
    std::vector<std::string> texts; // the last box's control texts, in order
    UINT_PTR timer = 0;
};
