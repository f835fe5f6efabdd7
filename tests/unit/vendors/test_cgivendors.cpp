// The polled classes as the factory makes them: the form of their kind's test,
// the request paths they compute rather than state, and LevelOne's alarm value.
#include <gtest/gtest.h>

#include "camdet/transport/cgiquerydetector.h"
#include "tests/fixtures/testsupport.h"

namespace {

struct PathCase {
    const char* name;
    const char* api;  // the camera's key
    int kind;
    std::vector<const char*> apiWords;
    std::string channel;
    int inputs;
    std::string path;
    int port = 8081;  // the recorder's port of the camera; the camera API's is 8080
};

}  // namespace

// The class answers through its row's test, in the form of its kind only.
TEST(CgiVendorRows, OnlyTheKindsFormTests) {
    SharingReset sharing;
    CameraRig rig;
    rig.cap.SetDICnt(2);
    char motion[] = "alarmstatus=3\n";  // Nexcom: motion and input together
    std::unique_ptr<CamDetector> md = MakeFor("nexcom", DET_TYPE_MD, rig.Attr(true));
    SharingReset::Clear();
    std::unique_ptr<CamDetector> di = MakeFor("nexcom", DET_TYPE_DI, rig.Attr(true));
    int value = -1;
    EXPECT_TRUE(md->IsTrig(motion, sizeof(motion), value));
    EXPECT_EQ(value, 100);
    value = -1;
    EXPECT_FALSE(md->IsTrig(1, motion, sizeof(motion), value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(di->IsTrig(1, motion, sizeof(motion), value));
    EXPECT_EQ(value, 1);
    value = -1;
    EXPECT_FALSE(di->IsTrig(motion, sizeof(motion), value));
    EXPECT_EQ(value, -1);
}

TEST(CgiPaths, ComputedPathsAndPorts) {
    SharingReset sharing;
    const std::vector<PathCase> cases = {
        {"arecont single lens", "arecont", DET_TYPE_MD, {}, "1", 1, "get?mdresult"},
        {"arecont lens 1", "arecont", DET_TYPE_MD, {"MULTILENS"}, "1", 1, "get3?mdresult"},
        {"arecont lens 4", "arecont", DET_TYPE_DI, {"MULTILENS"}, "4", 1, "get1?auxin"},
        {"arecont origin numbering", "arecont", DET_TYPE_DI, {"MULTILENS", "ORIGIN_CHANNEL_NO"}, "1", 1, "get1?auxin"},
        {"arecont unknown lens", "arecont", DET_TYPE_MD, {"MULTILENS"}, "7", 1, "get?mdresult"},
        {"messoa a02 one input", "messoaa02", DET_TYPE_DI, {}, "1", 1,
         "/operator/get_param.cgi?surveillance.eventdido.di_current_state"},
        {"imege three inputs", "imege", DET_TYPE_DI, {}, "1", 3,
         "/operator/get_param.cgi?surveillance.eventdido.di_current_state"
         "&surveillance.eventdido.di_current_state_2&surveillance.eventdido.di_current_state_3"},
        {"foscam v2 login", "foscam-h264-v2", DET_TYPE_MD, {}, "1", 1,
         "cgi-bin/CGIProxy.fcgi?usr=admin&pwd=p&ss&cmd=getDevState"},
        {"beward login", "beward", DET_TYPE_DI, {}, "1", 1, "/cgi-bin/alarmstate_cgi?action=get&user=admin&pwd=p&ss"},
        {"messoa sdk05", "messoasdk05", DET_TYPE_DI, {}, "1", 1, "cgi-bin/get_event_status.cgi"},
        {"messoa sdk05 group 11", "messoasdk05", DET_TYPE_MD, {"GROUP11"}, "1", 1,
         "cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status"},
        {"airlive first input", "airlivev1", DET_TYPE_DI, {}, "1", 2, "io/input.cgi?checkactive=1"},
        {"jvc first input", "jvc", DET_TYPE_DI, {}, "1", 2, "/api/param?peripheral.input_pin.pin(1).status"},
        {"zavio first input", "zaviomega", DET_TYPE_DI, {}, "1", 2, "cgi-bin/admin/input?check=1"},
        {"acti asks the camera API", "acti", DET_TYPE_DI, {}, "1", 1, "cgi-bin/cmd/system?DIO_STATUS", 8080},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        CameraRig rig;
        rig.med.user = "admin";
        rig.med.password = "p&ss";
        rig.med.httpPort = 8081;
        rig.cap.SetAPI(c.api);
        rig.api.SetHttpPort(8080);
        rig.cap.SetDICnt(c.inputs);
        for (const char* w : c.apiWords) rig.cap.AddApiWord(w);
        rig.api.SetChannelStr(c.channel);
        std::unique_ptr<CamDetector> made = MakeFor(c.api, c.kind, rig.Attr(true));
        CgiQueryDetector* det = dynamic_cast<CgiQueryDetector*>(made.get());
        ASSERT_NE(nullptr, det);
        std::string path;
        int port = 0;
        EXPECT_EQ(det->GetPathPort(path, port), 0);
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(port, c.port);
        SharingReset::Clear();
    }
}

namespace {
class RefusingApi : public RecorderCameraAPI {
public:
    explicit RefusingApi(CameraCap* cap) : RecorderCameraAPI(cap) {}
    int GetCamDiTrigValue(int&) override { return -1; }
};
}  // namespace

// The alarm value comes from the camera API; without it the detector never polls.
TEST(CgiPaths, LevelOneGr5TakesItsAlarmValueFromTheCameraApi) {
    CameraRig rig;
    rig.api.SetCamDiTrigValue(0);
    std::unique_ptr<CamDetector> made = MakeFor("level1gr5", DET_TYPE_DI, rig.Attr(true));
    CgiQueryDetector& det = dynamic_cast<CgiQueryDetector&>(*made);
    char answer[] = "Di_Stats=0\n";
    int value = 0;
    EXPECT_FALSE(det.IsTrig(0, answer, sizeof(answer), value));
    EXPECT_EQ(det.GetDiTrigValue(), 0);
    EXPECT_TRUE(det.IsTrig(0, answer, sizeof(answer), value));
    EXPECT_EQ(value, 100);

    RefusingApi refusing(&rig.cap);
    DET_BASE_ATTR a = rig.Attr(true);
    a.pCamApi = &refusing;
    std::unique_ptr<CamDetector> refused = MakeFor("level1gr5", DET_TYPE_DI, a);
    EXPECT_EQ(dynamic_cast<CgiQueryDetector&>(*refused).GetDiTrigValue(), -1);
}
