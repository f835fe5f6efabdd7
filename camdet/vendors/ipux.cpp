// Ipux cameras.
//
// Wire format: a multipart stream of video frames on the path the camera API
// names (protocol 2) whose binary frame header carries the alarm state: byte
// 24 the motion level (signed; 0..255 scaled to 0..99, except on "ipux5m",
// which reports 0..100), byte 27 bits 0-2 the inputs. Motion and inputs share
// the stream. Cameras whose frames reach the recorder's stream FIFO are read
// from there instead (stmfifo/).
#include "camdet/transport/mpvendordetector.h"

// Binary frame header: motion level at byte 24, 0..255 (0..100 on 5 MP models).
MP_CLASS(IpuxMD, MpMotion(MP_PATH_CAM_API_IPUX, mprule::IpuxMotion).Shared().Reads(MP_IN_PARAMS));
MP_CLASS(IpuxDI, MpInput(MP_PATH_CAM_API_IPUX, mprule::IpuxInput).Shared());
