// Panasonic cameras.
//
// Wire format: the firmware generations with JPEG streams write the event
// state into the comment segment of every frame: byte 13 the motion level,
// byte 12 its threshold, byte 0 the alarm input bits (layout by function
// group: bit 7 set, bits 7 and 6 not both set, or bit 7 clear on BB-HCM701 and
// BB-HCM705). The i-Pro models push "eventstatus.cgi?push=1" multipart parts of
// lines "motiondetect T" ("motiondetect ch<n> T" with channels) and
// "terminal<n> I L" for the inputs ("L" active; the Pro dome models hold "L"
// until "H"); with "ALARM2_DO" the second terminal is an output, so the
// inputs skip it. Motion and inputs share the stream.
#include "camdet/transport/jpgvendordetector.h"
#include "camdet/transport/mpvendordetector.h"

// Motion or inputs by the factory's kind, the input layout by its group;
// the input test is the same function of byte 0 for every port.
JPG_CLASS(PanaJpgDIMD, JpgSegment(JPG_COM, streamrule::Panasonic));
MP_CLASS(PanaMD, MpMotion(MP_PATH_CAM_API, mprule::PanaMotion).Shared().Timeout(20).Reads(MP_IN_CHANNEL));
MP_CLASS(PanaDI, MpInput(MP_PATH_CAM_API, mprule::PanaInput).Shared().Timeout(20).Reads(MP_IN_ALARM2DO));
MP_CLASS(PanaProMD, MpMotion(MP_PATH_CAM_API, mprule::PanaProMotion).Shared().Timeout(20).Reads(MP_IN_CHANNEL));
// Inputs are active low: "L" sets, "H" clears.
MP_CLASS(PanaProDI, MpInput(MP_PATH_CAM_API, mprule::PanaProInput).Shared().Timeout(20).Reads(MP_IN_ALARM2DO));
