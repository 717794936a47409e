// Worker processes on POSIX systems: posix_spawn of this program, stderr
// through a pipe, poll for output and deadlines, SIGKILL after the time limit
// or when the batch is interrupted.
#include "cli/workers.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
typedef std::chrono::steady_clock Clock;

// Output kept per worker; a worker that writes more is cut short here.
const size_t kMaxMessages = 64 * 1024;

struct Running {
    size_t index;
    pid_t pid;
    int fd; // read end of the worker's stderr; -1 once it is closed
    std::string messages;
    Clock::time_point deadline;
    bool killed;
};

const char* Program() {
    // The running executable itself, whatever name or path started it.
    return access("/proc/self/exe", X_OK) == 0 ? "/proc/self/exe" : nullptr;
}

bool Start(const std::vector<std::string>& args, Running* worker, std::string* error) {
    const char* program = Program();
    if (!program) {
        *error = "cannot find this program's executable";
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("zendra-cli"));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 leaves the new descriptor 2 open across exec; both pipe ends close.
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = 0;
    int status = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (status != 0) {
        close(fds[0]);
        *error = std::string("cannot start a worker: ") + std::strerror(status);
        return false;
    }
    worker->pid = pid;
    worker->fd = fds[0];
    worker->killed = false;
    return true;
}

void Drain(Running* worker) {
    char buffer[16384];
    ssize_t n = read(worker->fd, buffer, sizeof buffer);
    if (n > 0) {
        size_t room = kMaxMessages - std::min(kMaxMessages, worker->messages.size());
        worker->messages.append(buffer, std::min(size_t(n), room));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        close(worker->fd);
        worker->fd = -1;
    }
}

// SIGCHLD writes a byte here, so that poll wakes as soon as a worker ends
// (its pipe closes a moment before it can be reaped).
int g_wakeWrite = -1;

void OnChildEnd(int) {
    int saved = errno;
    if (write(g_wakeWrite, "", 1) < 0) {
        // The pipe is full: poll wakes anyway.
    }
    errno = saved;
}

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
    OnChildEnd(0); // wakes poll
}

std::string SignalText(int signal) {
    const char* name = strsignal(signal);
    return "killed by signal " + std::to_string(signal) +
           (name ? std::string(" (") + name + ")" : "");
}

} // namespace

bool RunWorkers(const std::vector<std::vector<std::string>>& argLists, int jobs, double timeout,
                const std::function<void(size_t, const WorkerEnd&)>& done) {
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) wake[0] = wake[1] = -1;
    g_wakeWrite = wake[1];
    struct sigaction action, previous;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnChildEnd;
    action.sa_flags = SA_RESTART | SA_NOCLDSTOP;
    sigemptyset(&action.sa_mask);
    if (wake[1] >= 0) sigaction(SIGCHLD, &action, &previous);
    g_interrupted = 0;
    struct sigaction interrupt, previousInt, previousTerm;
    std::memset(&interrupt, 0, sizeof interrupt);
    interrupt.sa_handler = OnInterrupt;
    interrupt.sa_flags = SA_RESTART;
    sigemptyset(&interrupt.sa_mask);
    sigaction(SIGINT, &interrupt, &previousInt);
    sigaction(SIGTERM, &interrupt, &previousTerm);

    std::vector<Running> running;
    size_t next = 0;
    const auto limit =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
    while ((next < argLists.size() || !running.empty()) && !g_interrupted) {
        while (running.size() < size_t(jobs) && next < argLists.size()) {
            Running worker;
            worker.index = next++;
            std::string error;
            if (!Start(argLists[worker.index], &worker, &error)) {
                done(worker.index, WorkerEnd{-1, false, error, std::string()});
                continue;
            }
            worker.deadline = Clock::now() + limit;
            running.push_back(worker);
        }
        if (running.empty()) continue;

        // Sleep until output arrives, a worker ends, or the nearest deadline.
        std::vector<pollfd> polls;
        if (wake[0] >= 0) polls.push_back(pollfd{wake[0], POLLIN, 0});
        Clock::time_point now = Clock::now();
        Clock::time_point until = now + std::chrono::seconds(1);
        for (const Running& w : running) {
            if (w.fd < 0) {
                // Ended but not reaped yet: SIGCHLD is on its way.
                until = std::min(until, now + std::chrono::milliseconds(wake[0] >= 0 ? 50 : 1));
                continue;
            }
            polls.push_back(pollfd{w.fd, POLLIN, 0});
            if (!w.killed) until = std::min(until, w.deadline);
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        poll(polls.data(), polls.size(), wait < 0 ? 0 : int(wait) + 1);
        for (const pollfd& p : polls) {
            if (!p.revents) continue;
            if (p.fd == wake[0]) {
                char bytes[64];
                while (read(wake[0], bytes, sizeof bytes) > 0) {
                }
                continue;
            }
            for (Running& w : running)
                if (w.fd == p.fd) Drain(&w);
        }

        now = Clock::now();
        for (size_t i = 0; i < running.size();) {
            Running& w = running[i];
            if (!w.killed && now >= w.deadline) {
                kill(w.pid, SIGKILL);
                w.killed = true;
            }
            int status = 0;
            if (w.fd >= 0 || waitpid(w.pid, &status, WNOHANG) != w.pid) {
                i++;
                continue;
            }
            WorkerEnd end{-1, w.killed, std::string(), w.messages};
            end.pid = static_cast<unsigned long>(w.pid);
            if (!w.killed && WIFSIGNALED(status)) end.why = SignalText(WTERMSIG(status));
            if (!w.killed && WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
            const size_t index = w.index;
            running.erase(running.begin() + long(i));
            done(index, end);
        }
    }
    // Interrupted: the running workers are stopped and waited for, so that
    // their temporary files can be removed once they are gone.
    const bool interrupted = g_interrupted != 0;
    for (Running& w : running) kill(w.pid, SIGKILL);
    for (Running& w : running) {
        int status = 0;
        while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        while (w.fd >= 0) Drain(&w);
        // One that had finished by itself is reported as it ended.
        WorkerEnd end{-1, false, std::string(), w.messages};
        end.pid = static_cast<unsigned long>(w.pid);
        end.interrupted = !WIFEXITED(status);
        if (WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
        done(w.index, end);
    }
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    if (wake[1] >= 0) {
        sigaction(SIGCHLD, &previous, nullptr);
        close(wake[0]);
        close(wake[1]);
    }
    g_wakeWrite = -1;
    return !interrupted;
}
