// Raylios cameras.
//
// Wire format: polled, answered with a JSON array whose first element holds
// the level and its bound: '[{"level":40,"cfg":20}]' ("strength" and
// "threshold" on V2); motion while the bound is below the level.
#include "camdet/transport/cgivendordetector.h"

CGI_CLASS(RayliosMD, CgiMotion("sray/motionDetectionStatus.cgi", cgirule::RayliosMotion).Every(500));
CGI_CLASS(RayliosV2MD, CgiMotion("sray/getMotionDetectionWindowStrength.cgi", cgirule::RayliosV2Motion).Every(500));
