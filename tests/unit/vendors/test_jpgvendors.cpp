// The JPEG-frame vendor classes as the factories build them: their arguments,
// the paths they ask the camera API for, and their tests on real frames.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "camdet/transport/cgiquerydetector.h"
#include "camdet/transport/jpgvendordetector.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

namespace {

// The factory's detector of `kind` for the rig's camera (the four exported
// release calls release any detector alike).
typedef std::unique_ptr<BRObjectBase, void (*)(BRObjectBase*)> Made;
Made Make(CameraRig& rig, int kind, bool fifo) {
    return Made(CreateDetector(kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap, fifo ? &rig.fifo : nullptr, &rig.cap,
                               nullptr, true),
                ReleaseMotionDet);
}

// The dispatch tests check the choice of class and arguments: here, that they reach the object.
TEST(JpgVendors, FactoriesSetMarkerSourceKindAndGroup) {
    struct Row {
        const char* api;
        int fmt;
        const char* model;
        int kind;
        bool fifo;
        int marker;
        bool byFifo;
        int detType;
        int group;  // -1: not a row class
    } rows[] = {
        {"vivotek2", 1, "", 1, true, 0xE0, true, 1, 0},
        {"vivotek8", 1, "", 3, false, 0xE2, false, 3, 3},
        {"jvcvnh", 2, "", 1, true, 0xFE, false, 0, 0},  // not a JPEG stream: no FIFO
        {"panasonicfw4", 0, "BB-HCM705", 2, true, 0xFE, false, 2, 2},
        {"axisv5", 1, "", 4, true, 0xFE, true, 4, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.api) + " kind " + std::to_string(r.kind));
        SharingReset sharing;
        CameraRig rig;
        rig.cap.SetAPI(r.api);
        rig.med.streamFormat = r.fmt;
        rig.med.model = r.model;
        Made m = Make(rig, r.kind, r.fifo);
        JpgHdrDetector* d = dynamic_cast<JpgHdrDetector*>(m.get());
        ASSERT_NE(d, nullptr);
        JpgVendorDetector* v = dynamic_cast<JpgVendorDetector*>(d);
        EXPECT_EQ(std::make_tuple(d->GetMarker(), d->IsByFifo(), d->GetDetType(), v ? v->GetGroup() : -1),
                  std::make_tuple(r.marker, r.byFifo, r.detType, r.group));
    }
}

TEST(JpgVendors, AxisPrefixOnlyOnTheCamerasFirstDetector) {
    SharingReset sharing;
    CameraRig rig;
    rig.cap.SetAPI("axisv5");
    rig.med.streamFormat = 1;
    Made first = Make(rig, 1, false), second = Make(rig, 3, false);
    EXPECT_EQ(dynamic_cast<JpgHdrDetector*>(first.get())->GetDataIdCnt(), 2u);
    EXPECT_EQ(dynamic_cast<JpgHdrDetector*>(second.get())->GetDataIdCnt(), 0u);
    EXPECT_TRUE(dynamic_cast<CamDetector*>(second.get())->IsShareFollower());
}

TEST(JpgVendors, PathsFromTheCameraApi) {
    SharingReset sharing;
    LogCapture log;
    CameraRig rig;
    rig.cap.SetAPI("axisv5");
    rig.api.SetHttpPort(8081);
    std::unique_ptr<CamDetector> axisMade = MakeFor("axisv5", DET_TYPE_MD, rig.Attr(), 1, false);
    JpgHdrDetector& axis = dynamic_cast<JpgHdrDetector&>(*axisMade);
    std::string path;
    int port = 0;
    ASSERT_EQ(axis.GetPathPort(path, port), 0);
    EXPECT_EQ(path + " " + std::to_string(port), "axis-cgi/mjpg/video.cgi 8081");
    rig.cap.SetAPI("no-such-camera");  // no frame path for this key
    EXPECT_EQ(axis.GetPathPort(path, port), -1);

    rig.cap.SetAPI("basler");
    std::unique_ptr<CamDetector> baslerMade = MakeFor("basler", DET_TYPE_MD, rig.Attr(), 1, false);
    JpgHdrDetector& basler = dynamic_cast<JpgHdrDetector&>(*baslerMade);
    ASSERT_EQ(basler.GetPathPort(path, port), 0);
    EXPECT_EQ(path, "cgi-bin/mjpeg");
    EXPECT_EQ(rig.api.GetStreamFormat(), 1);
    EXPECT_EQ(rig.api.GetStreamProtocol(), 2);

    // The monitor's --det-path and --det-port stand for the frame stream too.
    rig.api.OverrideDetPath("axis-cgi/mjpg/video.cgi?fps=4");
    rig.api.OverrideDetPort(9000);
    ASSERT_EQ(axis.GetPathPort(path, port), 0);
    EXPECT_EQ(path + " " + std::to_string(port), "axis-cgi/mjpg/video.cgi?fps=4 9000");
}

// The trigger and level the factory's class of `kind` for camera `api` reads
// from the payload it finds itself in a frame of the test data (port -1: the
// whole camera's test).
std::pair<bool, int> FromFrame(const char* api, int kind, int port, const char* file) {
    SharingReset sharing;
    CameraRig rig;
    rig.cap.SetDICnt(2);
    std::unique_ptr<CamDetector> made = MakeFor(api, kind, rig.Attr(kind == DET_TYPE_DI), 1, true);
    JpgHdrDetector& d = dynamic_cast<JpgHdrDetector&>(*made);
    std::string img = camtest::TestData(std::string("jpeg/") + file);
    char* out = nullptr;
    unsigned int cap = 0, len = 0;
    EXPECT_EQ(d.Detect(&img[0], (unsigned int)img.size(), out, cap, len), 0) << file;
    int value = -1;
    const bool trig = port < 0 ? d.IsTrig(out, len, value) : d.IsTrig(port, out, len, value);
    delete[] out;
    return {trig, value};
}

TEST(JpgVendors, EachClassReadsItsFramesPayload) {
    EXPECT_EQ(FromFrame("basler", DET_TYPE_MD, -1, "basler_app1.jpg"), std::make_pair(true, 42));
    EXPECT_EQ(FromFrame("basler", DET_TYPE_DI, 1, "basler_app1.jpg"), std::make_pair(true, 1));
    EXPECT_EQ(FromFrame("jvc", DET_TYPE_MD, -1, "jvc_comment.jpg"), std::make_pair(true, 100));
    EXPECT_EQ(FromFrame("panasonicfw3", DET_TYPE_DI, 1, "pana_comment.jpg"), std::make_pair(true, 1));
}

TEST(JpgVendors, Vivotek8InputsOfAVideoServerChannel) {
    CameraRig rig;
    rig.cap.SetDICnt(4);
    rig.med.channel = "3";
    std::unique_ptr<CamDetector> vs = MakeFor("vivotekvs", DET_TYPE_DI, rig.Attr(true));
    EXPECT_EQ(vs->GetDICnt(), 1);
    int value = 0;
    char answer[] = "di0=0\ndi1=0\ndi2=1\n";
    EXPECT_TRUE(vs->IsTrig(0, answer, sizeof(answer), value));  // channel 3: the camera's di2
    std::unique_ptr<CamDetector> cam = MakeFor("vivotek8", DET_TYPE_DI, rig.Attr(true));
    EXPECT_EQ(cam->GetDICnt(), 4);
    EXPECT_FALSE(cam->IsTrig(0, answer, sizeof(answer), value));
    EXPECT_TRUE(cam->IsTrig(2, answer, sizeof(answer), value));
    std::string path;
    int port = 0;
    ASSERT_EQ(dynamic_cast<CgiQueryDetector&>(*cam).GetPathPort(path, port), 0);
    EXPECT_EQ(path, "cgi-bin/dido/getdi.cgi?");
}

}  // namespace
