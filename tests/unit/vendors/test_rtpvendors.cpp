// The RTP-extension vendor classes as the factories build them on the
// recorder's shared fetcher (a scripted one here): one Axis stream serving
// four kinds through its own bounded read, Vivotek's application data by kind.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "camdet/rules/vivotekrules.h"
#include "camdet/transport/rtpvendordetector.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/rtppackets.h"
#include "tests/fixtures/scriptedrtpfetch.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"

namespace {

using camtest::States;

// The Axis class reads extensions into a fixed buffer of this size.
const unsigned int kAxisExtBuf = 512;

// The status history of every kind and port of one camera.
struct Watch {
    std::map<int, camtest::StatusHistory> kinds;  // filled before any detector runs
    // Port -1: the whole camera.
    States Of(int kind, int port = -1) { return port < 0 ? kinds[kind].Get() : kinds[kind].Port(port); }
};

// One camera's recorder objects with an event buffer per kind, its detectors
// made by the factories on a scripted shared fetcher.
class RtpCamera {
public:
    RtpCamera(const char* api, int fmt, int inputs) {
        rig.cap.SetAPI(api);
        rig.cap.SetDICnt(inputs);
        rig.med.streamFormat = fmt;
        rig.med.camId = 3;
        for (int k = 1; k <= 4; ++k) {
            if (k != DET_TYPE_DI) watch.kinds[k].Attach(bufs[k]);
        }
        watch.kinds[DET_TYPE_DI].Attach(rig.bufMap);
    }
    // The factory's detector of `kind` on the shared fetcher (the four
    // exported release calls release any detector alike).
    BRObjectBase* Make(int kind) {
        BRObjectBase* o =
            CreateDetector(kind, &rig.med, &rig.api, &bufs[kind], &rig.bufMap, nullptr, &rig.cap, &fetch, true);
        if (o) dets.emplace_back(o, ReleaseMotionDet);
        return o;
    }
    // Starts the followers first, then the owner (the first made), and
    // stops them all once the script is used up and its end reported.
    void Run() {
        for (size_t i = dets.size(); i-- > 0;) ASSERT_EQ(0, dynamic_cast<DetectorBase*>(dets[i].get())->Start());
        ASSERT_TRUE(WaitFor([&] { return fetch.Left() == 0; }));
        const int reads = fetch.Get(fetch.readCalls) + fetch.Get(fetch.curLenCalls);
        // Two fetches past the script's end: a fetch is counted before its
        // answer is reported, so only the second shows the first one's report
        // (the lost stream) done. Stopping after one raced that report.
        ASSERT_TRUE(WaitFor([&] { return fetch.Get(fetch.readCalls) + fetch.Get(fetch.curLenCalls) > reads + 1; }));
        for (auto& d : dets) dynamic_cast<DetectorBase*>(d.get())->Stop();
    }

    camtest::FakeClock clock;
    SharingReset sharing;
    CameraRig rig{clock};
    std::map<int, EventBuf> bufs;
    ScriptedRtpFetch fetch;
    Watch watch;
    std::vector<std::unique_ptr<BRObjectBase, void (*)(BRObjectBase*)> > dets;
};

TEST(RtpVendors, AxisStreamServesFourKinds) {
    RtpCamera cam("axisv5", 2, 2);
    for (int k = 1; k <= 4; ++k) {
        BRObjectBase* o = cam.Make(k);
        ASSERT_NE(nullptr, dynamic_cast<RtpVendorDetector*>(o)) << k;
    }
    cam.fetch.Packet(camtest::ExtAsExposed(0xABAC, "M0:1;ML0:050;M1:0;ML1:030;T0:1;A0:0;IO0:0;IO1:1;"));
    cam.Run();
    // A bounded read into the fixed buffer every pass; the lost stream (the
    // script's end) clears every kind and input once, and the stop again.
    EXPECT_EQ(cam.fetch.Get(cam.fetch.readCalls), cam.fetch.Get(cam.fetch.waitTrueCalls));
    EXPECT_EQ(kAxisExtBuf, cam.fetch.Get(cam.fetch.lastReadCapacity));
    const std::vector<States> kinds = {cam.watch.Of(DET_TYPE_MD), cam.watch.Of(DET_TYPE_TD), cam.watch.Of(DET_TYPE_AD),
                                       cam.watch.Of(DET_TYPE_DI, 0), cam.watch.Of(DET_TYPE_DI, 1)};
    EXPECT_EQ(kinds, (std::vector<States>{{{true, 40}, {false, 0}, {false, 0}},
                                          {{true, 100}, {false, 0}, {false, 0}},
                                          {{false, 0}, {false, 0}, {false, 0}},
                                          {{false, 0}, {false, 0}, {false, 0}},
                                          {{true, 100}, {false, 0}, {false, 0}}}));
}

// Vivotek application data: the codec tag, a zero byte 5 bytes on, the block
// count 15 bytes after the tag, then the block.
std::string VivotekData(bool present, bool trigger, int level, bool tamper) {
    std::string block(8, '\0');
    block[0] = (char)((present ? 0x80 : 0) | (trigger ? 0x40 : 0) | ((level & 0x7f) >> 1));
    block[1] = (char)((level & 1) << 7);
    block[4] = 0x18;
    block[6] = (char)(tamper ? 0x80 : 0);
    return std::string("h264\x01\x00", 6) + "123456789" + (char)(block.size() / 4) + block;
}

TEST(RtpVendors, VivotekApplicationDataByKind) {
    RtpCamera cam("vivotek8", 2, 1);
    BRObjectBase* md = cam.Make(DET_TYPE_MD);
    BRObjectBase* td = cam.Make(DET_TYPE_TD);
    ASSERT_NE(nullptr, dynamic_cast<RtpVendorDetector*>(md));
    EXPECT_EQ(VIVO_FUNC_GR_3, dynamic_cast<RtpVendorDetector*>(md)->GetGroup());
    ASSERT_NE(nullptr, dynamic_cast<RtpVendorDetector*>(td));
    cam.fetch.Packet(camtest::ExtAsExposed(0x5656, VivotekData(true, true, 70, false)));
    cam.fetch.Packet(camtest::ExtAsExposed(0x5656, VivotekData(true, false, 20, true)));
    cam.Run();
    // The owner clears its own status and its followers' when the stream is
    // lost (the script's end) and when it stops.
    EXPECT_EQ(States({{true, 70}, {false, 20}, {false, 0}, {false, 0}}), cam.watch.Of(DET_TYPE_MD));
    EXPECT_EQ(States({{false, 0}, {true, 100}, {false, 0}, {false, 0}}), cam.watch.Of(DET_TYPE_TD));
}

}  // namespace
