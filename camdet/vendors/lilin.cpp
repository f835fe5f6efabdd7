// LILIN cameras.
//
// Wire format: "getalarmmotion" on the camera API's detection port, lines
// ending in CR LF: "MotionDetect=1", "AlarmInputDetect=1". The older models
// push them as multipart parts, motion and input sharing the stream; V2
// models send the input lines on an endless response of their own.
#include "camdet/transport/binvendordetector.h"
#include "camdet/transport/mpvendordetector.h"

MP_CLASS(LilinMD, MpMotion("getalarmmotion", mprule::LilinMotion).Shared().OnDetPort());
MP_CLASS(LilinDI, MpInput("getalarmmotion", mprule::LilinInput).Shared().OnDetPort());
// Lines end with CR LF.
BIN_CLASS(LilinV2DI, BinHttpLines("getalarmmotion", 64, binrule::LilinV2Input).Kind(DET_TYPE_DI).Alone());
