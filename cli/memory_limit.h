// The memory limit of a zendra-cli process (--max-memory), enforced by the
// operating system: allocations beyond it fail instead of taking the machine.
#pragma once

#include <cstdint>

// Limits this process to the given number of megabytes of memory (address
// space on POSIX systems, committed memory in a job object on Windows).
// False when the system refuses.
bool LimitProcessMemory(uint64_t megabytes);
