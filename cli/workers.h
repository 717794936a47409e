// Worker processes for batch conversion: each file is converted by a process
// of its own, so a file that crashes or hangs its worker costs only that file.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct WorkerEnd {
    int exitCode;             // the worker's exit status; -1 when it did not exit by itself
    bool timedOut;            // killed at the time limit
    std::string why;          // else when exitCode is -1: "killed by signal 11 (...)", ...
    std::string messages;     // what the worker wrote on its stderr
    unsigned long pid = 0;    // the worker's process id; 0 when it did not start
    bool interrupted = false; // stopped because the batch was interrupted
};

// Runs this program once per argument list (the program name not included),
// at most jobs at a time, and kills a worker still running after timeout
// seconds. done(index, end) is called as each worker ends, in that order.
// An interrupt (Ctrl-C, SIGINT or SIGTERM) stops the running workers (each
// reported as interrupted) and starts no more; false then.
bool RunWorkers(const std::vector<std::vector<std::string>>& argLists, int jobs, double timeout,
                const std::function<void(size_t, const WorkerEnd&)>& done);
