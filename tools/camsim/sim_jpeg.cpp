// Simulated cameras that carry their events in the JPEG frames of their MJPEG
// stream (multipart/x-mixed-replace, one image/jpeg part per frame, five
// frames a second and one at once on every change), with the polled inputs
// and event streams of the same cameras.
//
//   Axis       /axis-cgi/mjpg/video.cgi    COM 0A 03 "M0:1;ML0:100;T0:0;A0:0;IO0:0;..."
//              /axis-cgi/motion/motiondata.cgi   "group=0;level=L;threshold=10;" parts
//              /axis-cgi/io/input.cgi?checkactive=N   "inputN=active"
//   Vivotek    /video.mjpg                 APP0 flag and level index ("vivotek2"),
//                                          APP2 application data (the others)
//              /cgi-bin/getdi.cgi?diN      "DIN=H"     /cgi-bin/dido/getdi.cgi  "di0=1\n..."
//   Basler     /cgi-bin/mjpeg              APP1 lines "Motion level (0-99) 42", "Alarm = 1", "IO=:1"
//   JVC        /api/video                  COM, byte 233 '1' while motion
//   Panasonic  /nphMotionJpeg              COM, byte 0 bit 7 input 1, bytes 12/13 threshold/level
//
// Faults of the frame streams, as query parameters of the stream's URL, per
// connection: plain=N  the first N frames carry no segments of the camera's;
// big=N  frame N is 20 MB long (a real frame padded with zero bytes). The
// marker-bomb fault switch puts 80,000 empty comment segments in every frame.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "tools/camsim/simtypes.h"
#include "tools/camsim/jpegframe.h"

namespace camsim {

namespace {

const int kFrameMs = 200;
const size_t kBigFrame = 20u * 1024 * 1024;
const int kCom = 0xFE, kApp0 = 0xE0, kApp1 = 0xE1, kApp2 = 0xE2;

typedef std::vector<JpegMarker> (*SegmentsFn)(const AlarmState& s, const std::string& api);

int Level(const AlarmState& s) { return s.motion ? std::max(1, std::min(100, s.motionLevel)) : 0; }

std::string FramePart(const std::vector<unsigned char>& frame, size_t length) {
    std::string p = "--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    p.append(reinterpret_cast<const char*>(frame.data()), frame.size());
    return p;
}

Response FrameStream(const Request& req, const SimContext& ctx, SegmentsFn segments, bool jfif) {
    Response r;
    r.headers.push_back({"Content-Type", "multipart/x-mixed-replace; boundary=myboundary"});
    const int plain = atoi(req.Param("plain").c_str());
    const int big = atoi(req.Param("big").c_str());
    const std::string api = ctx.api;
    r.stream = [segments, jfif, plain, big, api](StreamWriter& w) {
        uint64_t seen = 0;
        for (int n = 1; w.Alive(); ++n) {
            AlarmState s = w.State();
            seen = s.version;
            const std::vector<JpegMarker> m = n <= plain ? std::vector<JpegMarker>() : segments(s, api);
            std::vector<unsigned char> frame = MakeJpegFrame(64, 48, n, m, jfif);
            if (w.FaultOn(kFaultMarkerBomb)) AddEmptyComments(frame, kMarkerBombSegments);
            if (n == big) {
                if (!w.Write(FramePart(frame, kBigFrame))) return;
                const std::string zeros(1024 * 1024, '\0');
                size_t left = kBigFrame - frame.size();
                while (left > 0) {
                    const size_t k = std::min(left, zeros.size());
                    if (!w.Write(zeros.data(), k)) return;
                    left -= k;
                }
                if (!w.Write("\r\n")) return;
            } else if (!w.Write(FramePart(frame, frame.size()) + "\r\n")) {
                return;
            }
            if (!w.WaitChange(seen, kFrameMs)) return;
        }
    };
    return r;
}

const char* B(bool v) { return v ? "1" : "0"; }

// ---------------------------------------------------------------- Axis

std::vector<JpegMarker> AxisSegments(const AlarmState& s, const std::string&) {
    char level[8];
    snprintf(level, sizeof(level), "%03d", Level(s));
    std::string t = std::string("\x0a\x03", 2) + "M0:" + B(s.motion) + ";ML0:" + level + ";T0:" + B(s.tamper) +
                    ";A0:" + B(s.audio) + ";";
    for (size_t i = 0; i < s.inputs.size(); ++i) t += "IO" + std::to_string(i) + ":" + B(s.inputs[i]) + ";";
    // An encoder comment first: the data-id bytes pick the second.
    return {{kCom, "AXIS encoder"}, {kCom, t}};
}

Response AxisMotionStream() {
    Response r;
    r.headers.push_back({"Content-Type", "multipart/x-mixed-replace; boundary=myboundary"});
    r.stream = [](StreamWriter& w) {
        uint64_t seen = 0;
        while (w.Alive()) {
            AlarmState s = w.State();
            seen = s.version;
            const std::string body = "group=0;level=" + std::to_string(s.motion ? Level(s) : 3) + ";threshold=10;\r\n";
            if (!w.Write("--myboundary\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\n\r\n" + body + "\r\n"))
                return;
            if (!w.WaitChange(seen, 1000)) return;
        }
    };
    return r;
}

// ---------------------------------------------------------------- Vivotek

std::vector<JpegMarker> VivotekSegments(const AlarmState& s, const std::string& api) {
    if (api == "vivotek2") {
        const int index = s.motion ? std::max(0, std::min(15, Level(s) / 6 - 1)) : 0;
        std::string app0("VVTK\0\0", 6);
        app0 += (char)(s.motion ? 1 : 0);
        app0 += (char)index;
        return {{kApp0, app0}};
    }
    // One present window: presence, trigger, 7-bit level, 40 bits; then the
    // tampering marker with its flag two bytes later.
    std::string block(12, '\0');
    const int level = Level(s) & 0x7f;
    block[0] = (char)(0x80 | (s.motion ? 0x40 : 0) | (level >> 1));
    block[1] = (char)((level & 1) << 7);
    block[8] = 0x18;
    block[10] = (char)(s.tamper ? 0x80 : 0);
    std::string app2 = "VVTK";
    app2 += "h264";
    app2 += 'x';
    app2 += std::string(1, '\0');
    app2 += "000000000";
    app2 += (char)(block.size() / 4);
    return {{kApp2, app2 + block}};
}

// ---------------------------------------------------------------- Basler, JVC, Panasonic

std::vector<JpegMarker> BaslerSegments(const AlarmState& s, const std::string&) {
    char motion[64];
    snprintf(motion, sizeof(motion), "Motion level (0-99) %02d", std::min(99, Level(s)));
    return {{kApp1, std::string("Frame\r\n") + motion + "\r\nAlarm = " + B(s.motion) + "\r\nIO=:" + B(s.Input(1)) +
                        "\r\n"}};
}

std::vector<JpegMarker> JvcSegments(const AlarmState& s, const std::string&) {
    std::string c(240, '0');
    c[233] = s.motion ? '1' : '0';
    return {{kCom, c}};
}

std::vector<JpegMarker> PanaSegments(const AlarmState& s, const std::string&) {
    std::string c(16, '\0');
    c[0] = (char)(s.Input(1) ? 0x80 : 0);
    c[12] = 10;
    c[13] = (char)(s.motion ? 20 : 0);
    return {{kCom, c}};
}

}  // namespace

Response HandleAxis(const Request& req, const SimContext& ctx) {
    if (req.Is("axis-cgi/mjpg/video.cgi")) return FrameStream(req, ctx, &AxisSegments, true);
    if (req.Is("axis-cgi/motion/motiondata.cgi")) return AxisMotionStream();
    if (req.Is("axis-cgi/io/input.cgi")) {
        const int n = atoi(req.Param("checkactive").c_str());
        if (n < 1) return Response::Status(400, "Bad Request\n");
        return Response::Text("input" + std::to_string(n) + "=" + (ctx.state.Input(n) ? "active" : "inactive") + "\n");
    }
    return Response::NotFound();
}

Response HandleVivotek(const Request& req, const SimContext& ctx) {
    if (req.Is("video.mjpg")) return FrameStream(req, ctx, &VivotekSegments, false);
    if (req.Is("cgi-bin/getdi.cgi")) {
        // "getdi.cgi?di2": the query names the input.
        if (req.query.compare(0, 2, "di") != 0) return Response::Status(400, "Bad Request\n");
        const int n = atoi(req.query.c_str() + 2);
        return Response::Text("DI" + std::to_string(n) + "=" + (ctx.state.Input(n) ? "H" : "L") + "\n");
    }
    if (req.Is("cgi-bin/dido/getdi.cgi")) {
        std::string t;
        for (size_t i = 0; i < ctx.state.inputs.size(); ++i) t += "di" + std::to_string(i) + "=" + B(ctx.state.inputs[i]) + "\n";
        return Response::Text(t);
    }
    return Response::NotFound();
}

Response HandleBaslerJpeg(const Request& req, const SimContext& ctx) {
    return req.Is("cgi-bin/mjpeg") ? FrameStream(req, ctx, &BaslerSegments, true) : Response::NotFound();
}

Response HandleJvcJpeg(const Request& req, const SimContext& ctx) {
    return req.Is("api/video") ? FrameStream(req, ctx, &JvcSegments, true) : Response::NotFound();
}

Response HandlePanasonicJpeg(const Request& req, const SimContext& ctx) {
    return req.Is("nphMotionJpeg") ? FrameStream(req, ctx, &PanaSegments, true) : Response::NotFound();
}

}  // namespace camsim
