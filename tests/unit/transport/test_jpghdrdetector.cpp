// The JPEG-header transport on real JPEG files, and its loops over the
// recorder's stream FIFO and media fetch.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <new>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camdet/transport/jpghdrdetector.h"
#include "camdet/transport/jpgvendordetector.h"
#include "host/media/streamfifo.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/mfscript.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"

namespace {

std::vector<unsigned char> ReadJpeg(const std::string& name) {
    std::ifstream in(std::string(CAMDET_TEST_DATA) + "/jpeg/" + name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const int kAxisIds[] = {0x0A, 0x03};

// The next nothrow array allocation of exactly this many bytes fails (0: none).
std::atomic<size_t> g_FailNothrowNewOf{0};

}  // namespace

// The transport's buffers come from nothrow new[]: this lets one of them fail.
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    size_t armed = n;
    if (n != 0 && g_FailNothrowNewOf.compare_exchange_strong(armed, 0)) return nullptr;
    try {
        return ::operator new[](n);
    } catch (...) {
        return nullptr;
    }
}

namespace {

// Records what the transport hands to the vendor tests.
class ProbeJpg : public JpgHdrDetector {
public:
    ProbeJpg(DET_BASE_ATTR a, int marker, bool byFifo, int kind = 0) : JpgHdrDetector(a, marker, byFifo) {
        if (kind) LinkShareDet(kind);
    }
    int GetPathPort(std::string& path, int& port) override {
        path = "/video.mjpg";
        port = 8080;
        return pathRc;
    }
    bool IsTrig(char* p, unsigned int n, int& value) override {
        std::lock_guard<std::mutex> g(m);
        payloads.push_back(std::string(p, n));
        value = 77;
        return std::string(p, n).find("M0:1") != std::string::npos;
    }
    bool IsTrig(int port, char*, unsigned int, int& value) override {
        std::lock_guard<std::mutex> g(m);
        ports.push_back(port);
        value = 1;
        return port == 1;
    }
    size_t Payloads() {
        std::lock_guard<std::mutex> g(m);
        return payloads.size();
    }
    std::mutex m;
    std::vector<std::string> payloads;
    std::vector<int> ports;
    int pathRc = 0;
};

class JpgHdrTransport : public ::testing::Test {
protected:
    SharingReset sharing;
    LogCapture log;
    CameraRig rig;

    // Detect over a heap copy of exactly the bytes, so that a read beyond
    // them shows under the address sanitizer.
    int Run(ProbeJpg& det, const std::vector<unsigned char>& img, std::string& payload) {
        std::unique_ptr<char[]> copy(new char[img.size() ? img.size() : 1]);
        std::copy(img.begin(), img.end(), copy.get());
        char* out = nullptr;
        unsigned int cap = 0, len = 0;
        int rc = det.Detect(copy.get(), (unsigned int)img.size(), out, cap, len);
        payload = rc == 0 ? std::string(out, len) : std::string();
        delete[] out;
        return rc;
    }
};

TEST_F(JpgHdrTransport, DetectPicksTheWantedSegment) {
    const std::string id("\x0a\x03", 2);
    struct {
        const char* file;
        int marker;
        bool ids;
        int rc;
        std::string payload;
    } cases[] = {
        {"axis_comment.jpg", 0xFE, true, 0, id + "M0:1;ML0:050;M1:0;ML1:030;T0:1;A0:0;IO0:0;IO1:1;"},
        {"axis_second_comment.jpg", 0xFE, true, 0, id + "M0:0;ML0:020;T0:0;A0:1;IO0:1;"},
        {"axis_second_comment.jpg", 0xFE, false, 0, "encoder 5.40"},
        {"axis_no_dataid.jpg", 0xFE, true, -1, ""},
        {"axis_no_dataid.jpg", 0xFE, false, 0, "M0:1;ML0:050;T0:1;"},
        {"no_markers.jpg", 0xFE, false, -1, ""},
        {"vivotek_app0.jpg", 0xE0, false, 0, std::string("VVTK\0\0\x01\x05", 8)},
        {"vivotek_app2.jpg", 0xE0, false, -1, ""},
        {"basler_app1.jpg", 0xE1, false, 0, "Frame 12\r\nMotion level (0-99) 42\r\nAlarm = 1\r\nIO=:1\r\n"},
        {"basler_app1.jpg", 0xE2, false, -1, ""},
        // JFIF is an APP0 segment too: the first APP0 is what is read.
        {"basler_app1.jpg", 0xE0, false, 0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14)},
        // Not an APPn or COM code: libjpeg refuses to save it, a failure and no crash.
        {"axis_comment.jpg", 0xC4, false, -1, ""},
    };
    for (const auto& c : cases) {
        ProbeJpg det(rig.Attr(), c.marker, true);
        if (c.ids) det.SetDataIds(kAxisIds, 2);
        std::string payload;
        const std::vector<unsigned char> img = ReadJpeg(c.file);
        ASSERT_FALSE(img.empty()) << c.file;
        EXPECT_EQ(Run(det, img, payload), c.rc) << c.file << " marker " << c.marker;
        EXPECT_EQ(payload, c.payload) << c.file << " marker " << c.marker;
    }
}

TEST_F(JpgHdrTransport, LargestSegmentIsCopiedWholeAndTheBufferOnlyGrows) {
    ProbeJpg det(rig.Attr(), 0xFE, true);
    det.SetDataIds(kAxisIds, 2);
    std::vector<unsigned char> big = ReadJpeg("max_comment.jpg"), small = ReadJpeg("axis_comment.jpg");
    char* out = nullptr;
    unsigned int cap = 0, len = 0;
    ASSERT_EQ(det.Detect(reinterpret_cast<char*>(big.data()), (unsigned int)big.size(), out, cap, len), 0);
    EXPECT_EQ(len, 65533u);
    EXPECT_EQ(cap, 65533u);
    EXPECT_EQ(std::string(out + 2, 13), "M0:1;ML0:090;");
    EXPECT_EQ(out[len - 1], 'x');
    char* kept = out;
    ASSERT_EQ(det.Detect(reinterpret_cast<char*>(small.data()), (unsigned int)small.size(), out, cap, len), 0);
    EXPECT_EQ(out, kept);
    EXPECT_EQ(cap, 65533u);
    EXPECT_LT(len, 100u);
    delete[] out;
}

// The first segment with the data id is the camera's: when there is no room
// for it, a later one is not read in its place.
TEST_F(JpgHdrTransport, NoRoomForTheDataSegmentIsNoData) {
    const std::vector<unsigned char> img = ReadJpeg("axis_comment.jpg");
    ASSERT_GE(img.size(), 2u);
    const std::string data = std::string("\x0a\x03", 2) + std::string(500, 'z');  // 502 bytes after the length
    std::vector<unsigned char> two(img.begin(), img.begin() + 2);                  // SOI
    const size_t segLen = data.size() + 2;
    const std::string seg = std::string("\xff\xfe", 2) + char(segLen >> 8) + char(segLen & 0xff) + data;
    two.insert(two.end(), seg.begin(), seg.end());
    two.insert(two.end(), img.begin() + 2, img.end());
    ProbeJpg det(rig.Attr(), 0xFE, true);
    det.SetDataIds(kAxisIds, 2);
    std::string payload;
    ASSERT_EQ(Run(det, two, payload), 0);
    EXPECT_EQ(payload, data);
    g_FailNothrowNewOf = data.size();
    EXPECT_EQ(Run(det, two, payload), -1);
    EXPECT_EQ(g_FailNothrowNewOf, 0u);  // the segment's copy was the one refused
}

TEST_F(JpgHdrTransport, DataIdPrefix) {
    ProbeJpg det(rig.Attr(), 0xFE, true);
    const int longer[] = {0x0A, 0x03, 'M', '0', ':', '1', ';', 'M', 'L', '0', ':', '0', '5', '0', ';', 'M', '1',
                          ':', '0', ';', 'M', 'L', '1', ':', '0', '3', '0', ';', 'T', '0', ':', '1', ';', 'A', '0',
                          ':', '0', ';', 'I', 'O', '0', ':', '0', ';', 'I', 'O', '1', ':', '1', ';', '!'};
    std::string payload;
    // A prefix as long as the payload matches; one byte longer never does.
    det.SetDataIds(longer, sizeof(longer) / sizeof(longer[0]) - 1);
    EXPECT_EQ(Run(det, ReadJpeg("axis_comment.jpg"), payload), 0);
    det.SetDataIds(longer, sizeof(longer) / sizeof(longer[0]));
    EXPECT_EQ(Run(det, ReadJpeg("axis_comment.jpg"), payload), -1);
}

TEST_F(JpgHdrTransport, TruncatedFramesAtEveryOffset) {
    ProbeJpg det(rig.Attr(), 0xFE, true);
    det.SetDataIds(kAxisIds, 2);
    const std::vector<unsigned char> img = ReadJpeg("axis_second_comment.jpg");
    std::string whole;
    ASSERT_EQ(Run(det, img, whole), 0);
    // Where the wanted segment ends: the header up to it must be there.
    const std::string tail(whole.end() - 6, whole.end());
    const size_t segEnd = std::string(img.begin(), img.end()).find(tail) + tail.size();
    for (size_t cut = 0; cut < img.size(); ++cut) {
        std::string payload;
        const int rc = Run(det, std::vector<unsigned char>(img.begin(), img.begin() + cut), payload);
        // A frame cut short is no data (an empty one is no frame at all).
        if (cut < segEnd) {
            EXPECT_EQ(rc, cut == 0 ? -1 : JpgHdrDetector::kDetectNoFrame) << "cut at " << cut;
        }
        // Past the segment, libjpeg still wants the frame header up to the scan.
        if (rc == 0) {
            EXPECT_EQ(payload, whole) << "cut at " << cut;
        }
    }
}

TEST_F(JpgHdrTransport, CorruptAndForeignBytes) {
    ProbeJpg det(rig.Attr(), 0xFE, true);
    det.SetDataIds(kAxisIds, 2);
    const std::vector<unsigned char> img = ReadJpeg("axis_comment.jpg");
    int ok = 0;
    for (size_t i = 0; i < img.size(); ++i) {
        for (unsigned char v : {0x00, 0xFF, 0xD9}) {
            std::vector<unsigned char> bad = img;
            bad[i] = v;
            std::string payload;
            const int rc = Run(det, bad, payload);
            ASSERT_TRUE(rc == 0 || rc == -1 || rc == JpgHdrDetector::kDetectNoFrame);
            ok += rc == 0;
        }
    }
    EXPECT_GT(ok, 0);  // damage in the image data does not matter to the header
    std::string payload;
    const std::string text = "HTTP/1.0 200 OK\r\n\r\nnot a frame";
    EXPECT_EQ(Run(det, std::vector<unsigned char>(text.begin(), text.end()), payload), JpgHdrDetector::kDetectNoFrame);
    char* out = nullptr;
    unsigned int cap = 0, len = 0;
    EXPECT_EQ(det.Detect(nullptr, 10, out, cap, len), -1);
    EXPECT_EQ(det.Detect(reinterpret_cast<char*>(const_cast<unsigned char*>(img.data())), 0, out, cap, len), -1);
    EXPECT_NE(log.Text().find("Cam[1]: Wrong parameters!"), std::string::npos);
}

// A frame of tens of thousands of empty segments is no camera's: it is read
// up to a bound and is no data; a frame with a few before the wanted one is
// read as usual. (bench_jpeg prints what such frames cost.)
TEST_F(JpgHdrTransport, FramesOfManyEmptySegments) {
    const std::vector<unsigned char> img = ReadJpeg("axis_comment.jpg");
    std::string whole;
    ProbeJpg axis(rig.Attr(), 0xFE, true);
    axis.SetDataIds(kAxisIds, 2);
    ASSERT_EQ(Run(axis, img, whole), 0);
    ProbeJpg app1(rig.Attr(), 0xE1, true);
    struct {
        size_t empty;
        int code;  // of the empty segments
        ProbeJpg* det;
        int rc;
    } cases[] = {
        {80000, 0xFE, &axis, JpgHdrDetector::kDetectNoFrame},
        {80000, 0xE1, &app1, JpgHdrDetector::kDetectNoFrame},
        {80000, 0xE5, &axis, JpgHdrDetector::kDetectNoFrame},
        {100, 0xFE, &axis, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.empty) + " of " + std::to_string(c.code));
        std::vector<unsigned char> bomb(img.begin(), img.begin() + 2);
        for (size_t i = 0; i < c.empty; ++i) bomb.insert(bomb.end(), {0xFF, (unsigned char)c.code, 0x00, 0x02});
        bomb.insert(bomb.end(), img.begin() + 2, img.end());
        std::string payload;
        EXPECT_EQ(Run(*c.det, bomb, payload), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(payload, whole);
        }
    }
}

// Without a camera API there is no frame path to fetch from (a camera API
// without one: JpgVendors.PathsFromTheCameraApi).
TEST_F(JpgHdrTransport, NoVendorFramePathWithoutACameraApi) {
    std::string path;
    int port = -1;
    EXPECT_EQ(-1, JpgVendorDetector::DetPathPort(nullptr, path, port));
    EXPECT_EQ("", path);
}

// ---------------------------------------------------------------- loops

// A FIFO that counts the units it hands out.
class CountingFifo : public StreamFifo {
public:
    BRObjectBase* NextUnit(int pos) override {
        BRObjectBase* u = StreamFifo::NextUnit(pos);
        if (u) ++handed;
        return u;
    }
    std::atomic<int> handed{0};
};

// MANUAL clock: moves time on by ms and waits until the loop has made its
// next pass and waits again.
void Pass(camtest::FakeClock& clock, int64_t ms) {
    const size_t waits = clock.Waits().size();
    clock.Advance(ms);
    ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() > waits; }));
}

TEST_F(JpgHdrTransport, FifoFramesReachTheOwnerAndItsFollowers) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    rig.UseClock(clock);
    StreamFifo fifo;
    CameraRig rig2;  // same camera (same mediator values), other buffers
    DET_BASE_ATTR a = rig.Attr();
    a.streamFifoHdl = StreamFifoHandler(&fifo);
    DET_BASE_ATTR b = MakeAttr(&rig.med, &rig.api, &rig2.buf, &rig.bufMap, &rig.cap);
    b.streamFifoHdl = StreamFifoHandler(&fifo);
    rig.cap.SetDICnt(4);
    ProbeJpg owner(a, 0xFE, true, DET_TYPE_MD);
    ProbeJpg follower(b, 0xFE, true, DET_TYPE_DI);
    owner.SetDataIds(kAxisIds, 2);
    const std::vector<unsigned char> frame = ReadJpeg("axis_comment.jpg");
    ASSERT_TRUE(fifo.Push(frame.data(), frame.size()));
    ASSERT_EQ(follower.Start(), 0);
    ASSERT_EQ(owner.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return rig.buf.GetTrig() && owner.Payloads() >= 1; }));
    EXPECT_EQ(rig.buf.GetValue(), 77);
    ASSERT_TRUE(WaitFor([&] { return rig.bufMap.GetTrig(1); }));
    for (int i = 0; i < 3; ++i) Pass(clock, 100);
    owner.Stop();
    follower.Stop();
    // One frame: parsed once, however often the loop asked.
    EXPECT_EQ(owner.Payloads(), 1u);
    std::lock_guard<std::mutex> g(follower.m);
    ASSERT_GE(follower.ports.size(), 4u);
    EXPECT_EQ(std::vector<int>(follower.ports.begin(), follower.ports.begin() + 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(follower.payloads.empty());  // a DI detector asks only the per-input test
    EXPECT_FALSE(rig.buf.GetTrig());          // reset on the way out
}

// A frame that cannot be read says nothing: the status stays, as it does
// while the FIFO has nothing new, one period per attempt; once no frame that
// can be read came within the time-out, the stream is lost and the status
// cleared.
TEST_F(JpgHdrTransport, FifoFramesThatAreNoDataAndALostStream) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    rig.UseClock(clock);
    CountingFifo fifo;
    DET_BASE_ATTR a = rig.Attr();
    a.streamFifoHdl = StreamFifoHandler(&fifo);
    camtest::StatusHistory h;
    h.Attach(rig.buf);
    ProbeJpg det(a, 0xFE, true);
    StopOnExit stop{det};
    det.SetDataIds(kAxisIds, 2);
    const std::vector<unsigned char> on = ReadJpeg("axis_comment.jpg"), off = ReadJpeg("axis_second_comment.jpg");
    const std::string text(on.begin(), on.end());
    const std::vector<unsigned char> cut(on.begin(), on.begin() + text.find("M0:1") + 3);
    ASSERT_TRUE(fifo.Push(on.data(), on.size()));
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return h.Count() == 1; }));
    ASSERT_TRUE(fifo.Push(cut.data(), cut.size()));
    Pass(clock, 100);
    EXPECT_EQ(fifo.handed.load(), 2);
    ASSERT_TRUE(fifo.Push(off.data(), off.size()));
    Pass(clock, 100);
    ASSERT_TRUE(WaitFor([&] { return h.Count() == 2; }));
    Pass(clock, 9900);
    EXPECT_EQ(h.Count(), 2u) << "lost before the time-out";
    Pass(clock, 100);
    det.Stop();
    EXPECT_EQ(camtest::States({{true, 77}, {false, 77}, {false, 0}, {false, 0}}), h.Get());
    for (int64_t w : clock.Waits()) EXPECT_EQ(w, 100);
}

TEST_F(JpgHdrTransport, NoFifoNoLoop) {
    ProbeJpg det(rig.Attr(), 0xFE, true);
    ASSERT_EQ(det.DetMain(), 0);
    EXPECT_NE(log.Text().find("Cam[1]: Null stream fifo."), std::string::npos);
    EXPECT_EQ(det.Payloads(), 0u);
}

std::string JpegPart(const std::vector<unsigned char>& f) {
    return MFPart(std::string(f.begin(), f.end()), "Content-Type: image/jpeg\r\n", "myboundary");
}

// A camera's MJPEG stream: chunks, then the end.
MFScriptedConn Mjpeg(std::vector<std::string> chunks, MFScriptedConn::End end = MFScriptedConn::STALL) {
    MFScriptedConn c = MFConn(std::move(chunks), end);
    c.contentType = "multipart/x-mixed-replace; boundary=myboundary";
    return c;
}

TEST_F(JpgHdrTransport, FetchedFramesAndTheBackOffAfterAFailure) {
    camtest::FakeClock clock;
    rig.UseClock(clock);
    MFScriptScope scope;
    scope.script->Add(
        Mjpeg({JpegPart(ReadJpeg("no_markers.jpg")), JpegPart(ReadJpeg("axis_comment.jpg"))}, MFScriptedConn::FAIL));
    ProbeJpg det(rig.Attr(), 0xFE, false);
    det.SetDataIds(kAxisIds, 2);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return scope.script->Connects().size() >= 2; }));
    det.Stop();
    EXPECT_EQ(det.Payloads(), 1u);  // the frame without the segment reaches no test
    const std::vector<MF_CONNECT_INFO> conns = scope.script->Connects();
    EXPECT_EQ(conns[0].path, "/video.mjpg");
    EXPECT_EQ(conns[0].port, 8080);
    EXPECT_EQ(conns[0].host, "127.0.0.1");
    // After the stream failed: 10 s without a frame, then the 5 s back-off.
    std::vector<int64_t> w = clock.Waits();
    std::vector<int64_t> seconds;
    for (int64_t x : w)
        if (x == 1000) seconds.push_back(x);
    EXPECT_GE(seconds.size(), 15u);
}

// A stream the camera ends between two frames is no loss: the status stays
// until the next stream's frame speaks, instead of going off and on again.
TEST_F(JpgHdrTransport, AStreamTheCameraEndsKeepsTheStatus) {
    camtest::FakeClock clock;
    rig.UseClock(clock);
    MFScriptScope scope;
    MFScriptedConn back = Mjpeg({JpegPart(ReadJpeg("axis_comment.jpg"))});
    back.stallMs = 60000;  // released before the stop
    scope.script->Add(Mjpeg({JpegPart(ReadJpeg("axis_comment.jpg"))}, MFScriptedConn::CLOSE));
    scope.script->Add(back);
    camtest::StatusHistory h;
    h.Attach(rig.buf);
    ProbeJpg det(rig.Attr(), 0xFE, false);
    det.SetDataIds(kAxisIds, 2);
    ASSERT_EQ(det.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return det.Payloads() >= 2; }));
    const std::vector<std::pair<bool, int> > changes = h.Changes();
    scope.script->Release();
    det.Stop();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes[0].first);
}

// A follower never fetching: the one stream of FamilyEndToEnd's axis_jpeg row.
TEST_F(JpgHdrTransport, NoPathNoFetch) {
    camtest::FakeClock clock;
    rig.UseClock(clock);
    MFScriptScope scope;
    ProbeJpg owner(rig.Attr(), 0xFE, false, DET_TYPE_MD);
    owner.pathRc = -1;
    EXPECT_EQ(owner.DetMain(), 0);
    EXPECT_TRUE(scope.script->Connects().empty());
}

}  // namespace
