// GrandStream cameras.
//
// Wire format: polled, "goform/motiondetect?cmd=get_md_statu" answers
// "md_alarm_statu=1" while motion is detected.
#include "camdet/transport/cgivendordetector.h"

// The camera spells it "statu".
CGI_CLASS(GrandStreamMD, CgiMotion("goform/motiondetect?cmd=get_md_statu", cgirule::GrandStreamMotion));
