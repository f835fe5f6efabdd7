// The polling loop's real thread against scripted cameras on loopback:
// failed polls report no alarm (every input reset) and the next good answer
// raises it again; the raw-socket request is exactly the bytes cameras
// expect; a shared motion and input poll asks once per interval for both.
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/transport/cgiquerydetector.h"
#include "camdet/factory/detfactory.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

std::string Resp(int code, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(code) + " X\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

PeerScript Answer(int code, const std::string& body) { return {PeerStep::RecvRequest(), PeerStep::Send(Resp(code, body))}; }

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

// Every status the detector writes, in order.
struct StatusLog {
    std::mutex m;
    std::vector<std::pair<bool, int> > md;
    std::vector<std::vector<bool> > passes;  // input statuses, one entry per completed pass
    std::vector<bool> current;

    void Attach(CameraRig& rig, int inputs) {
        current.assign(inputs, false);
        rig.buf.SetListener([this](bool t, int v) {
            std::lock_guard<std::mutex> g(m);
            md.push_back(std::make_pair(t, v));
        });
        rig.bufMap.SetListener([this, inputs](int port, bool t, int) {
            std::lock_guard<std::mutex> g(m);
            if (port < 0 || port >= inputs) return;
            current[port] = t;
            if (port == inputs - 1) passes.push_back(current);
        });
    }
    size_t MdCount() {
        std::lock_guard<std::mutex> g(m);
        return md.size();
    }
    size_t PassCount() {
        std::lock_guard<std::mutex> g(m);
        return passes.size();
    }
};

}  // namespace

// 500, 401, a stall past the time-out, garbage instead of a head and a close
// without an answer each report no alarm; the next good answer raises it again.
TEST(CgiQueryLoop, FailedPollsReportNoAlarmAndTheDetectorRecovers) {
    camtest::FakeClock clock;
    LogCapture logs;
    ScriptedPeer peer({
        Answer(200, "state=ALARM\n"),
        Answer(500, "ALARM"),
        Answer(200, "state=ALARM\n"),
        Answer(401, "ALARM"),
        Answer(200, "state=ALARM\n"),
        {PeerStep::RecvRequest(), PeerStep::Stall()},
        Answer(200, "state=ALARM\n"),
        {PeerStep::RecvRequest(), PeerStep::Send("ALARM ALARM\r\n\r\n")},
        Answer(200, "state=ALARM\n"),
        {PeerStep::RecvRequest(), PeerStep::Close()},
        Answer(200, "state=ALARM\n"),
    });
    ASSERT_TRUE(peer.Listening());
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.httpPort = peer.Port();
    StatusLog log;
    log.Attach(rig, 1);
    PollProbe det(rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return log.MdCount() >= 11; }, 20000));
    det.Stop();

    std::lock_guard<std::mutex> g(log.m);
    for (size_t i = 0; i < 11; ++i) {
        SCOPED_TRACE("poll " + std::to_string(i));
        bool alarm = i % 2 == 0;
        EXPECT_EQ(log.md[i].first, alarm);
        EXPECT_EQ(log.md[i].second, alarm ? 100 : 0);
    }
    EXPECT_EQ(peer.Received(0).compare(0, 20, "GET /status.cgi HTTP"), 0) << peer.Received(0);
    // Stopping clears the alarm.
    EXPECT_FALSE(log.md.back().first);
}

// A refused connection resets every input; a 500 between two good answers too.
TEST(CgiQueryLoop, InputsResetOnFailedPollAndReportedPerPort) {
    camtest::FakeClock clock;
    LogCapture logs;
    int refusedPort = 0;
    {
        ScriptedPeer gone(PeerScript{});
        refusedPort = gone.Port();
    }
    {
        CameraRig rig;
        rig.UseClock(clock);
        rig.cap.SetDICnt(3);
        rig.med.httpPort = refusedPort;
        for (int p = 0; p < 3; ++p) rig.bufMap.SetStatus(p, true, 1);
        StatusLog log;
        log.Attach(rig, 3);
        PollProbe det(rig.Attr(true), CGI_QUERY_HTTP, "io.cgi", true);
        ASSERT_EQ(det.Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return log.PassCount() >= 2; }));
        det.Stop();
        std::lock_guard<std::mutex> g(log.m);
        EXPECT_EQ(log.passes[0], std::vector<bool>({false, false, false}));
    }

    ScriptedPeer peer({Answer(200, "IN0 IN2\n"), Answer(500, "IN0 IN1 IN2"), Answer(200, "IN1\n")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetDICnt(3);
    rig.med.httpPort = peer.Port();
    StatusLog log;
    log.Attach(rig, 3);
    PollProbe det(rig.Attr(true), CGI_QUERY_HTTP, "io.cgi", true);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return log.PassCount() >= 4; }));
    det.Stop();
    std::lock_guard<std::mutex> g(log.m);
    EXPECT_EQ(log.passes[0], std::vector<bool>({true, false, true}));
    EXPECT_EQ(log.passes[1], std::vector<bool>({false, false, false}));
    EXPECT_EQ(log.passes[2], std::vector<bool>({false, true, false}));
}

// Without the camera's input trigger value the poller never asks the camera:
// its thread ends at once and reports nothing.
TEST(CgiQueryLoop, NoPollWithoutTheInputTriggerValue) {
    camtest::FakeClock clock;
    ScriptedPeer peer(Answer(200, "IN0"));
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.httpPort = peer.Port();
    PollProbe det(rig.Attr(true), CGI_QUERY_HTTP, "io.cgi", true);
    det.diTrigRc = -1;
    ASSERT_EQ(det.Start(), 0);
    EXPECT_FALSE(WaitFor([&] { return peer.Connections() > 0; }, 300));
    det.Stop();
    EXPECT_EQ(0, rig.bufMap.GetUpdateCount());
}

// The hand-made request, byte for byte; a path with a leading "/" keeps it
// after "GET /". NUL bytes in the raw answer are read as spaces.
TEST(CgiQueryLoop, RawSocketRequestIsExactAndNulBytesAreSpaces) {
    camtest::FakeClock clock;
    std::string raw = "HTTP/1.1 200 OK\r\n\r\nstate";
    raw += '\0';
    raw += "ALARM\r\n";
    ScriptedPeer peer(PeerScript{PeerStep::RecvRequest(), PeerStep::Send(raw)});
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.httpPort = peer.Port();
    StatusLog log;
    log.Attach(rig, 1);
    PollProbe det(rig.Attr(), CGI_QUERY_SOCKET, "/alarm.cgi", false);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return log.MdCount() >= 2; }));
    det.Stop();
    EXPECT_EQ(peer.Received(0), "GET //alarm.cgi HTTP/1.1\r\nUser-Agent: Velmar Korvane\r\nHost: 127.0.0.1\r\n\r\n");
    std::lock_guard<std::mutex> g(log.m);
    EXPECT_TRUE(log.md[0].first);
    EXPECT_EQ(log.md[0].second, 100);
}

// Siemens built by the factory: raw request without a leading slash, and the
// camera's words found in the raw answer.
TEST(CgiQueryLoop, SiemensPollsOnARawSocket) {
    camtest::FakeClock clock;
    SharingReset sharing;
    ScriptedPeer peer(PeerScript{PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.1 200 OK\r\n\r\nMotion\r\n")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetAPI("siemens");
    rig.med.httpPort = peer.Port();
    BRObjectBase* md = CreateDetector(DET_TYPE_MD, &rig.med, &rig.api, &rig.buf, nullptr, &rig.fifo, &rig.cap,
                                      nullptr, true);
    ASSERT_NE(md, nullptr);
    DetectorBase* det = dynamic_cast<DetectorBase*>(md);
    ASSERT_EQ(det->Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return rig.buf.GetTrig(); }));
    ReleaseMotionDet(md);
    EXPECT_EQ(peer.Received(0),
              "GET /cgi-bin/GetAlarmState.cgi HTTP/1.1\r\nUser-Agent: Velmar Korvane\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_FALSE(rig.buf.GetTrig());
}

// Messoa motion and input share one poll: the input detector never asks the
// camera, and both follow each answer through their own tests.
TEST(CgiQueryLoop, SharedMotionAndInputPollAsksOncePerInterval) {
    camtest::FakeClock clock;
    SharingReset sharing;
    ScriptedPeer peer({Answer(200, "Mode 3\n"), Answer(200, "Mode 3\n"), Answer(200, "Mode 1\n")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetAPI("messoa");
    rig.cap.SetDICnt(1);
    rig.med.httpPort = peer.Port();
    StatusLog log;
    log.Attach(rig, 1);
    BRObjectBase* md = CreateDetector(DET_TYPE_MD, &rig.med, &rig.api, &rig.buf, nullptr, &rig.fifo, &rig.cap,
                                      nullptr, true);
    EventBuf diBuf;
    BRObjectBase* di = CreateDetector(DET_TYPE_DI, &rig.med, &rig.api, &diBuf, &rig.bufMap, &rig.fifo, &rig.cap,
                                      nullptr, true);
    ASSERT_NE(md, nullptr);
    ASSERT_NE(di, nullptr);
    ASSERT_EQ(dynamic_cast<DetectorBase*>(di)->Start(), 0);
    ASSERT_EQ(dynamic_cast<DetectorBase*>(md)->Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return log.MdCount() >= 3 && log.PassCount() >= 3; }, 10000));
    ReleaseMotionDet(md);
    ReleaseDigiInputDet(di);

    std::lock_guard<std::mutex> g(log.m);
    // One request per poll: as many connections as motion reports (one may be under way).
    EXPECT_LE((size_t)peer.Connections(), log.md.size() + 1);
    EXPECT_EQ(log.md[0], std::make_pair(true, 100));
    EXPECT_EQ(log.md[2], std::make_pair(false, 0));
    EXPECT_EQ(log.passes[0], std::vector<bool>({true}));
    EXPECT_EQ(log.passes[2], std::vector<bool>({true}));
}

// Airlive asks once per input, each on its own path, and reports each input
// from its own answer; an input whose request fails reads quiet.
TEST(CgiQueryLoop, OwnLoopAsksEachInputOnItsOwnPath) {
    camtest::FakeClock clock;
    LogCapture logs;
    ScriptedPeer peer({Answer(200, "input1=active\n"), Answer(500, "input2=active\n"), Answer(200, "input3=active\n")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetAPI("airlivev2");
    rig.cap.SetDICnt(3);
    rig.med.httpPort = peer.Port();
    StatusLog log;
    log.Attach(rig, 3);
    BRObjectBase* di = CreateDetector(DET_TYPE_DI, &rig.med, &rig.api, &rig.buf, &rig.bufMap, &rig.fifo, &rig.cap,
                                      nullptr, true);
    ASSERT_NE(di, nullptr);
    ASSERT_EQ(dynamic_cast<DetectorBase*>(di)->Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return log.PassCount() >= 1; }));
    ReleaseDigiInputDet(di);

    std::lock_guard<std::mutex> g(log.m);
    EXPECT_EQ(log.passes[0], std::vector<bool>({true, false, true}));
    for (int conn = 0; conn < 3; ++conn) {
        std::string line = "GET /io/input.cgi?checkactive=" + std::to_string(conn + 1) + " HTTP";
        EXPECT_EQ(peer.Received(conn).compare(0, line.size(), line), 0) << peer.Received(conn);
    }
}

// One poll per interval, whatever the answers: the loop waits out the rest of
// the interval after each poll, and only that.
TEST(CgiQueryPacing, OnePollPerIntervalOnTheClock) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    std::vector<PeerScript> answers(4, Answer(200, "state=ALARM\n"));
    ScriptedPeer peer(answers);
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.httpPort = peer.Port();
    StatusLog log;
    log.Attach(rig, 1);
    PollProbe det(rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false, 500);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_EQ(1u, log.MdCount());
    clock.Advance(499);
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_EQ(1u, log.MdCount()) << "polled before the interval was over";
    clock.Advance(1);
    ASSERT_TRUE(WaitFor([&] { return log.MdCount() == 2; }));
    ASSERT_TRUE(clock.WaitForBlocked(1));
    clock.Advance(500);
    ASSERT_TRUE(WaitFor([&] { return log.MdCount() == 3; }));
    det.Stop();  // ends the wait for the next interval at once
    EXPECT_EQ(3, peer.Connections());
}

// Without an interval a failed poll still pauses 100 ms, so a refusing camera
// is not asked in a tight loop; good answers follow each other directly.
TEST(CgiQueryPacing, NoIntervalPausesOnlyAfterAFailedPoll) {
    camtest::FakeClock clock;
    ScriptedPeer peer({Answer(200, "ALARM"), Answer(500, "x"), Answer(200, "ALARM"), Answer(200, "ALARM")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.httpPort = peer.Port();
    std::mutex m;
    int reports = 0;
    std::vector<int64_t> waitsAtFourth;  // what the loop had waited when the fourth poll was reported
    rig.buf.SetListener([&](bool, int) {
        std::lock_guard<std::mutex> g(m);
        if (++reports == 4) waitsAtFourth = clock.Waits();
    });
    PollProbe det(rig.Attr(), CGI_QUERY_HTTP, "status.cgi", false, 0);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(m);
        return reports >= 4;
    }));
    det.Stop();
    rig.buf.SetListener(nullptr);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(std::vector<int64_t>({100}), waitsAtFourth);
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
