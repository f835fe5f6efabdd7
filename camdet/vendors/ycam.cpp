// Y-cam cameras.
//
// Wire format: the first models push 8-byte binary records on "stream.arm":
// bytes 0-3 the window levels, byte 4 bits 0-3 the triggered windows. V2
// firmware is polled, "/cgi-bin/param.cgi?action=list&group=motion_0.status"
// answering "motion_0.status=1;" and "...group=gpio.input_0.status" answering
// "gpio.input_0.status=1;".
#include "camdet/transport/binvendordetector.h"
#include "camdet/transport/cgivendordetector.h"

BIN_CLASS(YcamMD, BinHttpRecords("stream.arm", 8, binrule::YcamMotion).AloneWithoutKind());
CGI_CLASS(YcamV2MD,
          CgiMotion("/cgi-bin/param.cgi?action=list&group=motion_0.status", cgirule::YcamV2Motion).Every(500));
CGI_CLASS(YcamV2DI,
          CgiInput("/cgi-bin/param.cgi?action=list&group=gpio.input_0.status", cgirule::YcamV2Input).Every(500));
