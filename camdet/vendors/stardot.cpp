// StarDot cameras.
//
// Wire format: motion rides in the video frames the recorder keeps in its
// stream FIFO (a "SDM0" block near the end of each frame, then 32 bytes of
// motion flags; stmfifo/). The input is polled, "/io.cgi" answers
// "trigger1=0" while the contact is closed.
#include "camdet/transport/cgivendordetector.h"

// trigger1 reads 0 while the contact is closed.
CGI_CLASS(StarDotDI, CgiInput("/io.cgi", cgirule::StarDotInput));
