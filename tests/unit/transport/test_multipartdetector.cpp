// The multipart transport with the recorder's real fetcher over scripted
// streams. One stream shared by every kind: FamilyEndToEnd's hikvision_isapi row.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <tuple>
#include <vector>

#include "camdet/transport/multipartdetector.h"
#include "camdet/transport/mpvendordetector.h"
#include "host/net/healthservices.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/mfscript.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testutil.h"

namespace {

// Records what the transport hands to a vendor test.
class ProbeDetector : public MultipartDetector {
public:
    ProbeDetector(DET_BASE_ATTR a, int mode = 0, HTTP_VERSION v = HTTP_VER_DEF, int kind = 0)
        : MultipartDetector(a, 1, v) {
        m_BodyMode = mode;
        if (kind) m_DetType = kind;
    }
    int GetPathPort(std::string& path, int& port) override {
        path = "/probe";
        port = 8080;
        return 0;
    }
    struct Seen {
        unsigned int size;
        std::string text;      // up to the first zero byte
        bool zeroAfterText;    // every byte after the text, up to and including buf[size], is zero
    };
    bool IsTrig(char* buf, unsigned int size, int& level) override {
        Seen s;
        s.size = size;
        s.text = std::string(buf, strnlen(buf, size));
        s.zeroAfterText = true;
        for (unsigned int i = (unsigned int)s.text.size(); i <= size; ++i) s.zeroAfterText &= buf[i] == 0;
        std::lock_guard<std::mutex> g(m_SeenMutex);
        m_Seen.push_back(s);
        level = 42;
        return s.text.find("motion=1") != std::string::npos;
    }
    bool IsTrig(int port, char*, unsigned int, int& level) override {
        ++diCalls;
        level = 1;
        return port == 0;
    }
    std::vector<Seen> SeenParts() {
        std::lock_guard<std::mutex> g(m_SeenMutex);
        return m_Seen;
    }
    std::atomic<int> diCalls{0};

private:
    std::mutex m_SeenMutex;
    std::vector<Seen> m_Seen;
};

using camtest::StatusHistory;

// A HikVision alert part from tests/data/hikvision/.
std::string HikPart(const char* file) {
    return MFPart(camtest::TestData(std::string("hikvision/") + file),
                  "Content-Type: application/xml; charset=\"UTF-8\"\r\n");
}

class MultipartTransport : public ::testing::Test {
protected:
    camtest::FakeClock clock;  // the pause after a failed part costs no real time
    SharingReset sharing;
    LogCapture log;
    MFScriptScope scope;
    CameraRig rig;
    void SetUp() override { rig.UseClock(clock); }
};

// The fetcher is opened with the row's path, port, time-out, HTTP version and
// the camera's login (which never reaches the log).
TEST_F(MultipartTransport, BufferGrowsToTheLargestPartAndNeverShrinks) {
    scope.script->Add(MFConn({MFPart(std::string(100, 'a')), MFPart("motion=1" + std::string(2992, 'b')),
                              MFPart("motion=0"), MFPart(std::string(1024, 'c'))}));
    rig.med.user = "admin";
    rig.med.password = "s3cret";
    ProbeDetector det(rig.Attr(), 0, HTTP_VER_1_1);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return det.SeenParts().size() >= 4; }));
    det.Stop();
    // The size stays at 3000 for later, smaller parts; a test that reads its
    // whole capacity still finds a terminator.
    std::vector<unsigned int> sizes;
    std::vector<std::string> texts;
    for (const auto& s : det.SeenParts()) {
        sizes.push_back(s.size);
        texts.push_back(s.text);
        EXPECT_TRUE(s.zeroAfterText);
    }
    EXPECT_EQ(sizes, (std::vector<unsigned int>{1024, 3000, 3000, 3000}));
    EXPECT_EQ(texts, (std::vector<std::string>{std::string(100, 'a'), "motion=1" + std::string(2992, 'b'), "motion=0",
                                               std::string(1024, 'c')}));
    ASSERT_EQ(scope.script->Connects().size(), 1u);
    const MF_CONNECT_INFO i = scope.script->Connects()[0];
    EXPECT_EQ(std::tie(i.path, i.host, i.user, i.password), std::make_tuple("/probe", "127.0.0.1", "admin", "s3cret"));
    EXPECT_EQ(std::tie(i.port, i.timeoutSec, i.version), std::make_tuple(8080, 1, HTTP_VER_1_1));
    EXPECT_EQ(log.Text().find("s3cret"), std::string::npos);
}

// A row whose path comes from the camera API tells it the stream protocol
// first (IPUX rows always 2, the "only" rows nothing).
TEST_F(MultipartTransport, RowPathsFromTheCameraApi) {
    const struct {
        MP_PATH_SRC src;
        int protocol;  // what the API was told (-1: not asked)
    } cases[] = {{MP_PATH_CAM_API, 1}, {MP_PATH_CAM_API_IPUX, 2}, {MP_PATH_CAM_API_ONLY, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.src);
        CameraRig r;
        r.cap.SetAPI("hikvisionv3");
        const MpRow row = MpMotion(c.src, nullptr);  // the detector keeps a reference to its row
        MpVendorDetector det(r.Attr(), row, DetArgs());
        std::string path;
        int port = -1;
        EXPECT_EQ(0, det.GetPathPort(path, port));
        if (c.protocol >= 0) {
            EXPECT_EQ(c.protocol, r.api.GetStreamProtocol());
        }
        EXPECT_FALSE(path.empty());
    }
}

TEST_F(MultipartTransport, BodyModesLeaveHeaderLinesInTheBuffer) {
    const std::string jpeg("\xff\xd8\xff\xe0JFIF\x00\x01", 10);
    struct {
        int mode;
        std::string headers;
        std::string body;
        std::string seen;
    } rows[] = {
        {0, "Content-Type: image/jpeg\r\nPragma: trigger=input\r\n", "motion=1", "motion=1"},
        {1, "Content-Type: image/jpeg\r\nmotion-event: 1\r\n", jpeg,
         "Content-Type:image/jpeg\nmotion-event:1\nContent-Length:10\n"},
        {2, "Content-Type: image/jpeg\r\nPragma:  trigger=input \r\n", jpeg, "Pragma: trigger=input\n"},
        // "noimage" streams: headers only, no body bytes at all.
        {2, "Pragma: trigger=motion\r\n", "", "Pragma: trigger=motion\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.mode);
        MFScriptScope local;
        local.script->Add(MFConn({MFPart(r.body, r.headers)}));
        ProbeDetector det(rig.Attr(), r.mode);
        det.Start();
        ASSERT_TRUE(WaitFor([&] { return !det.SeenParts().empty(); }));
        det.Stop();
        EXPECT_EQ(det.SeenParts()[0].text, r.seen);
    }
}

TEST_F(MultipartTransport, FetcherNeverWritesPastTheLengthItReported) {
    MultipartFetcher f(BrellinOwned::DefaultCameraServices());
    char path[] = "/p", host[] = "127.0.0.1", user[] = "", pass[] = "";
    const std::string longHeader = "X-Long-Header: " + std::string(300, 'h') + "\r\n";
    scope.script->Add(MFConn({MFPart("ab", "Pragma: trigger=input\r\n" + longHeader)}));
    f.Open(path, host, 80, user, pass, 1, 1);
    unsigned int len = 0;
    char text[128];
    int bodyLen = -1;
    ASSERT_EQ(f.NextPart(len, text, sizeof(text), bodyLen), 0);
    EXPECT_EQ(bodyLen, 2);
    std::vector<unsigned char> buf(len + 16, 0xEE);
    EXPECT_NE(f.ReadPart(buf.data(), len + 1), 0);  // more than reported
    ASSERT_EQ(f.ReadPart(buf.data(), len), 0);
    EXPECT_EQ(buf[0], 'a');
    ASSERT_EQ(f.PartHeaders(buf.data()), 0);
    ASSERT_EQ(f.PartPragma(buf.data()), 0);
    for (size_t i = len; i < buf.size(); ++i) ASSERT_EQ(buf[i], 0xEE) << i;
    EXPECT_STREQ(reinterpret_cast<char*>(buf.data()), "Pragma: trigger=input\n");
}

TEST_F(MultipartTransport, DiWithoutPortsReportsNothingAndFailuresResetPorts) {
    rig.cap.SetDICnt(0);
    scope.script->Add(MFConn({MFPart("a"), MFPart("b")}));
    {
        ProbeDetector det(rig.Attr(true), 0, HTTP_VER_DEF, DET_TYPE_DI);
        det.Start();
        ASSERT_TRUE(WaitFor([&] { return scope.script->Connects().size() >= 1; }));
        det.Stop();
        EXPECT_EQ(det.diCalls, 0);
        EXPECT_EQ(rig.bufMap.GetUpdateCount(), 0);
    }
    rig.cap.SetDICnt(2);
    ProbeDetector det(rig.Attr(true), 0, HTTP_VER_DEF, DET_TYPE_DI);
    DET_UNIT failed;
    failed.state = DET_UNIT_FAILED;
    det.ReportUnit(failed);  // a failed read: every port reset
    EXPECT_EQ(rig.bufMap.GetUpdateCount(), 2);
    EXPECT_FALSE(rig.bufMap.GetTrig(0));
}

// Motion and input 2 active, then the stream drops and comes back carrying
// only heartbeats: neither the held motion nor the held input may rise again,
// since the camera has not said them again.
TEST_F(MultipartTransport, HeldStatesFromBeforeADropAreNotReportedAgain) {
    rig.cap.SetAPI("hikvisionv3");
    rig.cap.SetDICnt(2);
    StatusHistory mdH, diH;
    mdH.Attach(rig.buf);
    diH.Attach(rig.bufMap);
    scope.script->Add(MFConn({HikPart("vmd_active.xml"), HikPart("io2_active.xml")}, MFScriptedConn::FAIL));
    scope.script->Add(MFConn(std::vector<std::string>(12, HikPart("heartbeat.xml"))));

    CameraRig di;
    std::unique_ptr<CamDetector> md = MakeFor("hikvisionv3", DET_TYPE_MD, rig.Attr());
    DET_BASE_ATTR diAttr = rig.Attr(true);
    diAttr.evtBufHdl = EventBufHandler(&di.buf);
    std::unique_ptr<CamDetector> dDI = MakeFor("hikvisionv3", DET_TYPE_DI, diAttr);
    ASSERT_EQ(dDI->Start(), 0);
    ASSERT_EQ(md->Start(), 0);
    // Two parts, the drop, then twelve heartbeats on the new connection: more
    // than the ten parts a held state survives.
    ASSERT_TRUE(WaitFor([&] { return scope.script->Connects().size() >= 2 && mdH.Get().size() >= 15; }));
    md->Stop();
    dDI->Stop();
    std::vector<std::pair<bool, int> > changes = mdH.Changes();
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(changes[0], std::make_pair(true, 100));
    EXPECT_EQ(std::count(changes.begin(), changes.end(), std::make_pair(true, 100)), 1)
        << "motion rose again after the reconnect";
    std::vector<bool> port1;  // every report of input 2
    for (const auto& s : diH.Port(1)) port1.push_back(s.first);
    auto rise = std::find(port1.begin(), port1.end(), true);
    ASSERT_NE(rise, port1.end()) << "input 2 never rose";
    auto fall = std::find(rise, port1.end(), false);
    ASSERT_NE(fall, port1.end()) << "input 2 was not cleared by the drop";
    EXPECT_EQ(std::find(fall, port1.end(), true), port1.end()) << "input 2 rose again after the reconnect";
}

// How a stream ends, with the motion on before and after: one the camera cut
// off makes it unreachable before the "no alarm" this causes; one it ended
// between parts (and serves again at once) keeps the status and the camera
// ok, so that a motion that stayed on is never shown off and on again.
TEST_F(MultipartTransport, HowAStreamEndsIsToldBeforeWhatItCauses) {
    const std::vector<std::string> ok = {"ok", "on"}, lost = {"ok", "on", "unreachable", "off", "ok", "on"};
    const std::string on = MFPart("motion=1");
    struct {
        const char* name;
        std::vector<std::string> chunks;
        MFScriptedConn::End end;
        std::vector<std::string> seen;  // health states and statuses, repeats collapsed
        bool refused = false;           // the connection itself
    } rows[] = {
        {"ended between parts", {on}, MFScriptedConn::CLOSE, ok},
        {"ended by its closing delimiter", {on + "--boundary--\r\n"}, MFScriptedConn::CLOSE, ok},
        {"cut off mid-part", {on, "--boundary\r\nContent-Length: 50\r\n\r\nmotion=1 and"}, MFScriptedConn::CLOSE,
         lost},
        {"reset", {on}, MFScriptedConn::FAIL, lost},
        {"stalled", {on}, MFScriptedConn::STALL, lost},
        {"ended before its first part", {}, MFScriptedConn::CLOSE, {"error", "off", "ok", "on"}},
        // The scripted fetcher refuses before any socket: no health of its own, only the status.
        {"refused", {}, MFScriptedConn::CLOSE, {"off", "ok", "on"}, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        MFScriptScope script;
        MFScriptedConn back = MFConn({on});
        back.stallMs = 60000;  // released before the stop
        MFScriptedConn first = MFConn(r.chunks, r.end);
        if (r.refused) first.connectRc = -1;
        script.script->Add(first);
        script.script->Add(back);
        BrellinOwned::HealthServices watched(*rig.services);
        rig.api.SetServices(&watched);
        camtest::Journal seen;
        watched.Health()->SetListener([&](const BrellinOwned::CAM_HEALTH_REPORT& rep) {
            seen.Note(BrellinOwned::CamHealthName(rep.state), true);
        });
        rig.buf.SetListener([&](bool t, int) { seen.Note(t ? "on" : "off", true); });
        ProbeDetector det(rig.Attr());
        ASSERT_EQ(det.Start(), 0);
        const size_t parts = 1 + std::count_if(r.chunks.begin(), r.chunks.end(),
                                               [&](const std::string& c) { return c.compare(0, on.size(), on) == 0; });
        // The status a part brings is reported after the part is tested.
        EXPECT_TRUE(WaitFor([&] { return det.SeenParts().size() >= parts && seen.Get().size() >= r.seen.size(); }));
        const std::vector<std::string> got = seen.Get();
        rig.buf.SetListener(nullptr);
        script.script->Release();
        det.Stop();
        watched.Health()->SetListener(nullptr);
        rig.api.SetServices(rig.services.get());
        EXPECT_EQ(got, r.seen);
        for (const auto& s : det.SeenParts()) EXPECT_EQ(s.text, "motion=1");  // a cut part never reaches the test
    }
}

TEST_F(MultipartTransport, AGigabytePartIsAFailureNotAnAllocation) {
    StatusHistory h;
    h.Attach(rig.buf);
    scope.script->Add(
        MFConn({MFPart("motion=1"), "--boundary\r\nContent-Length: 1073741824\r\n\r\n", std::string(4096, 'x')}));
    scope.script->Add(MFConn({"\x01\x02 junk\r\n\r\n<html>not a part</html>\r\n" + MFPart("motion=1")}));
    ProbeDetector det(rig.Attr());
    det.Start();
    ASSERT_TRUE(WaitFor([&] { return scope.script->Connects().size() >= 2 && det.SeenParts().size() >= 2; }, 10000));
    det.Stop();
    for (const auto& s : det.SeenParts()) EXPECT_LE(s.size, 1024u);
    EXPECT_TRUE(h.Contains({{true, 42}, {false, 0}, {true, 42}}));
}

}  // namespace
