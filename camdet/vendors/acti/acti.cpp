// ACTi cameras.
//
// Wire format: motion on the camera's binary event connection (actidetector.h:
// a login, 12-byte event headers, keep-alives). The inputs are polled at the
// CGI and port the camera API names per model, answered "DIO_STATUS=0x02": a
// hex mask of the input levels, a clear bit an input in alarm (only two
// inputs have a bit).
#include "camdet/transport/cgivendordetector.h"

// The CGI and its port differ per model; the camera API knows them.
CGI_CLASS(ActiDI, CgiInputAtCameraApi(cgirule::ActiInput));
