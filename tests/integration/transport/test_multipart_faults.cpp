// The reconnect pacing of every kind of long-lived camera connection against
// scripted loopback cameras (hostile parts: the unit tests' MultipartTransport).
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "camdet/rules/ownlooprules.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/peercamera.h"
#include "tests/fixtures/testutil.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

std::string Part(const char* file) {
    const std::string body = camtest::TestData(std::string("hikvision/") + file);
    return "--boundary\r\nContent-Type: application/xml; charset=\"UTF-8\"\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n";
}

const std::string kHead =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=boundary\r\nConnection: close\r\n\r\n";

// Stop() on a detector thread, bounded: false when it did not return in time.
bool StopsWithin(DetectorBase& d, int seconds) {
    std::future<int> f = std::async(std::launch::async, [&d] { return d.Stop(); });
    return f.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
}

// A camera's long-lived connection of one kind, made by the factory as a
// recorder does: what the camera sends first (the head of its answer, or the
// login), and one event that raises motion.
struct LongLived {
    const char* name;
    const char* api;
    PeerScript head;
    std::string event;
    bool http;  // the detector asks first: a camera can take the request and not answer
};

const std::vector<LongLived>& LongLivedKinds() {
    static const std::string text = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    static const std::string actiMotion = std::string(4, '\0') + std::string{'\x39', '\0', '\x01', '\0'} +
                                          std::string(4, '\0');  // ACTI_MOTION_EVENT, no payload
    static const std::vector<LongLived> kinds = {
        {"multipart stream", "hikvisionv3", {PeerStep::RecvRequest(), PeerStep::Send(kHead)},
         Part("vmd_active.xml"), true},
        {"text lines over HTTP", "dahua", {PeerStep::RecvRequest(), PeerStep::Send(text)},
         "Code=VideoMotion;action=Start;index=0\r\n", true},
        {"text lines over TCP", "level1gr4", {}, "EV,5A$123456009001\r\n", false},
        {"ACTi event connection", "acti",
         {PeerStep::RecvUntil("secret"), PeerStep::Send(std::string(ACTI_LOGIN_SIZE, '\0'))}, actiMotion, false},
    };
    return kinds;
}

PeerScript Then(PeerScript a, std::initializer_list<PeerStep> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The kind's motion detector on a peer playing scripts, on clock.
struct LongLivedCamera : camtest::PeerCamera {
    LongLivedCamera(const LongLived& k, const std::vector<PeerScript>& scripts, camtest::FakeClock& clock)
        : PeerCamera(scripts, clock) {
        rig.cap.SetAPI(k.api);
        rig.med.user = "admin";
        rig.med.password = "secret";
        rig.api.SetHttpPort(peer.Port());
        det = MakeFor(k.api, DET_TYPE_MD, rig.Attr());
        if (det) stop.reset(new StopOnExit(*det));
    }
    SharingReset sharing;
    std::unique_ptr<CamDetector> det;
    std::unique_ptr<StopOnExit> stop;
};

// A camera that takes the connection and ends it at once, with nothing or
// with one event, is connected again after 1 s, doubling up to 30 s on the
// detector's clock: never a new login at network speed, and no connection
// without a pause before it. One that takes the request and gives no answer
// keeps the pause of 1 s. The outage of a stream is logged once, not once a try.
TEST(LongLivedConnections, OnesThatEndAtOnceAreReopenedAfterADoublingPause) {
    const std::vector<int64_t> doubling = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (const LongLived& k : LongLivedKinds()) {
        std::vector<std::pair<std::string, PeerScript> > cases = {
            {"nothing, then the close", Then(k.head, {PeerStep::Close()})},
            {"one event, then the close", Then(k.head, {PeerStep::Send(k.event), PeerStep::Close()})}};
        if (k.http) cases.push_back({"no answer", {PeerStep::RecvRequest(), PeerStep::Close()}});
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(k.name) + ": " + c.first);
            camtest::FakeClock clock;
            LogCapture logs;
            LongLivedCamera cam(k, {c.second}, clock);
            ASSERT_NE(nullptr, cam.det);
            ASSERT_EQ(cam.det->Start(), 0);
            ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() >= doubling.size(); }, 10000));
            EXPECT_TRUE(StopsWithin(*cam.det, 30));
            const std::vector<int64_t> waits = clock.Waits();
            const std::vector<int64_t> want = c.first == "no answer" ? std::vector<int64_t>(7, 1000) : doubling;
            EXPECT_EQ(want, std::vector<int64_t>(waits.begin(), waits.begin() + (long)want.size()));
            EXPECT_LE(cam.peer.Connections(), (int)waits.size() + 1);
            if (std::string(k.api) == "hikvisionv3") {
                EXPECT_EQ(1u, logs.Count("Stream 127.0.0.1:")) << logs.Text();
            }
        }
    }
}

// A connection that ran (a minute on the detector's clock) is opened again
// at once when the camera ends it; one that then ends at once waits 1 s.
TEST(LongLivedConnections, OneThatRanIsReopenedAtOnce) {
    for (const LongLived& k : LongLivedKinds()) {
        SCOPED_TRACE(k.name);
        camtest::FakeClock clock(camtest::FakeClock::MANUAL);
        LongLivedCamera cam(k,
                            {Then(k.head, {PeerStep::Send(k.event), PeerStep::Hold(), PeerStep::Close()}),
                             Then(k.head, {PeerStep::Send(k.event), PeerStep::Close()}),
                             Then(k.head, {PeerStep::Send(k.event), PeerStep::Stall()})},
                            clock);
        ASSERT_NE(nullptr, cam.det);
        ASSERT_EQ(cam.det->Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return cam.rig.buf.GetTrig(); }, 10000));
        clock.Advance(60000);
        cam.peer.Release();
        // The clock does not move: a pause would hold the second connection back.
        EXPECT_TRUE(WaitFor([&] { return cam.peer.Connections() >= 2; }, 10000));
        ASSERT_TRUE(clock.WaitForBlocked(1));
        EXPECT_EQ(std::vector<int64_t>{1000}, clock.Waits());
        clock.Advance(1000);
        EXPECT_TRUE(WaitFor([&] { return cam.peer.Connections() >= 3; }, 10000));
        EXPECT_TRUE(StopsWithin(*cam.det, 30));
    }
}

}  // namespace
