// Worker processes on Windows: CreateProcess of this program with stderr in a
// temporary file (read back when the worker ends), WaitForMultipleObjects for
// ends and deadlines, TerminateProcess after the time limit.
#include "cli/workers.h"

#include "platform/win32.h"

#include <cstdio>

namespace {
struct Running {
    size_t index;
    HANDLE process;
    HANDLE messages; // the temporary file holding the worker's stderr
    DWORD started;   // GetTickCount at the start
    DWORD pid;
    bool killed;
};

volatile LONG g_interrupted = 0;

// Ctrl-C and Ctrl-Break reach the workers on the console as well; the batch
// stops starting new ones and ends those still running.
BOOL WINAPI OnConsoleInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    InterlockedExchange(&g_interrupted, 1);
    return TRUE;
}

// One argument quoted for the command line as the C runtime splits it.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            backslashes++;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

// An exclusively created temporary file, deleted when its last handle closes.
HANDLE TemporaryFile() {
    char folder[MAX_PATH], name[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, folder);
    if (n == 0 || n >= MAX_PATH || GetTempFileNameA(folder, "zen", 0, name) == 0)
        return INVALID_HANDLE_VALUE;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) DeleteFileA(name);
    return file;
}

bool Start(const std::vector<std::string>& args, Running* worker, std::string* error) {
    char program[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        *error = "cannot find this program's executable";
        return false;
    }
    std::string line = Quote(program);
    for (const std::string& a : args) line += " " + Quote(a);
    HANDLE messages = TemporaryFile();
    if (messages == INVALID_HANDLE_VALUE) {
        *error = "cannot make a temporary file for the worker's messages";
        return false;
    }
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = messages;
    PROCESS_INFORMATION info;
    BOOL ok = CreateProcessA(program, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &info);
    // Workers started later must not inherit this one's file.
    SetHandleInformation(messages, HANDLE_FLAG_INHERIT, 0);
    if (!ok) {
        CloseHandle(messages);
        *error = "cannot start a worker (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(info.hThread);
    worker->process = info.hProcess;
    worker->pid = info.dwProcessId;
    worker->messages = messages;
    worker->started = GetTickCount();
    worker->killed = false;
    return true;
}

std::string ReadMessages(HANDLE file) {
    std::string text;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[16384];
    DWORD n = 0;
    while (text.size() < 64 * 1024 && ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    return text;
}

} // namespace

bool RunWorkers(const std::vector<std::vector<std::string>>& argLists, int jobs, double timeout,
                const std::function<void(size_t, const WorkerEnd&)>& done) {
    if (jobs > MAXIMUM_WAIT_OBJECTS) jobs = MAXIMUM_WAIT_OBJECTS;
    InterlockedExchange(&g_interrupted, 0);
    SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
    const double limitMs = timeout * 1000.0;
    std::vector<Running> running;
    size_t next = 0;
    while ((next < argLists.size() || !running.empty()) && !g_interrupted) {
        while (running.size() < size_t(jobs) && next < argLists.size()) {
            Running worker;
            worker.index = next++;
            std::string error;
            if (!Start(argLists[worker.index], &worker, &error)) {
                done(worker.index, WorkerEnd{-1, false, error, std::string()});
                continue;
            }
            running.push_back(worker);
        }
        if (running.empty()) continue;

        // Wait for an end or the nearest deadline.
        std::vector<HANDLE> handles;
        double wait = 1000.0;
        const DWORD now = GetTickCount();
        for (const Running& w : running) {
            handles.push_back(w.process);
            double left = limitMs - double(DWORD(now - w.started));
            if (!w.killed && left < wait) wait = left < 0 ? 0 : left;
        }
        DWORD r =
            WaitForMultipleObjects(DWORD(handles.size()), handles.data(), FALSE, DWORD(wait) + 1);
        if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) {
            const size_t i = r - WAIT_OBJECT_0;
            Running w = running[i];
            running.erase(running.begin() + long(i));
            DWORD code = 1;
            GetExitCodeProcess(w.process, &code);
            WorkerEnd end{-1, w.killed, std::string(), ReadMessages(w.messages)};
            end.pid = w.pid;
            CloseHandle(w.messages);
            CloseHandle(w.process);
            if (!w.killed && code >= 0xC0000000u) {
                char text[64];
                std::snprintf(text, sizeof text, "crashed (exception 0x%08lX)",
                              (unsigned long)code);
                end.why = text;
            } else if (!w.killed) {
                end.exitCode = int(code);
            }
            done(w.index, end);
            continue;
        }
        const DWORD later = GetTickCount();
        for (Running& w : running) {
            if (!w.killed && double(DWORD(later - w.started)) >= limitMs) {
                TerminateProcess(w.process, 1);
                w.killed = true;
            }
        }
    }
    const bool interrupted = g_interrupted != 0;
    for (Running& w : running) {
        TerminateProcess(w.process, 1);
        WaitForSingleObject(w.process, INFINITE);
        WorkerEnd end{-1, false, std::string(), ReadMessages(w.messages)};
        end.pid = w.pid;
        end.interrupted = true;
        CloseHandle(w.messages);
        CloseHandle(w.process);
        done(w.index, end);
    }
    SetConsoleCtrlHandler(OnConsoleInterrupt, FALSE);
    return !interrupted;
}
