// The binary- and line-stream loop's real thread against scripted cameras on
// loopback. One Dahua stream shared by every kind: FamilyEndToEnd's dahua row.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "camdet/transport/binstreamdetector.h"
#include "host/net/healthservices.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/peercamera.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

typedef std::vector<std::pair<bool, int> > Statuses;

const char kHead[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// A stream reader whose motion is "ALARM" anywhere in the line, or bit 0 of
// byte 4 of a record (value 100).
class StreamProbe : public BinStreamDetector {
public:
    StreamProbe(DET_BASE_ATTR a, __tag_BIN_STREAM_TYPE type, unsigned int size, int timeout)
        : BinStreamDetector(a, "events", size, type, timeout, true) {}
    ~StreamProbe() override { Stop(); }
    bool IsTrig(char* buf, unsigned int size, int& value) override {
        bool t = GetStreamType() == BIN_STREAM_HTTP_RECORD ? size > 4 && (buf[4] & 1)
                                                          : strstr(buf, "ALARM") != nullptr;
        value = t ? 100 : 0;
        return t;
    }
};

// Reads come from a script instead of the connection (the connection itself
// is real): n > 0 copies a line "ALARM" (or "quiet" for n == 1) and returns
// its length; 0 and negative values are returned as they are. When the
// script runs out the reader waits briefly and reports a time-out.
class ScriptedReads : public StreamProbe {
public:
    ScriptedReads(DET_BASE_ATTR a, int timeout, std::vector<int> reads)
        : StreamProbe(a, BIN_STREAM_HTTP_LINE, 64, timeout), m_Reads(reads.begin(), reads.end()) {}
    int ReadUnit(char* buf) override {
        int r;
        {
            std::lock_guard<std::mutex> g(m_M);
            if (m_Reads.empty()) {
                m_blDone = true;
                r = -2;
            } else {
                r = m_Reads.front();
                m_Reads.pop_front();
            }
        }
        if (m_blDone) {
            m_StopWake.WaitRealMs(60000);  // until Stop
            return r;
        }
        if (r > 0) {
            const char* text = r == 1 ? "quiet" : "ALARM";
            strcpy(buf, text);
            return (int)strlen(text);
        }
        return r;
    }
    bool Done() {
        std::lock_guard<std::mutex> g(m_M);
        return m_blDone;
    }

private:
    std::mutex m_M;
    std::deque<int> m_Reads;
    bool m_blDone = false;
};

using camtest::StatusHistory;

PeerScript StreamThenStall(const std::string& body) {
    return {PeerStep::RecvRequest(), PeerStep::Send(kHead + body), PeerStep::Stall()};
}

// A StreamProbe on a peer playing scripts, on clock; it stops when the run ends.
struct ProbeRun : camtest::PeerCamera {
    ProbeRun(const std::vector<PeerScript>& scripts, __tag_BIN_STREAM_TYPE type, unsigned int size,
             camtest::FakeClock& clock, int timeout = 1)
        : PeerCamera(scripts, clock), det(new StreamProbe(rig.Attr(), type, size, timeout)) {}
    std::unique_ptr<StreamProbe> det;
};

}  // namespace

// Time-out 3 gives a budget of 19 failed reads, time-out 60 (and a time-out
// that divides to nothing) 20: each failure re-evaluates the last line on the
// same connection; the one after the budget resets the status and reconnects.
TEST(BinStreamLoop, ReadFailuresWithinTheBudgetReevaluateTheLastLine) {
    struct Case {
        int timeout;
        int budget;
    };
    for (const Case& c : {Case{3, 19}, Case{60, 20}, Case{0, 20}}) {
        SCOPED_TRACE("timeout " + std::to_string(c.timeout));
        camtest::FakeClock clock;
        camtest::PeerCamera cam({StreamThenStall(""), StreamThenStall("")}, clock);
        std::vector<int> reads = {5};
        reads.insert(reads.end(), (size_t)c.budget + 1, -2);
        reads.push_back(1);
        ScriptedReads det(cam.rig.Attr(), c.timeout, reads);
        ASSERT_EQ(det.Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return det.Done(); }, 10000));
        det.Stop();
        // The line, then budget re-evaluations of it, the reset, the quiet
        // line read on the new connection.
        Statuses want((size_t)c.budget + 1, {true, 100});
        want.insert(want.end(), 2, {false, 0});
        EXPECT_EQ(want, cam.log.Get(want.size()));
        EXPECT_EQ(2, cam.peer.Connections());
    }
}

// What a stream says, and the statuses and connections it gives: 30 empty
// lines in a row are read past, the 31st resets the status and reopens the
// stream; a refused stream (500, then a closed port) waits one second before each new attempt and reports nothing
// meanwhile; a line of 1 MB without a line end is cut at the buffer size and
// its rest skipped (the "ALARM" glued to its end goes with it), over HTTP and
// over plain TCP, and the next line counts. Stopping clears the status.
TEST(BinStreamLoop, WhatTheStreamSaysGivesTheseStatuses) {
    const std::string thirty(30, '\n');
    const std::string huge = std::string(1 << 20, 'A') + "ALARM\nALARM\n";
    struct Case {
        const char* name;
        __tag_BIN_STREAM_TYPE type;
        unsigned int size;
        int timeout;
        std::vector<PeerScript> scripts;
        Statuses want;
        int connections;
        std::vector<int64_t> waits;  // before the last status
    };
    const Case cases[] = {
        {"thirty empty lines pass, the 31st reconnects", BIN_STREAM_HTTP_LINE, 64, 1,
         {StreamThenStall("ALARM\r\n" + thirty + "ALARM\n" + thirty + "\r\nquiet\n"), StreamThenStall("ALARM\n")},
         {{true, 100}, {true, 100}, {false, 0}, {true, 100}}, 2, {}},
        {"thirty empty lines before the first line pass", BIN_STREAM_HTTP_LINE, 64, 1,
         {StreamThenStall(thirty + "ALARM\n")}, {{true, 100}}, 1, {}},
        {"refused twice", BIN_STREAM_HTTP_LINE, 64, 1,
         {{PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 500 Oops\r\n\r\n"), PeerStep::Close()},
          {PeerStep::Close()}, StreamThenStall("ALARM\n")},
         {{true, 100}}, 3, {1000, 1000}},
        {"a megabyte line over HTTP", BIN_STREAM_HTTP_LINE, 64, 2, {StreamThenStall(huge)},
         {{false, 0}, {true, 100}}, 1, {}},
        {"a megabyte line over TCP", BIN_STREAM_SOCKET_LINE, 64, 2, {{PeerStep::Send(huge), PeerStep::Stall()}},
         {{false, 0}, {true, 100}}, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camtest::FakeClock clock;
        ProbeRun run(c.scripts, c.type, c.size, clock, c.timeout);
        ASSERT_EQ(run.det->Start(), 0);
        ASSERT_TRUE(WaitFor([&] { return run.log.Count() >= c.want.size(); }, 20000));
        const std::vector<int64_t> waits = clock.Waits();
        const int connections = run.peer.Connections();
        run.det->Stop();
        EXPECT_EQ(c.want, run.log.Get(c.want.size()));
        EXPECT_EQ(c.connections, connections);
        if (!c.waits.empty()) {
            EXPECT_EQ(c.waits, waits);
        }
        EXPECT_EQ(std::make_pair(false, 0), run.log.Get().back());
    }
}

// A record cut short by a close, and one that stops mid-record (the
// time-out ends it), each reset the status and reconnect; the camera's
// health hears of each loss before the reset's "no alarm".
TEST(BinStreamLoop, ShortRecordsResetAndReconnect) {
    camtest::FakeClock clock;
    const std::string alarm("\0\0\0\0\x01\0\0\0", 8);
    const std::string quiet(8, '\0');
    ScriptedPeer peer({
        {PeerStep::RecvRequest(), PeerStep::Send(kHead + alarm + alarm.substr(0, 5)), PeerStep::Close()},
        StreamThenStall(quiet + alarm.substr(0, 3)),
        StreamThenStall(alarm),
    });
    CameraRig rig(clock);
    rig.med.httpPort = peer.Port();
    BrellinOwned::HealthServices watched(*rig.services);
    rig.api.SetServices(&watched);
    camtest::Journal seen;  // health changes and statuses
    watched.Health()->SetListener(
        [&](const BrellinOwned::CAM_HEALTH_REPORT& rep) { seen.Note(BrellinOwned::CamHealthName(rep.state)); });
    rig.buf.SetListener([&](bool t, int) { seen.Note(t ? "on" : "off"); });
    StreamProbe det(rig.Attr(), BIN_STREAM_HTTP_RECORD, 8, 1);
    ASSERT_EQ(det.Start(), 0);
    const std::vector<std::string> want = {
        "ok", "on", "unreachable", "off",         // a record, then 5 bytes and the close
        "ok", "off", "unreachable", "off",        // a quiet record, then 3 bytes and silence
        "ok", "on"};
    ASSERT_TRUE(WaitFor([&] { return seen.Get().size() >= want.size(); }, 10000));
    rig.buf.SetListener(nullptr);
    det.Stop();
    watched.Health()->SetListener(nullptr);
    EXPECT_EQ(want, seen.Get(want.size()));
    EXPECT_EQ(3, peer.Connections());
}

// Motion starts, the stream drops and comes back with heartbeats only: the
// held motion from before the drop is not raised again on the new stream.
TEST(BinStreamLoop, HeldMotionFromBeforeADropIsNotRaisedAgain) {
    camtest::FakeClock clock;
    SharingReset sharing;
    camtest::PeerCamera cam(
        {{PeerStep::RecvRequest(), PeerStep::Send(std::string(kHead) + "Code=VideoMotion;action=Start;index=0\r\n"),
          PeerStep::Close()},
         StreamThenStall("Heartbeat\r\nHeartbeat\r\nHeartbeat\r\nHeartbeat\r\nHeartbeat\r\n")},
        clock);
    CameraRig& rig = cam.rig;
    rig.cap.SetAPI("dahua");
    BRObjectBase* md =
        CreateDetector(DET_TYPE_MD, &rig.med, &rig.api, &rig.buf, nullptr, nullptr, &rig.cap, nullptr, true);
    ASSERT_NE(nullptr, md);
    ASSERT_EQ(0, dynamic_cast<DetectorBase*>(md)->Start());
    ASSERT_TRUE(WaitFor([&] {
        if (cam.peer.Connections() < 2) return false;
        const Statuses v = cam.log.Get();
        return std::count(v.begin(), v.end(), std::make_pair(false, 0)) >= 6;  // the reset and five heartbeats
    }));
    ReleaseMotionDet(md);
    EXPECT_EQ(Statuses({{true, 100}, {false, 0}}), cam.log.Changes()) << "motion rose again after the drop";
}

// LevelOne GR4 sends a motion line every 4 s and the read time-out is 3 s:
// the time-out in between evaluates the last line again, through the real
// socket reader, so the motion holds (motion and inputs alike). The level
// (90) is above the threshold, motion parameter key 3 (89); keys 1 and 4 are not it.
TEST(BinStreamLoop, LevelOneGr4LinesFourSecondsApartDoNotFlap) {
    const std::string line = "EV,5A$123456009001\r\n";
    ScriptedPeer peer(PeerScript{PeerStep::Send(line), PeerStep::Pause(4000), PeerStep::Send(line), PeerStep::Stall()});
    CameraRig rig;
    rig.cap.SetDICnt(1);
    rig.api.OverrideDetPort(peer.Port());
    StatusHistory md, di;
    md.Attach(rig.buf);
    di.Attach(rig.bufMap);
    std::unique_ptr<CamDetector> mdDet = MakeFor("level1gr4", DET_TYPE_MD, rig.Attr());
    std::unique_ptr<CamDetector> diDet = MakeFor("level1gr4", DET_TYPE_DI, rig.Attr(true));
    StopOnExit stopMd(*mdDet), stopDi(*diDet);
    mdDet->SetMDParam(95, 89, 95, 0);
    // The follower first: the camera sends its first line at once.
    ASSERT_EQ(0, diDet->Start());
    ASSERT_EQ(0, mdDet->Start());
    // The line, the time-out, the next line.
    ASSERT_TRUE(WaitFor([&] { return md.Count() >= 3 && di.Port(0).size() >= 3; }, 10000));
    mdDet->Stop();
    diDet->Stop();
    EXPECT_EQ(Statuses(3, {true, 90}), md.Get(3));
    EXPECT_EQ(Statuses(3, {true, 0}), di.Port(0, 3));
}

// Streams of factory-made motion detectors, with the statuses and
// connections they give. A line with a value cut by a NUL, or a line that is
// not one of the camera's, carries nothing: the status stays as it was ("no
// data"), and the lines after it count again. An EverFocus record one byte
// short (its last byte only with the next record, a second later) resets the
// stream, which starts again on a record boundary.
TEST(BinStreamLoop, FactoryStreamsGiveTheseStatuses) {
    std::string record(308, '\0');
    record[56] = 1;
    const std::string shortRecord = record.substr(0, 307);
    struct Case {
        const char* name;
        std::vector<PeerScript> scripts;
        const char* api;  // the camera's key
        Statuses want;
        int connections;
    };
    const Case cases[] = {
        {"D-Link md1 cut by a NUL", {StreamThenStall(std::string("md1=on\nmd1=o") + '\0' + "n\nmd1=off\nmd1=on\n")},
         "dlinknipca", {{true, 100}, {false, 0}, {true, 100}}, 1},
        {"GR4 garbage line",
         {{PeerStep::Send("EV,5A$123456009000\r\ngarbage\r\nEV,00$123456009000\r\nEV,5A$123456009000\r\n"),
           PeerStep::Stall()}},
         "level1gr4", {{true, 90}, {false, 0}, {true, 90}}, 1},
        {"EverFocus record one byte short",
         {{PeerStep::RecvRequest(), PeerStep::Send(kHead + shortRecord), PeerStep::Pause(1200),
           PeerStep::Send(shortRecord), PeerStep::Stall()},
          StreamThenStall(record)},
         "everfocus", {{false, 0}, {true, 100}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SharingReset sharing;
        camtest::FakeClock clock;
        camtest::PeerCamera cam(c.scripts, clock);
        std::unique_ptr<CamDetector> det = MakeFor(c.api, DET_TYPE_MD, cam.rig.Attr());
        ASSERT_NE(nullptr, det);
        StopOnExit stop(*det);
        ASSERT_EQ(0, det->Start());
        ASSERT_TRUE(WaitFor([&] { return cam.log.Count() >= c.want.size(); }, 10000));
        const int connections = cam.peer.Connections();
        det->Stop();
        EXPECT_EQ(c.want, cam.log.Get(c.want.size()));
        EXPECT_EQ(c.connections, connections);
    }
}
