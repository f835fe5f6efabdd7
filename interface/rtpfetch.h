// The recorder's RTP fetcher as the detectors create and release their own:
// an RTSP session on one track of the camera whose packets' header extensions
// are read through RtpFetchHandler (interface/camerahost.h). The recorder's
// shared fetcher of the live stream comes in DET_BASE_ATTR instead.
#ifndef INTERFACE_RTPFETCH_H
#define INTERFACE_RTPFETCH_H

#include <string>

#include "interface/handlerutils.h"

namespace BrellinOwned {
class CameraServices;
}

// Creates an idle fetcher of the camera's stream at rtsp://host:port/path;
// it connects at its first fetch, on the caller's thread, answering Basic or
// Digest challenges with user and password.
//   blOverUdp   false: RTP interleaved on the RTSP connection (the only transport offered)
//   arg         the camera API's fetch argument, appended to the path as its query (may be empty)
//   media       the track: 1 audio, 2 video
//   blKeepAlive keep the session with GET_PARAMETER at half its time-out
//   timeoutSec  bound of every answer and of the stream's silence (0 or less: 10)
//   services    the camera's (borrowed, outliving the fetcher; null: the
//               recorder's defaults): its clock paces the reconnect back-off
// Null (and one log line) when the arguments cannot make a fetcher. The
// caller owns it and gives it back through ReleaseRtpFetch.
BRObjectBase* RtpFetchFactory(std::string host, int port, std::string path, std::string user, std::string password,
                              bool blOverUdp, std::string arg, int media, bool blKeepAlive, int timeoutSec,
                              BrellinOwned::CameraServices* services = nullptr);
// Ends the fetcher's session and destroys it; obj becomes null. Null does nothing.
void ReleaseRtpFetch(BRObjectBase*& obj);

#endif  // INTERFACE_RTPFETCH_H
