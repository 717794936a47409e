#include "cli/memory_limit.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <sys/resource.h>
#endif

bool LimitProcessMemory(uint64_t megabytes) {
    const uint64_t bytes = megabytes << 20;
#ifdef _WIN32
    // The job stays open for the life of the process; its last handle closes
    // with it.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    info.ProcessMemoryLimit = SIZE_T(bytes);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &info, sizeof info) ||
        !AssignProcessToJobObject(job, GetCurrentProcess())) {
        CloseHandle(job);
        return false;
    }
    return true;
#else
    struct rlimit limit;
    if (getrlimit(RLIMIT_AS, &limit) != 0) return false;
    // Only the soft limit: it cannot be raised above the hard one.
    if (limit.rlim_max != RLIM_INFINITY && bytes > uint64_t(limit.rlim_max))
        limit.rlim_cur = limit.rlim_max;
    else
        limit.rlim_cur = rlim_t(bytes);
    return setrlimit(RLIMIT_AS, &limit) == 0;
#endif
}
