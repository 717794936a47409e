// Handle-based file calls over POSIX descriptors.
#define ZENDRA_PLATFORM_IMPL
#include "../win32.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
HANDLE HandleFromFd(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) + 1);
}
int FdFromHandle(HANDLE h) {
    return static_cast<int>(reinterpret_cast<intptr_t>(h) - 1);
}

// Reads until the count is met or the file ends; short reads from pipes and
// signals are not end of data.
long ReadFully(int fd, void* buffer, long bytes) {
    long total = 0;
    char* out = static_cast<char*>(buffer);
    while (total < bytes) {
        ssize_t n = ::read(fd, out + total, static_cast<size_t>(bytes - total));
        if (n < 0) {
            if (errno == EINTR) continue;
            return total ? total : -1;
        }
        if (n == 0) break;
        total += n;
    }
    return total;
}

long WriteFully(int fd, const void* buffer, long bytes) {
    long total = 0;
    const char* in = static_cast<const char*>(buffer);
    while (total < bytes) {
        ssize_t n = ::write(fd, in + total, static_cast<size_t>(bytes - total));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        total += n;
    }
    return total;
}
} // namespace

HFILE _lopen(LPCSTR path, int mode) {
    int flags = O_RDONLY;
    if ((mode & 3) == OF_WRITE) flags = O_WRONLY;
    if ((mode & 3) == OF_READWRITE) flags = O_RDWR;
    int fd = ::open(path, flags | O_CLOEXEC);
    if (fd < 0) return HFILE_ERROR;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return HFILE_ERROR;
    }
    return fd;
}

HFILE _lcreat(LPCSTR path, int) {
    int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? HFILE_ERROR : fd;
}

UINT _lread(HFILE file, LPVOID buffer, UINT bytes) {
    long n = ReadFully(file, buffer, static_cast<long>(bytes));
    return n < 0 ? static_cast<UINT>(HFILE_ERROR) : static_cast<UINT>(n);
}

long _hread(HFILE file, LPVOID buffer, long bytes) {
    if (bytes < 0) return -1;
    return ReadFully(file, buffer, bytes);
}

UINT _lwrite(HFILE file, LPCSTR buffer, UINT bytes) {
    long n = WriteFully(file, buffer, static_cast<long>(bytes));
    return n < 0 ? static_cast<UINT>(HFILE_ERROR) : static_cast<UINT>(n);
}

long _hwrite(HFILE file, LPCSTR buffer, long bytes) {
    return WriteFully(file, buffer, bytes);
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    int whence = origin == FILE_CURRENT ? SEEK_CUR : origin == FILE_END ? SEEK_END : SEEK_SET;
    off_t pos = ::lseek(file, offset, whence);
    if (pos < 0 || pos > INT32_MAX) return HFILE_ERROR;
    return static_cast<LONG>(pos);
}

HFILE _lclose(HFILE file) {
    return ::close(file) == 0 ? 0 : HFILE_ERROR;
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (disposition == CREATE_ALWAYS) flags |= O_CREAT | O_TRUNC;
    if (disposition == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    int fd = ::open(path, flags, 0666);
    return fd < 0 ? INVALID_HANDLE_VALUE : HandleFromFd(fd);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, DWORD* written, void*) {
    long n = WriteFully(FdFromHandle(file), buffer, static_cast<long>(bytes));
    if (written) *written = n < 0 ? 0 : static_cast<DWORD>(n);
    return n == static_cast<long>(bytes);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, DWORD* read, void*) {
    long n = ReadFully(FdFromHandle(file), buffer, static_cast<long>(bytes));
    if (read) *read = n < 0 ? 0 : static_cast<DWORD>(n);
    return n >= 0;
}

BOOL CloseHandle(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || !handle) return FALSE;
    return ::close(FdFromHandle(handle)) == 0;
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
    struct stat st;
    if (::fstat(FdFromHandle(file), &st) != 0) return INVALID_FILE_SIZE;
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (high) *high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

BOOL DeleteFileA(LPCSTR path) {
    return ::unlink(path) == 0;
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    struct stat st;
    if (::stat(path, &st) != 0) return FALSE;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | 0200);
    return ::chmod(path, mode) == 0;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    const char* dir = std::getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    size_t len = std::strlen(dir);
    bool slash = dir[len - 1] == '/';
    size_t need = len + (slash ? 0 : 1);
    if (need + 1 > size) return static_cast<DWORD>(need + 1);
    std::memcpy(buffer, dir, len);
    if (!slash) buffer[len] = '/';
    buffer[need] = 0;
    return static_cast<DWORD>(need);
}

// Creates the file exclusively, as the system call does for unique 0.
UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT, LPSTR name) {
    char pattern[MAX_PATH];
    int n = std::snprintf(pattern, sizeof pattern, "%s%s%.3sXXXXXX", folder,
                          (*folder && folder[std::strlen(folder) - 1] != '/') ? "/" : "", prefix);
    if (n < 0 || n >= static_cast<int>(sizeof pattern)) return 0;
    int fd = ::mkstemp(pattern);
    if (fd < 0) return 0;
    ::close(fd);
    std::memcpy(name, pattern, static_cast<size_t>(n) + 1);
    return 1;
}

struct FindHandle {
    int unused;
};

HANDLE FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA* data) {
    struct stat st;
    if (::stat(path, &st) != 0) return INVALID_HANDLE_VALUE;
    std::memset(data, 0, sizeof *data);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    data->dwFileAttributes = S_ISDIR(st.st_mode) ? 0x10 : FILE_ATTRIBUTE_NORMAL;
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    const char* base = std::strrchr(path, '/');
    std::snprintf(data->cFileName, sizeof data->cFileName, "%s", base ? base + 1 : path);
    return new FindHandle();
}

BOOL FindClose(HANDLE find) {
    if (!find || find == INVALID_HANDLE_VALUE) return FALSE;
    delete static_cast<FindHandle*>(find);
    return TRUE;
}
