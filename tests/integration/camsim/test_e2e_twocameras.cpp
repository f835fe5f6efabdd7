// Several cameras in one process, each on its own simulated camera: two
// cameras of a family whose motion and input detectors share one poll, and
// two HikVision cameras whose four kinds share one alert stream. Each
// camera's events must reach its own detectors only, and each camera must be
// served by its own single connection.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camdet/core/eventdetector.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

namespace {

const int kStepMs = 15000;

// One simulated camera and the recorder that watches it, in this process.
struct WatchedCamera {
    std::unique_ptr<camsim::CamSim> sim;
    std::unique_ptr<camtest::StatusLog> log;
    FILE* out = nullptr;
    std::unique_ptr<StatusPrinter> printer;
    std::unique_ptr<MiniRecorder> rec;

    bool Start(const std::string& api, std::string& error) {
        const camsim::Config cfg = camtest::SimConfig(api, "secret42");
        sim.reset(new camsim::CamSim(cfg));
        if (!sim->Start(error)) return false;
        int fds[2];
        if (pipe(fds) != 0) return false;
        log.reset(new camtest::StatusLog(fds[0]));
        out = fdopen(fds[1], "w");
        setvbuf(out, nullptr, _IOLBF, 0);
        printer.reset(new StatusPrinter(out, true));
        MonitorOptions opt;
        opt.api = api;
        opt.port = sim->Port();
        opt.user = cfg.user;
        opt.password = cfg.password;
        opt.diCount = cfg.inputs;
        rec.reset(new MiniRecorder(opt, *printer));
        rec->CreateDetectors();
        rec->StartAll();
        return true;
    }
    CamDetector* Det(int kind) { return dynamic_cast<CamDetector*>(rec->Detector(kind)); }
    ~WatchedCamera() {
        if (rec) rec->ReleaseAll();
        rec.reset();
        if (out) fclose(out);  // the log's reader sees the end
        log.reset();
        if (sim) sim->Stop();
    }
};

// Two cameras of one family: the first kind polls or streams, the others
// follow it on their own camera only; each change made on one camera is
// reported there and never by the other.
TEST(TwoCamerasInOneProcess, EachCamerasEventsReachOnlyItsOwnDetectors) {
    struct Change {
        int cam;
        std::function<void(camsim::CamSim&)> make;
        const char* kind;
        int port;
        int level;
    };
    const struct {
        const char* api;
        int kinds;
        std::vector<Change> changes;
        int requests;  // per camera, -1: not counted
    } rows[] = {
        // Motion and input share one poll.
        {"messoa", 2,
         {{0, [](camsim::CamSim& s) { s.SetMotion(true); }, "md", -1, 100},
          {1, [](camsim::CamSim& s) { s.SetInput(2, true); }, "di", 1, 1}},
         -1},
        // Four kinds share one alert stream: the Digest challenge and the authenticated request.
        {"hikvisionv3", 4,
         {{0, [](camsim::CamSim& s) { s.SetMotion(true); }, "md", -1, 100},
          {1, [](camsim::CamSim& s) { s.SetTamper(true); }, "td", -1, 100},
          {1, [](camsim::CamSim& s) { s.SetInput(1, true); }, "di", 0, 1},
          {0, [](camsim::CamSim& s) { s.SetAudio(true); }, "ad", -1, 100}},
         2},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.api);
        WatchedCamera cams[2];
        std::string error;
        for (WatchedCamera& c : cams) {
            ASSERT_TRUE(c.Start(r.api, error)) << error;
            ASSERT_NE(nullptr, c.Det(1));
            EXPECT_FALSE(c.Det(1)->IsShareFollower());
            for (int kind = 2; kind <= r.kinds; ++kind) {
                ASSERT_NE(nullptr, c.Det(kind)) << kind;
                EXPECT_TRUE(c.Det(kind)->IsShareFollower()) << kind;
            }
        }
        for (const Change& ch : r.changes) {
            WatchedCamera &on = cams[ch.cam], &off = cams[1 - ch.cam];
            ch.make(*on.sim);
            EXPECT_TRUE(on.log->WaitState(ch.kind, ch.port, true, ch.level, kStepMs)) << ch.kind << "\n"
                                                                                        << on.log->Text();
            EXPECT_EQ(0, off.log->CountTriggered(ch.kind, ch.port)) << "the other camera reported it:\n"
                                                                    << off.log->Text();
        }
        for (WatchedCamera& c : cams) {
            if (r.requests >= 0) {
                EXPECT_EQ((uint64_t)r.requests, c.sim->RequestCount());
            }
        }
    }
}

}  // namespace
