// The RTP header-extension transport over a scripted shared fetcher.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camdet/transport/rtphdrdetector.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedrtpfetch.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testutil.h"

namespace {

// Motion-style test: triggered by "ON", level the extension's length. Input
// test: port p is triggered by "IN<p>" and then sets the level to 1.
class ProbeRtp : public RtpHdrDetector {
public:
    ProbeRtp(DET_BASE_ATTR a, int kind, const std::string& path = std::string(), int port = 0, int pathRc = 0)
        : RtpHdrDetector(a), m_Path(path), m_Port(port), m_PathRc(pathRc) {
        LinkShareDet(kind);
    }
    int GetPathPort(std::string& path, int& port) override {
        path = m_Path;
        port = m_Port;
        return m_PathRc;
    }
    bool IsTrig(char* data, unsigned int len, int& value) override {
        const std::string text(data ? data : "", len);
        seen.Note(text);
        value = (int)len;
        return text.find("ON") != std::string::npos;
    }
    bool IsTrig(int port, char* data, unsigned int len, int& value) override {
        const std::string text(data ? data : "", len);
        if (port == 0) seen.Note(text);
        if (text.find("IN" + std::to_string(port)) == std::string::npos) return false;
        value = 1;
        return true;
    }
    camtest::Journal seen;  // what the tests were handed

private:
    std::string m_Path;
    int m_Port;
    int m_PathRc;
};

using camtest::States;
using camtest::StatusHistory;

class RtpTransport : public ::testing::Test {
protected:
    RtpTransport() { rig.med.camId = 7; }
    DET_BASE_ATTR SharedAttr(bool withMap = false) {
        DET_BASE_ATTR a = rig.Attr(withMap);
        a.rtpFetchHdl = RtpFetchHandler(&fetch);
        return a;
    }
    // Runs det until the script is used up and one more pass has found nothing.
    void RunScript(DetectorBase& det) {
        ASSERT_EQ(0, det.Start());
        ASSERT_TRUE(WaitFor([&] { return fetch.Left() == 0; }));
        const int after = fetch.Get(fetch.curLenCalls);
        ASSERT_TRUE(WaitFor([&] { return fetch.Get(fetch.curLenCalls) > after; }));
        det.Stop();
    }

    camtest::FakeClock clock;
    SharingReset sharing;
    LogCapture log;
    CameraRig rig{clock};
    ScriptedRtpFetch fetch;
};

TEST_F(RtpTransport, SharedFetcherIsSampledEveryPass) {
    StatusHistory h;
    h.Attach(rig.buf);
    fetch.Packet("ON");
    fetch.Failure();
    fetch.Failure();
    fetch.Packet("ON2");
    fetch.Packet("off");
    fetch.NoExtension();
    ProbeRtp det(SharedAttr(), DET_TYPE_MD);
    RunScript(det);

    // A fetcher without a current packet has lost the stream: the alarm is
    // cleared once, however long that lasts (here also when the script ends);
    // a packet without an extension is sampled as an empty one; the stop
    // clears the status.
    const States want = {{true, 2}, {false, 0}, {true, 3}, {false, 3}, {false, 0}, {false, 0}, {false, 0}};
    EXPECT_EQ(want, h.Get());
    const std::vector<std::string> seen = det.seen.Get();
    EXPECT_EQ((std::vector<std::string>{"ON", "ON2", "off", ""}), seen);
    // The shared fetcher is only sampled: one pause per pass, no back-off, and
    // it is never told of failures (they are not its own).
    for (int64_t w : clock.Waits()) EXPECT_EQ(RtpHdrDetector::kPassPauseMs, w);
    EXPECT_EQ(0, fetch.Get(fetch.failedCalls));
    EXPECT_EQ(0, fetch.Get(fetch.waitCalls));
}

TEST_F(RtpTransport, FollowersOfOtherKindsGetTheSameExtension) {
    rig.cap.SetDICnt(3);
    StatusHistory md, di;
    md.Attach(rig.buf);
    di.Attach(rig.bufMap);
    CountingEventBuf tdBuf;
    StatusHistory td;
    td.Attach(tdBuf);
    fetch.Packet("ON IN1");
    fetch.NoExtension();

    ProbeRtp owner(SharedAttr(), DET_TYPE_MD);
    ProbeRtp input(SharedAttr(true), DET_TYPE_DI);
    DET_BASE_ATTR tdAttr = SharedAttr();
    tdAttr.evtBufHdl = EventBufHandler(&tdBuf);
    ProbeRtp tamper(tdAttr, DET_TYPE_TD);
    ASSERT_EQ(0, input.Start());
    ASSERT_EQ(0, tamper.Start());
    RunScript(owner);

    EXPECT_EQ(States({{true, 6}, {false, 0}}), md.Get(2));
    EXPECT_EQ(States({{true, 6}, {false, 0}}), td.Get(2));
    // Every input is tested on every pass, the empty extension included; the
    // level is set once per pass, not per port; the lost stream (the script's
    // end) and the owner's exit clear them.
    EXPECT_EQ(States({{false, 0}, {false, 0}, {false, 0}, {false, 0}}), di.Port(0));
    EXPECT_EQ(States({{true, 1}, {false, 0}, {false, 0}, {false, 0}}), di.Port(1));
    EXPECT_EQ(States({{false, 1}, {false, 0}, {false, 0}, {false, 0}}), di.Port(2));
    // Followers never fetch: they test exactly what the owner read.
    EXPECT_EQ(owner.seen.Get(), tamper.seen.Get());
    input.Stop();
    tamper.Stop();
}

// One fetch per script entry, from an own fetcher and from a shared one: an
// own fetcher's packet without an extension is no data (not an empty
// extension), the buffer grows to the longest extension and never shrinks.
TEST_F(RtpTransport, OneFetchFromAnOwnOrASharedFetcher) {
    struct Case {
        bool shared;
        int entry;  // 0: failure, 1: no extension, 2: the bytes
        const char* ext;
        __tag_RET_RTPHDR result;
        unsigned int cap;
    } cases[] = {
        {false, 2, "ABCD", RET_RTPHDR_OK, 4},   {false, 1, "", RET_RTPHDR_NO_DATA, 4},
        {false, 0, "", RET_RTPHDR_FAIL, 4},     {false, 2, "XY", RET_RTPHDR_OK, 4},
        {true, 1, "", RET_RTPHDR_OK, 4},        {true, 2, "123456", RET_RTPHDR_OK, 6},
    };
    ProbeRtp det(SharedAttr(), DET_TYPE_MD);
    RtpFetchHandler h(&fetch);
    char* buf = nullptr;
    unsigned int cap = 0;
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(i++);
        if (c.entry == 0) fetch.Failure();
        else if (c.entry == 1) fetch.NoExtension();
        else fetch.Packet(c.ext);
        unsigned int len = 99;
        EXPECT_EQ(c.result, det.FetchExtData(buf, cap, len, h, c.shared));
        EXPECT_EQ(c.cap, cap);
        if (c.result == RET_RTPHDR_OK) {
            EXPECT_EQ(std::string(c.ext), std::string(buf, len));
        }
    }
    delete[] buf;
}

TEST_F(RtpTransport, SetUpChecksKeepTheLoopFromRunning) {
    struct Case {
        const char* what;
        int protocol;
        bool withFetcher;
        std::string path;
        int port;
        int pathRc;
    } cases[] = {
        {"stream protocol not RTP over RTSP", 2, true, "", 0, 0},
        {"no path", 1, true, "", 0, -1},
        {"no shared fetcher from the recorder", 1, false, "", 0, 0},
        {"an own fetcher the factory refuses", 1, true, "live", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CameraRig r;
        r.med.camId = 7;
        r.med.streamProtocol = c.protocol;
        DET_BASE_ATTR a = r.Attr();
        if (c.withFetcher) a.rtpFetchHdl = RtpFetchHandler(&fetch);
        {
            ProbeRtp det(a, DET_TYPE_MD, c.path, c.port, c.pathRc);
            ASSERT_EQ(0, det.Start());
            // The thread ends by itself; Stop joins it.
            ASSERT_EQ(0, det.Stop());
        }
        // The status is not touched and the fetcher not asked.
        EXPECT_EQ(0, r.buf.GetUpdateCount());
        EXPECT_EQ(0, fetch.Get(fetch.curLenCalls));
        SharingReset::Clear();
    }
}

// A fetcher of the detector's own (its own path and port: the video track)
// whose camera refuses the connection: each failed fetch drops the session
// and backs off 5 s before the pass pause; nothing reaches the tests.
TEST_F(RtpTransport, AnOwnFetcherBacksOffAfterEachFailedFetch) {
    ProbeRtp det(rig.Attr(), DET_TYPE_MD, "live", camtest::FreeLoopbackPort());
    ASSERT_EQ(0, det.Start());
    ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() >= 12; }));
    det.Stop();
    const std::vector<int64_t> pass = {1000, 1000, 1000, 1000, 1000, RtpHdrDetector::kPassPauseMs};
    const std::vector<int64_t> waits = clock.Waits();
    EXPECT_EQ(pass, std::vector<int64_t>(waits.begin(), waits.begin() + 6));
    EXPECT_EQ(pass, std::vector<int64_t>(waits.begin() + 6, waits.begin() + 12));
    EXPECT_EQ(std::string::npos, log.Text().find("Failed to new RtpFetcher")) << log.Text();
    EXPECT_TRUE(det.seen.Get().empty());
}

}  // namespace
