// The recorder's set-up of a libjpeg decompress object for header parsing
// of frames held in memory: an error manager that jumps back instead of
// exiting, and a data source over exactly the given bytes.
#ifndef INTERFACE_JPEGSOURCE_H
#define INTERFACE_JPEGSOURCE_H

#include <setjmp.h>
#include <stddef.h>
#include <stdio.h>

#include <jpeglib.h>

// An error manager whose error exit long-jumps to setjmp_buffer. The caller
// owns it (usually a local beside the decompress object) and arms the jump
// with setjmp before the first libjpeg call that can fail; after the jump
// only jpeg_abort_decompress and jpeg_destroy_decompress are called.
typedef struct __tag_VELMAR_JPEG_ERR_MGR {
    struct jpeg_error_mgr pub;
    jmp_buf setjmp_buffer;
} VELMAR_JPEG_ERR_MGR;

// Installs errMgr as cinfo's error manager, before jpeg_create_decompress:
// errors long-jump, warnings and messages are dropped (a camera's corrupt
// frame must not write to the recorder's stderr).
void SetJpegExit(jpeg_common_struct* cinfo, __tag_VELMAR_JPEG_ERR_MGR* errMgr);
// Installs a data source over the len bytes at data (not copied: they must
// outlive the parse). Reading past them yields an end-of-image marker, so a
// truncated header ends in a libjpeg error rather than a read beyond len.
void SetJpegSrcInfo(jpeg_decompress_struct* cinfo, unsigned char const* data, unsigned int len);

#endif  // INTERFACE_JPEGSOURCE_H
