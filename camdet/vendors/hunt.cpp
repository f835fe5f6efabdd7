// Hunt cameras.
//
// Wire format: polled; "GetMotionDetect.cgi" answers "Motion0_Status=1<br>"
// items, "GetGPIO.cgi" answers "Input<n>Trig=1" (n from 1) for an input in
// alarm.
#include "camdet/transport/cgivendordetector.h"

CGI_CLASS(HuntMD, CgiMotion("GetMotionDetect.cgi", cgirule::HuntMotion));
CGI_CLASS(HuntDI, CgiInput("GetGPIO.cgi", cgirule::HuntInput));
