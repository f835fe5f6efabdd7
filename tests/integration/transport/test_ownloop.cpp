// The own-loop vendors' real threads against scripted cameras on loopback.
#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "camdet/rules/ownlooprules.h"
#include "camdet/transport/rtphdrdetector.h"
#include "camdet/vendors/acti/actidetector.h"
#include "camdet/vendors/levelone/levelonegr2detector.h"
#include "camdet/vendors/mobotix/mobotixdetector.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/peercamera.h"
#include "tests/fixtures/rtppackets.h"
#include "tests/fixtures/testutil.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

typedef std::vector<std::pair<bool, int> > Statuses;

std::string Le32s(std::initializer_list<uint32_t> words) {
    std::string out;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) out += (char)(w >> (8 * i));
    }
    return out;
}

const std::string kLoginOk = std::string(ACTI_LOGIN_SIZE, '\0');
const std::string kMotion = Le32s({0, ACTI_MOTION_EVENT, 0});
const std::string kOther = Le32s({0, 0x20001, 0});

PeerScript Login() { return {PeerStep::RecvUntil("secret"), PeerStep::Send(kLoginOk)}; }

PeerScript Concat(PeerScript a, const PeerScript& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An ACTi motion detector on a peer playing scripts (or at port), on clock;
// stopped when the run ends.
struct ActiRun : camtest::PeerCamera {
    ActiRun(const std::vector<PeerScript>& scripts, camtest::FakeClock& clock, int port = 0)
        : PeerCamera(scripts, clock) {
        rig.cap.SetAPI("acti");
        rig.med.user = "admin";
        rig.med.password = "secret";
        rig.api.OverrideDetPort(port ? port : peer.Port());
        det.reset(new ActiMD(rig.Attr()));
        stop.reset(new StopOnExit(*det));
    }
    std::unique_ptr<ActiMD> det;
    std::unique_ptr<StopOnExit> stop;
};

}  // namespace

// A login answered with garbage, or not at all (the socket time-out), and a
// camera nobody answers for, are retried once a second on the detector's
// clock; no motion is ever reported, Stop returns, and the outage is logged
// once, not once a try.
TEST(ActiLoop, LoginAnsweredWithGarbageOrNeverIsRetried) {
    struct Case {
        const char* name;
        const char* logged;
        PeerScript script;  // empty: nobody listens
    };
    const Case cases[] = {
        {"garbage", "Login refused or not answered.",
         {PeerStep::RecvUntil("secret"), PeerStep::Send(std::string(ACTI_LOGIN_SIZE, '\xff'))}},
        {"silence", "Login refused or not answered.", {PeerStep::RecvUntil("secret"), PeerStep::Stall()}},
        {"nobody listens", "Failed to connect", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camtest::FakeClock clock;
        LogCapture logs;
        ActiRun run({c.script}, clock, c.script.empty() ? camtest::FreeLoopbackPort() : 0);
        ASSERT_EQ(0, run.det->Start());
        ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() >= 3; }, 10000));
        run.det->Stop();
        for (const auto& s : run.log.Get()) EXPECT_FALSE(s.first);
        const std::vector<int64_t> waits = clock.Waits();
        EXPECT_EQ(1000, waits[0]);
        EXPECT_EQ(1000, waits[2]);
        EXPECT_EQ(1u, logs.Count(c.logged)) << logs.Text();
        EXPECT_EQ(0u, logs.Count("secret"));
    }
}

// What an event connection carries, and the statuses and connections it
// gives. A broken connection (closed, or a header cut short) is dropped and
// the next pass logs in anew. A payload is skipped whole, however long: the
// header after a 257-byte payload is read as one, and a payload whose tail
// looks like a motion header does not report motion. A payload length no
// event has (negative, 2^31 read as signed, or absurdly long) means the
// stream is out of step: the connection is rebuilt instead of reading on
// from an arbitrary place.
TEST(ActiLoop, EventConnectionsGiveTheseStatuses) {
    const std::string longPayload = Le32s({0, 0x20001, 257}) + std::string(257, 'p');
    const std::string craftedTail = Le32s({0, 0x20001, 256 + 12}) + std::string(256, 'p') + kMotion;
    const PeerScript motion = Concat(Login(), {PeerStep::Send(kMotion), PeerStep::Stall()});
    struct Case {
        std::string name;
        std::vector<PeerScript> scripts;
        Statuses want;
        int connections;
    };
    std::vector<Case> cases = {
        {"closed, then a header cut short",
         {Concat(Login(), {PeerStep::Send(kMotion), PeerStep::Close()}),
          Concat(Login(), {PeerStep::Send(kMotion.substr(0, 7)), PeerStep::Close()}), motion},
         {{true, 100}, {false, 0}, {false, 0}, {true, 100}},
         3},
        {"payloads skipped whole",
         {Concat(Login(), {PeerStep::Send(craftedTail + kOther + longPayload + kMotion), PeerStep::Stall()})},
         {{false, 0}, {false, 0}, {false, 0}, {true, 100}},
         1},
    };
    for (uint32_t len : {0xffffffffu, 0x80000000u, 0x7fffffffu}) {
        cases.push_back({"payload length " + std::to_string(len),
                         {Concat(Login(), {PeerStep::Send(Le32s({0, 0x20001, len}) + kMotion), PeerStep::Stall()}),
                          motion},
                         {{false, 0}, {true, 100}},
                         2});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camtest::FakeClock clock;
        ActiRun run(c.scripts, clock);
        ASSERT_EQ(0, run.det->Start());
        ASSERT_TRUE(WaitFor([&] { return run.log.Count() >= c.want.size() && run.rig.buf.GetTrig(); }, 10000));
        const int connections = run.peer.Connections();
        run.det->Stop();
        EXPECT_EQ(c.want, run.log.Get(c.want.size()));
        EXPECT_EQ(c.connections, connections);
    }
}

namespace {

std::string HttpLine(const std::string& line) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + line + "\r\nmore text\r\n";
}

PeerScript Answer(const std::string& line) { return {PeerStep::RecvRequest(), PeerStep::Send(HttpLine(line))}; }

}  // namespace

// Every poll is a new connection; the first counter is the baseline, a
// change (also backwards and across the wrap) is an alarm, a failed poll is
// quiet and keeps the counter.
TEST(MobotixLoop, CounterChangesAcrossPollsAndFailures) {
    camtest::FakeClock clock;
    camtest::PeerCamera cam({Answer("ox_md_ima;alarmcounter=57;"), Answer("ox_md_ima;alarmcounter=2147483647;"),
                             Answer("ox_md_ima;alarmcounter=2147483647;"),
                             {PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 500 X\r\n\r\n")},
                             Answer("ox_md_ima;alarmcounter=-2147483648;"), Answer("ox_md_ima;alarmcounter=7;"),
                             Answer("ox_md_ima;alarmcounter=7;")},
                            clock);
    cam.rig.med.model = "M24M";
    MobotixMD det(cam.rig.Attr());
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return cam.log.Count() >= 7; }, 10000));
    det.Stop();
    // The first answer's counter (57: the camera has counted before) is where
    // counting starts, not an alarm.
    EXPECT_EQ(Statuses({{false, 0}, {true, 100}, {false, 0}, {false, 0}, {true, 100}, {true, 100}, {false, 0}}),
              cam.log.Get(7));
    EXPECT_NE(std::string::npos, cam.peer.Received(0).find("GET /control/event.jpg?output=alarmupdate HTTP/1.1"));
    // Paced by the poll interval on the detector's clock.
    for (int64_t w : clock.Waits()) EXPECT_LE(w, 1000);
}

// The first counter is the baseline; the first input tested in a pass absorbs
// a change; a failed poll resets every input.
TEST(MobotixLoop, InputsFromTheSignalInputList) {
    camtest::FakeClock clock;
    ScriptedPeer peer({Answer("SI;alarmcounter=3;"), Answer("SI;alarmcounter=4;"),
                       {PeerStep::RecvRequest(), PeerStep::Close()}, Answer("SI;alarmcounter=4;")});
    CameraRig rig(clock);
    rig.cap.SetDICnt(2);
    rig.med.httpPort = peer.Port();
    camtest::Journal di;  // each report: the port and its status
    rig.bufMap.SetListener([&](int port, bool t, int) { di.Note(std::to_string(port) + (t ? " on" : " off")); });
    MobotixDI det(rig.Attr(true));
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return di.Get().size() >= 8; }, 10000));
    det.Stop();
    // The baseline, the change, the failed poll's reset, the same counter.
    EXPECT_EQ(std::vector<std::string>({"0 off", "1 off", "0 on", "1 off", "0 off", "1 off", "0 off", "1 off"}),
              di.Get(8));
    EXPECT_NE(std::string::npos, peer.Received(0).find("filter=SI"));
}

// The window set-up is read once; a camera that refuses it gets no polls.
TEST(LevelOneGr2Loop, WindowsAreReadOnceAndARefusalEndsTheThread) {
    camtest::FakeClock clock;
    ScriptedPeer peer({{PeerStep::RecvRequest(),
                        PeerStep::Send("HTTP/1.0 200 OK\r\n\r\nMotion.M0.Enabled=yes\nMotion.M0.Threshold=40\n"
                                       "Motion.M1.Enabled=no\nMotion.M2.Threshold=9\n")},
                       {PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 401 No\r\n\r\n")}});
    CameraRig rig(clock);
    rig.med.httpPort = peer.Port();
    rig.med.host = "127.0.0.1";
    LogCapture logs;
    LevelOneGr2MD det(rig.Attr());
    det.Start();
    // The first poll's report comes after the windows were read.
    ASSERT_TRUE(WaitFor([&] { return rig.buf.GetUpdateCount() >= 3; }, 10000));
    det.Stop();
    EXPECT_NE(std::string::npos, peer.Received(0).find("GET /cgi-bin/admin/param?action=list&group=Motion"));
    // What each line sets: LevelOneGr2Rules.WindowParameterLines; here, that the answer reached it.
    EXPECT_EQ(40, det.GetMotionWindows()[0].threshold);

    LevelOneGr2MD refused(rig.Attr());
    EXPECT_EQ(-1, refused.GetMotionWin());
}

// ---------------------------------------------------------------- RTP extensions through an own fetcher

namespace {

std::string Rtsp(const std::string& headers, const std::string& body = std::string()) {
    return "RTSP/1.0 200 OK\r\n" + headers +
           (body.empty() ? std::string() : "Content-Length: " + std::to_string(body.size()) + "\r\n") + "\r\n" +
           body;
}

// A camera that sets up its video track (interleaved on channel 4) and sends
// a packet whose extension carries each text.
PeerScript RtspCamera(const std::vector<std::string>& texts) {
    const std::string sdp = "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=cam\r\nt=0 0\r\n"
                            "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:track1\r\n";
    PeerScript s = {PeerStep::RecvRequest(), PeerStep::Send(Rtsp("Content-Type: application/sdp\r\n", sdp)),
                    PeerStep::RecvRequest(),
                    PeerStep::Send(Rtsp("Transport: RTP/AVP/TCP;unicast;interleaved=4-5\r\nSession: 5A5A\r\n")),
                    PeerStep::RecvRequest(), PeerStep::Send(Rtsp("Session: 5A5A\r\n"))};
    uint16_t seq = 1;
    for (const std::string& t : texts)
        s.push_back(PeerStep::Send(camtest::Frame(4, camtest::RtpPacket(0, true, 0xABAC, 0, 40, 0, t, seq++))));
    s.push_back(PeerStep::Stall());
    return s;
}

// Motion is "ON" in an extension read through a fetcher of the detector's own.
class OwnRtp : public RtpHdrDetector {
public:
    OwnRtp(DET_BASE_ATTR a, int port) : RtpHdrDetector(a), m_Port(port) { LinkShareDet(DET_TYPE_MD); }
    ~OwnRtp() override { Stop(); }
    int GetPathPort(std::string& path, int& port) override {
        path = "live";
        port = m_Port;
        return 0;
    }
    bool IsTrig(char* data, unsigned int len, int& value) override {
        value = 100;
        return std::string(data, len).find("ON") != std::string::npos;
    }
    bool IsTrig(int, char*, unsigned int, int&) override { return false; }

private:
    int m_Port;
};

}  // namespace

// The packets of an own fetcher that delivers follow each other as they
// come: no back-off and no pass pause between them (those are for failures).
TEST(OwnRtpLoop, PacketsOfAnOwnFetcherFollowEachOtherWithoutAPause) {
    camtest::FakeClock clock;
    ScriptedPeer peer(RtspCamera({"ON", "off", "ON"}));
    CameraRig rig(clock);
    std::mutex m;
    Statuses md;
    std::vector<int64_t> waitsAtThird;
    rig.buf.SetListener([&](bool t, int l) {
        std::lock_guard<std::mutex> g(m);
        md.push_back({t, l});
        if (md.size() == 3) waitsAtThird = clock.Waits();
    });
    OwnRtp det(rig.Attr(), peer.Port());
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(m);
        return md.size() >= 3;
    }));
    det.Stop();
    rig.buf.SetListener(nullptr);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(Statuses({{true, 100}, {false, 100}, {true, 100}}), Statuses(md.begin(), md.begin() + 3));
    EXPECT_TRUE(waitsAtThird.empty()) << ::testing::PrintToString(waitsAtThird);
    EXPECT_NE(std::string::npos, peer.Received(0).find("/live RTSP/1.0"));
}
