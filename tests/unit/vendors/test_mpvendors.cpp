// The multipart catalogue's classes: construction values, path sources and
// stream sharing, as the rows give them.
#include <gtest/gtest.h>

#include "camdet/factory/detclasses.h"
#include "camdet/vendors/mpvendordetector.h"
#include "tests/fixtures/testsupport.h"

namespace {

// Construction values and where each class takes its path and port.
TEST(MpVendorClasses, ConstructionValuesAndPathSources) {
    struct {
        const DetClassDef& cls;
        int timeout;
        HTTP_VERSION version;
        int bodyMode;
        int kind;
        const char* api;
        const char* path;
        int port;
    } rows[] = {
        {detclass::PanaMD, 20, HTTP_VER_DEF, 0, DET_TYPE_MD, "panasonicipro", "/cgi-bin/eventstatus.cgi?push=1", 8080},
        {detclass::PanaProDI, 20, HTTP_VER_DEF, 0, DET_TYPE_DI, "panasoniciprodome", "/cgi-bin/eventstatus.cgi?push=1",
         8080},
        {detclass::PixordMD, 60, HTTP_VER_DEF, 0, DET_TYPE_MD, "pixordv1", "/cgi-bin/motionlevel.cgi?push=1", 8080},
        {detclass::ZavioMD, 10, HTTP_VER_1_1, 0, DET_TYPE_MD, "zaviomega", "/cgi-bin/mdlevel.cgi?push=1", 8080},
        {detclass::EdimaxMD, 10, HTTP_VER_DEF, 1, DET_TYPE_MD, "edimaxv2", "/mjpg/motion.cgi?push=1", 8080},
        {detclass::IQeyeV1MD, 10, HTTP_VER_DEF, 2, DET_TYPE_MD, "iqeyev1", "now.jpg?snap=spush&pragma=motion", 8080},
        {detclass::IQeyeDI, 10, HTTP_VER_DEF, 2, DET_TYPE_DI, "iqeyev2", "now.jpg?snap=spush&pragma=trigger&noimage",
         8080},
        {detclass::SamsungDI, 10, HTTP_VER_DEF, 0, DET_TYPE_DI, "samsung",
         "/cgi-bin/control.cgi?msubmenu=input&action=monitor", 8080},
        {detclass::LilinMD, 10, HTTP_VER_DEF, 0, DET_TYPE_MD, "lilin", "getalarmmotion", 9000},  // GetDetPort
        {detclass::IpuxDI, 10, HTTP_VER_DEF, 0, DET_TYPE_DI, "ipuxfw1", "/cgi-bin/eventstream.cgi", 8080},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.cls.name);
        SharingReset sharing;
        CameraRig rig;
        rig.med.httpPort = 8080;
        rig.med.streamFormat = 2;
        rig.cap.SetAPI(r.api);
        if (&r.cls == &detclass::LilinMD) rig.api.OverrideDetPort(9000);
        rig.api.SetHttpPort(8080);
        BRObjectBase* obj = r.cls.make(rig.Attr(true), DetArgs());
        MpVendorDetector* d = dynamic_cast<MpVendorDetector*>(obj);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->GetTimeout(), r.timeout);
        EXPECT_EQ(d->GetHttpVersion(), r.version);
        EXPECT_EQ(d->GetBodyMode(), r.bodyMode);
        EXPECT_EQ(d->GetDetType(), r.kind);
        std::string path;
        int port = 0;
        EXPECT_EQ(d->GetPathPort(path, port), 0);
        EXPECT_EQ(path, r.path);
        EXPECT_EQ(port, r.port);
        if (&r.cls == &detclass::IpuxDI) {
            EXPECT_EQ(rig.api.GetStreamProtocol(), 2);
        }
        delete obj;
    }
}

// Each row's class links stream sharing exactly when its row says so, and
// reports as the row's kind either way.
TEST(MpVendorClasses, SharingAndKindFollowTheRow) {
    int rows = 0;
    const MP_CLASS_DEF* table = GetMpClassTable(rows);
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(table[i].cls);
        SharingReset sharing;
        CameraRig rig;
        MpVendorDetector d(rig.Attr(true), table[i].cls);
        EXPECT_EQ(&d.Def(), &table[i]);
        EXPECT_EQ(d.IsShareEnabled(), table[i].shared);
        EXPECT_EQ(d.GetDetType(), table[i].kind);
    }
    // Two kinds of one shared camera: the second follows the first's stream.
    SharingReset sharing;
    CameraRig rig;
    HitronMD owner(rig.Attr());
    HitronDI follower(rig.Attr(true));
    EXPECT_FALSE(owner.IsShareFollower());
    EXPECT_TRUE(follower.IsShareFollower());
}

// A row points at its class's test in the rules table, not at a copy.
TEST(MpVendorClasses, EveryRowUsesItsClassTestFromTheRules) {
    int rows = 0;
    const MP_CLASS_DEF* table = GetMpClassTable(rows);
    int ruleRows = 0;
    GetMpRuleTable(ruleRows);
    EXPECT_EQ(rows, ruleRows);  // and no rule without a row
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(table[i].cls);
        const MpRuleEntry* e = FindMpRule(table[i].cls);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->rule, table[i].rule);
        EXPECT_EQ((int)e->kind, table[i].kind);
        EXPECT_EQ(FindMpClass(table[i].cls), &table[i]);  // names are unique
    }
}

TEST(MpVendorClasses, UnknownCameraPathStopsTheDetector) {
    SharingReset sharing;
    CameraRig rig;
    rig.cap.SetAPI("no-such-camera");
    EdimaxVPMD d(rig.Attr());
    std::string path;
    int port = 0;
    EXPECT_EQ(d.GetPathPort(path, port), -1);
}

}  // namespace
