// Dahua cameras.
//
// Wire format: the event manager
// ("cgi-bin/eventManager.cgi?action=attach&codes=[VideoMotion,AlarmLocal,VideoBlind]")
// answers with an endless multipart response of text parts, read line by line:
// "Code=VideoMotion;action=Start;index=0" starts and "...action=Stop..." ends
// motion, AlarmLocal the input of that index, VideoBlind tampering; part
// headers and the heartbeat part every few seconds leave the state alone.
// Motion, inputs and tampering share one stream.
#include "camdet/transport/binvendordetector.h"

namespace {

constexpr char kDahuaPath[] = "cgi-bin/eventManager.cgi?action=attach&codes=[VideoMotion,AlarmLocal,VideoBlind]";

}  // namespace

BIN_CLASS(DahuaMD, BinHttpLines(kDahuaPath, 1024, binrule::DahuaMotion).WithoutAuthFlag());
BIN_CLASS(DahuaTD, BinHttpLines(kDahuaPath, 1024, binrule::DahuaTamper).Kind(DET_TYPE_TD).WithoutAuthFlag());
BIN_CLASS(DahuaDI, BinHttpLines(kDahuaPath, 1024, binrule::DahuaInput).Kind(DET_TYPE_DI).WithoutAuthFlag());
