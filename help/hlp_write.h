// Writes a help project as a Windows Help 3.1 file: the 16-byte header, the
// internal files |SYSTEM, |TOPIC (uncompressed 4 KB blocks), |FONT, |CONTEXT,
// |CTXOMAP, |TTLBTREE, |KWBTREE, |KWDATA and |KWMAP, and the internal
// directory (a B+ tree) at the end.
#pragma once

#include "btree.h"
#include "help_source.h"

#include <string>

// The fonts of the |FONT file, by number.
enum HelpFont { FONT_BODY = 0, FONT_TITLE = 1, FONT_HEADING = 2 };

// List items start with this bullet (Windows-1252) and a space.
const char* const kHelpBullet = "\x95 ";

// Topic blocks of |TOPIC: 4096 bytes, a 12-byte header, then record data.
const uint32_t kTopicBlockSize = 4096;
const uint32_t kTopicBlockData = kTopicBlockSize - 12;

// False (with the reason) when the project cannot be written.
bool WriteHelpFile(const HelpProject& project, Bytes* out, std::string* error);
