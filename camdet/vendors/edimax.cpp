// Edimax cameras.
//
// Wire format: motion pushed on a multipart stream whose path the camera API
// names: each frame of the older models carries a "motion-event: 1" header
// line; the VP models send a binary frame header with three window levels at
// bytes 24..26, compared with the recorder's threshold (motion parameter key
// 2). VP inputs are polled, "/cgi/admin/param.cgi?action=list&group=GPIO",
// answered "TriggerInStatus<p>=low" (p from 0) while in alarm.
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

// The motion flag is a header of each pushed frame.
MP_CLASS(EdimaxMD, MpMotion(MP_PATH_CAM_API, mprule::EdimaxMotion).HeaderLines());
// Binary frame header: three window levels at bytes 24..26.
MP_CLASS(EdimaxVPMD, MpMotion(MP_PATH_CAM_API, mprule::EdimaxVPMotion).Reads(MP_IN_PARAMS));
// Inputs are active low.
CGI_CLASS(EdimaxVPDI, CgiInput("/cgi/admin/param.cgi?action=list&group=GPIO", cgirule::EdimaxVPInput));
