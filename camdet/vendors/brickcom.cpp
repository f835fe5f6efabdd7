// Brickcom cameras.
//
// Wire format: polled; "cgi-bin/motiondetection.cgi?action=getStatus" answers
// "window1=1" lines per motion window, "cgi-bin/gpio.cgi?action=get" answers
// "di1.status=0" lines, inputs active low.
#include "camdet/transport/cgivendordetector.h"

// The camera has four windows; the fourth is not watched.
CGI_CLASS(BrickcomMD, CgiMotion("cgi-bin/motiondetection.cgi?action=getStatus", cgirule::BrickcomMotion).Every(500));
// Inputs are active low.
CGI_CLASS(BrickcomDI, CgiInput("cgi-bin/gpio.cgi?action=get", cgirule::BrickcomInput).Every(500));
