// Canon cameras.
//
// Wire format: polled, "/-wvhttp-01-/info.cgi" answers "key:=value" lines:
// "m.1:=1" while motion is detected, "i.<n>:=1" while input n (from 1) is in
// alarm. One poll serves motion and inputs.
#include "camdet/transport/cgivendordetector.h"

CGI_CLASS(CanonMD, CgiMotion("/-wvhttp-01-/info.cgi", cgirule::CanonMotion).Shared());
CGI_CLASS(CanonDI, CgiInput("/-wvhttp-01-/info.cgi", cgirule::CanonInput).Shared());
