#include "formats/native/write_buffer.h"

#include <cstring>

namespace {
const uint64_t kWriteBlock = 1u << 20;

bool Flush(WriteBuffer* out) {
    if (out->failed) return false;
    if (out->used && std::fwrite(out->data, 1, size_t(out->used), out->file) != out->used)
        out->failed = true;
    out->used = 0;
    return !out->failed;
}
} // namespace

bool OpenWriteBuffer(WriteBuffer* out, FILE* file, uint64_t atLeast, uint64_t wholeFile) {
    out->file = file;
    const uint64_t wanted = wholeFile < kWriteBlock ? wholeFile : kWriteBlock;
    out->size = atLeast > wanted ? atLeast : wanted;
    out->used = 0;
    out->data = nullptr;
    out->block = out->size <= SIZE_T(-1) ? GlobalAlloc(GMEM_MOVEABLE, SIZE_T(out->size)) : nullptr;
    if (out->block) out->data = static_cast<BYTE*>(GlobalLock(out->block));
    out->failed = out->data == nullptr;
    return !out->failed;
}

BYTE* ReserveBytes(WriteBuffer* out, uint64_t count) {
    if (out->failed || count > out->size) return nullptr;
    if (out->size - out->used < count && !Flush(out)) return nullptr;
    return out->data + out->used;
}

void CommitBytes(WriteBuffer* out, uint64_t count) {
    out->used += count;
}

bool PutBytes(WriteBuffer* out, const BYTE* data, uint64_t count) {
    while (count > 0) {
        if (out->failed) return false;
        if (out->used == out->size && !Flush(out)) return false;
        uint64_t room = out->size - out->used;
        uint64_t n = count < room ? count : room;
        std::memcpy(out->data + out->used, data, size_t(n));
        out->used += n;
        data += n;
        count -= n;
    }
    return !out->failed;
}

bool CloseWriteBuffer(WriteBuffer* out, bool flush) {
    bool ok = flush && Flush(out);
    if (out->block) {
        GlobalUnlock(out->block);
        GlobalFree(out->block);
        out->block = nullptr;
    }
    if (std::fclose(out->file) != 0) ok = false;
    return ok && !out->failed;
}
