// The JPEG-header transport on real JPEG files, and its loops over the
// recorder's stream FIFO and media fetch.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "camdet/transport/jpghdrdetector.h"
#include "host/media/streamfifo.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/mfscript.h"
#include "tests/fixtures/statushistory.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

namespace {

std::vector<unsigned char> ReadJpeg(const std::string& name) {
    const std::string s = camtest::TestData("jpeg/" + name);
    return std::vector<unsigned char>(s.begin(), s.end());
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
        payloads.Note(std::string(p, n));
        value = 77;
        return std::string(p, n).find("M0:1") != std::string::npos;
    }
    bool IsTrig(int port, char*, unsigned int, int& value) override {
        ports.Note(std::to_string(port));
        value = 1;
        return port == 1;
    }
    size_t Payloads() { return payloads.Get().size(); }
    camtest::Journal payloads, ports;
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

// img with n segments of code, each carrying body, inserted after its SOI.
std::vector<unsigned char> WithSegments(const std::vector<unsigned char>& img, size_t n, int code,
                                        const std::string& body) {
    const size_t len = body.size() + 2;
    const std::string seg = std::string{'\xff', (char)code, (char)(len >> 8), (char)(len & 0xff)} + body;
    std::vector<unsigned char> out(img.begin(), img.begin() + 2);
    for (size_t i = 0; i < n; ++i) out.insert(out.end(), seg.begin(), seg.end());
    out.insert(out.end(), img.begin() + 2, img.end());
    return out;
}

// The first segment with the data id is the camera's: when there is no room
// for it (its copy refused), a later one is not read in its place. A frame of
// tens of thousands of empty segments is no camera's: it is read up to a
// bound and is no data; one with a few before the wanted one is read as usual
// (bench_jpeg prints what such frames cost).
TEST_F(JpgHdrTransport, DetectPicksTheWantedSegment) {
    const std::vector<unsigned char> axis = ReadJpeg("axis_comment.jpg");
    ASSERT_GE(axis.size(), 2u);
    const std::string id("\x0a\x03", 2), axisData = id + "M0:1;ML0:050;M1:0;ML1:030;T0:1;A0:0;IO0:0;IO1:1;";
    const std::string first = id + std::string(500, 'z');  // 502 bytes after the length
    const std::vector<int> ids(kAxisIds, kAxisIds + 2), none;
    // A data id as long as the payload matches; one byte longer never does.
    const std::vector<int> whole(axisData.begin(), axisData.end());
    std::vector<int> longer = whole;
    longer.push_back('!');
    struct {
        std::string name;
        std::vector<unsigned char> img;
        int marker;
        std::vector<int> ids;
        int rc;
        std::string payload;
        size_t refusedNew;  // the nothrow allocation of this size fails (0: none)
    } cases[] = {
        {"axis_comment.jpg", axis, 0xFE, ids, 0, axisData, 0},
        {"axis_second_comment.jpg", ReadJpeg("axis_second_comment.jpg"), 0xFE, ids, 0,
         id + "M0:0;ML0:020;T0:0;A0:1;IO0:1;", 0},
        {"axis_second_comment.jpg", ReadJpeg("axis_second_comment.jpg"), 0xFE, none, 0, "encoder 5.40", 0},
        {"axis_no_dataid.jpg", ReadJpeg("axis_no_dataid.jpg"), 0xFE, ids, -1, "", 0},
        {"no_markers.jpg", ReadJpeg("no_markers.jpg"), 0xFE, none, -1, "", 0},
        {"vivotek_app0.jpg", ReadJpeg("vivotek_app0.jpg"), 0xE0, none, 0, std::string("VVTK\0\0\x01\x05", 8), 0},
        {"vivotek_app2.jpg", ReadJpeg("vivotek_app2.jpg"), 0xE0, none, -1, "", 0},
        {"basler_app1.jpg", ReadJpeg("basler_app1.jpg"), 0xE1, none, 0,
         "Frame 12\r\nMotion level (0-99) 42\r\nAlarm = 1\r\nIO=:1\r\n", 0},
        {"basler_app1.jpg", ReadJpeg("basler_app1.jpg"), 0xE2, none, -1, "", 0},
        // JFIF is an APP0 segment too: the first APP0 is what is read.
        {"basler_app1.jpg", ReadJpeg("basler_app1.jpg"), 0xE0, none, 0,
         std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14), 0},
        // Not an APPn or COM code: libjpeg refuses to save it, a failure and no crash.
        {"axis_comment.jpg", axis, 0xC4, none, -1, "", 0},
        {"data id as long as the payload", axis, 0xFE, whole, 0, axisData, 0},
        {"data id one byte longer", axis, 0xFE, longer, -1, "", 0},
        {"a data segment before the camera's", WithSegments(axis, 1, 0xFE, first), 0xFE, ids, 0, first, 0},
        {"no room for it", WithSegments(axis, 1, 0xFE, first), 0xFE, ids, -1, "", first.size()},
        {"80000 empty comments", WithSegments(axis, 80000, 0xFE, ""), 0xFE, ids, JpgHdrDetector::kDetectNoFrame, "", 0},
        {"80000 empty APP5", WithSegments(axis, 80000, 0xE5, ""), 0xFE, ids, JpgHdrDetector::kDetectNoFrame, "", 0},
        {"100 empty comments", WithSegments(axis, 100, 0xFE, ""), 0xFE, ids, 0, axisData, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " marker " + std::to_string(c.marker));
        ASSERT_FALSE(c.img.empty());
        ProbeJpg det(rig.Attr(), c.marker, true);
        if (!c.ids.empty()) det.SetDataIds(c.ids.data(), (int)c.ids.size());
        g_FailNothrowNewOf = c.refusedNew;
        std::string payload;
        EXPECT_EQ(Run(det, c.img, payload), c.rc);
        EXPECT_EQ(payload, c.payload);
        EXPECT_EQ(g_FailNothrowNewOf, 0u);  // the segment's copy was the one refused
        g_FailNothrowNewOf = 0;
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
    EXPECT_EQ(follower.ports.Get(4), (std::vector<std::string>{"0", "1", "2", "3"}));
    EXPECT_EQ(follower.Payloads(), 0u);  // a DI detector asks only the per-input test
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
    const MF_CONNECT_INFO i = scope.script->Connects()[0];
    EXPECT_EQ(std::tie(i.path, i.port, i.host), std::make_tuple("/video.mjpg", 8080, "127.0.0.1"));
    // After the stream failed: 10 s without a frame, then the 5 s back-off.
    const std::vector<int64_t> w = clock.Waits();
    EXPECT_GE(std::count(w.begin(), w.end(), 1000), 15);
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
    const camtest::States changes = h.Changes();
    scope.script->Release();
    det.Stop();
    EXPECT_EQ(changes, camtest::States({{true, 77}}));
}

// Without a FIFO to read, or a path to fetch (a follower never fetching: the
// one stream of FamilyEndToEnd's axis_jpeg row), the loop ends at once.
TEST_F(JpgHdrTransport, NoFifoOrNoPathNoLoop) {
    camtest::FakeClock clock;
    rig.UseClock(clock);
    MFScriptScope scope;
    ProbeJpg det(rig.Attr(), 0xFE, true);
    ASSERT_EQ(det.DetMain(), 0);
    EXPECT_EQ(det.Payloads(), 0u);
    ProbeJpg owner(rig.Attr(), 0xFE, false, DET_TYPE_MD);
    owner.pathRc = -1;
    EXPECT_EQ(owner.DetMain(), 0);
    EXPECT_TRUE(scope.script->Connects().empty());
}

}  // namespace
