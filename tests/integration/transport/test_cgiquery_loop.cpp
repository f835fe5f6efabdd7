// The polling loop's real thread against scripted cameras on loopback (the
// inputs' reset after a failed poll: MultipartTransport.DiWithoutPorts...).
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/transport/cgiquerydetector.h"
#include "camdet/factory/detfactory.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/peercamera.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

std::string Resp(int code, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(code) + " X\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

PeerScript Answer(int code, const std::string& body) {
    return {PeerStep::RecvRequest(), PeerStep::Send(Resp(code, body))};
}

// An answer that keeps the connection open for the next request.
PeerStep Kept(int code, const std::string& body) {
    return PeerStep::Send("HTTP/1.1 " + std::to_string(code) + " X\r\nContent-Length: " + std::to_string(body.size()) +
                          "\r\n\r\n" + body);
}

// A poller with a one-second time-out: motion is "ALARM" anywhere in the
// answer, input p is "IN<p>". Its pacing runs on the test's clock.
class PollProbe : public CgiQueryDetector {
public:
    PollProbe(DET_BASE_ATTR a, __tag_CGI_QUERY_TYPE type, std::string path, bool blInput, int intervalMs = 500)
        : CgiQueryDetector(a, 1, type, HTTP_VER_DEF), m_Path(std::move(path)) {
        m_PollIntervalMs = intervalMs;
        if (blInput) m_DetType = DET_TYPE_DI;
    }
    ~PollProbe() override { Stop(); }
    int GetDiTrigValue() override { return diTrigRc ? diTrigRc : CgiQueryDetector::GetDiTrigValue(); }
    int diTrigRc = 0;  // non-zero: the camera's input trigger value cannot be had
    int GetPathPort(std::string& path, int& port) override {
        path = m_Path;
        port = CamHttpPort();
        return 0;
    }
    bool IsTrig(char* buf, unsigned int, int& value) override {
        bool t = strstr(buf, "ALARM") != nullptr;
        value = t ? 100 : 0;
        return t;
    }
    bool IsTrig(int port, char* buf, unsigned int, int& value) override {
        bool t = strstr(buf, ("IN" + std::to_string(port)).c_str()) != nullptr;
        value = t ? 1 : 0;
        return t;
    }

private:
    std::string m_Path;
};

using PollCamera = camtest::PeerCamera;

}  // namespace

// 500, 401, a stall past the time-out, garbage instead of a head and a close
// without an answer each report no alarm; the next good answer raises it
// again. A Basic challenge is answered with the login (on a new connection).
TEST(CgiQueryLoop, FailedPollsReportNoAlarmAndTheDetectorRecovers) {
    camtest::FakeClock clock;
    LogCapture logs;
    const PeerScript basic = {PeerStep::RecvRequest(),
                              PeerStep::Send("HTTP/1.1 401 No\r\nWWW-Authenticate: Basic realm=\"cam\"\r\n"
                                             "Content-Length: 0\r\nConnection: close\r\n\r\n")};
    const PeerScript alarm = Answer(200, "state=ALARM\n");
    PollCamera cam({basic, alarm, Answer(500, "ALARM"), alarm, Answer(401, "ALARM"), alarm,
                    {PeerStep::RecvRequest(), PeerStep::Stall()}, alarm,
                    {PeerStep::RecvRequest(), PeerStep::Send("ALARM ALARM\r\n\r\n")}, alarm,
                    {PeerStep::RecvRequest(), PeerStep::Close()}, alarm},
                   clock);
    cam.rig.med.user = "admin";
    cam.rig.med.password = "pw";
    PollProbe det(cam.rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return cam.log.Count() >= 11; }, 20000));
    det.Stop();

    const camtest::States md = cam.log.Get();
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(md[i], i % 2 == 0 ? std::make_pair(true, 100) : std::make_pair(false, 0)) << i;
    }
    EXPECT_EQ(cam.peer.Received(0).compare(0, 20, "GET /status.cgi HTTP"), 0) << cam.peer.Received(0);
    EXPECT_NE(cam.peer.Received(1).find("Authorization: Basic YWRtaW46cHc="), std::string::npos)
        << cam.peer.Received(1);
    EXPECT_FALSE(md.back().first);  // stopping clears the alarm
}

// Without the camera's input trigger value the poller never asks the camera:
// its thread ends at once and reports nothing.
TEST(CgiQueryLoop, NoPollWithoutTheInputTriggerValue) {
    camtest::FakeClock clock;
    PollCamera cam({Answer(200, "IN0")}, clock);
    PollProbe det(cam.rig.Attr(true), CGI_QUERY_HTTP, "io.cgi", true);
    det.diTrigRc = -1;
    ASSERT_EQ(det.Start(), 0);
    EXPECT_FALSE(WaitFor([&] { return cam.peer.Connections() > 0; }, 300));
    det.Stop();
    EXPECT_EQ(0, cam.rig.bufMap.GetUpdateCount());
}

// The hand-made request, byte for byte: the path is appended to "GET /" as
// it is (a leading "/" doubles), as Siemens built by the factory expects.
// NUL bytes in the raw answer are read as spaces, so the camera's words
// after one are found.
TEST(CgiQueryLoop, RawSocketRequestIsExactAndNulBytesAreSpaces) {
    SharingReset sharing;
    const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
    const struct {
        const char* name;
        std::string answer;
        std::string request;  // up to the User-Agent line
    } cases[] = {
        {"a probe with a leading slash", head + "state" + '\0' + "ALARM\r\n", "GET //alarm.cgi HTTP/1.1\r\n"},
        {"Siemens", head + "Motion\r\n", "GET /cgi-bin/GetAlarmState.cgi HTTP/1.1\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        camtest::FakeClock clock;
        PollCamera cam({{PeerStep::RecvRequest(), PeerStep::Send(c.answer)}}, clock);
        std::unique_ptr<CamDetector> det;
        if (std::string(c.name) == "Siemens") det = MakeFor("siemens", DET_TYPE_MD, cam.rig.Attr());
        else det.reset(new PollProbe(cam.rig.Attr(), CGI_QUERY_SOCKET, "/alarm.cgi", false));
        ASSERT_NE(det, nullptr);
        ASSERT_EQ(det->Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return cam.log.Count() >= 1; }));
        det->Stop();
        EXPECT_EQ(cam.peer.Received(0), c.request + "User-Agent: Velmar Korvane\r\nHost: 127.0.0.1\r\n\r\n");
        EXPECT_TRUE(cam.log.Get()[0].first);
    }
}

// Airlive asks once per input, each on its own path and all on one kept-alive
// connection, and reports each input from its own answer; an input whose
// request fails reads quiet (and its connection is not used again).
TEST(CgiQueryLoop, OwnLoopAsksEachInputOnItsOwnPath) {
    camtest::FakeClock clock;
    LogCapture logs;
    PollCamera cam({{PeerStep::RecvRequest(), Kept(200, "input1=active\n"), PeerStep::RecvRequest(),
                     PeerStep::Send(Resp(500, "input2=active\n")), PeerStep::Close()},
                    {PeerStep::RecvRequest(), Kept(200, "input3=active\n"), PeerStep::Stall()}},
                   clock, 3);
    std::unique_ptr<CamDetector> di = MakeFor("airlivev2", DET_TYPE_DI, cam.rig.Attr(true));
    ASSERT_NE(di, nullptr);
    ASSERT_EQ(di->Start(), 0);
    int connections = 0;  // when the first pass was reported
    ASSERT_TRUE(WaitFor([&] {
        const bool done = !cam.log.Port(2).empty();
        connections = cam.peer.Connections();
        return done;
    }));
    di->Stop();

    EXPECT_EQ(std::vector<bool>({true, false, true}),
              std::vector<bool>({cam.log.Port(0)[0].first, cam.log.Port(1)[0].first, cam.log.Port(2)[0].first}));
    EXPECT_EQ(2, connections);
    const std::string asked = cam.peer.Received(0) + cam.peer.Received(1);
    for (int input = 1; input <= 3; ++input) {
        EXPECT_NE(asked.find("GET /io/input.cgi?checkactive=" + std::to_string(input) + " HTTP"), std::string::npos)
            << asked;
    }
}

// One poll per interval, whatever the answers: the loop waits out the rest of
// the interval after each poll, and only that. The polls share one kept-alive
// connection.
TEST(CgiQueryPacing, OnePollPerIntervalOnTheClock) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    const PeerStep alarm = Kept(200, "state=ALARM\n");
    PollCamera cam({{PeerStep::RecvRequest(), alarm, PeerStep::RecvRequest(), alarm, PeerStep::Stall()}}, clock);
    PollProbe det(cam.rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false, 500);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_EQ(1u, cam.log.Count());
    clock.Advance(499);
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_EQ(1u, cam.log.Count()) << "polled before the interval was over";
    clock.Advance(1);
    ASSERT_TRUE(WaitFor([&] { return cam.log.Count() == 2; }));
    det.Stop();  // ends the wait for the next interval at once
    EXPECT_EQ(1, cam.peer.Connections());
}

// Without an interval a failed poll still pauses 100 ms, so a refusing camera
// is not asked in a tight loop: a 500, and a head whose body never comes (the
// read times out). Good answers, an empty one too, follow each other directly.
TEST(CgiQueryPacing, NoIntervalPausesOnlyAfterAFailedPoll) {
    camtest::FakeClock clock;
    const PeerScript noBody = {PeerStep::RecvRequest(),
                               PeerStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"), PeerStep::Stall()};
    PollCamera cam({Answer(200, "ALARM"), Answer(500, "x"), noBody, Answer(200, ""), Answer(200, "ALARM")}, clock);
    std::mutex m;
    int reports = 0;
    std::vector<int64_t> waitsAtLast;  // what the loop had waited when the fifth poll was reported
    cam.rig.buf.SetListener([&](bool, int) {
        std::lock_guard<std::mutex> g(m);
        if (++reports == 5) waitsAtLast = clock.Waits();
    });
    PollProbe det(cam.rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false, 0);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(m);
        return reports >= 5;
    }));
    det.Stop();
    cam.rig.buf.SetListener(nullptr);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(std::vector<int64_t>({100, 100}), waitsAtLast);
}

// Followers created and released over and over while their owner polls back
// to back and feeds every registered follower: a follower leaves the owner's
// feed before any part of it is destroyed (ThreadSanitizer watches this).
// A follower whose input test takes a little while, so that a release often
// comes while the owner is inside it.
class SlowFollower : public PollProbe {
public:
    explicit SlowFollower(DET_BASE_ATTR a) : PollProbe(a, CGI_QUERY_HTTP, "status.cgi", true, 0) {}
    using PollProbe::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override {
        usleep(200);
        return PollProbe::IsTrig(port, buf, len, value);
    }
};

TEST(CgiQuerySharing, FollowersReleasedWhileTheOwnerFeedsThem) {
    SharingReset sharing;
    ScriptedPeer peer(Answer(200, "ALARM IN0 IN1\n"));
    ASSERT_TRUE(peer.Listening());
    CameraRig rig;
    rig.cap.SetDICnt(2);
    rig.med.httpPort = peer.Port();
    std::atomic<int> fed{0};
    rig.bufMap.SetListener([&](int, bool, int) { ++fed; });
    PollProbe owner(rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false, 0);
    owner.LinkShareDet(DET_TYPE_MD);
    ASSERT_EQ(owner.Start(), 0);
    for (int i = 0; i < 150; ++i) {
        PollProbe* follower = new SlowFollower(rig.Attr(true));
        follower->LinkShareDet(DET_TYPE_DI);
        ASSERT_TRUE(follower->IsShareFollower());
        ASSERT_EQ(follower->Start(), 0);  // a follower's thread ends at once
        const int before = fed.load();
        // Let the owner feed this follower at least once now and then.
        if (i % 10 == 0) {
            ASSERT_TRUE(WaitFor([&] { return fed.load() > before; }));
        }
        BRObjectBase* obj = follower;
        ReleaseDigitalDetBRObj(obj);
        ASSERT_EQ(nullptr, obj);
    }
    owner.Stop();
    rig.bufMap.SetListener(nullptr);
    EXPECT_GT(fed.load(), 0);
}
