// The polled classes as their rows make them: the test each row points at,
// sharing and kind, and the request paths they compute rather than state
// (the Arecont lens mapping, one key per input for Messoa A02, the login in
// the query, ACTi's path from the camera API, the GROUP11 firmware choice,
// the first input of the per-input loops), and the LevelOne alarm value
// fetched before the first poll.
#include <gtest/gtest.h>

#include "camdet/vendors/cgivendordetector.h"
#include "camdet/rules/trigrules.h"
#include "tests/fixtures/testsupport.h"

namespace {

struct PathCase {
    const char* name;
    std::function<CgiQueryDetector*(DET_BASE_ATTR)> make;
    std::vector<const char*> apiWords;
    std::string channel;
    int inputs;
    std::string path;
};

}  // namespace

// A row points at its class's test in the rules table, not at a copy.
TEST(CgiVendorRows, EveryRowUsesItsClassTestFromTheRules) {
    int rows = 0;
    const CGI_CLASS_DEF* table = GetCgiClassTable(rows);
    int ruleRows = 0;
    GetCgiRuleTable(ruleRows);
    EXPECT_EQ(rows, ruleRows);  // and no rule without a row
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(table[i].cls);
        const CgiRuleEntry* e = FindCgiRule(table[i].cls);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->rule, table[i].rule);
        EXPECT_EQ((int)e->kind, table[i].kind);
        EXPECT_EQ(FindCgiClass(table[i].cls), &table[i]);  // names are unique
        // A row has one way to its first request path.
        EXPECT_EQ(1, (table[i].path != nullptr) + (table[i].pathFn != nullptr) + (table[i].inputPath != nullptr) +
                         (table[i].portSrc == CGI_PORT_CAM_API_DI));
        EXPECT_EQ(table[i].inputPath != nullptr, table[i].loop != CGI_LOOP_POLL);
    }
}

// Each row's class shares its poll exactly when its row says so; an input
// class reports per port either way, a motion class that does not share
// reports through the whole-camera test.
TEST(CgiVendorRows, SharingAndKindFollowTheRow) {
    int rows = 0;
    const CGI_CLASS_DEF* table = GetCgiClassTable(rows);
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(table[i].cls);
        SharingReset sharing;
        CameraRig rig;
        CgiVendorDetector d(rig.Attr(true), table[i].cls);
        EXPECT_EQ(&d.Def(), &table[i]);
        EXPECT_EQ(d.IsShareEnabled(), table[i].shared);
        EXPECT_EQ(d.GetDetType(), table[i].shared || table[i].kind == DET_TYPE_DI ? table[i].kind : 0);
    }
}

// The class answers through its row's test, in the form of its kind only.
TEST(CgiVendorRows, OnlyTheKindsFormTests) {
    SharingReset sharing;
    CameraRig rig;
    rig.cap.SetDICnt(2);
    char motion[] = "alarmstatus=3\n";  // Nexcom: motion and input together
    NexcomMD md(rig.Attr(true));
    SharingReset::Clear();
    NexcomDI di(rig.Attr(true));
    int value = -1;
    EXPECT_TRUE(md.IsTrig(motion, sizeof(motion), value));
    EXPECT_EQ(value, 100);
    value = -1;
    EXPECT_FALSE(md.IsTrig(1, motion, sizeof(motion), value));
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(di.IsTrig(1, motion, sizeof(motion), value));
    EXPECT_EQ(value, 1);
    value = -1;
    EXPECT_FALSE(di.IsTrig(motion, sizeof(motion), value));
    EXPECT_EQ(value, -1);
}

TEST(CgiPaths, ComputedPathsAndPorts) {
    SharingReset sharing;
    const std::vector<PathCase> cases = {
        {"arecont single lens", [](DET_BASE_ATTR a) { return new ArecontMD(a); }, {}, "1", 1, "get?mdresult"},
        {"arecont lens 1", [](DET_BASE_ATTR a) { return new ArecontMD(a); }, {"MULTILENS"}, "1", 1, "get3?mdresult"},
        {"arecont lens 4", [](DET_BASE_ATTR a) { return new ArecontDI(a); }, {"MULTILENS"}, "4", 1, "get1?auxin"},
        {"arecont origin numbering", [](DET_BASE_ATTR a) { return new ArecontDI(a); },
         {"MULTILENS", "ORIGIN_CHANNEL_NO"}, "1", 1, "get1?auxin"},
        {"arecont unknown lens", [](DET_BASE_ATTR a) { return new ArecontMD(a); }, {"MULTILENS"}, "7", 1,
         "get?mdresult"},
        {"messoa a02 one input", [](DET_BASE_ATTR a) { return new MessoaA02DI(a); }, {}, "1", 1,
         "/operator/get_param.cgi?surveillance.eventdido.di_current_state"},
        {"imege three inputs", [](DET_BASE_ATTR a) { return new ImegeDI(a); }, {}, "1", 3,
         "/operator/get_param.cgi?surveillance.eventdido.di_current_state"
         "&surveillance.eventdido.di_current_state_2&surveillance.eventdido.di_current_state_3"},
        {"foscam v2 login", [](DET_BASE_ATTR a) { return new FoscamV2MD(a); }, {}, "1", 1,
         "cgi-bin/CGIProxy.fcgi?usr=admin&pwd=p&ss&cmd=getDevState"},
        {"beward login", [](DET_BASE_ATTR a) { return new BewardDI(a); }, {}, "1", 1,
         "/cgi-bin/alarmstate_cgi?action=get&user=admin&pwd=p&ss"},
        {"messoa sdk05", [](DET_BASE_ATTR a) { return new MessoaSDK05DI(a, false); }, {}, "1", 1,
         "cgi-bin/get_event_status.cgi"},
        {"messoa sdk05 group 11", [](DET_BASE_ATTR a) { return new MessoaSDK05MD(a, true); }, {}, "1", 1,
         "cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status"},
        {"airlive first input", [](DET_BASE_ATTR a) { return new AirliveDI(a); }, {}, "1", 2,
         "io/input.cgi?checkactive=1"},
        {"jvc first input", [](DET_BASE_ATTR a) { return new JvcDI(a); }, {}, "1", 2,
         "/api/param?peripheral.input_pin.pin(1).status"},
        {"zavio first input", [](DET_BASE_ATTR a) { return new ZavioDI(a); }, {}, "1", 2, "cgi-bin/admin/input?check=1"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        CameraRig rig;
        rig.med.user = "admin";
        rig.med.password = "p&ss";
        rig.med.httpPort = 8081;
        rig.cap.SetDICnt(c.inputs);
        for (const char* w : c.apiWords) rig.cap.AddApiWord(w);
        rig.api.SetChannelStr(c.channel);
        CgiQueryDetector* det = c.make(rig.Attr(true));
        std::string path;
        int port = 0;
        EXPECT_EQ(det->GetPathPort(path, port), 0);
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(port, 8081);
        delete det;
        SharingReset::Clear();
    }
}

TEST(CgiPaths, ActiAsksTheCameraApiForPathAndPort) {
    CameraRig rig;
    rig.cap.SetAPI("acti");
    rig.api.SetHttpPort(8080);
    ActiDI det(rig.Attr(true));
    std::string path;
    int port = 0;
    EXPECT_EQ(det.GetPathPort(path, port), 0);
    EXPECT_EQ(path, "cgi-bin/cmd/system?DIO_STATUS");
    EXPECT_EQ(port, 8080);
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
    LevelOneGr5DI det(rig.Attr(true));
    char answer[] = "Di_Stats=0\n";
    int value = 0;
    EXPECT_FALSE(det.IsTrig(0, answer, sizeof(answer), value));
    EXPECT_EQ(det.GetDiTrigValue(), 0);
    EXPECT_TRUE(det.IsTrig(0, answer, sizeof(answer), value));
    EXPECT_EQ(value, 100);

    RefusingApi refusing(&rig.cap);
    DET_BASE_ATTR a = rig.Attr(true);
    a.pCamApi = &refusing;
    LevelOneGr5DI refused(a);
    EXPECT_EQ(refused.GetDiTrigValue(), -1);
}

TEST(CgiPaths, ArecontLensTable) {
    const char* lens[] = {"3", "2", "4", "1"};
    for (int i = 0; i < 4; ++i) {
        std::string ch = std::to_string(i + 1);
        EXPECT_EQ(trig::ArecontChannel(ch, false), lens[i]);
        EXPECT_EQ(trig::ArecontChannel(ch, true), ch);
    }
    EXPECT_EQ(trig::ArecontChannel("", false), "");
    EXPECT_EQ(trig::ArecontChannel("10", true), "");
}
