// The format table: one row per kind of file the program reads or writes,
// holding how it is recognised, which reader takes it and how, and its
// writers with their menu commands, options, Save As filter and zendra-cli
// names. The loader, the writer dispatch, the Convert/Save command table, the
// Save As filters and zendra-cli's names, extensions and help all come from it.
#pragma once

#include "core/byte_reader.h"
#include "core/command_ids.h"
#include "platform/win32.h"

enum DetectedFormat {
    DET_NONE,         // not recognised: no picture, no message
    DET_BITMAP_OTHER, // "BM" with a header size no reader takes
    DET_WINDOWS_BMP,
    DET_OS2_BMP,
    DET_OS2V2_BMP,
    DET_GIF,
    DET_JPEG,
    DET_PCX,
    DET_TIFF,
    DET_PNG,
    DET_IFF,
    DET_ANI,
    DET_ICON,
    DET_SUN_ICON,
    DET_WMF_PLACEABLE,
    DET_WMF,
    DET_EMF,
    DET_TARGA,
    DET_MACBINARY_GIF,
    DET_MACBINARY_TIFF,
    DET_WEBP,
};

// The writers' format codes, as Convert/Save passes them on.
enum SaveFormat {
    FMT_BMP = 9,
    FMT_BMP_RLE = 10,
    FMT_BMP_BITFIELDS = 11,
    FMT_JPEG = 12,
    FMT_IFF = 14,
    FMT_PCX = 15,
    FMT_PNG = 16,
    FMT_TGA = 17,
    FMT_TIFF = 18,
    FMT_WEBP = 19,
};

// What one write came to; Convert/Save and zendra-cli both decide from it.
enum WriteResult {
    WRITE_FAILED = 0, // the writer refused the picture or could not write it
    WRITE_OK = 1,
    WRITE_UNAVAILABLE = -1,   // no writer for this format in this build
    WRITE_CREATE_FAILED = -2, // the target could not be created
};

// What a load or one reader's call came to. The user has been told exactly
// when the outcome says "reported": every message a reader shows makes its
// outcome a reported one, and a reported outcome always has a message behind it.
enum LoadOutcome {
    LOAD_PICTURE,          // a picture, and no message
    LOAD_PICTURE_REPORTED, // a picture the reader reported a problem with (the rest left black)
    LOAD_NONE_REPORTED,    // no picture; the user has been told why
    LOAD_NONE_SILENT,      // no picture and no message: not recognised, or no reader
};

// A reader's answer: the new Image record (the caller owns it), null exactly
// when the outcome is one of the two without a picture.
struct ReaderResult {
    HGLOBAL image;
    LoadOutcome outcome;
};

inline ReaderResult GotPicture(HGLOBAL image) {
    return ReaderResult{image, LOAD_PICTURE};
}
// The reader showed a message and still has a (partly read) picture.
inline ReaderResult GotPictureReported(HGLOBAL image) {
    return ReaderResult{image, LOAD_PICTURE_REPORTED};
}
inline ReaderResult NoPictureReported() {
    return ReaderResult{nullptr, LOAD_NONE_REPORTED};
}
inline ReaderResult NoPictureSilent() {
    return ReaderResult{nullptr, LOAD_NONE_SILENT};
}
// For readers that learn only at the end whether they showed a message.
inline ReaderResult ReadEnded(HGLOBAL image, bool reported) {
    if (image) return reported ? GotPictureReported(image) : GotPicture(image);
    return reported ? NoPictureReported() : NoPictureSilent();
}

// Readers follow one contract: given the open file at offset 0 (or the file
// name), the owner of their message boxes and the File information text, they
// show their messages where they arise and return the picture together with
// the outcome. Readers given a handle leave it open; the loader closes it.
typedef ReaderResult (*HandleReader)(HFILE file, HWND owner, char* text);
// PCX and Targa take the loader's byte reader over its 2048-byte read buffer,
// on the open file at offset 0.
typedef ReaderResult (*BufferedReader)(ByteReader* in, HWND owner, char* text);
typedef ReaderResult (*NameReader)(const char* name, HWND owner, char* text, int displayDepth);
// One entry (1-based index) of an icon or cursor file that starts at base in
// the open file; reports the number of entries through count. textMode 0
// describes a file of its own, 1 the first icon of an animated file, any other
// value leaves the File information text alone.
typedef ReaderResult (*IconReader)(HWND owner, char* text, HFILE file, int* count, int index,
                                   long base, int textMode);
// An animated icon or cursor file into the frame and sequence tables: a
// picture outcome with the tables filled (reported when an icon of it could
// not be read and said so), LOAD_NONE_SILENT when there is nothing to show.
typedef LoadOutcome (*AnimatedReader)(HWND owner, HFILE file, char* text, int* frameCount,
                                      int* sequenceLength, HGLOBAL* sequenceTable,
                                      HGLOBAL* frameTable);
// Writes the Image record to path with the entry's two option values.
typedef WriteResult (*PictureWriter)(HGLOBAL image, const char* path, int option1, int option2);

// What detection looks at: the first two little-endian words of the file, the
// four bytes at offset 8 (a RIFF file's form type), the lowest byte of the
// word at offset 14 (a bitmap's header size) and the two bytes at offset 128
// (behind a MacBinary header), each when the file has them, and the file's
// name for the extension rules.
struct FileProbe {
    unsigned w0, w1; // bytes the file does not have count as zero
    BYTE form[4];    // likewise
    bool hasHeaderSize;
    BYTE headerSize;
    bool hasMacBinary;
    BYTE macBinary[2];
    const char* name;
};

// How the loader hands the file to the row's reader.
enum ReaderCall {
    CALL_HANDLE,         // the open file at offset 0
    CALL_BUFFERED,       // the open file, with the 2048-byte read buffer lent for the call
    CALL_NAME,           // the file name; the loader closes its handle first
    CALL_MACBINARY_COPY, // the name of a copy without the 128-byte MacBinary header
    CALL_NOTHING,        // recognised, but no reader takes it: no picture, no message
    CALL_ICON,           // the icon reader (g_iconReader), entry 1, then the icon cycle
    CALL_ANIMATED,       // the animated-cursor reader (g_animatedReader) into the frame tables
};

// One way of recognising a file. Detection tries the rules of all rows in
// ascending order and takes the first that matches.
struct DetectionRule {
    int order;
    DetectedFormat format;
    bool (*matches)(const FileProbe& probe);
    ReaderCall call;
};

// One Convert/Save command or zendra-cli name and the writer it runs.
struct WriterEntry {
    int command;      // the Convert/Save menu command; 0 for a name only zendra-cli has
    const char* name; // zendra-cli's name for it (--to)
    int format;       // the SaveFormat code
    int option1, option2;
    PictureWriter write; // null while this build has no writer for it
};

const int MAX_DETECTION_RULES = 2;
const int MAX_EXTENSIONS = 4;

// How a row's pictures are written: the entries in menu order, the Save As
// filter ('|' separated, ending with the separator), the default extension,
// and the extensions zendra-cli takes for the first entry.
struct FormatWriting {
    const WriterEntry* entries;
    int count;
    const char* saveFilter;
    const char* extension;
    const char* cliExtensions[MAX_EXTENSIONS];
};

struct FormatRow {
    const char* name; // the kind of file, as the notes call it
    DetectionRule rules[MAX_DETECTION_RULES];
    int ruleCount;
    // The reader (one of the three, by the rules' call), null while this
    // build has none, and the view kind the loader sets before calling it.
    HandleReader byHandle;
    BufferedReader byBuffer;
    NameReader byName;
    int kind;
    void (*prepare)();     // state the reader expects reset before the call, or null
    void (*finish)();      // state put right after the call, or null
    FormatWriting writing; // no entries for formats that are only read
};

// The reader of one image of an icon file, with which the animation timer
// steps multi-image icons; null while this build has none.
extern IconReader g_iconReader;
// The reader of animated icons and cursors; null while this build has none.
extern AnimatedReader g_animatedReader;

// The rows, in the order of the Convert/Save menu for those that write; the
// readers in them may be replaced (the tests put fakes there).
extern FormatRow g_formats[];
extern const int FORMAT_ROW_COUNT;

// The row and rule of a detected format; null for DET_NONE.
FormatRow* FormatRowOf(DetectedFormat format);
const DetectionRule* DetectionRuleOf(DetectedFormat format);

// The rule with the lowest order above after (0 gives the first); null after the last.
const DetectionRule* NextDetectionRule(int after);

// The row holding the writer of a format code, or null.
const FormatRow* WriterRowOf(int format);

// The writer entry of a menu command or of a zendra-cli name, or null.
const WriterEntry* WriterOfCommand(int command);
const WriterEntry* WriterNamed(const char* name);
