#include "formats/library/jpeg_error.h"

namespace {
void ExitToCaller(j_common_ptr info) {
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<JpegErrorRecord*>(info->err)->jump, 1);
}
} // namespace

jpeg_error_mgr* InitJpegErrors(JpegErrorRecord* record) {
    jpeg_std_error(&record->manager);
    record->manager.error_exit = ExitToCaller;
    return &record->manager;
}
