// Samsung cameras.
//
// Wire format: one multipart stream per kind,
// "/cgi-bin/control.cgi?msubmenu=<motion|audio|tampering|input>&action=monitor",
// parts of "name:H"/"name:L" lines (high / low; the value may carry more
// text), inputs "IO0<n>:H" (n from 1).
#include "camdet/transport/mpvendordetector.h"

// "motion:H" / "motion:L" (high / low); the value may carry more text.
MP_CLASS(SamsungMD, MpMotion("/cgi-bin/control.cgi?msubmenu=motion&action=monitor", mprule::SamsungMotion));
MP_CLASS(SamsungAD, MpAudio("/cgi-bin/control.cgi?msubmenu=audio&action=monitor", mprule::SamsungAudio));
MP_CLASS(SamsungTD, MpTamper("/cgi-bin/control.cgi?msubmenu=tampering&action=monitor", mprule::SamsungTamper));
MP_CLASS(SamsungDI, MpInput("/cgi-bin/control.cgi?msubmenu=input&action=monitor", mprule::SamsungInput));
