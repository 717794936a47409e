// Calling the PCX and Targa readers directly, as the loader does: the file at
// offset 0 and a byte reader over a 2048-byte read buffer lent for the call.
#pragma once

#include "test_util.h"

#include "core/loader.h"
#include "core/state.h"

#include <string>

inline HGLOBAL ReadWithBuffer(BufferedReader reader, const std::string& path,
                              std::string* text = nullptr) {
    static BYTE buffer[READ_BUFFER_SIZE];
    char info[INFO_TEXT_SIZE] = {0};
    HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    ByteReader in;
    OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
    HGLOBAL image = reader(&in, nullptr, info).image;
    _lclose(file);
    if (text) *text = info;
    return image;
}

inline HGLOBAL ReadBytesWithBuffer(BufferedReader reader, const std::string& name,
                                   const Bytes& bytes, std::string* text = nullptr) {
    return ReadWithBuffer(reader, WriteTestFile(name, bytes), text);
}

// Messages joined by " | ", for failure output and exact comparisons.
inline std::string JoinedMessages(const RecordMessages& r) {
    std::string s;
    for (const MessageRecord& m : r.messages) s += (s.empty() ? "" : " | ") + m.text;
    return s;
}
