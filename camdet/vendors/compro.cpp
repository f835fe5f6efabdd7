// Compro cameras.
//
// Wire format: polled; the motion group answers "Region:<n>" lines, "-1"
// while nothing moved (region 0 is a real region); the IO group answers
// "IO.InPort<p>=Enable" (p from 0) for an input in alarm.
#include "camdet/transport/cgivendordetector.h"

// Region 0 is a real region; -1 means none moved.
CGI_CLASS(ComproMD, CgiMotion("cgi-bin/view/list_param.cgi?Action=List&Group=MotionDetect", cgirule::ComproMotion));
// An input port reads "Enable" while it is in alarm.
CGI_CLASS(ComproDI, CgiInput("cgi-bin/admin/param2.cgi?Action=List&Group=IO", cgirule::ComproInput));
