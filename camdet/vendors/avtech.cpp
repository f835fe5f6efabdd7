// AVTECH cameras.
//
// Wire format: the event state rides as ASCII text in the RTP header
// extension of the video packets, read from the recorder's fetcher of the
// live stream: "MOTION" while motion is detected, "ALARM" while an input is in
// alarm (one word for every input), e.g. "MOTION;ALARM;CH01;..." and
// "NORMAL;QUIET;CH01;...". Motion and inputs share the stream.
#include "camdet/transport/rtpvendordetector.h"

RTP_CLASS(AVTECHMD, RtpExtension(DET_TYPE_MD, streamrule::Avtech));
RTP_CLASS(AVTECHDI, RtpExtension(DET_TYPE_DI, streamrule::Avtech));
