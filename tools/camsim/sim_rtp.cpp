// Simulated cameras that carry their events in the RTP header extension of
// their video stream (served by the RTSP server of rtspsim.cpp), one row per
// family: its API keys, the stream's path, the extension's profile bits and
// the extension made from the alarm state.
//
//   Axis     /axis-media/media.amp  "M0:1;ML0:050;T0:0;A0:0;IO0:0;IO1:1;"
//   Vivotek  /live.sdp              application data: "h264", a zero byte, the block
//                                   count 15 bytes after the tag, the block (one motion
//                                   window record, the tampering marker and flag)
//   AVTECH   /live/h264             "MOTION;ALARM;CH01;" or "NORMAL;QUIET;CH01;", then
//                                   the camera's fixed trailer
//
// AVTECH cameras answer nothing of interest over HTTP here.
#include <stdio.h>

#include <algorithm>

#include "tools/camsim/simtypes.h"

namespace camsim {

namespace {

int Level(const AlarmState& s) { return s.motion ? std::max(1, std::min(100, s.motionLevel)) : 0; }
const char* B(bool v) { return v ? "1" : "0"; }

std::string AxisExt(const AlarmState& s) {
    char level[8];
    snprintf(level, sizeof(level), "%03d", Level(s));
    std::string t =
        std::string("M0:") + B(s.motion) + ";ML0:" + level + ";T0:" + B(s.tamper) + ";A0:" + B(s.audio) + ";";
    for (size_t i = 0; i < s.inputs.size(); ++i) t += "IO" + std::to_string(i) + ":" + B(s.inputs[i]) + ";";
    return t;
}

std::string VivotekExt(const AlarmState& s) {
    // Window 1 present: presence, trigger, 7-bit level, then 40 skipped bits
    // (all ones, so that no byte before the marker reads 0x18); windows 2 and
    // 3 absent; then the tampering marker, a byte, the flag byte.
    const int level = Level(s) & 0x7f;
    std::string block(12, '\0');
    block[0] = (char)(0x80 | (s.motion ? 0x40 : 0) | (level >> 1));
    block[1] = (char)(((level & 1) << 7) | 0x7f);
    for (int i = 2; i <= 5; ++i) block[i] = (char)0xff;
    block[6] = (char)0x9f;  // last skipped bit, two absent windows, padding
    block[7] = 0x18;
    block[9] = (char)(s.tamper ? 0x80 : 0);
    std::string data = "h264";
    data += (char)1;
    data += '\0';
    data += "VVTK-1080";  // stream name, up to the block count
    data += (char)(block.size() / 4);
    return data + block;
}

std::string AvtechExt(const AlarmState& s) {
    return std::string(s.motion ? "MOTION;" : "NORMAL;") + (s.AnyInput() ? "ALARM;" : "QUIET;") + "CH01;" +
           "AVTECH-EVT-0001";
}

const char* const kAxisRtp[] = {"axisv5", nullptr};
const char* const kVivotekRtp[] = {"vivotek7v1", "vivotek7v2", "vivotek8", "vivotekvs", nullptr};
const char* const kAvtech[] = {"avtech", "avtechp", "avtechv2", nullptr};

const RtpFamily kRtpFamilies[] = {
    {"axis", kAxisRtp, "/axis-media/media.amp", 0xABAC, &AxisExt},
    {"vivotek", kVivotekRtp, "/live.sdp", 0x5656, &VivotekExt},
    {"avtech", kAvtech, "/live/h264", 0x4156, &AvtechExt},
};

}  // namespace

Response HandleAvtech(const Request&, const SimContext&) { return Response::NotFound(); }

const RtpFamily* RtpFamilyTable(size_t& count) {
    count = sizeof(kRtpFamilies) / sizeof(kRtpFamilies[0]);
    return kRtpFamilies;
}

const RtpFamily* FindRtpFamily(const std::string& apiKey) {
    for (const RtpFamily& f : kRtpFamilies) {
        for (const char* const* k = f.apiKeys; *k; ++k) {
            if (apiKey == *k) return &f;
        }
    }
    return nullptr;
}

}  // namespace camsim
