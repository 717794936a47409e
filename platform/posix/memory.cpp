// Movable global memory blocks: a handle owns one heap area and a lock count.
#define ZENDRA_PLATFORM_IMPL
#include "../win32.h"

#include <cstdlib>
#include <cstring>

struct GlobalBlock {
    uint32_t magic;
    UINT locks;
    SIZE_T size;
    void* data;
};

namespace {
const uint32_t kBlockMagic = 0x5A474D42; // "ZGMB"

bool IsBlock(HGLOBAL block) {
    return block && block->magic == kBlockMagic;
}
} // namespace

HGLOBAL PosixGlobalAlloc(UINT flags, SIZE_T bytes) {
    GlobalBlock* block = static_cast<GlobalBlock*>(std::malloc(sizeof(GlobalBlock)));
    if (!block) return nullptr;
    // A zero-byte block still gets a distinct address.
    SIZE_T request = bytes ? bytes : 1;
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
    std::free(block->data);
    std::free(block);
    return nullptr;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags) {
    if (!IsBlock(block)) return nullptr;
    SIZE_T request = bytes ? bytes : 1;
    void* data = std::realloc(block->data, request);
    if (!data) return nullptr;
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
