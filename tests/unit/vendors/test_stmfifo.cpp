// The stream-FIFO classes' own loop over the recorder's FIFO (Ipux and
// StarDot): the newest frame per poll interval, inputs held only for the
// time-out, and a detector without a FIFO that does not run.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "camdet/vendors/stmfifo/stmfifodetector.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"

namespace {

std::vector<unsigned char> IpuxFrame(int level, int inputBits) {
    std::vector<unsigned char> f(64, 0);
    f[0] = 0xFF;
    f[1] = 0xD8;
    f[24] = (unsigned char)level;
    f[27] = (unsigned char)inputBits;
    return f;
}

// MANUAL clock: moves time on by ms and waits until the loop has made its
// next pass and waits again.
void Pass(camtest::FakeClock& clock, int64_t ms) {
    const size_t waits = clock.Waits().size();
    clock.Advance(ms);
    ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() > waits; }));
}

// Pushes a frame and waits (really) until the detector has taken a pass
// after it, told by the clock's waits.
void PushAndPass(camtest::FakeClock& clock, StreamFifo& fifo, const std::vector<unsigned char>& f) {
    fifo.Push(f.data(), f.size());
    const size_t waits = clock.Waits().size();
    ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() >= waits + 2; }));
}

}  // namespace

TEST(StreamFifoLoop, IpuxMotionFromTheNewestFrameAndQuietWithoutOne) {
    camtest::FakeClock clock;
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetAPI("ipux5m");
    DET_BASE_ATTR a = rig.Attr();
    a.streamFifoHdl = StreamFifoHandler(&rig.fifo);
    camtest::StatusHistory log;
    log.Attach(rig.buf);
    IpuxStmFifoMD det(a);
    EXPECT_EQ(100, det.GetLevelScale());
    det.SetMDParam(0, 50, 0, 0);
    // Two frames before the start: the first pass reads the newest.
    rig.fifo.Push(IpuxFrame(20, 0).data(), 64);
    rig.fifo.Push(IpuxFrame(60, 0).data(), 64);
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return log.Get().size() >= 3; }));
    PushAndPass(clock, rig.fifo, IpuxFrame(40, 0));
    det.Stop();
    const camtest::States md = log.Get();
    EXPECT_EQ(std::make_pair(true, 60), md[0]);
    // Passes without a new frame are quiet; the next frame is read once.
    size_t at40 = 1;
    while (at40 < md.size() && md[at40] == std::make_pair(false, 0)) ++at40;
    ASSERT_LT(at40, md.size());
    EXPECT_GE(at40, 3u);
    EXPECT_EQ(std::make_pair(false, 40), md[at40]);  // not above key 3
    for (size_t i = at40 + 1; i < md.size(); ++i) EXPECT_EQ(std::make_pair(false, 0), md[i]) << i;
    // Paced once a second.
    for (int64_t w : clock.Waits()) EXPECT_EQ(1000, w);
}

TEST(StreamFifoLoop, IpuxInputsOnlyAfterATestedFrameUntilTheStreamIsLost) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    CameraRig rig;
    rig.UseClock(clock);
    rig.cap.SetAPI("ipuxfw1");
    rig.cap.SetDICnt(3);
    DET_BASE_ATTR a = rig.Attr(true);
    a.streamFifoHdl = StreamFifoHandler(&rig.fifo);
    IpuxStmFifoDI det(a);
    StopOnExit stop{det};
    EXPECT_EQ(DET_TYPE_DI, det.GetDetType());
    EXPECT_EQ(255, IpuxStmFifoMD(a).GetLevelScale());  // only "ipux5m" reports 0..100
    ASSERT_EQ(0, det.Start());
    // Passes without frames report nothing.
    ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() == 1; }));
    EXPECT_EQ(0, rig.bufMap.GetUpdateCount());
    rig.fifo.Push(IpuxFrame(0, 0x02).data(), 64);
    Pass(clock, 1000);
    for (int port = 0; port < 3; ++port) EXPECT_TRUE(rig.bufMap.GetTrig(port)) << port;
    EXPECT_EQ(3, rig.bufMap.GetUpdateCount());
    // The camera's last frame holds the inputs for the time-out, no longer.
    Pass(clock, 8000);
    Pass(clock, 1000);
    EXPECT_EQ(3, rig.bufMap.GetUpdateCount());
    Pass(clock, 1000);
    for (int port = 0; port < 3; ++port) EXPECT_FALSE(rig.bufMap.GetTrig(port)) << port;
    EXPECT_EQ(6, rig.bufMap.GetUpdateCount());
    Pass(clock, 1000);
    EXPECT_EQ(6, rig.bufMap.GetUpdateCount()) << "reset once";
    det.Stop();
    for (int port = 0; port < 3; ++port) EXPECT_FALSE(rig.bufMap.GetTrig(port)) << port;
}

TEST(StreamFifoLoop, WithoutAFifoTheDetectorDoesNotRun) {
    camtest::FakeClock clock;
    LogCapture logs;
    CameraRig rig;
    rig.UseClock(clock);
    rig.buf.SetStatus(true, 100);
    StarDotStmFifoMD det(rig.Attr());  // no FIFO handler
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return !rig.buf.GetTrig(); }));
    det.Stop();
    EXPECT_TRUE(clock.Waits().empty());
}
