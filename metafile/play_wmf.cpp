// Windows metafiles played record by record, in the mapping the caller set.
#include "metafile/metafile.h"

namespace {
int CALLBACK PlayRecord(HDC dc, HANDLETABLE* table, METARECORD* record, int objects, LPARAM) {
    PlayMetaFileRecord(dc, table, record, UINT(objects));
    return 1; // always go on to the next record
}
} // namespace

void PlayWindowsMetafile(HWND, HDC dc, HMETAFILE metafile) {
    EnumMetaFile(dc, metafile, PlayRecord, 0);
}
