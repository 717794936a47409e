#include "cli/batch.h"

#include "cli/workers.h"
#include "tools/output_file.h"
#include "tools/writers.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
const char* const kProgram = "zendra-cli";

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// Names compare as the file system does: without regard to case on Windows.
std::string NameKey(const std::string& path) {
#ifdef _WIN32
    std::string key = path;
    for (char& c : key) c = c == '/' ? '\\' : char(std::tolower((unsigned char)c));
    return key;
#else
    return path;
#endif
}

// "[done/total] name" on one line of the terminal, overwritten in place.
struct Progress {
    bool shown;
    size_t width; // characters of the line on screen

    void Clear() {
        if (!width) return;
        std::fprintf(stderr, "\r%*s\r", int(width), "");
        width = 0;
    }
    void Show(size_t done, size_t total, const std::string& name) {
        if (!shown) return;
        Clear();
        std::string line = "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + name;
        if (line.size() > 79) line = line.substr(0, 76) + "...";
        std::fprintf(stderr, "%s", line.c_str());
        std::fflush(stderr);
        width = line.size();
    }
};
} // namespace

std::string BatchOutputPath(const std::string& outdir, const std::string& input, const char* ext) {
#ifdef _WIN32
    size_t cut = input.find_last_of("/\\:");
#else
    size_t cut = input.find_last_of('/');
#endif
    std::string base = cut == std::string::npos ? input : input.substr(cut + 1);
    if (base.empty() || base == "." || base == "..") return std::string();
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    std::string folder = outdir;
    if (folder.empty()) folder = ".";
    char last = folder.back();
    bool separated = last == '/';
#ifdef _WIN32
    separated = separated || last == '\\' || last == ':';
#endif
    return folder + (separated ? "" : "/") + base + "." + ext;
}

int RunBatch(const BatchOptions& options) {
    struct stat st;
    if (stat(options.outdir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "%s: %s: not a folder\n", kProgram, options.outdir.c_str());
        return 1;
    }
    const char* ext = FormatExtension(options.format->format);
    const size_t total = options.inputs.size();
    size_t converted = 0, finished = 0;
    Progress progress = {StderrIsTerminal(), 0};

    // Each input gets its output name; an input whose name is taken already
    // fails here, before any worker could overwrite the first one's file.
    std::vector<std::vector<std::string>> argLists;
    std::vector<size_t> inputOf; // argLists index -> input index
    std::map<std::string, size_t> taken;
    for (size_t i = 0; i < total; i++) {
        const std::string& input = options.inputs[i];
        std::string output = BatchOutputPath(options.outdir, input, ext);
        std::string problem;
        if (output.empty()) {
            problem = "not a file name";
        } else if (!taken.emplace(NameKey(output), i).second) {
            problem = "its output " + output + " is that of " +
                      options.inputs[taken[NameKey(output)]] + " as well; not converted";
        }
        if (!problem.empty()) {
            std::fprintf(stderr, "%s: %s: %s\n", kProgram, input.c_str(), problem.c_str());
            finished++;
            continue;
        }
        std::vector<std::string> args = {"convert", "--worker", "--to", options.format->name};
        if (options.force) args.push_back("--force");
        args.insert(args.end(), options.limitArgs.begin(), options.limitArgs.end());
        args.insert(args.end(), options.toolArgs.begin(), options.toolArgs.end());
        args.insert(args.end(), {"--", input, output});
        argLists.push_back(args);
        inputOf.push_back(i);
    }

    size_t stopped = 0;
    const bool completed =
        RunWorkers(argLists, options.jobs, options.timeout, [&](size_t k, const WorkerEnd& end) {
            const std::string& input = options.inputs[inputOf[k]];
            // A worker killed at its time limit, by a crash or by the interrupt
            // had no chance to remove its temporary file.
            if (end.pid) RemoveTemporariesOf(options.outdir, end.pid);
            if (end.interrupted) {
                stopped++;
                progress.Clear();
                std::fprintf(stderr, "%s: %s: stopped (interrupted)\n", kProgram, input.c_str());
                return;
            }
            finished++;
            const bool ok = end.exitCode == 0;
            if (!end.messages.empty() || !ok) progress.Clear();
            std::fputs(end.messages.c_str(), stderr);
            if (!end.messages.empty() && end.messages.back() != '\n') std::fputc('\n', stderr);
            if (end.timedOut) {
                std::fprintf(stderr, "%s: %s: timed out after %g s\n", kProgram, input.c_str(),
                             options.timeout);
            } else if (!end.why.empty()) {
                std::fprintf(stderr, "%s: %s: %s\n", kProgram, input.c_str(), end.why.c_str());
            } else if (!ok && end.messages.empty()) {
                std::fprintf(stderr, "%s: %s: not converted (the worker ended with status %d)\n",
                             kProgram, input.c_str(), end.exitCode);
            }
            if (ok) converted++;
            progress.Show(finished, total, input);
        });
    progress.Clear();
    if (!completed) {
        const size_t notStarted = total - finished - stopped;
        std::fprintf(stderr,
                     "%s: interrupted: converted %s of %s files (%s stopped, %s not started)\n",
                     kProgram, std::to_string(converted).c_str(), std::to_string(total).c_str(),
                     std::to_string(stopped).c_str(), std::to_string(notStarted).c_str());
        return kInterruptedStatus;
    }
    std::fprintf(stderr, "%s: converted %s of %s files\n", kProgram,
                 std::to_string(converted).c_str(), std::to_string(total).c_str());
    return converted == total ? 0 : 1;
}
