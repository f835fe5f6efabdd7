// Factory dispatch: every key and kind, the conditions per case, and the record checks.
#include <gtest/gtest.h>

#include <cxxabi.h>
#include <stdlib.h>

#include <map>
#include <string>
#include <typeinfo>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "tests/fixtures/testsupport.h"

namespace {

std::string ClassName(BRObjectBase* obj) {
    int status = 0;
    char* dem = abi::__cxa_demangle(typeid(*obj).name(), nullptr, nullptr, &status);
    std::string name = (status == 0 && dem) ? dem : typeid(*obj).name();
    free(dem);
    return name;
}

// The four exported release calls release any detector alike.
void Release(BRObjectBase* obj) { ReleaseMotionDet(obj); }

void SetUpCamera(CameraRig& rig, const std::string& api, int fmt, const char* model = "", const char* word = nullptr) {
    rig.cap.SetAPI(api);
    rig.cap.SetDICnt(2);
    if (word) rig.cap.AddApiWord(word);
    rig.med.streamFormat = fmt;
    rig.med.model = model;
}

BRObjectBase* Create(int kind, CameraRig& rig, bool sf, bool flag = false) {
    return CreateDetector(kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap, sf ? &rig.fifo : nullptr, &rig.cap,
                          nullptr, flag);
}

// What the factory of `kind` would choose for this camera, from its own inputs.
DetChoice Chosen(int kind, CameraRig& rig, bool sf) {
    DET_BASE_ATTR attr;
    EXPECT_TRUE(MakeDetAttr(kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap, sf ? &rig.fifo : nullptr, &rig.cap,
                            nullptr, attr));
    return ChooseDetector(ReadFactoryInputs(kind, attr));
}

// ------------------------------------------------------------------ the table

// Every key of every row through the real factory, on a JPEG camera with a
// stream FIFO and on an RTP one without: a key in one row only (a second row
// would never be reached), and an object that reports as the factory's kind.
TEST(DispatchTable, EveryKeyMakesAnObjectOfItsFactorysKind) {
    LogCapture log;
    int rows = 0;
    const DispatchRow* t = GetDispatchTable(rows);
    std::map<std::string, int> rowOf;
    for (int r = 0; r < rows; ++r) {
        for (const char* const* key = t[r].keys; *key; ++key) {
            auto ins = rowOf.emplace(*key, r);
            EXPECT_TRUE(ins.second) << *key << " in rows " << ins.first->second << " and " << r;
            for (int kind = DET_TYPE_MD; kind <= DET_TYPE_AD; ++kind) {
                for (int fmt : {1, 2}) {
                    SCOPED_TRACE(std::string(*key) + " kind " + std::to_string(kind) + " fmt " + std::to_string(fmt));
                    SharingReset sharing;
                    CameraRig rig;
                    SetUpCamera(rig, *key, fmt);
                    BRObjectBase* obj = Create(kind, rig, fmt == 1);
                    EXPECT_EQ(obj != nullptr, Chosen(kind, rig, fmt == 1).def != nullptr);
                    if (!obj) continue;
                    CamDetector* det = dynamic_cast<CamDetector*>(obj);
                    ASSERT_NE(nullptr, det);
                    if (kind == DET_TYPE_DI) {
                        EXPECT_EQ(DET_TYPE_DI, det->GetDetType());
                    } else {
                        EXPECT_TRUE(det->GetDetType() == 0 || det->GetDetType() == kind) << det->GetDetType();
                    }
                    Release(obj);
                }
            }
        }
    }
    EXPECT_FALSE(rowOf.empty());
}

// ------------------------------------------------------------------ conditions

struct Case {
    int kind;
    const char* api;
    int fmt;
    bool sf;
    const char* model;
    const char* word;  // capability word, or null
    const char* cls;   // expected class, or null
    bool b;
    int group;
};

// Stream format, model and capability words decide class and arguments; keys
// are compared whole and case-sensitively.
const Case kCases[] = {
    // motion
    {1, "Axisv5", 1, true, "", nullptr, nullptr, false, 0},
    {1, "axisv5 ", 1, true, "", nullptr, nullptr, false, 0},
    {1, "axisv5", 1, true, "", nullptr, "AxisJpgDetector", true, 0},
    {1, "axisv5", 2, true, "", nullptr, "AxisMp4Detector", true, 0},
    {1, "axisv5", 0, false, "", nullptr, "AxisMp4Detector", false, 0},
    {1, "panasonicfw1", 1, true, "", nullptr, "PanaJpgDIMD", true, 0},
    {1, "panasonicfw1", 2, true, "", nullptr, nullptr, false, 0},
    {1, "panasonicfw3", 2, true, "", nullptr, "PanaJpgDIMD", false, 0},
    {1, "panasonicmp", 1, false, "", nullptr, "PanaJpgDIMD", false, 0},
    {1, "ipuxfw1", 1, true, "", nullptr, "IpuxStmFifoMD", false, 0},
    {1, "ipux5m", 1, false, "", nullptr, "IpuxMD", false, 0},
    {1, "ipuxfw1", 0, true, "", nullptr, "IpuxMD", false, 0},  // format 0: polled, FIFO or not
    {1, "vivotek2", 1, true, "", nullptr, "VivotekJpgDetector", true, 0},
    {1, "vivotek2", 2, true, "", nullptr, nullptr, false, 0},
    {1, "vivotek7v1", 2, false, "", nullptr, "VivotekMp4Detector", false, 1},
    {1, "vivotek7v1", 1, false, "", nullptr, nullptr, false, 0},
    {1, "vivotek7v2", 1, false, "", nullptr, "VivotekJpgDetector", false, 2},
    {1, "vivotek7v2", 3, false, "", nullptr, nullptr, false, 0},
    {1, "vivotek8", 7, false, "", nullptr, "VivotekMp4Detector", false, 3},
    {1, "vivotekvs", 3, false, "", nullptr, "VivotekMp4Detector", false, 4},
    {1, "vivotekvs", 0, false, "", nullptr, nullptr, false, 0},
    {1, "jvcvnh", 1, true, "", nullptr, "JvcJpgMD", true, 0},
    {1, "jvc", 2, true, "", nullptr, "JvcJpgMD", false, 0},
    {1, "airlivev2", 0, false, "", "VMD", "AirliveMD", true, 0},
    {1, "avipcv2", 0, false, "", nullptr, "AirliveMD", false, 0},
    {1, "messoasdk05", 0, false, "", "GROUP11", "MessoaSDK05MD", true, 0},
    {1, "basler", 1, true, "", nullptr, "BaslerJpgMD", true, 0},
    {1, "basler", 3, true, "", nullptr, "BaslerMp4MD", false, 0},
    {1, "basler", 0, true, "", nullptr, nullptr, false, 0},
    // digital input
    {2, "axisv5", 2, false, "", "DI_CGI_QUERY", "AxisDI", false, 0},
    {2, "axisv5", 1, true, "", nullptr, "AxisJpgDetector", true, 0},
    {2, "panasonicfw4", 0, false, "BB-HCM705", nullptr, "PanaJpgDIMD", false, 2},
    {2, "panasonicfw1", 1, true, "BB-HCM701", nullptr, "PanaJpgDIMD", true, 2},
    {2, "panasonicfw4", 0, false, "WV-NP244", nullptr, nullptr, false, 0},
    {2, "panasonicfw3", 1, true, "", nullptr, "PanaJpgDIMD", true, 0},
    {2, "panasonicmp", 2, true, "", nullptr, "PanaJpgDIMD", false, 1},
    {2, "vivotekvs", 0, false, "", nullptr, "Vivotek8DI", false, 4},
    {2, "level1gr4", 0, false, "FCS-1141", nullptr, "LevelOneGr4DICgiQuery", false, 0},
    {2, "level1gr4", 0, false, "", "DI_CGI_QUERY", "LevelOneGr4DICgiQuery", false, 0},
    {2, "level1gr4", 0, false, "FCS-1140", nullptr, "LevelOneGr4DI", false, 0},
    {2, "basler", 2, false, "", nullptr, "BaslerMp4DI", false, 0},
    {2, "basler", 1, false, "", nullptr, "BaslerJpgDI", false, 0},
    // tampering
    {3, "vivotek8", 1, true, "", nullptr, "VivotekJpgDetector", true, 3},
    {3, "vivotek8", 2, true, "", nullptr, "VivotekMp4Detector", false, 3},
};

TEST(DispatchConditions, FormatModelAndCapabilitiesDecide) {
    LogCapture log;
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string("kind ") + std::to_string(c.kind) + " api '" + c.api + "' fmt " +
                     std::to_string(c.fmt) + " model '" + c.model + "'");
        SharingReset sharing;
        CameraRig rig;
        SetUpCamera(rig, c.api, c.fmt, c.model, c.word);
        const DetChoice choice = Chosen(c.kind, rig, c.sf);
        BRObjectBase* obj = Create(c.kind, rig, c.sf);
        if (!c.cls) {
            EXPECT_EQ(nullptr, choice.def);
            EXPECT_EQ(nullptr, obj);
            continue;
        }
        ASSERT_NE(nullptr, choice.def);
        EXPECT_STREQ(c.cls, choice.def->name);
        EXPECT_EQ(c.b, choice.args.b);
        EXPECT_EQ(c.group, choice.args.group);
        // Classes that serve several kinds are told the kind of the factory that made them.
        const std::string cls = c.cls;
        if (cls.find("Detector") != std::string::npos || cls == "PanaJpgDIMD") {
            EXPECT_EQ(c.kind, choice.args.kind);
        }
        ASSERT_NE(nullptr, obj);
        EXPECT_EQ(cls, ClassName(obj));
        // The flag reaches the object: the VMD mode's event-id test.
        if (cls == "AirliveMD") {
            char part[] = "Event: Dynamic motion id=17\n";
            int level = 0;
            EXPECT_EQ(c.b, dynamic_cast<CamDetector*>(obj)->IsTrig(part, sizeof(part), level));
        }
        Release(obj);
    }
}

// ------------------------------------------------------------------ before the table

TEST(DispatchRecord, ChecksFailWithoutCallingTheCamera) {
    struct Fault {
        const char* name;
        int kind;
        int missing;  // index into the arguments below, or -1
        int diCount;
    } faults[] = {
        {"no mediator", 1, 0, 1},
        {"no camera API", 3, 1, 1},
        {"no event buffer", 4, 2, 1},
        {"no capability", 1, 4, 1},
        {"DI without map", 2, 3, 1},
        {"DI count 0", 2, -1, 0},
        {"DI count negative", 2, -1, -1},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        SharingReset sharing;
        CameraRig rig;
        rig.cap.SetAPI("onvif");
        rig.cap.SetDICnt(f.diCount);
        LogCapture log;
        BRObjectBase* args[] = {&rig.med, &rig.api, &rig.buf, &rig.bufMap, &rig.cap};
        if (f.missing >= 0) args[f.missing] = nullptr;
        DET_BASE_ATTR attr;
        EXPECT_FALSE(MakeDetAttr(f.kind, args[0], args[1], args[2], args[3], nullptr, args[4], nullptr, attr));
        EXPECT_EQ(nullptr,
                  CreateDetector(f.kind, args[0], args[1], args[2], args[3], nullptr, args[4], nullptr, false));
        EXPECT_EQ(0, rig.api.GetPrepareCount(f.kind));
        EXPECT_EQ("", log.Text());
    }
    // An object of the wrong type where the camera API belongs counts as none.
    SharingReset sharing;
    CameraRig rig;
    rig.cap.SetAPI("onvif");
    EXPECT_EQ(nullptr, CreateDetector(1, &rig.med, &rig.buf, &rig.buf, nullptr, nullptr, &rig.cap, nullptr, false));
}

TEST(DispatchRecord, PreparationRunsOnceUnlessTheFlagIsSet) {
    for (const char* api : {"no-such-camera", "hikvisionv3"}) {
        for (int kind = 1; kind <= 4; ++kind) {
            for (bool flag : {false, true}) {
                SCOPED_TRACE(std::string(api) + " kind " + std::to_string(kind) + (flag ? " flag" : " no flag"));
                SharingReset sharing;
                CameraRig rig;
                rig.cap.SetAPI(api);
                BRObjectBase* obj = Create(kind, rig, false, flag);
                for (int k = 1; k <= 4; ++k) EXPECT_EQ((!flag && k == kind) ? 1 : 0, rig.api.GetPrepareCount(k)) << k;
                if (obj) Release(obj);
            }
        }
    }
}

}  // namespace
