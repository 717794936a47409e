#include "tools/output_file.h"

#include "tools/writers.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32
#include <dirent.h>
#include <unistd.h>
#endif

void (*g_temporaryMade)(const char* path) = nullptr;

namespace {
std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return ".";
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

unsigned long ThisProcess() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// A new, exclusively created file in the folder, named after this process;
// empty on failure.
std::string NewFileBeside(const std::string& path) {
    const std::string stem = FolderOf(path) + "/" + TemporaryPrefix(ThisProcess());
#ifdef _WIN32
    for (unsigned n = 0; n < 100000; n++) {
        std::string name = stem + std::to_string(n) + ".tmp";
        HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::string();
#else
    std::string pattern = stem + "XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return std::string();
    // The finished file gets the permissions a newly created one would.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return pattern;
#endif
}

// Puts the finished file in place of the target.
OutputResult Commit(const std::string& temp, const char* path, bool force) {
#ifdef _WIN32
    if (MoveFileExA(temp.c_str(), path, force ? MOVEFILE_REPLACE_EXISTING : 0)) return OUTPUT_OK;
    bool exists = GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS;
    DeleteFileA(temp.c_str());
    return exists ? OUTPUT_EXISTS : OUTPUT_CREATE_FAILED;
#else
    if (force) {
        if (rename(temp.c_str(), path) == 0) return OUTPUT_OK;
    } else if (link(temp.c_str(), path) == 0) {
        unlink(temp.c_str());
        return OUTPUT_OK;
    }
    bool exists = errno == EEXIST;
    unlink(temp.c_str());
    return exists ? OUTPUT_EXISTS : OUTPUT_CREATE_FAILED;
#endif
}
} // namespace

OutputResult WriteOutputFile(HGLOBAL image, const char* path, int format, int option1, int option2,
                             bool force) {
    if (!WriterAvailable(format)) return OUTPUT_UNAVAILABLE;
    struct stat st;
    bool exists = stat(path, &st) == 0;
    if (exists && !force) return OUTPUT_EXISTS;
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or pipe named on purpose is written in place.
        WriteResult result = WritePicture(image, path, format, option1, option2);
        return result == WRITE_OK              ? OUTPUT_OK
               : result == WRITE_CREATE_FAILED ? OUTPUT_CREATE_FAILED
                                               : OUTPUT_WRITE_FAILED;
    }
    std::string temp = NewFileBeside(path);
    if (temp.empty()) return OUTPUT_CREATE_FAILED;
    if (g_temporaryMade) g_temporaryMade(temp.c_str());
    WriteResult result = WritePicture(image, temp.c_str(), format, option1, option2);
    if (result != WRITE_OK) {
        std::remove(temp.c_str());
        return result == WRITE_CREATE_FAILED ? OUTPUT_CREATE_FAILED : OUTPUT_WRITE_FAILED;
    }
    return Commit(temp, path, force);
}

std::string TemporaryPrefix(unsigned long process) {
    return ".zendra-" + std::to_string(process) + "-";
}

int RemoveTemporariesOf(const std::string& folder, unsigned long process) {
    const std::string prefix = TemporaryPrefix(process);
    const std::string dir = folder.empty() ? std::string(".") : folder;
    int removed = 0;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\" + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (DeleteFileA((dir + "\\" + found.cFileName).c_str())) removed++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
#else
    DIR* d = opendir(dir.c_str());
    if (!d) return 0;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name).compare(0, prefix.size(), prefix) == 0 &&
            unlink((dir + "/" + e->d_name).c_str()) == 0)
            removed++;
    closedir(d);
#endif
    return removed;
}
