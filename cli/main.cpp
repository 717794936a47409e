// zendra-cli: the picture core from the command line.
//   zendra-cli info [--max-pixels N] FILE...
//   zendra-cli convert [--to NAME] [--force] [LIMITS] [TOOLS] INPUT OUTPUT
//   zendra-cli convert --to NAME --outdir DIR [-j N] [--timeout S] [--force] [LIMITS] [TOOLS]
//                      INPUT...
#include "cli/batch.h"
#include "cli/memory_limit.h"
#include "cli/options.h"
#include "cli/pipe.h"
#include "tools/output_file.h"
#include "cli/tool_options.h"
#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "metafile/metafile.h"
#include "formats/native/gif_frames.h"
#include "tools/commands.h"
#include "tools/writers.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace {
const char* const kProgram = "zendra-cli";
const char* g_subject = nullptr; // the file the current messages are about

// Message boxes become one line on stderr, prefixed with the program and the file.
int PrintMessage(HWND, const char* text, const char* caption, UINT type) {
    std::string line;
    for (const char* p = text ? text : ""; *p; p++) {
        bool space = *p == '\n' || *p == '\r' || *p == ' ';
        if (space) {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += *p;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (g_subject)
        std::fprintf(stderr, "%s: %s: %s\n", kProgram, g_subject, line.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

const int kHelpWidth = 78;

// Prints prefix and then text's words, wrapped at kHelpWidth columns onto
// lines indented as wide as the prefix.
void PrintWrapped(FILE* out, const std::string& prefix, const std::string& text) {
    std::string line = prefix;
    bool empty = true;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty()) continue;
        if (!empty && line.size() + 1 + word.size() > size_t(kHelpWidth)) {
            std::fprintf(out, "%s\n", line.c_str());
            line.assign(prefix.size(), ' ');
            empty = true;
        }
        if (!empty) line += ' ';
        line += word;
        empty = false;
    }
    std::fprintf(out, "%s\n", line.c_str());
}

void AddExtension(const char* extension, void* text) {
    std::string* list = static_cast<std::string*>(text);
    if (!list->empty()) *list += ' ';
    *list += '.';
    *list += extension;
}

struct NameColumns {
    FILE* out;
    int count;
};

void PrintFormatName(const OutputFormat& format, void* context) {
    NameColumns* columns = static_cast<NameColumns*>(context);
    if (columns->count++ % 6 == 0) std::fprintf(columns->out, "\n              ");
    std::fprintf(columns->out, " %s", format.name);
}

void Usage(FILE* out) {
    std::fprintf(out,
                 "Usage: %s info FILE...\n"
                 "       %s convert [--to NAME] [--force] [LIMITS] [TOOLS] INPUT OUTPUT\n"
                 "       %s convert --to NAME --outdir DIR [-j N] [--timeout SECONDS]\n"
                 "                  [--force] [LIMITS] [TOOLS] INPUT...\n"
                 "\n"
                 "info     prints the description of each picture file.\n",
                 kProgram, kProgram, kProgram);
    std::string extensions;
    ForEachOutputExtension(AddExtension, &extensions);
    PrintWrapped(
        out, "convert  ",
        "reads INPUT and writes it to OUTPUT in the format NAME, or in the format of "
        "OUTPUT's extension (" +
            extensions +
            "). With --outdir it converts every INPUT into DIR, under the INPUT's name "
            "with the extension of the format, each file in a process of its own. Of an icon "
            "file of several images or an animated cursor it writes the picture shown "
            "first.");
    std::fprintf(out, "\n"
                      "Options:\n"
                      "  --to NAME   output format:");
    NameColumns columns = {out, 0};
    ForEachOutputFormat(PrintFormatName, &columns);
    std::fprintf(out, "\n"
                      "  --force     overwrite OUTPUT if it exists\n"
                      "  --frame N   write frame N (from 1) of an animated GIF, as shown\n"
                      "  --outdir DIR\n"
                      "              write the output files into the folder DIR\n"
                      "  -j N, --jobs N\n"
                      "              with --outdir: convert up to N files at once (1 to 64,\n"
                      "              default 1)\n"
                      "  --timeout SECONDS\n"
                      "              with --outdir: give up a file whose conversion takes\n"
                      "              longer (default 300)\n"
                      "  --help      show this help and exit\n"
                      "  --version   show the version and exit\n"
                      "\n"
                      "Limits, for pictures from untrusted sources:\n"
                      "  --max-pixels N\n"
                      "              refuse a picture of more than N pixels before reading it\n"
                      "              (default: any picture whose block fits in 1 GB); info\n"
                      "              takes it as well\n"
                      "  --max-memory MB\n"
                      "              let each conversion use at most MB megabytes of memory\n"
                      "              (enforced by the system; with --outdir, for each worker)\n"
                      "\n");
    std::fputs(ToolOptionsHelp(), out);
    std::fprintf(out, "\n"
                      "Exit status: 0 on success, 1 when a file failed, 2 on a usage error,\n"
                      "130 when a batch was interrupted.\n");
}

int UsageError(const char* message, const char* detail = nullptr) {
    if (detail)
        std::fprintf(stderr, "%s: %s '%s'\n", kProgram, message, detail);
    else
        std::fprintf(stderr, "%s: %s\n", kProgram, message);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
    return 2;
}

bool Exists(const char* path) {
    struct stat st;
    return ::stat(path, &st) == 0;
}

// The limits asked for on the command line (0: none).
struct Limits {
    uint64_t pixels = 0;
    uint64_t megabytes = 0;
    std::vector<std::string> args; // as given, for batch workers
};

const uint64_t kMaxMemoryMegabytes = 1u << 20;

// Reads --max-pixels N or --max-memory MB at argv[*i] into limits: 1 when it
// is one of them, 0 when it is not, or the exit status of the usage error.
int ParseLimit(int argc, char** argv, int* i, Limits* limits);

// A refusal by --max-pixels, said in its own words after the reader's.
void ReportPixelLimit(const char* path) {
    int64_t width = 0, height = 0;
    if (!TakePixelLimitRefusal(&width, &height)) return;
    std::fprintf(stderr, "%s: %s: %s x %s pixels is more than --max-pixels %s allows\n", kProgram,
                 path, std::to_string(width).c_str(), std::to_string(height).c_str(),
                 std::to_string(PicturePixelLimit()).c_str());
}

uint64_t g_memoryLimit = 0; // megabytes, for the message below

// Memory the C++ runtime could not have within --max-memory: a clear message
// and status 1 instead of an abort.
void OutOfMemory() {
    std::fprintf(stderr, "%s: %s%sout of memory within --max-memory %s MB\n", kProgram,
                 g_subject ? g_subject : "", g_subject ? ": " : "",
                 std::to_string(g_memoryLimit).c_str());
    std::_Exit(1);
}

// Puts the limits in force for this process; 1 after saying why when the
// system refuses the memory limit, else 0.
int ApplyLimits(const Limits& limits, bool memory) {
    if (limits.pixels) LowerPicturePixelLimit(limits.pixels);
    if (!memory || !limits.megabytes) return 0;
    if (!LimitProcessMemory(limits.megabytes)) {
        std::fprintf(stderr, "%s: cannot limit this process to %s MB of memory\n", kProgram,
                     std::to_string(limits.megabytes).c_str());
        return 1;
    }
    g_memoryLimit = limits.megabytes;
    std::set_new_handler(OutOfMemory);
    return 0;
}

const char* const kStandardInput = "standard input";

// The file to read for a path: "-" stands for standard input, read once and
// kept in a temporary file until exit; null when that failed.
const char* ReadablePath(const char* path) {
    if (!IsStandardStream(path)) return path;
    static std::string spooled;
    static bool tried = false;
    if (!tried) {
        tried = true;
        spooled = SpoolStandardInput(kProgram);
        if (!spooled.empty()) std::atexit([] { std::remove(spooled.c_str()); });
    }
    return spooled.empty() ? nullptr : spooled.c_str();
}

// Loads one file into the current-image state; messages name the file (or
// standard input).
LoadOutcome Load(const char* path) {
    ReleaseCurrentPicture();
    g_viewKind = KIND_NONE;
    g_subject = IsStandardStream(path) ? kStandardInput : path;
    const char* readable = ReadablePath(path);
    if (!readable) return LOAD_NONE_REPORTED;
    LoadOutcome outcome = LoadPicture(readable, nullptr, 32); // true colour: never reduced
    // An enhanced metafile is described when it is played; played without a
    // device context, it only writes its description.
    if (g_viewKind == KIND_EMF && g_picture)
        PlayEnhancedMetafile(nullptr, reinterpret_cast<HENHMETAFILE>(g_picture), MetafileRect{},
                             g_infoText, nullptr);
    return outcome;
}

bool IsGifText() {
    return std::strncmp(g_infoText, "image type: GIF ", 16) == 0;
}

bool HasPicture(LoadOutcome outcome) {
    return outcome == LOAD_PICTURE || outcome == LOAD_PICTURE_REPORTED;
}

// Readers report their own failures; a file no reader took, or that one gave
// up on without a word or a line of File information, gets a line here.
void ReportNotRead(LoadOutcome outcome, const char* path) {
    if (outcome != LOAD_NONE_SILENT || g_infoText[0]) return;
    if (!IsStandardStream(path) && !Exists(path)) return;
    std::fprintf(stderr, "%s: %s: not a picture this program can read\n", kProgram,
                 IsStandardStream(path) ? kStandardInput : path);
}

int Info(int argc, char** argv) {
    Limits limits;
    std::vector<char*> files;
    for (int i = 0; i < argc; i++) {
        int limit = ParseLimit(argc, argv, &i, &limits);
        if (limit > 1) return limit;
        if (limit == 0) files.push_back(argv[i]);
    }
    if (limits.megabytes) return UsageError("--max-memory goes with convert");
    ApplyLimits(limits, false);
    argc = int(files.size());
    argv = files.data();
    if (argc == 0) return UsageError("info needs at least one FILE");
    int status = 0;
    for (int i = 0; i < argc; i++) {
        const char* path = argv[i];
        const LoadOutcome outcome = Load(path);
        const bool ok = HasPicture(outcome);
        if (!ok) ReportPixelLimit(path);
        if (argc > 1) std::printf("%s%s:\n", i ? "\n" : "", path);
        if (g_infoText[0]) {
            size_t len = std::strlen(g_infoText);
            std::fputs(g_infoText, stdout);
            if (g_infoText[len - 1] != '\n') std::fputc('\n', stdout);
            if (ok && IsGifText()) std::printf("frames: %d\n", CountGifFrames(ReadablePath(path)));
        }
        if (!HasPicture(outcome)) {
            ReportNotRead(outcome, path);
            status = 1;
        }
    }
    ReleaseCurrentPicture();
    return status;
}

// Test hooks of batch workers only: a worker whose input has this base name
// hangs (ZENDRA_TEST_HANG_ON) or aborts (ZENDRA_TEST_CRASH_ON), so that the
// tests can watch the batch survive it.
void HangForever() {
    for (;;) {
#ifdef _WIN32
        Sleep(1000);
#else
        sleep(1);
#endif
    }
}

// ZENDRA_TEST_HANG_WRITING and ZENDRA_TEST_CRASH_WRITING do the same once the
// worker's temporary output file exists.
void HangWhileWriting(const char*) {
    HangForever();
}
void CrashWhileWriting(const char*) {
    std::abort();
}

void RunWorkerTestHooks(const char* input) {
    const char* slash = std::strrchr(input, '/');
    const char* base = slash ? slash + 1 : input;
    const char* hang = std::getenv("ZENDRA_TEST_HANG_ON");
    const char* crash = std::getenv("ZENDRA_TEST_CRASH_ON");
    const char* hangWriting = std::getenv("ZENDRA_TEST_HANG_WRITING");
    const char* crashWriting = std::getenv("ZENDRA_TEST_CRASH_WRITING");
    if (crash && std::strcmp(crash, base) == 0) std::abort();
    if (hang && std::strcmp(hang, base) == 0) HangForever();
    if (hangWriting && std::strcmp(hangWriting, base) == 0) g_temporaryMade = HangWhileWriting;
    if (crashWriting && std::strcmp(crashWriting, base) == 0) g_temporaryMade = CrashWhileWriting;
}

// The value of an option given as "--name VALUE", "--name=VALUE" or, for a
// short option, "-jVALUE"; null when argv[*i] is not that option, and then
// *missing set when it is the option but no value follows.
const char* OptionValue(int argc, char** argv, int* i, const char* name, const char* shortName,
                        bool* missing) {
    const char* a = argv[*i];
    size_t n = std::strlen(name);
    if (std::strncmp(a, name, n) == 0 && a[n] == '=') return a + n + 1;
    if (shortName && std::strncmp(a, shortName, 2) == 0 && a[2] != 0) return a + 2;
    if (std::strcmp(a, name) != 0 && !(shortName && std::strcmp(a, shortName) == 0)) return nullptr;
    if (*i + 1 >= argc) {
        *missing = true;
        return nullptr;
    }
    return argv[++*i];
}

int ParseLimit(int argc, char** argv, int* i, Limits* limits) {
    bool missing = false;
    const char* a = argv[*i];
    const char* pixels = OptionValue(argc, argv, i, "--max-pixels", nullptr, &missing);
    const char* memory =
        pixels || missing ? nullptr : OptionValue(argc, argv, i, "--max-memory", nullptr, &missing);
    if (missing) return UsageError("option requires an argument:", a);
    if (!pixels && !memory) return 0;
    const char* text = pixels ? pixels : memory;
    char* end = nullptr;
    errno = 0;
    const unsigned long long n = std::strtoull(text, &end, 10);
    const bool number = *end == 0 && end != text && text[0] != '-' && errno == 0 && n > 0;
    if (pixels) {
        if (!number) return UsageError("--max-pixels takes a number of pixels above 0, not", text);
        limits->pixels = n;
    } else {
        if (!number || n > kMaxMemoryMegabytes)
            return UsageError("--max-memory takes a number of megabytes from 1 to 1048576, not",
                              text);
        limits->megabytes = n;
    }
    limits->args.push_back(pixels ? "--max-pixels" : "--max-memory");
    limits->args.push_back(std::to_string(n));
    return 1;
}

// What convert was asked to do.
struct ConvertRequest {
    const char* toName = nullptr;
    bool force = false;
    bool worker = false; // one file of a batch, started by the batch itself
    std::vector<const char*> files;
    std::vector<int> tools;
    std::vector<std::string> toolArgs; // the tool options as given, for batch workers
    const char* outdir = nullptr;
    const char* jobsText = nullptr;
    const char* timeoutText = nullptr;
    Limits limits;
    int frame = 0; // --frame: the GIF frame to write, counted from 1 (0: the first, as read)
};

// Reads convert's arguments into the request; 0 when they make sense, else
// the exit status of the usage error already reported.
int ParseConvert(int argc, char** argv, ConvertRequest* r) {
    const char* error = nullptr;
    const char* detail = nullptr;
    for (int i = 0; i < argc; i++) {
        const char* a = argv[i];
        bool missing = false;
        const int first = i;
        if (const char* v = OptionValue(argc, argv, &i, "--to", nullptr, &missing)) {
            r->toName = v;
        } else if (const char* v = OptionValue(argc, argv, &i, "--outdir", nullptr, &missing)) {
            r->outdir = v;
        } else if (const char* v = OptionValue(argc, argv, &i, "--jobs", "-j", &missing)) {
            r->jobsText = v;
        } else if (const char* v = OptionValue(argc, argv, &i, "--timeout", nullptr, &missing)) {
            r->timeoutText = v;
        } else if (const char* v = OptionValue(argc, argv, &i, "--frame", nullptr, &missing)) {
            char* end = nullptr;
            long n = std::strtol(v, &end, 10);
            if (*end || end == v || n < 1 || n > 65535)
                return UsageError("--frame takes a frame number from 1, not", v);
            r->frame = int(n);
            r->toolArgs.insert(r->toolArgs.end(), argv + first, argv + i + 1);
        } else if (missing) {
            return UsageError("option requires an argument:", a);
        } else if (int limit = ParseLimit(argc, argv, &i, &r->limits)) {
            if (limit > 1) return limit;
        } else if (std::strcmp(a, "--force") == 0 || std::strcmp(a, "-f") == 0) {
            r->force = true;
        } else if (std::strcmp(a, "--worker") == 0) {
            r->worker = true;
        } else if (std::strcmp(a, "--") == 0) {
            for (i++; i < argc; i++) r->files.push_back(argv[i]);
        } else if (ToolOptionParse t = ParseToolOption(argc, argv, &i, &r->tools, &error, &detail);
                   t != TOOL_OPTION_NONE) {
            if (t == TOOL_OPTION_ERROR) return UsageError(error, detail);
            r->toolArgs.insert(r->toolArgs.end(), argv + first, argv + i + 1);
        } else if (a[0] == '-' && a[1] != 0) {
            return UsageError("unknown option", a);
        } else {
            r->files.push_back(a);
        }
    }
    return 0;
}

// 2 after saying so when this build cannot write the format, else 0.
int RefuseUnavailable(const OutputFormat* format) {
    if (WriterAvailable(format->format)) return 0;
    std::fprintf(stderr, "%s: the output format '%s' is not available yet\n", kProgram,
                 format->name);
    return 2;
}

// Every input into the output folder, each by a worker process of its own.
int ConvertBatch(const ConvertRequest& r, const OutputFormat* format) {
    if (!format) return UsageError("--outdir needs the output format: use --to NAME");
    if (r.files.empty()) return UsageError("convert --outdir needs at least one INPUT file");
    for (const char* file : r.files)
        if (IsStandardStream(file))
            return UsageError("standard input is converted without --outdir:", file);
    BatchOptions batch;
    batch.outdir = r.outdir;
    batch.format = format;
    batch.force = r.force;
    batch.jobs = 1;
    batch.timeout = 300;
    if (r.jobsText) {
        char* end = nullptr;
        long n = std::strtol(r.jobsText, &end, 10);
        if (*end || end == r.jobsText || n < 1 || n > 64)
            return UsageError("-j takes a number of workers from 1 to 64, not", r.jobsText);
        batch.jobs = int(n);
    }
    if (r.timeoutText) {
        char* end = nullptr;
        double s = std::strtod(r.timeoutText, &end);
        if (*end || end == r.timeoutText || !(s > 0) || s > 1e6)
            return UsageError("--timeout takes a number of seconds above 0, not", r.timeoutText);
        batch.timeout = s;
    }
    if (int status = RefuseUnavailable(format)) return status;
    batch.toolArgs = r.toolArgs;
    batch.limitArgs = r.limits.args;
    if (r.limits.pixels) LowerPicturePixelLimit(r.limits.pixels);
    batch.inputs.assign(r.files.begin(), r.files.end());
    return RunBatch(batch);
}

// Puts frame number of the GIF file just loaded, composited, in place of
// the picture; false after saying why.
bool UseGifFrame(const char* input, int number) {
    if (!IsGifText()) {
        std::fprintf(stderr, "%s: %s: --frame goes with GIF files\n", kProgram, g_subject);
        return false;
    }
    HGLOBAL frame = ComposeGifFrame(ReadablePath(input), number);
    if (!frame) {
        std::fprintf(stderr, "%s: %s: there is no frame %d (the file has %d)\n", kProgram,
                     g_subject, number, CountGifFrames(ReadablePath(input)));
        return false;
    }
    if (g_original && g_original != g_picture) GlobalFree(g_original);
    g_original = nullptr;
    if (g_picture) GlobalFree(g_picture);
    g_picture = frame;
    return true;
}

// One input to one output: load, run the tools, write.
int ConvertOne(const ConvertRequest& r, const OutputFormat* format) {
    if (r.jobsText || r.timeoutText) return UsageError("-j and --timeout go with --outdir");
    if (r.files.size() != 2) {
        return UsageError(r.files.size() > 2 ? "too many files; convert several with --outdir DIR"
                                             : "convert needs an INPUT and an OUTPUT file");
    }
    const char* input = r.files[0];
    const char* output = r.files[1];
    if (r.worker) RunWorkerTestHooks(input);
    const bool toPipe = IsStandardStream(output);
    if (!format && toPipe) return UsageError("standard output needs the output format: use --to");
    if (!format) {
        format = FormatFromExtension(output);
        if (!format)
            return UsageError("cannot tell the output format from the name; use --to:", output);
    }
    if (int status = RefuseUnavailable(format)) return status;
    if (toPipe && StandardOutputIsTerminal()) {
        std::fprintf(stderr, "%s: not writing a picture to a terminal\n", kProgram);
        return 1;
    }
    if (!toPipe && !r.force && Exists(output)) {
        std::fprintf(stderr, "%s: %s: file exists (use --force to overwrite)\n", kProgram, output);
        return 1;
    }
    if (int status = ApplyLimits(r.limits, true)) return status;
    LoadOutcome loaded = Load(input);
    if (!HasPicture(loaded)) {
        ReportNotRead(loaded, input);
        ReportPixelLimit(input);
        return 1;
    }
    if (loaded == LOAD_PICTURE_REPORTED) {
        // A reader that met an error still hands over what it has (a picture
        // left black where it could not decode): that is not a conversion.
        ReleaseCurrentPicture();
        return 1;
    }
    // Icon files of several images and animated cursors convert the picture shown first.
    if (g_viewKind != KIND_RASTER && g_viewKind != KIND_ICON_CYCLE && g_viewKind != KIND_ANI) {
        // As Convert/Save answers for metafiles.
        std::fprintf(stderr, "%s: %s: Unable to Convert File: Current File is Not a Bitmap\n",
                     kProgram, input);
        ReleaseCurrentPicture();
        return 1;
    }
    if (r.frame && !UseGifFrame(input, r.frame)) {
        ReleaseCurrentPicture();
        return 1;
    }
    if (!RunToolCommands(r.tools)) {
        // A tool that could not do its work has said why; nothing is written.
        ReportPixelLimit(input);
        ReleaseCurrentPicture();
        return 1;
    }
    // For standard output the picture goes to a temporary file first, so that
    // a writer that fails sends nothing down the pipe.
    const std::string temporary = toPipe ? MakeTemporaryFile(kProgram) : std::string();
    if (toPipe && temporary.empty()) {
        ReleaseCurrentPicture();
        return 1;
    }
    if (toPipe) output = temporary.c_str();
    OutputResult result = WriteOutputFile(PictureToWrite(), output, format->format, format->option1,
                                          format->option2, r.force || toPipe);
    ReleaseCurrentPicture();
    if (toPipe) {
        bool sent = result == OUTPUT_OK && CopyToStandardOutput(kProgram, temporary);
        std::remove(temporary.c_str());
        if (sent) return 0;
        if (result == OUTPUT_OK) return 1;
        output = "standard output";
    }
    switch (result) {
    case OUTPUT_OK:
        return 0;
    case OUTPUT_EXISTS:
        std::fprintf(stderr, "%s: %s: file exists (use --force to overwrite)\n", kProgram, output);
        break;
    case OUTPUT_CREATE_FAILED:
        std::fprintf(stderr, "%s: %s: cannot create the file\n", kProgram, output);
        break;
    case OUTPUT_WRITE_FAILED:
    case OUTPUT_UNAVAILABLE:
        std::fprintf(stderr, "%s: %s: error converting the file to %s\n", kProgram, output,
                     format->name);
        break;
    }
    return 1;
}

int Convert(int argc, char** argv) {
    ConvertRequest request;
    if (int status = ParseConvert(argc, argv, &request)) return status;
    const OutputFormat* format = nullptr;
    if (request.toName) {
        format = FindOutputFormat(request.toName);
        if (!format) return UsageError("unknown output format", request.toName);
    }
    return request.outdir ? ConvertBatch(request, format) : ConvertOne(request, format);
}
} // namespace

int main(int argc, char** argv) {
    SetMessageSink(PrintMessage);
    // Lets the tests reach the memory-failure paths of a real run.
    if (const char* fail = std::getenv("ZENDRA_FAIL_ALLOC")) FailGlobalAllocAt(std::atoi(fail));
    InitImageState();
    g_displayDepth = 32; // true colour: pictures are never reduced for showing
    if (argc < 2) return UsageError("missing command");
    const char* command = argv[1];
    if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
        Usage(stdout);
        return 0;
    }
    if (std::strcmp(command, "--version") == 0) {
        std::printf("%s %s\n", kProgram, ZENDRA_VERSION);
        return 0;
    }
    for (int i = 2; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0) {
            Usage(stdout);
            return 0;
        }
    }
    if (std::strcmp(command, "info") == 0) return Info(argc - 2, argv + 2);
    if (std::strcmp(command, "convert") == 0) return Convert(argc - 2, argv + 2);
    return UsageError("unknown command", command);
}
