// MJPEG streams of the cameras whose alarm state rides in the frames
// themselves, for a recorder's stream FIFO (camdet-monitor --fifo-url):
// five frames a second and one at once on every change, each a real JPEG.
//
//   Ipux     /video.mjpg   a first APP1 segment put so that byte 24 of the
//                          frame is the motion level (0..127, or 0..100 on
//                          "ipux5m") and bits 0-2 of byte 27 the inputs
//   StarDot  /jpeg.cgi     after the image's end, "SDM0" and 32 bytes of
//                          motion flags (the block's "0" 37 bytes from the end)
#include "tools/camsim/simtypes.h"
#include "tools/camsim/jpegframe.h"

namespace camsim {

namespace {

const int kFrameMs = 200;

typedef std::vector<unsigned char> (*FrameFn)(const AlarmState& s, const std::string& api, int n);

Response FrameStream(const SimContext& ctx, FrameFn make) {
    Response r;
    r.headers.push_back({"Content-Type", "multipart/x-mixed-replace; boundary=myboundary"});
    const std::string api = ctx.api;
    r.stream = [make, api](StreamWriter& w) {
        uint64_t seen = 0;
        for (int n = 1; w.Alive(); ++n) {
            const AlarmState s = w.State();
            seen = s.version;
            std::vector<unsigned char> f = make(s, api, n);
            if (w.FaultOn(kFaultMarkerBomb)) AddEmptyComments(f, kMarkerBombSegments);
            std::string part = "--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                               std::to_string(f.size()) + "\r\n\r\n";
            part.append(reinterpret_cast<const char*>(f.data()), f.size());
            if (!w.Write(part + "\r\n")) return;
            if (!w.WaitChange(seen, kFrameMs)) return;
        }
    };
    return r;
}

std::vector<unsigned char> IpuxFrame(const AlarmState& s, const std::string& api, int n) {
    // SOI, APP1 marker and length take bytes 0-5: payload byte k is frame byte k + 6.
    std::string app1(32, '\0');
    const int level = s.motion ? s.motionLevel : 0;
    // Read as a signed byte by the recorder: kept within 0..127.
    app1[24 - 6] = (char)(api == "ipux5m" ? level : level * 127 / 100);
    int bits = 0;
    for (size_t i = 0; i < s.inputs.size() && i < 3; ++i) bits |= s.inputs[i] ? 1 << i : 0;
    app1[27 - 6] = (char)bits;
    return MakeJpegFrame(64, 48, n, {{0xE1, app1}});
}

std::vector<unsigned char> StarDotFrame(const AlarmState& s, const std::string&, int n) {
    std::vector<unsigned char> f = MakeJpegFrame(64, 48, n, {});
    const std::string block = "SDM0" + std::string(32, s.motion ? '\x01' : '\0') + std::string(4, '\0');
    f.insert(f.end(), block.begin(), block.end());
    return f;
}

}  // namespace

Response HandleIpuxMjpeg(const Request& req, const SimContext& ctx) {
    if (req.path != "/video.mjpg") return Response::NotFound();
    return FrameStream(ctx, &IpuxFrame);
}

Response HandleStarDotMjpeg(const Request& req, const SimContext& ctx) {
    if (req.path != "/jpeg.cgi") return Response::NotFound();
    return FrameStream(ctx, &StarDotFrame);
}

}  // namespace camsim
