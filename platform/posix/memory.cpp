// Movable global memory blocks: a handle owns one heap area and a lock count.
#define ZENDRA_PLATFORM_IMPL
#include "../win32.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

struct GlobalBlock {
    uint32_t magic;
    UINT locks;
    SIZE_T size;
    SIZE_T mapped; // bytes mapped for large blocks, 0 for heap blocks
    void* data;
};

namespace {
const uint32_t kBlockMagic = 0x5A474D42; // "ZGMB"

bool IsBlock(HGLOBAL block) {
    return block && block->magic == kBlockMagic;
}

// Pictures are large: their blocks are mapped directly, in huge pages where
// the system offers them, so that filling them does not cost a page fault per
// 4 KiB. Fresh mappings are zero already.
// Under AddressSanitizer every block stays on its heap, where overruns are caught.
#if defined(__SANITIZE_ADDRESS__)
#define ZENDRA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZENDRA_ASAN 1
#endif
#endif
#ifdef ZENDRA_ASAN
const SIZE_T kMapThreshold = ~SIZE_T(0);
#else
const SIZE_T kMapThreshold = SIZE_T(1) << 20;
#endif
const SIZE_T kHugePage = SIZE_T(2) << 20;

void* MapZeroed(SIZE_T bytes, SIZE_T* mapped) {
    SIZE_T length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    madvise(p, length, MADV_HUGEPAGE);
#endif
    *mapped = length;
    return p;
}
} // namespace

HGLOBAL PosixGlobalAlloc(UINT flags, SIZE_T bytes) {
    GlobalBlock* block = static_cast<GlobalBlock*>(std::malloc(sizeof(GlobalBlock)));
    if (!block) return nullptr;
    // A zero-byte block still gets a distinct address.
    SIZE_T request = bytes ? bytes : 1;
    block->mapped = 0;
    if (request >= kMapThreshold)
        block->data = MapZeroed(request, &block->mapped);
    else
        block->data = (flags & GMEM_ZEROINIT) ? std::calloc(1, request) : std::malloc(request);
    if (!block->data) {
        std::free(block);
        return nullptr;
    }
    block->magic = kBlockMagic;
    block->locks = 0;
    block->size = bytes;
    return block;
}

LPVOID GlobalLock(HGLOBAL block) {
    if (!IsBlock(block)) return nullptr;
    if (block->locks < GMEM_LOCKCOUNT) block->locks++;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL block) {
    if (!IsBlock(block) || block->locks == 0) return FALSE;
    block->locks--;
    return block->locks != 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    if (!block) return nullptr;
    if (!IsBlock(block)) return block;
    block->magic = 0;
    if (block->mapped)
        munmap(block->data, block->mapped);
    else
        std::free(block->data);
    std::free(block);
    return nullptr;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags) {
    if (!IsBlock(block)) return nullptr;
    SIZE_T request = bytes ? bytes : 1;
    void* data = nullptr;
    if (block->mapped || request >= kMapThreshold) {
        SIZE_T mapped = 0;
        data = MapZeroed(request, &mapped);
        if (!data) return nullptr;
        std::memcpy(data, block->data, block->size < bytes ? block->size : bytes);
        if (block->mapped)
            munmap(block->data, block->mapped);
        else
            std::free(block->data);
        block->mapped = mapped;
    } else {
        data = std::realloc(block->data, request);
        if (!data) return nullptr;
    }
    if ((flags & GMEM_ZEROINIT) && bytes > block->size)
        std::memset(static_cast<char*>(data) + block->size, 0, bytes - block->size);
    block->data = data;
    block->size = bytes;
    return block;
}

SIZE_T GlobalSize(HGLOBAL block) {
    return IsBlock(block) ? block->size : 0;
}

UINT GlobalFlags(HGLOBAL block) {
    return IsBlock(block) ? block->locks : 0x8000;
}
