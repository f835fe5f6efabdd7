// Factory dispatch: which class (and extra arguments) each camera API key,
// stream format, model and capability set selects, checked through a fake
// class registry so rows can be verified before their classes exist.
#include <gtest/gtest.h>

#include <string.h>

#include <set>

#include "camdet/api/entrypoints.h"
#include "camdet/rules/lines.h"
#include "camdet/factory/detfactory.h"
#include "tests/fixtures/testsupport.h"

namespace {

// Records what the factory asked for and hands back a marker object.
class RecordingRegistry : public DetClassRegistry {
public:
    BRObjectBase* Create(const DetChoice& choice, const DET_BASE_ATTR& attr) const override {
        last = choice;
        lastAttr = attr;
        ++calls;
        return choice.cls ? &marker : nullptr;
    }
    mutable DetChoice last;
    mutable DET_BASE_ATTR lastAttr;
    mutable int calls = 0;
    mutable EventBuf marker;  // any BRObjectBase
};

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

const Case kCases[] = {
    // motion
    {1, "acti", 0, false, "", nullptr, "ActiMD", false, 0},
    {1, "axisv5", 1, true, "", nullptr, "AxisJpgDetector", true, 0},
    {1, "axisv5", 2, true, "", nullptr, "AxisMp4Detector", true, 0},
    {1, "axisv5", 0, false, "", nullptr, "AxisMp4Detector", false, 0},
    {1, "panasonicfw1", 1, true, "", nullptr, "PanaJpgDIMD", true, 0},
    {1, "panasonicfw1", 2, true, "", nullptr, nullptr, false, 0},
    {1, "panasonicfw3", 2, true, "", nullptr, "PanaJpgDIMD", false, 0},
    {1, "panasonicmp", 1, false, "", nullptr, "PanaJpgDIMD", false, 0},
    {1, "ipuxfw1", 1, true, "", nullptr, "IpuxStmFifoMD", false, 0},
    {1, "ipux5m", 1, false, "", nullptr, "IpuxMD", false, 0},
    {1, "vivotek2", 1, true, "", nullptr, "VivotekJpgDetector", true, 0},
    {1, "vivotek2", 2, true, "", nullptr, nullptr, false, 0},
    {1, "vivotek7v1", 2, false, "", nullptr, "VivotekMp4Detector", false, 1},
    {1, "vivotek7v1", 1, false, "", nullptr, nullptr, false, 0},
    {1, "vivotek7v2", 1, false, "", nullptr, "VivotekJpgDetector", false, 2},
    {1, "vivotek7v2", 3, false, "", nullptr, nullptr, false, 0},
    {1, "vivotek8", 0, false, "", nullptr, "VivotekMp4Detector", false, 3},
    {1, "vivotek8", 7, false, "", nullptr, "VivotekMp4Detector", false, 3},
    {1, "vivotekvs", 3, false, "", nullptr, "VivotekMp4Detector", false, 4},
    {1, "vivotekvs", 0, false, "", nullptr, nullptr, false, 0},
    {1, "vivotekvs", 4, false, "", nullptr, nullptr, false, 0},
    {1, "jvcvnh", 1, true, "", nullptr, "JvcJpgMD", true, 0},
    {1, "jvc", 2, true, "", nullptr, "JvcJpgMD", false, 0},
    {1, "airlivev2", 0, false, "", "VMD", "AirliveMD", true, 0},
    {1, "avipcv2", 0, false, "", nullptr, "AirliveMD", false, 0},
    {1, "messoasdk05", 0, false, "", "GROUP11", "MessoaSDK05MD", true, 0},
    {1, "zaviomegav3", 0, false, "", nullptr, "ZavioV3MD", false, 0},
    {1, "basler", 1, true, "", nullptr, "BaslerJpgMD", true, 0},
    {1, "basler", 3, true, "", nullptr, "BaslerMp4MD", false, 0},
    {1, "basler", 0, true, "", nullptr, nullptr, false, 0},
    {1, "hikvisionv3", 0, false, "", nullptr, "HikVisionV3MD", false, 0},
    {1, "stardot", 0, false, "", nullptr, "StarDotStmFifoMD", false, 0},
    {1, "geovision", 0, false, "", nullptr, "OnvifMD", false, 0},
    {1, "onvif", 0, false, "", nullptr, "OnvifMD", false, 0},
    {1, "Onvif", 0, false, "", nullptr, nullptr, false, 0},
    {1, "lilinv2", 0, false, "", nullptr, nullptr, false, 0},
    {1, "", 0, false, "", nullptr, nullptr, false, 0},
    // digital input
    {2, "axisv5", 2, false, "", "DI_CGI_QUERY", "AxisDI", false, 0},
    {2, "axisv5", 1, true, "", nullptr, "AxisJpgDetector", true, 0},
    {2, "panasonicfw4", 0, false, "BB-HCM705", nullptr, "PanaJpgDIMD", false, 2},
    {2, "panasonicfw1", 1, true, "BB-HCM701", nullptr, "PanaJpgDIMD", true, 2},
    {2, "panasonicfw4", 0, false, "WV-NP244", nullptr, nullptr, false, 0},
    {2, "panasonicfw3", 1, true, "", nullptr, "PanaJpgDIMD", true, 0},
    {2, "panasonicmp", 2, true, "", nullptr, "PanaJpgDIMD", false, 1},
    {2, "vivotek7v1", 0, false, "", nullptr, "Vivotek2DI", false, 0},
    {2, "vivotek8", 0, false, "", nullptr, "Vivotek8DI", false, 3},
    {2, "vivotek7v2", 0, false, "", nullptr, "Vivotek8DI", false, 2},
    {2, "vivotekvs", 0, false, "", nullptr, "Vivotek8DI", false, 4},
    {2, "level1gr4", 0, false, "FCS-1141", nullptr, "LevelOneGr4DICgiQuery", false, 0},
    {2, "level1gr4", 0, false, "", "DI_CGI_QUERY", "LevelOneGr4DICgiQuery", false, 0},
    {2, "level1gr4", 0, false, "FCS-1140", nullptr, "LevelOneGr4DI", false, 0},
    {2, "messoasdk05", 0, false, "", nullptr, "MessoaSDK05DI", false, 0},
    {2, "canon-v2", 0, false, "", nullptr, "CanonDI", false, 0},
    {2, "basler", 2, false, "", nullptr, "BaslerMp4DI", false, 0},
    {2, "basler", 1, false, "", nullptr, "BaslerJpgDI", false, 0},
    {2, "sonygen2", 0, false, "", nullptr, "SonyDI", false, 0},
    {2, "lilinv2", 0, false, "", nullptr, "LilinV2DI", false, 0},
    {2, "onvif", 0, false, "", nullptr, "OnvifDI", false, 0},
    {2, "geovision", 0, false, "", nullptr, nullptr, false, 0},
    {2, "dlinknipcav4", 0, false, "", nullptr, nullptr, false, 0},
    // tampering
    {3, "axisv5", 1, false, "", nullptr, "AxisJpgDetector", false, 0},
    {3, "vivotek8", 1, true, "", nullptr, "VivotekJpgDetector", true, 3},
    {3, "vivotek8", 2, true, "", nullptr, "VivotekMp4Detector", false, 3},
    {3, "hikvisionv2", 0, false, "", nullptr, "HikVisionTD", false, 0},
    {3, "hikvision", 0, false, "", nullptr, nullptr, false, 0},
    {3, "geovision", 0, false, "", nullptr, nullptr, false, 0},
    {3, "onvif", 0, false, "", nullptr, "OnvifTD", false, 0},
    // audio
    {4, "axisv5", 3, true, "", nullptr, "AxisMp4Detector", true, 0},
    {4, "dlinknipcav3", 0, false, "", nullptr, "DLinkAD", false, 0},
    {4, "dlinknipcav2", 0, false, "", nullptr, nullptr, false, 0},
    {4, "geovision", 0, false, "", nullptr, nullptr, false, 0},
    {4, "onvif", 0, false, "", nullptr, "OnvifAD", false, 0},
};

TEST(DispatchTest, KeyFormatModelAndCapabilitySelectTheClass) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string("kind ") + std::to_string(c.kind) + " api '" + c.api + "' fmt " +
                     std::to_string(c.fmt) + " model '" + c.model + "'");
        CameraRig rig;
        rig.cap.SetAPI(c.api);
        rig.cap.SetDICnt(2);
        if (c.word) rig.cap.AddApiWord(c.word);
        rig.med.streamFormat = c.fmt;
        rig.med.model = c.model;
        RecordingRegistry reg;
        BRObjectBase* obj = CreateDetector(c.kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap,
                                           c.sf ? &rig.fifo : nullptr, &rig.cap, nullptr, false, reg);
        ASSERT_EQ(1, reg.calls);
        if (!c.cls) {
            EXPECT_EQ(nullptr, reg.last.cls);
            EXPECT_EQ(nullptr, obj);
            continue;
        }
        ASSERT_NE(nullptr, reg.last.cls);
        EXPECT_STREQ(c.cls, reg.last.cls);
        EXPECT_EQ(c.b, reg.last.b);
        EXPECT_EQ(c.group, reg.last.group);
        // Multi-kind classes are told the kind of the factory that made them.
        if (strstr(c.cls, "Detector") || !strcmp(c.cls, "PanaJpgDIMD")) {
            EXPECT_EQ(c.kind, reg.last.kind);
        }
        EXPECT_EQ(&reg.marker, obj);
    }
}

TEST(DispatchTest, EveryRowKeyIsReachableAndNoKeyIsShadowed) {
    // A key listed twice in one table would never reach its second row.
    for (int kind = 1; kind <= 4; ++kind) {
        int rows = 0;
        const DispatchRow* t = GetDispatchTable(kind, rows);
        ASSERT_GT(rows, 0);
        std::set<std::string> seen;
        for (int r = 0; r < rows; ++r) {
            ASSERT_NE(nullptr, t[r].keys[0]) << "row " << r;
            for (const char* const* k = t[r].keys; *k; ++k) EXPECT_TRUE(seen.insert(*k).second) << *k;
        }
    }
}

TEST(DispatchTest, RecordChecksFailWithoutCallingTheCamera) {
    struct Fault {
        const char* name;
        int kind;
        bool noMediator, noApi, noBuf, noMap, noCap;
        int diCount;
    };
    const Fault faults[] = {
        {"no mediator", 1, true, false, false, false, false, 1},
        {"no camera API", 3, false, true, false, false, false, 1},
        {"no event buffer", 4, false, false, true, false, false, 1},
        {"no capability", 1, false, false, false, false, true, 1},
        {"DI without map", 2, false, false, false, true, false, 1},
        {"DI count 0", 2, false, false, false, false, false, 0},
        {"DI count negative", 2, false, false, false, false, false, -1},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        CameraRig rig;
        rig.cap.SetAPI("onvif");
        rig.cap.SetDICnt(f.diCount);
        RecordingRegistry reg;
        LogCapture log;
        BRObjectBase* obj = CreateDetector(f.kind, f.noMediator ? nullptr : &rig.med, f.noApi ? nullptr : &rig.api,
                                           f.noBuf ? nullptr : &rig.buf, f.noMap ? nullptr : &rig.bufMap, nullptr,
                                           f.noCap ? nullptr : &rig.cap, nullptr, false, reg);
        EXPECT_EQ(nullptr, obj);
        EXPECT_EQ(0, reg.calls);
        EXPECT_EQ(0, rig.api.GetPrepareCount(f.kind));
        EXPECT_EQ("", log.Text());
    }
    // An object of the wrong type where the camera API belongs counts as none.
    CameraRig rig;
    rig.cap.SetAPI("onvif");
    RecordingRegistry reg;
    EXPECT_EQ(nullptr, CreateDetector(1, &rig.med, &rig.buf, &rig.buf, nullptr, nullptr, &rig.cap, nullptr, false,
                                      reg));
    EXPECT_EQ(0, reg.calls);
}

TEST(DispatchTest, PreparationRunsOnceUnlessTheFlagIsSet) {
    for (int kind = 1; kind <= 4; ++kind) {
        for (bool flag : {false, true}) {
            SCOPED_TRACE(std::to_string(kind) + (flag ? " flag" : " no flag"));
            CameraRig rig;
            rig.cap.SetAPI("no-such-camera");
            RecordingRegistry reg;
            CreateDetector(kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap, nullptr, &rig.cap, nullptr, flag, reg);
            for (int k = 1; k <= 4; ++k) EXPECT_EQ((!flag && k == kind) ? 1 : 0, rig.api.GetPrepareCount(k)) << k;
        }
    }
}

// A mediator object of another type: its functions log and read as 0/"",
// which the tables treat like any other value.
TEST(DispatchTest, UnusableMediatorFunctionsReadAsZero) {
    CameraRig rig;
    rig.cap.SetAPI("axisv5");
    rig.cap.SetDICnt(1);
    RecordingRegistry reg;
    EventBuf notAMediator;
    LogCapture log;
    CreateDetector(1, &notAMediator, &rig.api, &rig.buf, nullptr, nullptr, &rig.cap, nullptr, true, reg);
    ASSERT_NE(nullptr, reg.last.cls);
    EXPECT_STREQ("AxisMp4Detector", reg.last.cls);
    EXPECT_NE(std::string::npos, log.Text().find("Failed to downcast BRObjectBase"));
    rig.cap.SetAPI("vivotek2");
    CreateDetector(1, &notAMediator, &rig.api, &rig.buf, nullptr, nullptr, &rig.cap, nullptr, true, reg);
    EXPECT_EQ(nullptr, reg.last.cls);
}

TEST(DispatchTest, RecordCarriesTheRecorderObjects) {
    CameraRig rig;
    rig.cap.SetAPI("onvif");
    RecordingRegistry reg;
    StreamFifo fifo;
    EventBuf rtp;  // any object: the RTP handler is built only when one is given
    CreateDetector(2, &rig.med, &rig.api, &rig.buf, &rig.bufMap, &fifo, &rig.cap, &rtp, true, reg);
    EXPECT_TRUE(reg.lastAttr.camMediatorHdl.IsValid());
    EXPECT_EQ(&rig.api, reg.lastAttr.pCamApi);
    EXPECT_TRUE(reg.lastAttr.evtBufMapHdl.IsValid());
    EXPECT_TRUE(reg.lastAttr.streamFifoHdl.IsValid());
    EXPECT_TRUE(reg.lastAttr.rtpFetchHdl.IsValid());
    CreateDetector(1, &rig.med, &rig.api, &rig.buf, &rig.bufMap, nullptr, &rig.cap, nullptr, true, reg);
    EXPECT_FALSE(reg.lastAttr.evtBufMapHdl.IsValid());  // only the DI factory builds it
    EXPECT_FALSE(reg.lastAttr.rtpFetchHdl.IsValid());
    EXPECT_FALSE(reg.lastAttr.streamFifoHdl.IsValid());
}

TEST(DispatchTest, UnbuiltClassYieldsNullFromTheExportedFactory) {
    CameraRig rig;
    rig.cap.SetAPI("no-such-camera");
    EXPECT_EQ(nullptr, MotionDetFactory(&rig.med, &rig.api, &rig.buf, nullptr, &rig.cap, nullptr, false));
    EXPECT_EQ(nullptr,
              DigitalDetFactory(&rig.med, &rig.api, &rig.buf, &rig.bufMap, nullptr, &rig.cap, nullptr, false));
    EXPECT_EQ(nullptr, TamperingDetFactory(&rig.med, &rig.api, &rig.buf, nullptr, &rig.cap, nullptr, false));
    EXPECT_EQ(nullptr, AudioDetFactory(&rig.med, &rig.api, &rig.buf, nullptr, &rig.cap, nullptr, false));
}

// ------------------------------------------------------------------ line reader

struct LineCase {
    const char* name;
    std::string buf;
    unsigned int start;
    int outMax;
    std::vector<std::string> lines;  // successive results while pos < len
    std::vector<unsigned int> positions;
};

TEST(ReadToLineEndTest, SplitsLinesAsTheParsersExpect) {
    const LineCase cases[] = {
        {"CRLF", std::string("ab\r\ncd"), 0, 128, {"ab", "cd"}, {4, 6}},
        {"LF and empty line", std::string("a\n\nb\n"), 0, 128, {"a", "", "b"}, {2, 3, 5}},
        {"lone CR", std::string("x\ry"), 0, 128, {"x", "y"}, {2, 3}},
        {"CR then LF beyond len", std::string("ab\r"), 0, 128, {"ab"}, {3}},
        {"start mid-buffer", std::string("skip\nkeep"), 5, 128, {"keep"}, {9}},
        {"long line split, byte lost", std::string("abcdef"), 0, 3, {"ab", "de"}, {3, 6}},
        {"split exactly at line end", std::string("ab\ncd"), 0, 3, {"ab", "cd"}, {3, 5}},
        {"outMax 1", std::string("ab"), 0, 1, {"", ""}, {1, 2}},
        {"NUL inside", std::string("a\0b\n", 4), 0, 128, {std::string("a\0b", 3)}, {4}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> buf(c.buf.begin(), c.buf.end());
        buf.push_back('#');  // must never be read: len excludes it
        unsigned int pos = c.start;
        std::vector<char> out(c.outMax + 8, 'Z');
        size_t i = 0;
        while (pos < c.buf.size()) {
            ASSERT_LT(i, c.lines.size());
            int n = ReadToLineEnd(buf.data(), (unsigned)c.buf.size(), pos, out.data(), c.outMax);
            EXPECT_EQ((int)c.lines[i].size(), n);
            EXPECT_EQ(c.lines[i], std::string(out.data(), n));
            EXPECT_EQ('\0', out[n]);
            EXPECT_EQ(c.positions[i], pos);
            ++i;
        }
        EXPECT_EQ(c.lines.size(), i);
    }
}

TEST(ReadToLineEndTest, LongLineWith256Buffer) {
    std::string line(300, 'q');
    unsigned int pos = 0;
    char out[256];
    EXPECT_EQ(255, ReadToLineEnd(&line[0], (unsigned)line.size(), pos, out, 256));
    EXPECT_EQ(256u, pos);
    EXPECT_EQ(44, ReadToLineEnd(&line[0], (unsigned)line.size(), pos, out, 256));
    EXPECT_EQ(300u, pos);
}

TEST(ReadToLineEndTest, AtEndNothingIsConsumed) {
    char buf[] = "abc";
    unsigned int pos = 3;
    char out[8] = "zzzzzzz";
    EXPECT_EQ(0, ReadToLineEnd(buf, 3, pos, out, 8));
    EXPECT_EQ(3u, pos);
    EXPECT_EQ('\0', out[0]);
}

}  // namespace
