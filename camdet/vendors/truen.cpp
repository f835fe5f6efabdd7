// Truen cameras.
//
// Wire format: polled; one request,
// "/httpapi/GetState?action=getinput&GIS_MOTION1=0&...&GIS_SENSOR4=0", reads
// the four motion windows and the four sensors, answered "GIS_MOTION1=1",
// "GIS_SENSOR<n>=1" (n from 1) lines. One poll serves motion and inputs.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kTruenPath[] =
    "/httpapi/GetState?action=getinput&GIS_MOTION1=0&GIS_MOTION2=0&GIS_MOTION3=0&GIS_MOTION4=0"
    "&GIS_SENSOR1=0&GIS_SENSOR2=0&GIS_SENSOR3=0&GIS_SENSOR4=0";

}  // namespace

// One request reads the four motion windows and the four sensors.
CGI_CLASS(TruenMD, CgiMotion(kTruenPath, cgirule::TruenMotion).Shared());
CGI_CLASS(TruenDI, CgiInput(kTruenPath, cgirule::TruenInput).Shared());
