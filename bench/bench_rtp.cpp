// RTP header extensions: the parser alone (an RTSP connection's bytes split
// into frames and every packet parsed, in memory), then RTP packets per
// second through the recorder's shared fetcher of a simulated Axis camera's
// stream sent as fast as loopback takes it, first with no detector, then
// with the camera's four detectors (one owner, three followers) sampling it.
// The camera runs in a child process; CPU is this process's only. Numbers
// only; nothing is asserted.
//
//   bench_rtp [--seconds 5]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "camdet/api/entrypoints.h"
#include "dupfromox/oxdebuglog.h"
#include "host/recorder/camhost.h"
#include "host/rtsp/rtpext.h"
#include "host/rtsp/rtpfetcher.h"
#include "tests/fixtures/recordinghost.h"

namespace {

using bench::Now;

std::string Frame(const std::string& ext, uint16_t seq) {
    std::string p;
    p += (char)(ext.empty() ? 0x80 : 0x90);
    p += (char)96;
    p += (char)(seq >> 8);
    p += (char)seq;
    p += std::string(8, '\x11');
    if (!ext.empty()) {
        std::string w = ext;
        while (w.size() % 4) w += '\0';
        p += "\xAB\xAC";
        p += (char)0;
        p += (char)(w.size() / 4);
        p += w;
    }
    p += '\x0C' + std::string(300, '\xFF') + '\x80';
    std::string f = "$";
    f += (char)0;
    f += (char)(p.size() >> 8);
    f += (char)(p.size() & 0xFF);
    return f + p;
}

void ParseRate(double seconds) {
    // Frames of four packets, the first with the Axis text, as the simulator sends them.
    std::string stream;
    for (int i = 0; i < 1000; ++i)
        stream += Frame(i % 4 ? "" : "M0:1;ML0:050;T0:0;A0:0;IO0:0;IO1:1;", (uint16_t)i);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(stream.data());
    long packets = 0, ext = 0;
    const double t0 = Now();
    while (Now() - t0 < seconds) {
        size_t off = 0;
        while (off < stream.size()) {
            const RTSP_UNIT u = SplitRtspUnit(data + off, stream.size() - off, 0, 1);
            if (u.kind != RTSP_UNIT::FRAME) break;
            RTP_PACKET_INFO info;
            if (ParseRtpPacket(data + off + 4, u.dataLen, info) == RTP_PARSE_OK) {
                ++packets;
                ext += info.hasExt;
            }
            off += u.consumed;
        }
    }
    const double dt = Now() - t0;
    printf("split and parse in memory: %.0f packets/s (%.3f us a packet, %ld with an extension)\n", packets / dt,
           dt * 1e6 / packets, ext);
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(a);
    bind(fd, (sockaddr*)&a, len);
    getsockname(fd, (sockaddr*)&a, &len);
    close(fd);
    return ntohs(a.sin_port);
}

uint64_t PacketsSent(const camsim::CamSim& s) { return s.RtpPacketsSent(); }

struct Camera {
    CamMediator med;
    RecorderCameraCap cap;
    RecordingCameraAPI api{&cap};
    CountingEventBuf bufs[5];
    CountingEventBufMap bufMap;
    std::vector<std::pair<int, BRObjectBase*> > dets;
};

void Through(RtpFetcher& fetcher, bench::CameraChild& child, bool detectors, double seconds) {
    Camera cam;
    cam.cap.SetAPI("axisv5");
    cam.cap.SetDICnt(2);
    cam.med.streamFormat = 2;
    if (detectors) {
        cam.dets.push_back({1, MotionDetFactory(&cam.med, &cam.api, &cam.bufs[1], nullptr, &cam.cap, &fetcher, true)});
        cam.dets.push_back(
            {2, DigitalDetFactory(&cam.med, &cam.api, &cam.bufs[2], &cam.bufMap, nullptr, &cam.cap, &fetcher, true)});
        cam.dets.push_back(
            {3, TamperingDetFactory(&cam.med, &cam.api, &cam.bufs[3], nullptr, &cam.cap, &fetcher, true)});
        cam.dets.push_back({4, AudioDetFactory(&cam.med, &cam.api, &cam.bufs[4], nullptr, &cam.cap, &fetcher, true)});
        for (auto& d : cam.dets) dynamic_cast<DetectorBase*>(d.second)->Start();
    }
    bench::SleepUntil(Now() + 1);
    const uint64_t got0 = fetcher.PacketCount();
    const uint64_t sent0 = child.Count();
    int updates0 = 0;
    for (int k = 1; k <= 4; ++k) updates0 += cam.bufs[k].GetUpdateCount();
    const double cpu0 = bench::CpuSeconds();
    const double t0 = Now();
    bench::SleepUntil(t0 + seconds);
    const double dt = Now() - t0;
    const double cpu = bench::CpuSeconds() - cpu0;
    const uint64_t got = fetcher.PacketCount() - got0;
    const uint64_t sent = child.Count() - sent0;
    int updates = -updates0;
    for (int k = 1; k <= 4; ++k) updates += cam.bufs[k].GetUpdateCount();
    printf("shared fetcher, %s: %.0f packets/s received (%.0f sent), %.2f us CPU a packet, %.1f status updates/s, "
           "RSS %ld KiB\n",
           detectors ? "four detectors sampling" : "no detector", got / dt, sent / dt, got ? cpu * 1e6 / got : 0.0,
           updates / dt, bench::RssKib());
    for (auto& d : cam.dets) {
        switch (d.first) {
        case 1: ReleaseMotionDetBRObj(d.second); break;
        case 2: ReleaseDigitalDetBRObj(d.second); break;
        case 3: ReleaseTamperingDetBRObj(d.second); break;
        case 4: ReleaseAudioDetBRObj(d.second); break;
        }
    }
    bench::ResetSharing();
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 5;
    if (!bench::ParseNumberOptions(argc, argv, {{"--seconds", &seconds}})) return 2;
    BrellinOwned::OXSetLogPath("/dev/null");
    ParseRate(seconds);

    camsim::Config cfg;
    cfg.api = "axisv5";
    cfg.inputs = 2;
    cfg.rtspPort = FreePort();
    cfg.rtpFramesPerSec = 0;  // as fast as the client reads
    bench::CameraChild child;
    if (!child.Start(argv[0], cfg, 1, &PacketsSent, 500)) return 1;
    RTSP_CLIENT_CONF conf;
    conf.host = "127.0.0.1";
    conf.port = cfg.rtspPort;
    conf.path = "/axis-media/media.amp";
    RtpFetcher fetcher(conf);
    fetcher.StartLive();
    Through(fetcher, child, false, seconds);
    Through(fetcher, child, true, seconds);
    fetcher.StopLive();
    child.Stop();
    return 0;
}
