// The RTP-extension vendor classes as the factories build them on the
// recorder's shared fetcher (a scripted one here): Axis's own bounded read
// into its fixed buffer. (Which kinds each family's stream serves, and the
// levels, are driven end to end by the family table against the simulator.)
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
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
            if (k != DET_TYPE_DI) history[k].Attach(bufs[k]);
        }
        history[DET_TYPE_DI].Attach(rig.bufMap);
    }
    // The factory's detector of `kind` on the shared fetcher (the four
    // exported release calls release any detector alike).
    BRObjectBase* Make(int kind) {
        BRObjectBase* o = CreateDetector(kind, &rig.med, &rig.api, &bufs[kind], &rig.bufMap, nullptr, &rig.cap, &fetch, true);
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
    std::map<int, camtest::StatusHistory> history;  // per kind, filled before any detector runs
    std::vector<std::unique_ptr<BRObjectBase, void (*)(BRObjectBase*)> > dets;
};

TEST(RtpVendors, AxisReadsNoFurtherThanItsBuffer) {
    RtpCamera cam("axisv5", 2, 1);
    ASSERT_NE(nullptr, cam.Make(DET_TYPE_TD));
    cam.fetch.Packet(camtest::ExtAsExposed(0xABAC, "M0:0;T0:1;"));
    cam.fetch.Packet(camtest::ExtAsExposed(0xABAC, "M0:0;" + std::string(kAxisExtBuf, ' ') + "T0:1;"));
    cam.Run();
    const States td = cam.history[DET_TYPE_TD].Get();
    ASSERT_GE(td.size(), 2u);
    EXPECT_EQ(std::make_pair(true, 100), td[0]);
    EXPECT_EQ(std::make_pair(false, 0), td[1]);  // the item past the buffer is not seen
    // A bounded read for a fresh packet every pass.
    EXPECT_EQ(cam.fetch.Get(cam.fetch.readCalls), cam.fetch.Get(cam.fetch.waitTrueCalls));
}

}  // namespace
