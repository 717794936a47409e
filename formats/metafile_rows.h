// The metafile rows' readers: Windows and enhanced metafiles read into the
// current-image state, with the format table's by-name signature. They
// return the metafile handle in place of an Image record; the view kind
// (KIND_WMF, KIND_EMF) tells the loader which it is.
#pragma once

#include "core/format_table.h"

ReaderResult ReadPlaceableMetafileFile(const char* name, HWND owner, char* text, int displayDepth);
ReaderResult ReadPlainMetafileFile(const char* name, HWND owner, char* text, int displayDepth);
ReaderResult ReadEnhancedMetafileFile(const char* name, HWND owner, char* text, int displayDepth);
