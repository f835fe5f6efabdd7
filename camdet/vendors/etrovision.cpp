// Etrovision cameras.
//
// Wire format: a multipart stream whose path the camera API names; the
// camera sends its state only when it changes, as "md1=on"/"md1=off" and
// "input<n>=on"/"off" (n from 1) lines, so the last value seen holds. Motion
// and inputs share the stream.
#include "camdet/transport/mpvendordetector.h"

// Sends its state only on change: the last "md1" seen holds.
MP_CLASS(EtrovisionMD, MpMotion(MP_PATH_CAM_API, mprule::EtrovisionMotion).Shared());
MP_CLASS(EtrovisionDI, MpInput(MP_PATH_CAM_API, mprule::EtrovisionInput).Shared());
