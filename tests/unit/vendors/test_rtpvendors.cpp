// The RTP-extension vendor classes as the factories build them on the
// recorder's shared fetcher (a scripted one here): Axis's own bounded read
// into its fixed buffer. (Which kinds each family's stream serves, and the
// levels, are driven end to end by the family table against the simulator.)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/rtppackets.h"
#include "tests/fixtures/scriptedrtpfetch.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"

namespace {

// The Axis class reads extensions into a fixed buffer of this size.
const unsigned int kAxisExtBuf = 512;

TEST(RtpVendors, AxisReadsNoFurtherThanItsBuffer) {
    camtest::FakeClock clock;
    SharingReset sharing;
    CameraRig rig{clock};
    rig.cap.SetAPI("axisv5");
    rig.med.streamFormat = 2;
    ScriptedRtpFetch fetch;
    camtest::StatusHistory td;
    td.Attach(rig.buf);
    fetch.Packet(camtest::ExtAsExposed(0xABAC, "M0:0;T0:1;"));
    fetch.Packet(camtest::ExtAsExposed(0xABAC, "M0:0;" + std::string(kAxisExtBuf, ' ') + "T0:1;"));
    std::unique_ptr<BRObjectBase, void (*)(BRObjectBase*)> made(
        CreateDetector(DET_TYPE_TD, &rig.med, &rig.api, &rig.buf, nullptr, nullptr, &rig.cap, &fetch, true),
        ReleaseMotionDet);
    DetectorBase* det = dynamic_cast<DetectorBase*>(made.get());
    ASSERT_NE(nullptr, det);
    StopOnExit stop{*det};
    ASSERT_EQ(0, det->Start());
    ASSERT_TRUE(WaitFor([&] { return fetch.Left() == 0; }));
    // Two fetches past the script's end: a fetch is counted before its
    // answer is reported, so only the second shows the last packet's report done.
    const int reads = fetch.Get(fetch.readCalls);
    ASSERT_TRUE(WaitFor([&] { return fetch.Get(fetch.readCalls) > reads + 1; }));
    det->Stop();
    const camtest::States states = td.Get();
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(std::make_pair(true, 100), states[0]);
    EXPECT_EQ(std::make_pair(false, 0), states[1]);  // the item past the buffer is not seen
    // A bounded read for a fresh packet every pass.
    EXPECT_EQ(fetch.Get(fetch.readCalls), fetch.Get(fetch.waitTrueCalls));
}

}  // namespace
