// Basler cameras.
//
// Wire format: with JPEG streams the APP1 segment of every frame holds text
// lines: "Motion" lines carry a two-digit level at characters 20 and 21,
// "Alarm" lines a flag digit at 8, "IO=" lines the input flag digit at 4.
// With MPEG-4/H.264 streams the camera is polled, the I/O selector set to the
// motion output (0) or the input (1) and the state read in one request,
// answered "Return_1=1" while it is active.
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/jpgvendordetector.h"

namespace {

constexpr char kIoMotion[] =
    "/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=0&Action_1=IO.State.GetValue";
constexpr char kIoInput[] =
    "/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=1&Action_1=IO.State.GetValue";

}  // namespace

JPG_CLASS(BaslerJpgMD, JpgSegment(JPG_APP1, streamrule::BaslerMotion).Kind(DET_TYPE_MD));
// Every input reports the one "IO=" flag.
JPG_CLASS(BaslerJpgDI, JpgSegment(JPG_APP1, streamrule::BaslerInput).Kind(DET_TYPE_DI));
// The I/O selector picks the motion output (0) before the state is read.
CGI_CLASS(BaslerMp4MD,
          CgiMotion("/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=0&Action_1=IO.State.GetValue", cgirule::BaslerMp4Motion).Every(500));
// The I/O selector picks the input (1) before the state is read.
CGI_CLASS(BaslerMp4DI,
          CgiInput("/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=1&Action_1=IO.State.GetValue", cgirule::BaslerMp4Input).Every(500));
