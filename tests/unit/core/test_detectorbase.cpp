// Detector base: parameter store and its lazy application, Start/Stop, the
// sleep helper, status reset and the per-camera sharing registry.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/testsupport.h"

namespace {

// Runs body on its thread, or without one idles until stopped.
class TestDetector : public CamDetector {
public:
    explicit TestDetector(DET_BASE_ATTR a, std::function<void(TestDetector&)> body = nullptr)
        : CamDetector(a), m_Body(std::move(body)) {}
    ~TestDetector() override { Stop(); }
    int DetMain() override {
        ++runs;
        if (m_Body) m_Body(*this);
        while (!m_Body && IsActivated()) usleep(500);
        return 0;
    }
    using CamDetector::m_DICnt;
    using CamDetector::m_DIParam;
    using CamDetector::m_DIParamArg;
    using CamDetector::m_MDParam;
    using CamDetector::m_TDParam;
    std::atomic<int> runs{0};

private:
    std::function<void(TestDetector&)> m_Body;
};

struct ParamCase {
    const char* name;
    int kind;
    std::map<int, std::string> params;
    int arg;
    // What the first IsActivated() after Start sends: empty kind 0 = nothing.
    int sentKind;
    std::map<int, std::string> sent;
    int sentArg;
};

TEST(DetectorParamTest, StoredValuesAreSentOnceByTheNextIsActivated) {
    const ParamCase cases[] = {
        {"MD keys 1-4", 1, {{1, "10"}, {2, "20"}, {3, "30"}, {4, "40"}}, 0, 1,
         {{1, "10"}, {2, "20"}, {3, "30"}, {4, "40"}}, 0},
        {"MD ignores other keys", 1, {{2, "5"}, {9, "99"}}, 0, 1, {{1, "0"}, {2, "5"}, {3, "0"}, {4, "0"}}, 0},
        {"DI key 7 with arg", 2, {{7, "1"}}, 3, 2, {{7, "1"}}, 3},
        {"DI without key 7", 2, {{6, "1"}}, 3, 0, {}, 0},
        {"TD key 6", 3, {{6, "55"}}, 9, 3, {{6, "55"}}, 0},
        {"AD key 5", 4, {{5, "70"}}, 0, 4, {{5, "70"}}, 0},
        {"leading digits", 3, {{6, "12abc"}}, 0, 3, {{6, "12"}}, 0},
        {"letters only", 4, {{5, "abc"}}, 0, 4, {{5, "0"}}, 0},
        {"negative", 4, {{5, "-8"}}, 0, 4, {{5, "-8"}}, 0},
        {"unknown kind", 7, {{5, "1"}}, 0, 0, {}, 0},
    };
    for (const ParamCase& c : cases) {
        SCOPED_TRACE(c.name);
        CameraRig rig;
        LogCapture log;
        rig.api.applyRc = -1;  // refused: still sent once, never again on the next pass
        TestDetector det(rig.Attr(true));
        det.SetDetParam(c.kind, c.params, c.arg);
        // Nothing is sent while stopped.
        EXPECT_FALSE(det.IsActivated());
        EXPECT_TRUE(rig.api.GetAppliedParams().empty());
        ASSERT_EQ(0, det.Start());
        det.IsActivated();
        det.IsActivated();
        ASSERT_EQ(0, det.Stop());
        std::vector<RecordingCameraAPI::AppliedParam> applied = rig.api.GetAppliedParams();
        if (c.sentKind == 0) {
            EXPECT_TRUE(applied.empty());
            continue;
        }
        ASSERT_EQ(1u, applied.size());
        EXPECT_EQ(c.sentKind, applied[0].kind);
        EXPECT_EQ(c.sent, applied[0].params);
        EXPECT_EQ(c.sentArg, applied[0].arg);
    }
}

TEST(DetectorLifecycleTest, UnusableRecordEndsTheThreadButKeepsTheRunFlag) {
    CameraRig rig;
    DET_BASE_ATTR attr = rig.Attr(true);
    attr.pCamApi = nullptr;
    TestDetector det(attr);
    EXPECT_EQ(0, det.Start());
    EXPECT_TRUE(det.IsActivated());
    EXPECT_EQ(0, det.Stop());
    EXPECT_EQ(0, det.runs.load());
}

// A detector thread in a long pause: Stop wakes it instead of waiting it out.
TEST(DetectorLifecycleTest, StopEndsAPauseAtOnce) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    CameraRig rig(clock);
    std::atomic<bool> done{false};
    TestDetector det(rig.Attr(true), [&](TestDetector& d) {
        d.SleepBySec(3600);
        done = true;
    });
    EXPECT_EQ(-2, det.Stop());
    ASSERT_EQ(0, det.Start());
    EXPECT_EQ(-1, det.Start());  // already running: no second thread
    ASSERT_TRUE(clock.WaitForBlocked(1));
    const int64_t before = clock.NowMs();
    EXPECT_EQ(0, det.Stop());  // joins: returns only once the pause ended
    EXPECT_EQ(-2, det.Stop());
    EXPECT_TRUE(done);
    EXPECT_EQ(before, clock.NowMs());
    EXPECT_EQ(1, det.runs.load());
    // A new run pauses again: the wake-up was reset by Start.
    done = false;
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(clock.WaitForBlocked(1));
    EXPECT_FALSE(done);
    EXPECT_EQ(0, det.Stop());
}

// A run stopped from its own thread (a recorder's callback) still has steps
// to take; the next run must not start before they are done.
TEST(DetectorLifecycleTest, AStopFromTheDetectorsOwnThreadIsJoinedBeforeTheNextRun) {
    CameraRig rig;
    std::atomic<int> runs{0}, inside{0};
    std::atomic<bool> overlapped{false};
    TestDetector det(rig.Attr(true), [&](TestDetector& d) {
        if (++inside > 1) overlapped = true;
        if (++runs == 1) {
            EXPECT_EQ(0, d.Stop());
            // Lingers until a second run shows up, or for 300 ms.
            for (int i = 0; i < 300 && runs == 1; ++i) usleep(1000);
        }
        --inside;
    });
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return !det.IsActivated(); }));
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return runs.load() == 2; }));
    EXPECT_EQ(0, det.Stop());
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(0, inside.load());
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Without room for a thread stack, Start says so instead of returning 0 for a
// detector that never runs.
TEST(DetectorLifecycleDeathTest, StartReportsAThreadItCannotCreate) {
    CameraRig rig;
    TestDetector det(rig.Attr(true));
    EXPECT_EXIT(
        {
            // Reserve every free range of a quarter stack or more (no
            // access, no backing), so no thread stack fits. A limit on the address
            // space would do natively but not under qemu-user, which maps
            // the whole 32-bit guest space up front.
            for (size_t len = (size_t)1 << (sizeof(void*) == 8 ? 40 : 30); len >= DetectorBase::kStackBytes / 4;
                 len >>= 1) {
                while (mmap(nullptr, len, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0) !=
                       MAP_FAILED) {
                }
            }
            int rc = det.Start();
            _exit(rc == -1 && !det.IsActivated() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

TEST(DetectorLifecycleTest, ConstructionReadsCameraIdAndInputCount) {
    CameraRig rig;
    rig.med.camId = 33;
    rig.cap.SetDICnt(4);
    TestDetector det(rig.Attr(true));
    EXPECT_EQ(33, det.GetCamId());
    EXPECT_EQ(4, det.m_DICnt);
    DET_BASE_ATTR noCaps = rig.Attr(true);
    noCaps.pCamCap = nullptr;
    EXPECT_EQ(0, TestDetector(noCaps).m_DICnt);  // no capabilities, no inputs to reset
    // A mediator that cannot be called leaves the id 0.
    DET_BASE_ATTR attr = rig.Attr(true);
    attr.camMediatorHdl = CamMediatorHandler();
    TestDetector det2(attr);
    EXPECT_EQ(0, det2.GetCamId());
}

// An input test that reads port 1 as triggered and cannot tell port 2: the
// answer has no data for it, or cannot be read.
class BlindPortDetector : public TestDetector {
public:
    BlindPortDetector(DET_BASE_ATTR a, bool unread) : TestDetector(a), m_blUnreadPort(unread) {}
    bool IsTrig(int port, char*, unsigned int, int& value) override {
        if (port == 2) (m_blUnreadPort ? m_blUnread : m_blNoData) = true;
        value = 1;
        return port == 1;
    }

private:
    bool m_blUnreadPort;
};

// A decided unit: the whole camera takes the decided level; every input
// port is written, a port the decision does not name as clear, a triggered
// one at the input level; a stopped detector reports no alarm without asking.
// A unit the input tests read: an input the answer cannot tell keeps its
// status (level 7 before), so that an input nobody can read is never shown
// clear; the others take the answer. A unit read for one input (a camera
// asked input by input) reaches that input only.
TEST(DetectorStatusTest, ReportedUnitsReachTheCameraOrThePortsTheyTell) {
    typedef std::pair<bool, int> S;
    const S off(false, 0), kept(true, 7), read(false, 1);  // read: clear at the level the test gave
    DET_DECISION md;
    md.trig = true;
    md.level = 37;
    DET_DECISION di;
    di.inputs = {{0, false}, {2, true}, {7, true}};
    di.inputLevel = 1;
    const struct {
        const char* name;
        int kind;
        bool running;
        const DET_DECISION* decided;  // null: a unit the tests read
        bool unread;                  // port 2's answer cannot be read (else it has no data)
        int port;                     // of the unit; -1: the whole camera
        int before;                   // every status's level before
        S camera;                     // MD: what the buffer holds
        std::vector<S> ports;         // DI: ports 0-2
    } rows[] = {
        {"motion", DET_TYPE_MD, true, &md, false, -1, 100, {true, 37}, {}},
        {"motion, stopped", DET_TYPE_MD, false, &md, false, -1, 100, off, {}},
        {"inputs", DET_TYPE_DI, true, &di, false, -1, 100, {}, {off, off, {true, 1}}},
        {"inputs, stopped", DET_TYPE_DI, false, &di, false, -1, 100, {}, {off, off, off}},
        {"no data", DET_TYPE_DI, true, nullptr, false, -1, 7, {}, {read, {true, 1}, kept}},
        {"unread", DET_TYPE_DI, true, nullptr, true, -1, 7, {}, {read, {true, 1}, kept}},
        {"input 1's unit", DET_TYPE_DI, true, nullptr, false, 0, 7, {}, {read, kept, kept}},
        {"input 2's unit", DET_TYPE_DI, true, nullptr, false, 1, 7, {}, {kept, {true, 1}, kept}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CameraRig rig;
        rig.cap.SetDICnt(3);
        BlindPortDetector det(rig.Attr(true), r.unread);
        det.LinkShareDet(r.kind);
        rig.buf.SetStatus(true, r.before);
        for (int p = 0; p < 3; ++p) rig.bufMap.SetStatus(p, true, r.before);
        if (r.running) {
            ASSERT_EQ(0, det.Start());
        }
        int asked = 0;
        char answer[] = "answer";
        DET_UNIT unit;
        unit.buf = answer;
        unit.len = sizeof(answer) - 1;
        unit.state = DET_UNIT_OK;
        unit.port = r.port;
        if (r.decided) {
            det.ReportDecided([&](DET_DECISION& d) {
                ++asked;
                d = *r.decided;
            });
        } else {
            det.ReportUnit(unit);
        }
        det.Stop();
        EXPECT_EQ(r.running && r.decided ? 1 : 0, asked);
        if (r.kind == DET_TYPE_MD) {
            EXPECT_EQ(r.camera, S(rig.buf.GetTrig(), rig.buf.GetValue()));
        }
        for (size_t p = 0; p < r.ports.size(); ++p)
            EXPECT_EQ(r.ports[p], S(rig.bufMap.GetTrig((int)p), rig.bufMap.GetValue((int)p))) << p;
        SharingReset::Clear();
    }
}

// The sharing state of the camera a detector belongs to (null when none).
const CamDetector::CAM_SHARE* ShareOf(const CamDetector& det) {
    std::map<CAM_SHARE_KEY, CamDetector::CAM_SHARE>::const_iterator it =
        CamDetector::m_SharedDets.find(det.GetShareKey());
    return it == CamDetector::m_SharedDets.end() ? nullptr : &it->second;
}

// The first to link owns the camera's sharing, one follower per later kind;
// destruction unregisters a follower, and the owner's ends the sharing.
TEST(DetectorSharingTest, FirstLinkOwnsLaterKindsFollowOnePerKindUntilDestroyed) {
    SharingReset reset;
    CameraRig rig;
    {
        std::unique_ptr<TestDetector> owner(new TestDetector(rig.Attr(true))), di(new TestDetector(rig.Attr(true)));
        TestDetector td(rig.Attr(true)), td2(rig.Attr(true)), ad(rig.Attr(true));
        owner->LinkShareDet(DET_TYPE_MD);
        EXPECT_TRUE(owner->IsShareEnabled());
        ASSERT_NE(nullptr, ShareOf(*owner));
        EXPECT_TRUE(ShareOf(*owner)->m_SharedDetMap.empty());
        di->LinkShareDet(DET_TYPE_DI);
        td.LinkShareDet(DET_TYPE_TD);
        td2.LinkShareDet(DET_TYPE_TD);
        ad.LinkShareDet(DET_TYPE_AD);
        const std::map<int, CamDetector*>& followers = ShareOf(*owner)->m_SharedDetMap;
        ASSERT_EQ(3u, followers.size());
        EXPECT_EQ(di.get(), followers.at(DET_TYPE_DI));
        EXPECT_EQ(&td, followers.at(DET_TYPE_TD));
        EXPECT_FALSE(owner->IsShareFollower());
        EXPECT_TRUE(di->IsShareFollower());
        EXPECT_FALSE(td2.IsShareFollower());
        EXPECT_EQ(DET_TYPE_TD, td2.GetDetType());
        di.reset();
        EXPECT_EQ(0u, ShareOf(ad)->m_SharedDetMap.count(DET_TYPE_DI));
        EXPECT_TRUE(ad.IsShareEnabled());
        owner.reset();
        EXPECT_FALSE(ad.IsShareEnabled());
        // Followers created before stay registered.
        EXPECT_EQ(1u, ShareOf(ad)->m_SharedDetMap.count(DET_TYPE_AD));
    }
    // A camera without owner and followers leaves nothing behind.
    EXPECT_TRUE(CamDetector::m_SharedDets.empty());
}

TEST(DetectorSharingTest, ReleaseStopsARunningDetectorAndNullsThePointer) {
    SharingReset reset;
    CameraRig rig;
    TestDetector* det = new TestDetector(rig.Attr(true));
    ASSERT_EQ(0, det->Start());
    ASSERT_TRUE(WaitFor([&] { return det->runs.load() == 1; }));
    BRObjectBase* obj = det;
    ReleaseMotionDetBRObj(obj);
    EXPECT_EQ(nullptr, obj);

    // A non-detector object is left alone; null is fine.
    EventBuf other;
    BRObjectBase* o = &other;
    ReleaseAudioDetBRObj(o);
    EXPECT_EQ(nullptr, o);
    other.SetStatus(true, 1);  // still alive
    EXPECT_TRUE(other.GetTrig());
    BRObjectBase* none = nullptr;
    ReleaseDigitalDetBRObj(none);
    ReleaseTamperingDet(nullptr);
}

TEST(DetectorConcurrencyTest, RecorderCallsWhileTheThreadRuns) {
    CameraRig rig;
    TestDetector det(rig.Attr(true));
    ASSERT_EQ(0, det.Start());
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            det.SetMDParam(i, i, i, i);
            det.SetDetParam(3, {{6, std::to_string(i)}}, 0);
        }
    });
    for (int i = 0; i < 200; ++i) det.IsActivated();
    writer.join();
    det.IsActivated();
    det.Stop();
    std::vector<RecordingCameraAPI::AppliedParam> applied = rig.api.GetAppliedParams();
    ASSERT_FALSE(applied.empty());
    // The last values written are the last ones sent.
    std::string lastMd, lastTd;
    for (const auto& a : applied) {
        if (a.kind == 1) lastMd = a.params.at(1);
        if (a.kind == 3) lastTd = a.params.at(6);
    }
    EXPECT_EQ("199", lastMd);
    EXPECT_EQ("199", lastTd);
}

}  // namespace
