// libjpeg set-up for parsing frames in memory (interface/jpegsource.h).
#include "interface/jpegsource.h"

#include <string.h>

namespace {

void ErrorExit(j_common_ptr cinfo) {
    VELMAR_JPEG_ERR_MGR* mgr = reinterpret_cast<VELMAR_JPEG_ERR_MGR*>(cinfo->err);
    longjmp(mgr->setjmp_buffer, 1);
}

void Quiet(j_common_ptr) {}

void EmitQuiet(j_common_ptr cinfo, int level) {
    if (level < 0) cinfo->err->num_warnings++;
}

// The source: one buffer, no refills. At the end it supplies an EOI marker,
// as libjpeg's own memory source does, so the parser stops with an error.
const JOCTET kEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    cinfo->src->next_input_byte = kEoi;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long n) {
    if (n <= 0) return;
    struct jpeg_source_mgr* src = cinfo->src;
    while ((size_t)n > src->bytes_in_buffer) {
        n -= (long)src->bytes_in_buffer;
        FillInput(cinfo);
    }
    src->next_input_byte += n;
    src->bytes_in_buffer -= (size_t)n;
}

void TermSource(j_decompress_ptr) {}

}  // namespace

void SetJpegExit(jpeg_common_struct* cinfo, __tag_VELMAR_JPEG_ERR_MGR* errMgr) {
    cinfo->err = jpeg_std_error(&errMgr->pub);
    errMgr->pub.error_exit = &ErrorExit;
    errMgr->pub.output_message = &Quiet;
    errMgr->pub.emit_message = &EmitQuiet;
}

void SetJpegSrcInfo(jpeg_decompress_struct* cinfo, unsigned char const* data, unsigned int len) {
    if (!cinfo->src) {
        cinfo->src = static_cast<struct jpeg_source_mgr*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(struct jpeg_source_mgr)));
    }
    struct jpeg_source_mgr* src = cinfo->src;
    src->init_source = &InitSource;
    src->fill_input_buffer = &FillInput;
    src->skip_input_data = &SkipInput;
    src->resync_to_restart = &jpeg_resync_to_restart;
    src->term_source = &TermSource;
    src->next_input_byte = data;
    src->bytes_in_buffer = data ? len : 0;
}
