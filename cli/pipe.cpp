#include "cli/pipe.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {
void SetBinary(FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

// The temporary files of this process, removed when a signal ends it (Ctrl-C,
// a pipe closed by the reader): exit handlers do not run then. Fixed storage,
// since the handler may not allocate.
const int kMaxTemporaries = 4;
char g_temporaries[kMaxTemporaries][4096];
volatile std::sig_atomic_t g_temporaryCount = 0;

extern "C" void RemoveTemporariesAndStop(int signal) {
    for (int i = 0; i < g_temporaryCount; i++) {
#ifdef _WIN32
        DeleteFileA(g_temporaries[i]);
#else
        unlink(g_temporaries[i]);
#endif
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void RemoveOnSignal(const std::string& path) {
    const int n = g_temporaryCount;
    if (n >= kMaxTemporaries || path.size() >= sizeof g_temporaries[0]) return;
    std::memcpy(g_temporaries[n], path.c_str(), path.size() + 1);
    g_temporaryCount = n + 1;
    if (n > 0) return;
    std::signal(SIGINT, RemoveTemporariesAndStop);
    std::signal(SIGTERM, RemoveTemporariesAndStop);
#ifndef _WIN32
    std::signal(SIGHUP, RemoveTemporariesAndStop);
    std::signal(SIGPIPE, RemoveTemporariesAndStop);
#endif
}

// Copies in to out until in ends; false on a read or write error.
bool CopyStream(FILE* in, FILE* out) {
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        if (std::fwrite(buffer, 1, n, out) != n) return false;
    return !std::ferror(in);
}
} // namespace

bool IsStandardStream(const char* path) {
    return path && std::strcmp(path, "-") == 0;
}

std::string MakeTemporaryFile(const char* program) {
#ifdef _WIN32
    char folder[MAX_PATH + 1], path[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n > 0 && n < sizeof folder && GetTempFileNameA(folder, "zen", 0, path) != 0) {
        RemoveOnSignal(path);
        return path;
    }
    std::fprintf(stderr, "%s: cannot make a temporary file\n", program);
    return "";
#else
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/zendra-cli-XXXXXX";
    int fd = mkstemp(&path[0]);
    if (fd < 0) {
        std::fprintf(stderr, "%s: cannot make a temporary file: %s\n", program,
                     std::strerror(errno));
        return "";
    }
    close(fd);
    RemoveOnSignal(path);
    return path;
#endif
}

std::string SpoolStandardInput(const char* program) {
    std::string path = MakeTemporaryFile(program);
    if (path.empty()) return path;
    SetBinary(stdin);
    FILE* out = std::fopen(path.c_str(), "wb");
    bool ok = out && CopyStream(stdin, out);
    if (out && std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "%s: cannot keep standard input in %s\n", program, path.c_str());
        std::remove(path.c_str());
        return "";
    }
    return path;
}

bool CopyToStandardOutput(const char* program, const std::string& path) {
    SetBinary(stdout);
    FILE* in = std::fopen(path.c_str(), "rb");
    bool ok = in && CopyStream(in, stdout);
    if (in) std::fclose(in);
    if (std::fflush(stdout) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "%s: error writing to standard output\n", program);
    return ok;
}

bool StandardOutputIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}
