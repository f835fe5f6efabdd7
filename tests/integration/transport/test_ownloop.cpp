// The own-loop vendors' real threads against scripted cameras on loopback:
// the ACTi event connection (login, keep-alive on the test's clock, headers
// with and without payload, reconnects, a login answered with garbage or not
// at all), Mobotix counters over HTTP and LevelOne GR2's window set-up.
#include <gtest/gtest.h>
#include <string.h>

#include <mutex>
#include <utility>
#include <vector>

#include "camdet/rules/ownlooprules.h"
#include "camdet/vendors/acti/actidetector.h"
#include "camdet/vendors/levelone/levelonegr2detector.h"
#include "camdet/vendors/mobotix/mobotixdetector.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/fakenet.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/statushistory.h"

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
// A motion header with 20 payload bytes, then a header of another event.
const std::string kMotionWithPayload = Le32s({0, ACTI_MOTION_EVENT, 20}) + std::string(20, 'p');
const std::string kOther = Le32s({0, 0x20001, 0});

PeerScript Login() { return {PeerStep::RecvUntil("secret"), PeerStep::Send(kLoginOk)}; }

PeerScript Concat(PeerScript a, const PeerScript& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using camtest::StatusHistory;

void ActiRig(CameraRig& rig, int port) {
    rig.cap.SetAPI("acti");
    rig.med.user = "admin";
    rig.med.password = "secret";
    rig.api.OverrideDetPort(port);
}

}  // namespace

// The login packet as the camera reads it; events with and without payload
// trigger, another event code does not; with no traffic each pass (one socket
// time-out) reports no motion.
TEST(ActiLoop, LoginThenEventHeadersWithAndWithoutPayload) {
    camtest::FakeClock clock;
    ScriptedPeer peer(Concat(Login(), {PeerStep::Send(kMotion), PeerStep::Send(kOther),
                                       PeerStep::Send(kMotionWithPayload + kOther), PeerStep::Stall()}));
    CameraRig rig;
    rig.UseClock(clock);
    ActiRig(rig, peer.Port());
    StatusHistory log;
    log.Attach(rig.buf);
    ActiMD det(rig.Attr());
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return log.Count() >= 5; }, 10000));
    det.Stop();
    const std::vector<std::pair<bool, int> > md = log.Get();
    const std::vector<std::pair<bool, int> > want = {{true, 100}, {false, 0}, {true, 100}, {false, 0}, {false, 0}};
    EXPECT_EQ(want, Statuses(md.begin(), md.begin() + 5));
    const std::string login = peer.Received(0);
    ASSERT_GE(login.size(), 70u);
    EXPECT_EQ("admin", std::string(login.c_str()));
    EXPECT_EQ(Le32s({1}), login.substr(32, 4));
    EXPECT_EQ("secret", std::string(login.c_str() + 64));
    EXPECT_EQ(1, peer.Connections());
    EXPECT_EQ(std::make_pair(false, 0), md.back());
}

// The keep-alive goes out once 20 s have passed on the detector's clock since
// the login, not before: with a silent camera every pass ends on the socket's
// one-second time-out, on the same clock.
TEST(ActiLoop, KeepAliveAtMostEveryTwentySeconds) {
    camtest::FakeClock clock;
    camtest::FakeNet net(clock);
    net.Add(camtest::FakeConn().Send(kLoginOk));  // then silence
    CameraRig rig;
    ActiRig(rig, 4321);
    rig.api.SetServices(&net);
    ActiMD det(rig.Attr());
    ASSERT_EQ(0, det.Start());
    auto writes = [&] {
        const std::vector<camtest::FakeRequest> r = net.Requests();
        return r.empty() ? std::vector<std::pair<int64_t, std::string> >() : r[0].writes;
    };
    ASSERT_TRUE(WaitFor([&] { return writes().size() >= 3; }, 10000));
    det.Stop();
    const std::vector<std::pair<int64_t, std::string> > w = writes();
    EXPECT_NE(std::string::npos, w[0].second.find("secret"));  // the login
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(std::string("ACTi") + Le32s({0x30, 0}), w[i].second.substr(0, 12)) << i;
        EXPECT_EQ(20000, w[i].first - w[i - 1].first) << i;
    }
    EXPECT_EQ(1u, net.Requests().size()) << "a time-out is no reason to reconnect";
}

// A broken connection (closed, or a header cut short) is dropped; the next
// pass logs in anew.
TEST(ActiLoop, ReconnectsAfterABrokenConnection) {
    camtest::FakeClock clock;
    ScriptedPeer peer({Concat(Login(), {PeerStep::Send(kMotion), PeerStep::Close()}),
                       Concat(Login(), {PeerStep::Send(kMotion.substr(0, 7)), PeerStep::Close()}),
                       Concat(Login(), {PeerStep::Send(kMotion), PeerStep::Stall()})});
    CameraRig rig;
    rig.UseClock(clock);
    ActiRig(rig, peer.Port());
    StatusHistory log;
    log.Attach(rig.buf);
    ActiMD det(rig.Attr());
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return peer.Connections() >= 3 && rig.buf.GetTrig(); }, 10000));
    det.Stop();
    const std::vector<std::pair<bool, int> > md = log.Get();
    ASSERT_GE(md.size(), 4u);
    EXPECT_EQ(std::make_pair(true, 100), md[0]);
    EXPECT_EQ(std::make_pair(false, 0), md[1]);  // the close
    EXPECT_EQ(std::make_pair(false, 0), md[2]);  // the cut header
    EXPECT_EQ(std::make_pair(true, 100), md[3]);
}

// A login answered with garbage, or not at all (the socket time-out), is
// retried once a second on the detector's clock; no motion is ever reported
// and Stop returns.
TEST(ActiLoop, LoginAnsweredWithGarbageOrNeverIsRetried) {
    for (bool answer : {true, false}) {
        SCOPED_TRACE(answer ? "garbage" : "silence");
        camtest::FakeClock clock;
        LogCapture logs;
        PeerScript bad = {PeerStep::RecvUntil("secret")};
        bad.push_back(answer ? PeerStep::Send(std::string(ACTI_LOGIN_SIZE, '\xff')) : PeerStep::Stall());
        ScriptedPeer peer(bad);
        CameraRig rig;
        rig.UseClock(clock);
        ActiRig(rig, peer.Port());
        StatusHistory log;
        log.Attach(rig.buf);
        ActiMD det(rig.Attr());
        ASSERT_EQ(0, det.Start());
        ASSERT_TRUE(WaitFor([&] { return peer.Connections() >= 3; }, 10000));
        det.Stop();
        for (const auto& s : log.Get()) EXPECT_FALSE(s.first);
        const std::vector<int64_t> waits = clock.Waits();
        ASSERT_GE(waits.size(), 2u);
        EXPECT_EQ(1000, waits[0]);
        EXPECT_NE(std::string::npos, logs.Text().find("Login refused or not answered."));
        EXPECT_EQ(std::string::npos, logs.Text().find("secret"));
    }
}

namespace {

std::string HttpLine(const std::string& line) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + line + "\r\nmore text\r\n";
}

PeerScript Answer(const std::string& line) { return {PeerStep::RecvRequest(), PeerStep::Send(HttpLine(line))}; }

}  // namespace

// Every poll is a new connection; a counter change (also backwards and
// across the wrap) is an alarm, a failed poll is quiet and keeps the counter.
TEST(MobotixLoop, CounterChangesAcrossPollsAndFailures) {
    camtest::FakeClock clock;
    ScriptedPeer peer({Answer("ox_md_ima;alarmcounter=2147483647;"), Answer("ox_md_ima;alarmcounter=2147483647;"),
                       {PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 500 X\r\n\r\n")},
                       Answer("ox_md_ima;alarmcounter=-2147483648;"), Answer("ox_md_ima;alarmcounter=7;"),
                       Answer("ox_md_ima;alarmcounter=7;")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.model = "M24M";
    StatusHistory log;
    log.Attach(rig.buf);
    rig.med.httpPort = peer.Port();
    MobotixMD det(rig.Attr());
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return log.Count() >= 6; }, 10000));
    det.Stop();
    const std::vector<std::pair<bool, int> > md = log.Get();
    const std::vector<std::pair<bool, int> > want = {{true, 100}, {false, 0}, {false, 0},
                                                     {true, 100}, {true, 100}, {false, 0}};
    EXPECT_EQ(want, Statuses(md.begin(), md.begin() + 6));
    EXPECT_NE(std::string::npos, peer.Received(0).find("GET /control/event.jpg?output=alarmupdate HTTP/1.1"));
    // Paced by the poll interval on the detector's clock.
    for (int64_t w : clock.Waits()) EXPECT_LE(w, 1000);
}

// The first input tested in a pass absorbs the change; a failed poll resets
// every input.
TEST(MobotixLoop, InputsFromTheSignalInputList) {
    camtest::FakeClock clock;
    ScriptedPeer peer({Answer("SI;alarmcounter=3;"), {PeerStep::RecvRequest(), PeerStep::Close()},
                       Answer("SI;alarmcounter=3;")});
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetDICnt(2);
    rig.med.httpPort = peer.Port();
    std::mutex m;
    std::vector<std::pair<int, bool> > di;
    rig.bufMap.SetListener([&](int port, bool t, int) {
        std::lock_guard<std::mutex> g(m);
        di.push_back(std::make_pair(port, t));
    });
    MobotixDI det(rig.Attr(true));
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(m);
        return di.size() >= 6;
    }, 10000));
    det.Stop();
    std::lock_guard<std::mutex> g(m);
    const std::vector<std::pair<int, bool> > want = {{0, true}, {1, false}, {0, false}, {1, false},
                                                     {0, false}, {1, false}};
    EXPECT_EQ(want, (std::vector<std::pair<int, bool> >(di.begin(), di.begin() + 6)));
    EXPECT_NE(std::string::npos, peer.Received(0).find("filter=SI"));
}

// The window set-up is read once; a camera that refuses it gets no polls.
TEST(LevelOneGr2Loop, WindowsAreReadOnceAndARefusalEndsTheThread) {
    camtest::FakeClock clock;
    ScriptedPeer peer({{PeerStep::RecvRequest(),
                        PeerStep::Send("HTTP/1.0 200 OK\r\n\r\nMotion.M0.Enabled=yes\nMotion.M0.Threshold=40\n"
                                       "Motion.M1.Enabled=no\nMotion.M2.Threshold=9\n")},
                       {PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 401 No\r\n\r\n")}});
    CameraRig rig;
    rig.UseClock(clock);
    rig.med.httpPort = peer.Port();
    rig.med.host = "127.0.0.1";
    LevelOneGr2MD det(rig.Attr());
    det.Start();
    // The first poll's report comes after the windows were read.
    ASSERT_TRUE(WaitFor([&] { return rig.buf.GetUpdateCount() >= 1; }, 10000));
    det.Stop();
    EXPECT_NE(std::string::npos, peer.Received(0).find("GET /cgi-bin/admin/param?action=list&group=Motion"));
    EXPECT_EQ(1, det.GetMotionWindows()[0].blEnabled);
    EXPECT_EQ(40, det.GetMotionWindows()[0].threshold);
    EXPECT_EQ(0, det.GetMotionWindows()[1].blEnabled);
    EXPECT_EQ(9, det.GetMotionWindows()[2].threshold);

    LevelOneGr2MD refused(rig.Attr());
    EXPECT_EQ(-1, refused.GetMotionWin());
}
