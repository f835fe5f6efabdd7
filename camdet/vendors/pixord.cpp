// Pixord cameras.
//
// Wire format: motion pushed on a multipart stream whose path the camera API
// names, parts "level=NN;" compared with the recorder's sensitivity (motion
// parameter key 3). Inputs polled, "/cgi-bin/admin/gpiostatus.cgi" answers
// "Input.I0<p>.Status=low" (p from 0) while in alarm (active low).
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

// "level=NN;" against the recorder's sensitivity (parameter key 3).
MP_CLASS(PixordMD, MpMotion(MP_PATH_CAM_API, mprule::PixordMotion).Timeout(60).Reads(MP_IN_PARAMS));
// Inputs are active low.
CGI_CLASS(PixordDI, CgiInput("/cgi-bin/admin/gpiostatus.cgi", cgirule::PixordInput));
