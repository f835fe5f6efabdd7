// HiSharp cameras.
//
// Wire format: polled, "/vb.htm?language=ie&getmotionvalue" answers
// "MotionValue=<amount>"; any amount is motion, and the amount is the level.
#include "camdet/transport/cgivendordetector.h"

// Reports a motion amount, not a flag.
CGI_CLASS(HiSharpMD, CgiMotion("/vb.htm?language=ie&getmotionvalue", cgirule::HiSharpMotion).Every(500));
