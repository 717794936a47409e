// Batch conversion: zendra-cli convert --to NAME --outdir DIR INPUT..., each
// file converted by a worker process of its own.
#pragma once

#include "cli/options.h"

#include <string>
#include <vector>

struct BatchOptions {
    std::string outdir;
    const OutputFormat* format;
    bool force;
    int jobs;
    double timeout;                     // seconds a worker may take
    std::vector<std::string> toolArgs;  // the tool options as given, for every worker
    std::vector<std::string> limitArgs; // --max-pixels and --max-memory, for every worker
    std::vector<std::string> inputs;
};

// The output path of an input: the folder, then the input's base name with its
// extension (from the last dot) replaced by ext; empty when the input names no file.
std::string BatchOutputPath(const std::string& outdir, const std::string& input, const char* ext);

// The exit status of a batch stopped by Ctrl-C (128 + SIGINT, as shells report it).
const int kInterruptedStatus = 130;

// Converts every input, reports failures and a summary on stderr, shows a
// progress line when stderr is a terminal; returns the exit status. An
// interrupt stops the workers, removes their temporary files and reports how
// far the batch got.
int RunBatch(const BatchOptions& options);
