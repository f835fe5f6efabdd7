// Multipart stream cost, two numbers:
//  1. parts per second through one HikVision detector that feeds three
//     followers (motion owner; input, tampering and audio followers), the
//     parts coming from an in-memory stream through the real fetcher, so
//     only framing, rules and reporting are measured;
//  2. CPU and resident memory of this process while it holds N concurrent
//     alert streams (one motion detector each) from a simulated HikVision
//     camera in a child process that changes its motion state every 100 ms,
//     over plain HTTP and over HTTPS (the handshake is paid once per stream;
//     the certificate is not checked, as checking costs once per handshake).
// Numbers only; nothing is asserted.
//
//   bench_multipart [--seconds 10] [--streams 200]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "dupfromox/oxdebuglog.h"
#include "host/net/recorderservices.h"
#include "host/recorder/camhost.h"
#include "interface/clock.h"
#include "tests/fixtures/mfscript.h"
#include "tests/fixtures/recordinghost.h"
#include "tests/fixtures/testsupport.h"
#include "tools/camsim/camsim.h"

namespace {

using bench::CpuSeconds;
using bench::Now;
using bench::ResetSharing;

struct Rig {
    BrellinOwned::RecorderServices services{BrellinOwned::RealClock()};
    CamMediator med;
    RecorderCameraCap cap;
    RecorderCameraAPI api{&cap};
    CountingEventBuf buf;
    CountingEventBufMap bufMap;
    DET_BASE_ATTR Attr(bool withMap) {
        DET_BASE_ATTR a;
        a.camMediatorHdl = CamMediatorHandler(&med);
        a.pCamApi = &api;
        a.evtBufHdl = EventBufHandler(&buf);
        if (withMap) a.evtBufMapHdl = EventBufMapHandler(&bufMap);
        a.pCamCap = &cap;
        return a;
    }
};

std::string Alert(const char* type, const char* state, int port) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<EventNotificationAlert version=\"2.0\">\r\n";
    if (port) s += "<inputIOPortID>" + std::to_string(port) + "</inputIOPortID>\r\n";
    s += std::string("<eventType>") + type + "</eventType>\r\n<eventState>" + state +
         "</eventState>\r\n</EventNotificationAlert>\r\n";
    return s;
}

void PartsPerSecond(double seconds) {
    ResetSharing();
    MFScriptScope scope;
    MFScriptedConn c;
    const char* types[] = {"VMD", "IO", "shelteralarm", "audioexception", "videoloss"};
    std::string chunk;
    for (int i = 0; i < 50; ++i) {
        const char* t = types[i % 5];
        chunk += MFPart(Alert(t, i % 3 ? "active" : "inactive", i % 4 + 1),
                        "Content-Type: application/xml; charset=\"UTF-8\"\r\n");
    }
    c.chunks = {chunk};
    c.loop = true;
    scope.script->Add(c);

    Rig md, di, td, ad;
    md.cap.SetAPI("hikvisionv3");
    md.cap.SetDICnt(4);
    DET_BASE_ATTR diA = md.Attr(true), tdA = md.Attr(false), adA = md.Attr(false);
    diA.evtBufMapHdl = EventBufMapHandler(&di.bufMap);
    tdA.evtBufHdl = EventBufHandler(&td.buf);
    adA.evtBufHdl = EventBufHandler(&ad.buf);
    // The classes the factories choose for the key, as a recorder gets them.
    std::unique_ptr<CamDetector> ownerMade = MakeFor("hikvisionv3", DET_TYPE_MD, md.Attr(false));
    std::unique_ptr<CamDetector> f1Made = MakeFor("hikvisionv3", DET_TYPE_DI, diA);
    std::unique_ptr<CamDetector> f2Made = MakeFor("hikvisionv3", DET_TYPE_TD, tdA);
    std::unique_ptr<CamDetector> f3Made = MakeFor("hikvisionv3", DET_TYPE_AD, adA);
    if (!ownerMade || !f1Made || !f2Made || !f3Made) {
        fprintf(stderr, "bench_multipart: no HikVision detectors from the factory table\n");
        return;
    }
    CamDetector &owner = *ownerMade, &f1 = *f1Made, &f2 = *f2Made, &f3 = *f3Made;
    f1.Start();
    f2.Start();
    f3.Start();
    const double cpu0 = CpuSeconds(), t0 = Now();
    owner.Start();
    while (Now() - t0 < seconds) usleep(100000);
    const int parts = md.buf.GetUpdateCount();
    const double wall = Now() - t0, cpu = CpuSeconds() - cpu0;
    owner.Stop();
    f1.Stop();
    f2.Stop();
    f3.Stop();
    printf("one stream, 1 owner + 3 followers: %d parts in %.1f s = %.0f parts/s (%.1f us CPU per part, followers "
           "fed %d/%d/%d)\n",
           parts, wall, parts / wall, parts ? cpu * 1e6 / parts : 0.0, di.bufMap.GetUpdateCount() / 4,
           td.buf.GetUpdateCount(), ad.buf.GetUpdateCount());
}

void ConcurrentStreams(int streams, double seconds, bool tls) {
    camsim::Config cfg;
    cfg.api = "hikvisionv3";
    cfg.auth = camsim::Auth::kNone;
    cfg.tls = tls;
    bench::CameraChild cam;
    if (!cam.Start("bench_multipart", cfg, 1, nullptr, 100)) return;
    const int port = cam.Ports()[0];

    const long rss0 = bench::RssKib();
    std::vector<std::unique_ptr<Rig> > rigs;
    std::vector<std::unique_ptr<CamDetector> > dets;
    for (int i = 0; i < streams; ++i) {
        rigs.emplace_back(new Rig);
        rigs.back()->med.httpPort = port;
        if (tls) {
            BrellinOwned::CamTlsPolicy p;
            p.blHttps = true;
            p.verify = BrellinOwned::TlsVerify::kNone;
            rigs.back()->services.SetTls(p);
        }
        rigs.back()->api.SetServices(&rigs.back()->services);
        rigs.back()->cap.SetAPI("hikvisionv3");
        ResetSharing();  // each detector its own stream, as for 200 cameras
        dets.push_back(MakeFor("hikvisionv3", DET_TYPE_MD, rigs.back()->Attr(false)));
        if (dets.back()) dets.back()->Start();
    }
    sleep(2);  // let every stream connect before measuring
    long updates0 = 0;
    for (auto& r : rigs) updates0 += r->buf.GetUpdateCount();
    const double cpu0 = CpuSeconds(), t0 = Now();
    while (Now() - t0 < seconds) usleep(100000);
    const double wall = Now() - t0, cpu = CpuSeconds() - cpu0;
    long updates = -updates0;
    for (auto& r : rigs) updates += r->buf.GetUpdateCount();
    const long rss = bench::RssKib();
    printf("%d concurrent alert streams over %s: %.1f%% of one core, %.0f parts/s in all, %.1f us CPU per part, "
           "RSS +%ld KiB (%.1f KiB per stream)\n",
           streams, tls ? "HTTPS" : "HTTP ", 100.0 * cpu / wall, updates / wall,
           updates > 0 ? cpu * 1e6 / updates : 0.0, rss - rss0, (double)(rss - rss0) / streams);
    for (auto& d : dets) {
        if (d) d->Stop();
    }
    cam.Stop();
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    double streamCount = 200;
    if (!bench::ParseNumberOptions(argc, argv, {{"--seconds", &seconds}, {"--streams", &streamCount}})) return 2;
    const int streams = (int)streamCount;
    BrellinOwned::OXSetLogPath("/tmp/bench_multipart.log");
    PartsPerSecond(seconds);
    ConcurrentStreams(streams, seconds, false);
    ConcurrentStreams(streams, seconds, true);
    return 0;
}
