// End to end over events carried in RTP header extensions (each family's
// stream: test_e2e_families.cpp): camdet-monitor --json --rtsp through the
// recorder's shared fetcher of the live stream, and the camera's RTSP faults (refusal, drops, lengths that
// run past their packet, garbage, a stall) cost bounded memory, detection
// resumes and the monitor still stops. In process: a detector with a fetcher
// of its own against the simulator's RTSP server, and its back-off; alarms
// held between extensions that come seconds apart, and ended by a camera
// that vanishes or sends only RTCP.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "camdet/transport/rtpvendordetector.h"
#include "host/rtsp/rtpfetcher.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;

camsim::Config Cam(const char* api) {
    camsim::Config cfg;
    cfg.api = api;
    cfg.user = "admin";
    cfg.password = "pw-9";
    cfg.inputs = 2;
    return cfg;
}

// The monitor on the simulator's stream; the login in the URL.
std::vector<std::string> Args(const camsim::CamSim& sim, const char* api, std::vector<std::string> more) {
    std::string url = sim.RtspUrl();
    url.insert(7, "admin:pw-9@");
    std::vector<std::string> a = {"--json", "--api", api, "--port", std::to_string(sim.Port()), "--rtsp", url};
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

TEST(RtpEndToEnd, RtspFaultsCostBoundedMemoryAndDetectionResumes) {
    camsim::CamSim sim(Cam("avtechp"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    sim.SetFault(camsim::kFaultRefuse, true);
    LogCapture libLog;  // only its temporary file: the monitor writes its log there
    MonitorProcess mon(Args(sim, "avtechp", {"--kinds", "md", "--log", libLog.Path()}));
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(1, kStepMs));
    sim.SetMotion(true);
    // Refused: the fetcher says so and tries again later; then it gets in. (A
    // connection closed before its request was read may arrive as a reset,
    // seen by the receive or already by the send.)
    const std::string failed = "RTSP " + sim.RtspUrl() + ": ";
    auto refusedLogged = [&] {
        const std::string t = libLog.Text();
        return t.find(failed + "the server closed the connection") != std::string::npos ||
               t.find(failed + "receive failed") != std::string::npos ||
               t.find(failed + "send failed") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor(refusedLogged, kStepMs)) << libLog.Text();
    EXPECT_EQ(log.CountTriggered("md", -1), 0);
    sim.SetFault(camsim::kFaultRefuse, false);
    ASSERT_TRUE(log.WaitState("md", -1, true, 100, 30000)) << log.Text();
    EXPECT_NE(std::string::npos, libLog.Text().find("streaming (session"));

    struct Fault {
        camsim::Fault fault;
        const char* what;
    } faults[] = {
        {camsim::kFaultCloseMid, "the connection dropped mid-frame"},
        {camsim::kFaultHugeLength, "interleaved lengths running past their packets"},
        {camsim::kFaultGarbage, "garbage instead of packets"},
        {camsim::kFaultStall, "a stall"},
    };
    bool motion = true;
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        const int sessions = sim.RtspSessions();
        const int connections = sim.RtspConnections();
        const uint64_t packets = sim.RtpPacketsSent();
        sim.SetFault(f.fault, true);
        switch (f.fault) {
        case camsim::kFaultHugeLength:
            // The frames stay readable: the packets after each broken one are found again.
            motion = !motion;
            sim.SetMotion(motion);
            EXPECT_TRUE(log.WaitState("md", -1, motion, motion ? 100 : 0, kStepMs)) << log.Text();
            break;
        case camsim::kFaultCloseMid:
            ASSERT_TRUE(WaitFor([&] { return sim.RtspSessions() > sessions + 1; }, 30000)) << "no reconnects";
            break;
        case camsim::kFaultGarbage:
            ASSERT_TRUE(WaitFor([&] { return sim.RtpPacketsSent() >= packets + 40; }, 30000));
            break;
        default:
            // Silent past the fetcher's time-out: it gives up and connects anew.
            ASSERT_TRUE(WaitFor([&] { return sim.RtspConnections() > connections; }, 30000)) << "no reconnect";
            break;
        }
        sim.SetFault(f.fault, false);
        motion = !motion;
        sim.SetMotion(motion);
        EXPECT_TRUE(log.WaitState("md", -1, motion, motion ? 100 : 0, 30000)) << log.Text();
    }
    EXPECT_LT(mon.RssKiB(), 64 * 1024);
    // The monitor stops while the camera stalls: every wait is bounded.
    sim.SetFault(camsim::kFaultStall, true);
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(log.BadLines().empty());
}

// ---------------------------------------------------------------- own fetcher, in process

// AVTECH motion from a fetcher of the detector's own on the simulator's stream.
constexpr RtpRow kAvtechMotion = RtpExtension(DET_TYPE_MD, streamrule::Avtech);
class OwnFetchAvtech : public RtpVendorDetector {
public:
    OwnFetchAvtech(DET_BASE_ATTR a, const std::string& path, int port)
        : RtpVendorDetector(a, kAvtechMotion, DetArgs()), m_Path(path), m_Port(port) {}
    int GetPathPort(std::string& path, int& port) override {
        path = m_Path;
        port = m_Port;
        return 0;
    }

private:
    std::string m_Path;
    int m_Port;
};

TEST(RtpEndToEnd, OwnFetcherBacksOffAfterAFailedFetch) {
    camtest::FakeClock clock;  // the back-off is counted, not waited
    SharingReset sharing;
    LogCapture log;
    camsim::CamSim sim(Cam("avtech"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.user = "admin";
    rig.med.password = "pw-9";
    std::mutex m;
    std::vector<std::pair<bool, int> > seen;
    rig.buf.SetListener([&](bool t, int l) {
        std::lock_guard<std::mutex> g(m);
        seen.push_back({t, l});
    });
    auto last = [&] {
        std::lock_guard<std::mutex> g(m);
        return seen.empty() ? std::make_pair(false, -1) : seen.back();
    };
    OwnFetchAvtech det(rig.Attr(), "/live/h264", sim.RtspPort());
    ASSERT_EQ(0, det.Start());
    sim.SetMotion(true);
    ASSERT_TRUE(WaitFor([&] { return last() == std::make_pair(true, 100); }, 10000));
    sim.SetFault(camsim::kFaultCloseMid, true);
    ASSERT_TRUE(WaitFor([&] { return sim.RtspSessions() >= 3; }, 20000));
    sim.SetFault(camsim::kFaultCloseMid, false);
    sim.SetMotion(false);
    ASSERT_TRUE(WaitFor([&] { return last() == std::make_pair(false, 0); }, 10000));
    det.Stop();
    // A failed fetch: five one-second steps, then the pass pause.
    const std::vector<int64_t> waits = clock.Waits();
    const std::vector<int64_t> backoff = {1000, 1000, 1000, 1000, 1000, RtpHdrDetector::kPassPauseMs};
    EXPECT_NE(waits.end(), std::search(waits.begin(), waits.end(), backoff.begin(), backoff.end()));
    EXPECT_NE(std::string::npos, log.Text().find("streaming (session"));
    EXPECT_EQ(std::string::npos, log.Text().find("pw-9"));
}

// One simulated camera in alarm watched in process, as the recorder does:
// its live stream in the recorder's fetcher and one detector on it.
struct WatchedCamera {
    // The fetcher's waits and time-outs run on fetchClock.
    WatchedCamera(const char* api, int kind, int extPacingMs, int timeoutSec,
                  BrellinOwned::Clock& fetchClock = BrellinOwned::RealClock())
        : kind(kind) {
        camsim::Config cfg = Cam(api);
        cfg.extPacingMs = extPacingMs;
        sim.reset(new camsim::CamSim(cfg));
        std::string error;
        started = sim->Start(error);
        if (!started) return;
        if (kind == DET_TYPE_DI) sim->SetInput(1, true);
        else sim->SetMotion(true, 50);
        RTSP_CLIENT_CONF conf;
        ParseRtspUrl(sim->RtspUrl(), conf, error);
        conf.user = "admin";
        conf.password = "pw-9";
        conf.timeoutSec = timeoutSec;
        fetch.reset(new RtpFetcher(conf, fetchClock));
        rig.cap.SetAPI(api);
        rig.cap.SetDICnt(2);
        rig.med.streamFormat = 2;
        rig.med.httpPort = sim->Port();  // a camera of its own for the sharing of kinds
        if (kind == DET_TYPE_DI) history.Attach(rig.bufMap);
        else history.Attach(rig.buf);
        det = CreateDetector(kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap, nullptr, &rig.cap, fetch.get(), true);
        started = det && fetch->StartLive() && dynamic_cast<DetectorBase*>(det)->Start() == 0;
    }
    ~WatchedCamera() {
        if (det) kind == DET_TYPE_DI ? ReleaseDigitalDetBRObj(det) : ReleaseMotionDetBRObj(det);
        fetch.reset();
    }
    // The statuses of motion, or of the first input.
    camtest::States States() { return kind == DET_TYPE_DI ? history.Port(0) : history.Get(); }
    bool Alarm() {
        const camtest::States s = States();
        return !s.empty() && s.back().first;
    }

    int kind;
    std::unique_ptr<camsim::CamSim> sim;
    std::unique_ptr<RtpFetcher> fetch;
    CameraRig rig;
    camtest::StatusHistory history;
    BRObjectBase* det = nullptr;
    bool started = false;
};

// Extensions seconds apart, with the video's other packets between them: the
// alarm in the last one holds until the next (the camera says nothing else).
TEST(RtpEndToEnd, AnAlarmHoldsBetweenExtensionsSecondsApart) {
    SharingReset sharing;
    LogCapture log;
    struct Row {
        const char* api;
        int kind;
        int pacingMs;
    } rows[] = {
        {"axisv5", DET_TYPE_DI, 1500},
        {"axisv5", DET_TYPE_DI, 3000},
        {"avtech", DET_TYPE_MD, 3000},
        {"vivotek8", DET_TYPE_MD, 3000},
    };
    std::vector<std::unique_ptr<WatchedCamera> > cams;
    for (const Row& r : rows) {
        cams.emplace_back(new WatchedCamera(r.api, r.kind, r.pacingMs, 10));
        ASSERT_TRUE(cams.back()->started) << r.api;
        cams.back()->sim->SetFault(camsim::kFaultExtPacing, true);
    }
    for (auto& c : cams) ASSERT_TRUE(WaitFor([&] { return c->Alarm(); }, 10000)) << log.Text();
    // Two gaps of the slower cameras.
    usleep(6500 * 1000);
    for (size_t i = 0; i < cams.size(); ++i) {
        SCOPED_TRACE(std::string(rows[i].api) + ", extensions " + std::to_string(rows[i].pacingMs) + " ms apart");
        const camtest::States st = cams[i]->States();
        auto on = std::find_if(st.begin(), st.end(), [](const std::pair<bool, int>& x) { return x.first; });
        for (auto it = on; it != st.end(); ++it) EXPECT_TRUE(it->first) << "the alarm flipped off";
        EXPECT_EQ(1, cams[i]->fetch->ConnectCount());
    }
}

// The camera vanishes (or sends only RTCP) during an alarm: the alarm ends
// within the fetcher's time-out, the read slice that notices it and a pass of
// the detector, counted on the fetcher's clock (which the test moves about as
// fast as real time), and comes back with the camera.
TEST(RtpEndToEnd, AnAlarmEndsWithAVanishedOrSilentStream) {
    const int timeoutSec = 1;
    const int sliceMs = 200;  // the live thread's read slice
    const int passMs = 1000;  // the detector's pass and what was in flight
    for (camsim::Fault fault : {camsim::kFaultVanish, camsim::kFaultRtcpOnly}) {
        SCOPED_TRACE(camsim::FaultName(fault));
        SharingReset sharing;
        LogCapture log;
        const struct {
            const char* api;
            int kind;
        } rows[] = {{"axisv5", DET_TYPE_DI}, {"avtech", DET_TYPE_MD}, {"vivotek8", DET_TYPE_MD}};
        std::vector<std::unique_ptr<camtest::FakeClock> > clocks;
        std::vector<std::unique_ptr<WatchedCamera> > cams;
        for (const auto& r : rows) {
            clocks.emplace_back(new camtest::FakeClock(camtest::FakeClock::MANUAL));
            cams.emplace_back(new WatchedCamera(r.api, r.kind, 0, timeoutSec, *clocks.back()));
            ASSERT_TRUE(cams.back()->started) << r.api;
        }
        for (auto& c : cams) ASSERT_TRUE(WaitFor([&] { return c->Alarm(); }, 10000));
        for (auto& c : cams) c->sim->SetFault(fault, true);
        for (size_t i = 0; i < cams.size(); ++i) {
            // The fetcher's clock stood still so far: nothing is lost yet.
            EXPECT_TRUE(cams[i]->Alarm()) << rows[i].api;
            const int64_t t0 = clocks[i]->NowMs();
            EXPECT_TRUE(WaitFor(
                [&] {
                    clocks[i]->Advance(1);
                    return !cams[i]->Alarm();
                },
                10000))
                << rows[i].api << " did not end";
            EXPECT_LE(clocks[i]->NowMs() - t0, timeoutSec * 1000 + sliceMs + passMs) << rows[i].api;
        }
        for (auto& c : cams) c->sim->SetFault(fault, false);
        // Back from a camera that did not answer: its time-outs and back-off
        // pass as the test moves the clock.
        for (size_t i = 0; i < cams.size(); ++i)
            EXPECT_TRUE(WaitFor(
                [&] {
                    clocks[i]->Advance(1);
                    return cams[i]->Alarm();
                },
                15000))
                << rows[i].api << " did not come back";
    }
}

}  // namespace
