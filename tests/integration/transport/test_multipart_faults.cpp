// A HikVision motion detector on the recorder's real fetcher and HTTP client
// against scripted loopback cameras that misbehave: the stream drops and
// comes back, garbage between parts, a part announcing 1 GB, streams that end
// at once. No crash, memory bounded, Stop within its bounded waits (a silent
// camera's Stop is measured with every transport in test_stop_latency.cpp).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>

#include "host/recorder/camhost.h"
#include "host/net/recorderservices.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

std::string Alert(const char* file) {
    std::ifstream in(std::string(CAMDET_TEST_DATA) + "/hikvision/" + file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Part(const std::string& body) {
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

struct Camera {
    CamMediator med;
    RecorderCameraCap cap;
    RecorderCameraAPI api{&cap};
    EventBuf buf;
    std::unique_ptr<BrellinOwned::RecorderServices> services;
    std::vector<std::pair<bool, int> > history;
    std::mutex m;
    Camera(int port, BrellinOwned::Clock& clock) : services(new BrellinOwned::RecorderServices(clock)) {
        api.SetServices(services.get());
        med.httpPort = port;
        med.user = "admin";
        med.password = "pw";
        cap.SetAPI("hikvisionv3");
        buf.SetListener([this](bool t, int l) {
            std::lock_guard<std::mutex> g(m);
            if (history.empty() || history.back() != std::make_pair(t, l)) history.push_back({t, l});
        });
    }
    DET_BASE_ATTR Attr() {
        DET_BASE_ATTR a;
        a.camMediatorHdl = CamMediatorHandler(&med);
        a.pCamApi = &api;
        a.evtBufHdl = EventBufHandler(&buf);
        a.pCamCap = &cap;
        return a;
    }
    bool Saw(const std::vector<std::pair<bool, int> >& seq) {
        std::lock_guard<std::mutex> g(m);
        return std::search(history.begin(), history.end(), seq.begin(), seq.end()) != history.end();
    }
};

void ResetSharing() {
    pthread_mutex_lock(&CamDetector::m_Lock);
    CamDetector::m_SharedDets.clear();
    pthread_mutex_unlock(&CamDetector::m_Lock);
}

// Stop() on a detector thread, bounded: false when it did not return in time.
bool StopsWithin(DetectorBase& d, int seconds) {
    std::future<int> f = std::async(std::launch::async, [&d] { return d.Stop(); });
    return f.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
}

TEST(MultipartFaults, StreamDropsStatusClearsAndDetectionResumes) {
    ResetSharing();
    camtest::FakeClock clock;  // reconnect pauses cost no real time
    ScriptedPeer peer(std::vector<PeerScript>{
        {PeerStep::RecvRequest(), PeerStep::Send(kHead + Part(Alert("vmd_active.xml"))), PeerStep::Pause(300),
         PeerStep::Send("--boundary\r\nContent-Length: 400\r\n\r\n<EventNotif"), PeerStep::Close()},
        {PeerStep::RecvRequest(), PeerStep::Close()},  // camera up but answering nothing
        {PeerStep::RecvRequest(), PeerStep::Send(kHead + Part(Alert("heartbeat.xml")) + Part(Alert("vmd_active.xml"))),
         PeerStep::Stall()},
    });
    ASSERT_TRUE(peer.Listening());
    Camera cam(peer.Port(), clock);
    std::unique_ptr<CamDetector> made = MakeFor("hikvisionv3", DET_TYPE_MD, cam.Attr());
    CamDetector& det = *made;
    ASSERT_EQ(det.Start(), 0);
    EXPECT_TRUE(WaitFor([&] { return cam.Saw({{true, 100}, {false, 0}, {true, 100}}); }, 20000));
    EXPECT_GE(peer.Connections(), 3);
    // Credentials went to the camera, and the request named the ISAPI stream.
    EXPECT_NE(peer.Received(0).find("GET /ISAPI/Event/notification/alertStream"), std::string::npos);
    EXPECT_TRUE(StopsWithin(det, 30));
    EXPECT_FALSE(cam.buf.GetTrig());
}

TEST(MultipartFaults, GarbageBetweenPartsIsSkipped) {
    ResetSharing();
    camtest::FakeClock clock;  // reconnect pauses cost no real time
    ScriptedPeer peer(PeerScript{
        PeerStep::RecvRequest(),
        PeerStep::Send(kHead + "\x01\x02\xff garbage\r\n<html>oops</html>\r\n\r\n" + Part(Alert("heartbeat.xml")) +
                       std::string(10000, 'z') + "\r\n" + Part(Alert("vmd_active.xml"))),
        PeerStep::Stall()});
    Camera cam(peer.Port(), clock);
    std::unique_ptr<CamDetector> made = MakeFor("hikvisionv3", DET_TYPE_MD, cam.Attr());
    CamDetector& det = *made;
    det.Start();
    EXPECT_TRUE(WaitFor([&] { return cam.Saw({{true, 100}}); }, 10000));
    EXPECT_EQ(peer.Connections(), 1);
    EXPECT_TRUE(StopsWithin(det, 30));
}

TEST(MultipartFaults, AGigabytePartNeitherCrashesNorGrowsMemory) {
    ResetSharing();
    camtest::FakeClock clock;  // reconnect pauses cost no real time
    const std::string junk(64 * 1024, 'x');
    PeerScript huge{PeerStep::RecvRequest(),
                    PeerStep::Send(kHead + "--boundary\r\nContent-Type: application/xml\r\nContent-Length: 1073741824\r\n\r\n"),
                    PeerStep::SendRepeat(junk, 200), PeerStep::Close()};
    PeerScript good{PeerStep::RecvRequest(), PeerStep::Send(kHead + Part(Alert("vmd_active.xml"))), PeerStep::Stall()};
    ScriptedPeer peer(std::vector<PeerScript>{huge, huge, good});
    Camera cam(peer.Port(), clock);
    const long before = RssKiB();
    std::unique_ptr<CamDetector> made = MakeFor("hikvisionv3", DET_TYPE_MD, cam.Attr());
    CamDetector& det = *made;
    det.Start();
    EXPECT_TRUE(WaitFor([&] { return cam.Saw({{true, 100}}); }, 20000));
    EXPECT_GE(peer.Connections(), 3);
    EXPECT_LT(RssKiB() - before, 64 * 1024);  // far below the announced gigabyte
    EXPECT_TRUE(StopsWithin(det, 30));
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
         {PeerStep::RecvRequest(), PeerStep::Send(kHead + Part(Alert("heartbeat.xml"))), PeerStep::Close()},
         doubling},
        {"no answer", {PeerStep::RecvRequest(), PeerStep::Close()}, std::vector<int64_t>(6, 1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetSharing();
        camtest::FakeClock clock;
        LogCapture logs;
        ScriptedPeer peer(c.script);
        Camera cam(peer.Port(), clock);
        std::unique_ptr<CamDetector> made = MakeFor("hikvisionv3", DET_TYPE_MD, cam.Attr());
        CamDetector& det = *made;
        StopOnExit stop(det);
        ASSERT_EQ(det.Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() >= c.waits.size(); }, 10000));
        EXPECT_TRUE(StopsWithin(det, 30));
        const std::vector<int64_t> waits = clock.Waits();
        EXPECT_EQ(c.waits, std::vector<int64_t>(waits.begin(), waits.begin() + (long)c.waits.size()));
        EXPECT_LE(peer.Connections(), (int)waits.size() + 1);
        const std::string text = logs.Text();
        const size_t at = text.find("Stream 127.0.0.1:");
        EXPECT_NE(std::string::npos, at);
        EXPECT_EQ(std::string::npos, text.find("Stream 127.0.0.1:", at + 1)) << text;
    }
}

// A stream that ran (a minute on the detector's clock) is opened again at
// once when it ends; one that then ends at once waits 1 s.
TEST(MultipartFaults, AStreamThatRanIsReopenedAtOnce) {
    ResetSharing();
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    const std::string part = kHead + Part(Alert("vmd_active.xml"));
    ScriptedPeer peer(std::vector<PeerScript>{
        {PeerStep::RecvRequest(), PeerStep::Send(part), PeerStep::Hold(), PeerStep::Close()},
        {PeerStep::RecvRequest(), PeerStep::Send(part), PeerStep::Close()},
        {PeerStep::RecvRequest(), PeerStep::Send(part), PeerStep::Stall()}});
    Camera cam(peer.Port(), clock);
    std::unique_ptr<CamDetector> made = MakeFor("hikvisionv3", DET_TYPE_MD, cam.Attr());
    CamDetector& det = *made;
    StopOnExit stop(det);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return cam.Saw({{true, 100}}); }, 10000));
    clock.Advance(60000);
    peer.Release();
    EXPECT_TRUE(WaitFor([&] { return peer.Connections() >= 2; }, 10000));
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_EQ(std::vector<int64_t>{1000}, clock.Waits());
    clock.Advance(1000);
    EXPECT_TRUE(WaitFor([&] { return peer.Connections() >= 3; }, 10000));
    EXPECT_TRUE(StopsWithin(det, 30));
}

}  // namespace
