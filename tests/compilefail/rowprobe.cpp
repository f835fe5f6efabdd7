// Classes as a family's file writes them, compiled once per probe by
// cmake/rowprobe.cmake. The control (no probe defined) must compile; every
// probe is one mistake that must not: a class without its row, a row naming a
// test that does not exist, a factory definition of a class that does not
// exist.
#include "camdet/rules/binrules.h"
#include "camdet/rules/trigrules.h"
#include "camdet/transport/binvendordetector.h"
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/jpgvendordetector.h"
#include "camdet/transport/mpvendordetector.h"
#include "camdet/transport/rtpvendordetector.h"

#if defined(ROW_PROBE_CGI_NO_ROW)
CGI_CLASS(ProbeMD);
#elif defined(ROW_PROBE_CGI_MISSPELT_RULE)
CGI_CLASS(ProbeMD, CgiMotion("probe.cgi", cgirule::MesoaMotion));
#elif defined(ROW_PROBE_MP_MISSPELT_RULE)
MP_CLASS(ProbeMD, MpMotion("/probe.cgi", mprule::AxisMotoin));
#elif defined(ROW_PROBE_BIN_NO_ROW)
BIN_CLASS(ProbeMD);
#elif defined(ROW_PROBE_JPG_MISSPELT_RULE)
JPG_CLASS(ProbeMD, JpgSegment(JPG_APP1, streamrule::BaslerMotoin).Kind(DET_TYPE_MD));
#elif defined(ROW_PROBE_DEF_WITHOUT_CLASS)
CAMDET_DET_CLASS(MesoaMD, MakeDetArgs);
#else
CGI_CLASS(ProbeCgiMD, CgiMotion("probe.cgi", cgirule::MessoaMotion));
MP_CLASS(ProbeMpMD, MpMotion("/probe.cgi", mprule::AxisMotion));
BIN_CLASS(ProbeBinMD, BinHttpLines("/probe.cgi", 1024, binrule::DahuaMotion));
JPG_CLASS(ProbeJpgMD, JpgSegment(JPG_APP1, streamrule::BaslerMotion).Kind(DET_TYPE_MD));
RTP_CLASS(ProbeRtpMD, RtpExtension(DET_TYPE_MD, streamrule::Avtech));
#endif
