// Convert/Save: the proposed name, the Save As dialog, one writer, the
// outcome with the file's size, and the browser's list brought up to date.
#include "shell/shell.h"

#include "core/loader.h"
#include "core/state.h"
#include "shell/resource.h"
#include "tools/output_file.h"
#include "tools/writers.h"

#include <cstdio>
#include <cstring>

namespace {
const int kPathSize = 512;
const int kDirectorySize = 256;

const char* FilterOf(int format) {
    const FormatRow* row = WriterRowOf(format);
    return row ? row->writing.saveFilter : nullptr;
}

// The current folder without a trailing backslash ("C:\" becomes "C:").
void CurrentFolder(char* out, DWORD size) {
    DWORD n = GetCurrentDirectoryA(size, out);
    if (n == 0 || n >= size) {
        out[0] = 0;
        return;
    }
    if (n > 0 && out[n - 1] == '\\') out[n - 1] = 0;
}

// The file's name when path names a file directly inside folder, else null.
const char* NameInFolder(const char* path, const char* folder) {
    size_t n = std::strlen(folder);
    if (n == 0 || std::strlen(path) <= n + 1) return nullptr;
    if (_strnicmp(path, folder, n) != 0 || path[n] != '\\') return nullptr;
    const char* name = path + n + 1;
    return std::strchr(name, '\\') ? nullptr : name;
}

void AddToBrowserList(HWND dialog, const char* path) {
    char folder[kDirectorySize];
    CurrentFolder(folder, kDirectorySize);
    const char* name = NameInFolder(path, folder);
    if (!name || !dialog) return;
    HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    if (SendMessageA(list, LB_FINDSTRINGEXACT, 0, LPARAM(name)) == LB_ERR)
        SendMessageA(list, LB_ADDSTRING, 0, LPARAM(name));
}

void ReportSaved(char* path) {
    unsigned long long size = QueryFileSize(path);
    size_t length = std::strlen(path);
    std::snprintf(path + length, size_t(kPathSize) - length, "\n\n%llu bytes", size);
    MessageBoxA(nullptr, path, "File Converted Successfully", MB_OK);
    path[length] = 0;
}
} // namespace

bool ProposeSaveName(char* path, size_t size, const char* fileName, int format) {
    const char* ext = FormatExtension(format);
    if (!ext || size == 0) return false;
    std::snprintf(path, size, "%s", fileName);
    char* dot = std::strchr(path, '.');
    size_t keep = dot ? size_t(dot - path) : std::strlen(path);
    // The extension must fit whole; a name too long for it is cut, never the extension.
    size_t need = std::strlen(ext) + 2;
    if (keep + need > size) keep = size > need ? size - need : 0;
    std::snprintf(path + keep, size - keep, ".%s", ext);
    return true;
}

bool AskSaveName(HWND owner, char* path, int format, char* directory) {
    const char* source = FilterOf(format);
    const char* ext = FormatExtension(format);
    if (!source || !ext) return false;
    DWORD n = GetCurrentDirectoryA(kDirectorySize - 1, directory);
    if (n == 0 || n >= DWORD(kDirectorySize - 1)) directory[0] = 0;

    char filter[128];
    std::snprintf(filter, sizeof filter, "%s", source);
    size_t length = std::strlen(filter);
    char separator = filter[length - 1];
    for (size_t i = 0; i < length; i++)
        if (filter[i] == separator) filter[i] = 0;

    char title[256] = "";
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = kOpenFileNameSize;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kPathSize;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = sizeof title;
    ofn.lpstrInitialDir = directory;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    ofn.lpstrDefExt = ext;
    return GetSaveFileNameA(&ofn) != 0;
}

void ConvertAndSave(HGLOBAL picture, HWND owner, int kind, const char* fileName, int format,
                    HWND dialog, int option1, int option2) {
    if (kind != KIND_RASTER) {
        MessageBoxA(owner, "Unable to Convert File: \n\nCurrent File is Not a Bitmap", nullptr,
                    MB_ICONERROR);
        return;
    }
    if (!picture) return;
    static char path[kPathSize];
    if (!ProposeSaveName(path, sizeof path, fileName, format)) return;
    static char directory[kDirectorySize];
    if (!AskSaveName(owner, path, format, directory)) return;

    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The user has agreed to replace an existing file; it is replaced only by
    // a complete one, so a failed write never loses what was there.
    OutputResult result = WriteOutputFile(picture, path, format, option1, option2, true);
    if (result == OUTPUT_OK) {
        ReportSaved(path);
        AddToBrowserList(dialog, path);
    } else if (result == OUTPUT_CREATE_FAILED && format == FMT_BMP) {
        MessageBoxA(nullptr, "Error Creating File", nullptr, MB_ICONERROR);
    } else {
        MessageBoxA(nullptr, "Error Converting File", nullptr, MB_ICONERROR);
    }
    SetCursor(previous);
}
