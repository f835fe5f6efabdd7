// D-Link cameras.
//
// Wire format: most models push text lines on "config/notify_stream.cgi", one
// per change and nothing between: "md1=on"/"md1=off" (motion flag),
// "mdv1=35" (motion level), "input1=on" (inputs from 1),
// "audio_detected_val=40" ("audio_detect_val" on "AD_KEY_V2" firmware). The
// DCS models of "dlinkdcsv9v2" push binary motion frames on "mdjpeg.cgi"
// (the first byte is the motion flag) and input parts "Trigger<n>=1" on
// "iocontrol.cgi", on the camera API's detection port.
#include "camdet/transport/binvendordetector.h"
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kDLinkPath[] = "config/notify_stream.cgi";

}  // namespace

// Sends a line per change and goes quiet between: a short time-out.
BIN_CLASS(DLinkMD, BinHttpLines(kDLinkPath, 1024, binrule::DLinkMotion).Timeout(3).Reads(BIN_IN_MD_PARAMS));
BIN_CLASS(DLinkAD,
          BinHttpLines(kDLinkPath, 1024, binrule::DLinkAudio).Kind(DET_TYPE_AD).Timeout(3).Reads(BIN_IN_AD_PARAM | BIN_IN_AD_KEY));
BIN_CLASS(DLinkDI, BinHttpLines(kDLinkPath, 1024, binrule::DLinkInput).Kind(DET_TYPE_DI).Timeout(3));
// Binary motion frames: the first byte is the motion flag.
MP_CLASS(DLinkV9V2MD, MpMotion("mdjpeg.cgi", mprule::DLinkV9V2Motion).Shared().OnDetPort());
MP_CLASS(DLinkV9V2DI, MpInput("iocontrol.cgi", mprule::DLinkV9V2Input).Shared().OnDetPort());
