// The one message box a reader or writer showed for its failure: the text,
// no owner window, the system's default caption and the error icon.
#pragma once

#include "test_util.h"

#include <gtest/gtest.h>

#include <string>

inline ::testing::AssertionResult ShowedError(const RecordMessages& record, const char* text) {
    if (record.messages.size() != 1)
        return ::testing::AssertionFailure() << record.messages.size() << " messages shown";
    const MessageRecord& m = record.messages[0];
    if (m.text != text || m.owner != nullptr || m.caption != "(null)" || m.type != MB_ICONERROR)
        return ::testing::AssertionFailure() << "shown: \"" << m.text << "\", owner " << m.owner
                                             << ", caption " << m.caption << ", type " << m.type;
    return ::testing::AssertionSuccess();
}
