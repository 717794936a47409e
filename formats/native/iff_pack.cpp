// The ByteRun1 packer of the writer, which joins runs of two into the literals around them.
#include "formats/native/iff.h"

#include <cstring>

namespace {
enum PackState { START, IN_LITERAL, AFTER_RUN, AFTER_RUN_AFTER_LITERAL };

struct Packer {
    BYTE* out;
    size_t length;
    size_t literal; // where the open literal's control byte is
    PackState state;
};

// One maximal run of n equal bytes v.
void TakeRun(Packer* p, BYTE v, size_t n) {
    for (;;) {
        if (p->state == AFTER_RUN_AFTER_LITERAL) {
            // A run of two between two literal bytes costs as much as two more
            // literal bytes and splits the literal: join it to the literal.
            BYTE* control = p->out + p->literal;
            if (n == 1 && p->out[p->length - 2] == 0xFF && *control < 126) {
                *control = BYTE(*control + 2);
                p->out[p->length - 2] = p->out[p->length - 1];
                p->state = *control == 127 ? START : IN_LITERAL;
            } else {
                p->state = AFTER_RUN;
            }
            continue;
        }
        if (n >= 2) {
            if (p->state == IN_LITERAL)
                p->state = AFTER_RUN_AFTER_LITERAL;
            else
                p->state = AFTER_RUN;
            if (n > 128) {
                p->out[p->length++] = 0x81;
                p->out[p->length++] = v;
                n -= 128;
                continue; // the rest is taken again in the state reached
            }
            p->out[p->length++] = BYTE(1 - int(n));
            p->out[p->length++] = v;
            return;
        }
        if (p->state == START || p->state == AFTER_RUN) {
            p->literal = p->length;
            p->out[p->length++] = 0;
            p->out[p->length++] = v;
            p->state = IN_LITERAL;
            return;
        }
        p->out[p->length++] = v;
        p->out[p->literal]++;
        if (p->out[p->literal] == 127) p->state = START;
        return;
    }
}
} // namespace

size_t PackByteRun1(const BYTE* row, size_t length, BYTE* work) {
    std::memset(work, 0, 2 * length + 1);
    Packer p = {work, 0, 0, START};
    size_t at = 0;
    while (at < length) {
        size_t end = at + 1;
        while (end < length && row[end] == row[at]) end++;
        TakeRun(&p, row[at], end - at);
        at = end;
    }
    return p.length;
}
