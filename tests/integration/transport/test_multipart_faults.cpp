// A HikVision motion detector on the recorder's real fetcher and HTTP client
// against scripted loopback cameras that misbehave: a part announcing 1 GB,
// streams that end at once, a stream that ran. No crash, memory bounded, Stop
// within its bounded waits (a silent camera's Stop is measured with every
// transport in test_stop_latency.cpp; drops, garbage between parts and cut
// parts are the unit tests' MultipartTransport cases over the same fetcher).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>

#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

std::string Part(const char* file) {
    std::ifstream in(std::string(CAMDET_TEST_DATA) + "/hikvision/" + file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string body = ss.str();
    return "--boundary\r\nContent-Type: application/xml; charset=\"UTF-8\"\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n";
}

const std::string kHead =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=boundary\r\nConnection: close\r\n\r\n";

long RssKiB() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, rss = 0;
    in >> pages >> rss;
    return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

// Stop() on a detector thread, bounded: false when it did not return in time.
bool StopsWithin(DetectorBase& d, int seconds) {
    std::future<int> f = std::async(std::launch::async, [&d] { return d.Stop(); });
    return f.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
}

// One HikVision camera on the peer, its detector made and started on clock.
struct HikCamera {
    HikCamera(const std::vector<PeerScript>& scripts, camtest::FakeClock& clock) : peer(scripts), rig(clock) {
        rig.med.httpPort = peer.Port();
        rig.med.user = "admin";
        rig.med.password = "pw";
        rig.cap.SetAPI("hikvisionv3");
        history.Attach(rig.buf);
        det = MakeFor("hikvisionv3", DET_TYPE_MD, rig.Attr());
        stop.reset(new StopOnExit(*det));
    }
    SharingReset sharing;
    ScriptedPeer peer;
    CameraRig rig;
    camtest::StatusHistory history;
    std::unique_ptr<CamDetector> det;
    std::unique_ptr<StopOnExit> stop;
};

TEST(MultipartFaults, AGigabytePartNeitherCrashesNorGrowsMemory) {
    camtest::FakeClock clock;  // reconnect pauses cost no real time
    const std::string junk(64 * 1024, 'x');
    PeerScript huge{PeerStep::RecvRequest(),
                    PeerStep::Send(kHead + "--boundary\r\nContent-Type: application/xml\r\nContent-Length: 1073741824\r\n\r\n"),
                    PeerStep::SendRepeat(junk, 200), PeerStep::Close()};
    PeerScript good{PeerStep::RecvRequest(), PeerStep::Send(kHead + Part("vmd_active.xml")), PeerStep::Stall()};
    const long before = RssKiB();
    HikCamera cam({huge, huge, good}, clock);
    ASSERT_EQ(cam.det->Start(), 0);
    EXPECT_TRUE(WaitFor([&] { return cam.history.Contains({{true, 100}}); }, 20000));
    EXPECT_GE(cam.peer.Connections(), 3);
    EXPECT_LT(RssKiB() - before, 64 * 1024);  // far below the announced gigabyte
    EXPECT_TRUE(StopsWithin(*cam.det, 30));
}

// A camera that takes the stream and ends it at once, with nothing or with
// one part, is asked again after 1 s, doubling up to 30 s on the detector's
// clock; one that gives no answer keeps the pause of 1 s. Either outage is
// one log line, not one a try.
TEST(MultipartFaults, StreamsThatEndAtOnceAreReopenedAfterADoublingPause) {
    const std::vector<int64_t> doubling = {1000, 2000, 4000, 8000, 16000, 30000};
    struct Case {
        const char* name;
        PeerScript script;
        std::vector<int64_t> waits;
    };
    const Case cases[] = {
        {"the head, then the close", {PeerStep::RecvRequest(), PeerStep::Send(kHead), PeerStep::Close()}, doubling},
        {"one part, then the close",
         {PeerStep::RecvRequest(), PeerStep::Send(kHead + Part("heartbeat.xml")), PeerStep::Close()}, doubling},
        {"no answer", {PeerStep::RecvRequest(), PeerStep::Close()}, std::vector<int64_t>(6, 1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camtest::FakeClock clock;
        LogCapture logs;
        HikCamera cam({c.script}, clock);
        ASSERT_EQ(cam.det->Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() >= c.waits.size(); }, 10000));
        EXPECT_TRUE(StopsWithin(*cam.det, 30));
        const std::vector<int64_t> waits = clock.Waits();
        EXPECT_EQ(c.waits, std::vector<int64_t>(waits.begin(), waits.begin() + (long)c.waits.size()));
        EXPECT_LE(cam.peer.Connections(), (int)waits.size() + 1);
        const std::string text = logs.Text();
        const size_t at = text.find("Stream 127.0.0.1:");
        EXPECT_NE(std::string::npos, at);
        EXPECT_EQ(std::string::npos, text.find("Stream 127.0.0.1:", at + 1)) << text;
    }
}

// A stream that ran (a minute on the detector's clock) is opened again at
// once when it ends; one that then ends at once waits 1 s. The request names
// the camera's alert stream.
TEST(MultipartFaults, AStreamThatRanIsReopenedAtOnce) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    const std::string part = kHead + Part("vmd_active.xml");
    HikCamera cam({{PeerStep::RecvRequest(), PeerStep::Send(part), PeerStep::Hold(), PeerStep::Close()},
                   {PeerStep::RecvRequest(), PeerStep::Send(part), PeerStep::Close()},
                   {PeerStep::RecvRequest(), PeerStep::Send(part), PeerStep::Stall()}},
                  clock);
    ASSERT_EQ(cam.det->Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return cam.history.Contains({{true, 100}}); }, 10000));
    EXPECT_NE(cam.peer.Received(0).find("GET /ISAPI/Event/notification/alertStream"), std::string::npos);
    clock.Advance(60000);
    cam.peer.Release();
    EXPECT_TRUE(WaitFor([&] { return cam.peer.Connections() >= 2; }, 10000));
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_EQ(std::vector<int64_t>{1000}, clock.Waits());
    clock.Advance(1000);
    EXPECT_TRUE(WaitFor([&] { return cam.peer.Connections() >= 3; }, 10000));
    EXPECT_TRUE(StopsWithin(*cam.det, 30));
}

}  // namespace
