// Several cameras in one process, each on its own simulated camera: two
// cameras of a family whose motion and input detectors share one poll, and
// two HikVision cameras whose four kinds share one alert stream. Each
// camera's events must reach its own detectors only, and each camera must be
// served by its own single connection.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "camdet/core/eventdetector.h"
#include "tests/integration/camsim/statuslog.h"
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
        camsim::Config cfg;
        cfg.api = api;
        cfg.user = "admin";
        cfg.password = "secret42";
        cfg.inputs = 2;
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

// Runs a change on one camera and checks the other never reports it.
void ExpectOnlyOn(WatchedCamera& on, WatchedCamera& off, const char* kind, int port, int level) {
    EXPECT_TRUE(on.log->WaitState(kind, port, true, level, kStepMs)) << kind << "\n" << on.log->Text();
    EXPECT_EQ(0, off.log->CountTriggered(kind, port)) << "the other camera reported it:\n" << off.log->Text();
}

TEST(TwoCamerasInOneProcess, SharedPollFamilyKeepsCamerasApart) {
    WatchedCamera a, b;
    std::string error;
    ASSERT_TRUE(a.Start("messoa", error)) << error;
    ASSERT_TRUE(b.Start("messoa", error)) << error;
    // Per camera: the motion detector polls, the input detector follows it.
    for (WatchedCamera* c : {&a, &b}) {
        ASSERT_NE(nullptr, c->Det(1));
        ASSERT_NE(nullptr, c->Det(2));
        EXPECT_FALSE(c->Det(1)->IsShareFollower());
        EXPECT_TRUE(c->Det(2)->IsShareFollower());
    }
    ASSERT_TRUE(a.sim->WaitRequests(1, kStepMs));
    ASSERT_TRUE(b.sim->WaitRequests(1, kStepMs));

    a.sim->SetMotion(true);
    ExpectOnlyOn(a, b, "md", -1, 100);
    b.sim->SetInput(2, true);
    ExpectOnlyOn(b, a, "di", 1, 1);
    a.sim->SetMotion(false);
    EXPECT_TRUE(a.log->WaitState("md", -1, false, 0, kStepMs));
    EXPECT_TRUE(b.log->WaitState("di", 1, true, 1, kStepMs));
}

TEST(TwoCamerasInOneProcess, HikVisionStreamsServeOnlyTheirOwnCamera) {
    WatchedCamera c, d;
    std::string error;
    ASSERT_TRUE(c.Start("hikvisionv3", error)) << error;
    ASSERT_TRUE(d.Start("hikvisionv3", error)) << error;
    for (WatchedCamera* w : {&c, &d}) {
        ASSERT_NE(nullptr, w->Det(1));
        EXPECT_FALSE(w->Det(1)->IsShareFollower());
        for (int kind = 2; kind <= 4; ++kind) {
            ASSERT_NE(nullptr, w->Det(kind)) << kind;
            EXPECT_TRUE(w->Det(kind)->IsShareFollower()) << kind;
        }
    }
    c.sim->SetMotion(true);
    ExpectOnlyOn(c, d, "md", -1, 100);
    d.sim->SetTamper(true);
    ExpectOnlyOn(d, c, "td", -1, 100);
    d.sim->SetInput(1, true);
    ExpectOnlyOn(d, c, "di", 0, 1);
    c.sim->SetAudio(true);
    ExpectOnlyOn(c, d, "ad", -1, 100);
    // One alert stream per camera: the Digest challenge and the authenticated request.
    EXPECT_EQ(2u, c.sim->RequestCount());
    EXPECT_EQ(2u, d.sim->RequestCount());
}

}  // namespace
