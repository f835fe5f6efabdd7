// ONVIF matching and trigger rules: which notifications a detector takes, the
// per-source cache, the hold and momentary rules, the DI token map, the rules file.
#include <gtest/gtest.h>

#include "camdet/rules/onvifrules.h"
#include "camdet/vendors/onvif.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/onvifnotifs.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

namespace {

typedef OnvifPullPointDetector::OVF_EVT_INFO Info;

const char* const kMdKey = "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion";
const char* const kDiKey = "tns1:Device/Trigger/DigitalInput;LogicalState";
const char* const kTdKey = "tns1:RuleEngine/TamperDetector/Tamper;IsTamper";
const char* const kTdMomentaryKey = "tns1:RuleEngine/TamperDetector/Tamper;IsTamper;Momentary";
const char* const kMdHoldKey = "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion;Hold";

// Binds a rule's video source placeholders to the camera's one source.
int UseVideoSource(Info& info) {
    std::list<OVF_MED_VDO_SRC_CONF> confs(1);
    confs.front().field[0] = "vsc0";
    confs.front().field[2] = "vs0";
    return OnvifMatch::ReplaceVdoSrcToken(info, confs, "");
}

Info MdInfo() {
    Info info;
    info.Init(kMdKey, DET_TYPE_MD, OnvifPullPointDetector::m_EvtConf);
    EXPECT_EQ(UseVideoSource(info), 0);
    return info;
}

TEST(OnvifMatch, WhichNotificationsBelongToTheDetector) {
    Info names = MdInfo();
    Info noNames = MdInfo();
    noNames.blSrcNameIgnored = true;
    noNames.blDataNameIgnored = true;
    OVF_EVT_NOTIF extraSource = Motion("r", "true");
    extraSource.source.push_back({"Extra", "x"});
    OVF_EVT_NOTIF noData = Motion("r", "true");
    noData.data.clear();
    OVF_EVT_NOTIF renamedSource = Motion("r", "true");
    renamedSource.source.front().first = "VideoSourceToken";
    OVF_EVT_NOTIF renamedData = Motion("r", "true");
    renamedData.data.front().first = "State";
    OVF_EVT_NOTIF otherPrefix = Motion("r", "true");
    otherPrefix.topic = "ns7:RuleEngine/ns7:CellMotionDetector/Motion";
    OVF_EVT_NOTIF otherTopic = Motion("r", "true");
    otherTopic.topic = "tns1:RuleEngine/CellMotionDetector/Motion/Extra";
    OVF_EVT_NOTIF otherSource = Motion("r", "true");
    otherSource.source.front().second = "vsc1";

    struct {
        const char* name;
        OVF_EVT_NOTIF n;
        bool withNames;
        bool withoutNames;
    } rows[] = {
        {"exact", Motion("r", "true"), true, true},
        {"any rule, any analytics token", Motion("other", "false", "Changed", "zz"), true, true},
        {"data values are not looked at", Motion("r", "maybe"), true, true},
        {"Initialized", Motion("r", "true", "Initialized"), true, true},
        {"no property operation", Motion("r", "true", "@UNKNOWN@"), true, true},
        {"unknown operation", Motion("r", "true", "Modified"), false, false},
        {"other prefix", otherPrefix, true, true},
        {"other topic", otherTopic, false, false},
        {"one source item more", extraSource, false, false},
        {"data item missing", noData, false, false},
        {"source item renamed", renamedSource, false, true},
        {"data item renamed", renamedData, false, true},
        {"other video source configuration", otherSource, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(OnvifMatch::IsNotifiedMsgFound(names, r.n), r.withNames);
        EXPECT_EQ(OnvifMatch::IsNotifiedMsgFound(noNames, r.n), r.withoutNames);
    }
}

TEST(OnvifMatch, KeyWithoutMatchTopicTakesNothing) {
    OnvifEvtConf conf("/nonexistent");
    std::string error;
    ASSERT_TRUE(conf.LoadText(R"({"MotionDetection": {"keys": [
        {"key": "NoSemicolon", "trigType": 1, "data": [{"name": "IsMotion", "value": "true"}]}]}})",
                              error))
        << error;
    Info info;
    info.Init("NoSemicolon", DET_TYPE_MD, conf);
    EXPECT_EQ(std::make_pair(info.matchTopic, info.trigType), std::make_pair(std::string(), 1));
    EXPECT_FALSE(OnvifMatch::IsNotifiedMsgFound(info, Notif("", "Changed", {}, {{"IsMotion", "true"}})));
    EXPECT_FALSE(OnvifMatch::IsNotifiedMsgFound(info, Notif("NoSemicolon", "Changed", {}, {{"IsMotion", "true"}})));
}

TEST(OnvifMatch, CacheEntriesPerSource) {
    Info info = MdInfo();
    OVF_EVT_CACHE cache;
    int level = 0;
    // Differ only in the analytics token (@ANY@): one entry.
    OnvifMatch::IsStandardTrig(info, cache, {Motion("r", "true", "Changed", "a1")}, level);
    OnvifMatch::IsStandardTrig(info, cache, {Motion("r", "false", "Changed", "a2")}, level);
    ASSERT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache[0].data.front().second, "false");
    EXPECT_EQ(cache[0].topicParts, (std::vector<std::string>{"tns1:RuleEngine", "CellMotionDetector", "Motion"}));
    // Another rule (@MD_WIN@ is not @ANY@): its own entry.
    OnvifMatch::IsStandardTrig(info, cache, {Motion("r2", "true")}, level);
    EXPECT_EQ(cache.size(), 2u);
    // The cache compares the topic as sent: another prefix is another source.
    OVF_EVT_NOTIF other = Motion("r", "true");
    other.topic = "ns7:RuleEngine/CellMotionDetector/Motion";
    EXPECT_EQ(OnvifMatch::FindEvtStatus(info, cache, other), cache.size());
}

TEST(OnvifMatch, StandardRuleHoldsStateAcrossPulls) {
    Info info = MdInfo();
    OVF_EVT_CACHE cache;
    // Each step: the notifications of one pull and the expected (trigger, level).
    struct Step {
        const char* name;
        OVF_NOTIF_LIST notifs;
        bool trig;
    } steps[] = {
        {"nothing yet", {}, false},
        {"initialized triggering", {Motion("a", "true", "Initialized")}, true},
        {"empty pull keeps it", {}, true},
        {"unrelated topic keeps it", {Input("DI_0", "false")}, true},
        {"second source quiet", {Motion("b", "false")}, true},
        {"first source clears, second still quiet", {Motion("a", "false")}, false},
        {"second source triggers with 1", {Motion("b", "1")}, true},
        {"one batch: b off then a on", {Motion("b", "0"), Motion("a", "true")}, true},
        {"a off", {Motion("a", "false")}, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        int level = -1;
        EXPECT_EQ(OnvifMatch::IsStandardTrig(info, cache, s.notifs, level), s.trig);
        EXPECT_EQ(level, s.trig ? 100 : 0);
    }
}

TEST(OnvifMatch, DataRule) {
    Info info;
    info.trigValue.data = {{"A", "on|1"}, {"B", "@ANY@"}};
    EXPECT_TRUE(OnvifMatch::IsStandardEvtTrig(info, {}));
    EXPECT_TRUE(OnvifMatch::IsStandardEvtTrig(info, {{"A", "on"}, {"B", "whatever"}}));
    EXPECT_TRUE(OnvifMatch::IsStandardEvtTrig(info, {{"A", "1"}, {"B", ""}}));
    EXPECT_FALSE(OnvifMatch::IsStandardEvtTrig(info, {{"A", "o"}, {"B", "x"}}));
    EXPECT_FALSE(OnvifMatch::IsStandardEvtTrig(info, {{"A", "on"}, {"B", "x"}, {"C", "x"}}));
    // Data wildcards are only @ANY@.
    info.trigValue.data = {{"A", "@MD_WIN@"}};
    EXPECT_FALSE(OnvifMatch::IsStandardEvtTrig(info, {{"A", "x"}}));
}

TEST(OnvifMatch, VideoSourcePlaceholders) {
    std::list<OVF_MED_VDO_SRC_CONF> confs(2);
    confs.front().field[0] = "c1";
    confs.front().field[2] = "s1";
    confs.back().field[0] = "c2";
    confs.back().field[2] = "s2";
    struct {
        const char* confToken;
        const char* src;
        const char* conf;
    } rows[] = {
        {"c2", "s2", "c2"},
        {"", "s1", "c1"},         // nothing configured: the first one
        {"missing", "s1", "c1"},  // configured one not offered: the first one
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.confToken);
        Info info;
        info.trigValue.source = {{"S", "@VDOSRCTOKEN@|x"}, {"C", "@VDOSRCCONFTOKEN@"}, {"R", "@ANY@"}};
        ASSERT_TRUE(OnvifMatch::HasVdoSrcPlaceholder(info));
        ASSERT_EQ(OnvifMatch::ReplaceVdoSrcToken(info, confs, r.confToken), 0);
        const OVF_ITEM_LIST want = {{"S", std::string(r.src) + "|x"}, {"C", r.conf}, {"R", "@ANY@"}};
        EXPECT_EQ(info.trigValue.source, want);
        EXPECT_FALSE(OnvifMatch::HasVdoSrcPlaceholder(info));
    }
    Info info;
    info.trigValue.source = {{"S", "@VDOSRCTOKEN@"}};
    EXPECT_EQ(OnvifMatch::ReplaceVdoSrcToken(info, {}, "c1"), -1);
    EXPECT_EQ(info.trigValue.source, (OVF_ITEM_LIST{{"S", "@VDOSRCTOKEN@"}}));
}

TEST(OnvifMatch, TopicNamespacesAndTokens) {
    EXPECT_EQ(OnvifMatch::ParseTopicNs("tns1@http://www.onvif.org/ver10/topics,broken,tnsx@a@b,"),
              (OVF_NS_LIST{{"tns1", "http://www.onvif.org/ver10/topics"}, {"tnsx", "a@b"}}));
    std::map<std::string, int> m = OnvifMatch::TokenPortMap({"DI_0", "DI_1", "DI_0", "DI_2"});
    EXPECT_EQ(m, (std::map<std::string, int>{{"DI_0", 0}, {"DI_1", 1}, {"DI_2", 3}}));
}

// ---------------------------------------------------------------- kind classes

struct OnvifRig {
    SharingReset sharing;
    LogCapture log;
    CameraRig rig;
    OnvifRig(int diCount = 1) {
        rig.cap.SetAPI("onvif");
        rig.cap.SetDICnt(diCount);
        rig.cap.SetOnvifTopic(DET_TYPE_MD, kMdKey);
        rig.cap.SetOnvifTopic(DET_TYPE_DI, kDiKey);
        rig.cap.SetOnvifTopic(DET_TYPE_TD, kTdKey);
    }
};

TEST(OnvifKinds, HoldRuleWithInjectedClock) {
    OnvifRig r;
    r.rig.cap.SetOnvifTopic(DET_TYPE_MD, kMdHoldKey);
    OnvifMD md(r.rig.Attr());
    ASSERT_EQ(md.EvtInfo().trigType, 2);
    // No media service: the placeholder stays.
    ASSERT_EQ(UseVideoSource(md.EvtInfo()), 0);
    time_t now = 1000;
    md.SetClock([&now] { return now; });
    struct Step {
        time_t at;
        OVF_NOTIF_LIST notifs;
        bool trig;
        time_t due;  // when the held motion runs out (0: none held); a pull ends by then
    } steps[] = {
        {1000, {Motion("a", "true")}, true, 1005},
        {1004, {}, true, 1005},
        {1005, {}, false, 0},  // 5 s after the notification
        {1006, {}, false, 0},
        {1010, {Motion("a", "true")}, true, 1015},
        {1013, {Motion("a", "true")}, true, 1018},  // restarts the period
        {1017, {}, true, 1018},
        {1018, {}, false, 0},
        {1020, {Motion("a", "false")}, false, 0},
        {1021, {Motion("b", "true")}, true, 1026},  // a new source appends an entry and a stamp
        {1026, {}, false, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.at);
        now = s.at;
        int level = -1;
        EXPECT_EQ(md.IsTrig(s.notifs, level), s.trig);
        EXPECT_EQ(level, s.trig ? 100 : 0);
        EXPECT_EQ(md.HeldStateDueMs(), (int64_t)s.due * 1000);
    }
    EXPECT_EQ(md.StatusCache().size(), 2u);
}

TEST(OnvifKinds, MomentaryAndStandardTampering) {
    OnvifRig r;
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    r.rig.UseClock(clock);
    r.rig.cap.SetOnvifTopic(DET_TYPE_TD, kTdMomentaryKey);
    OnvifTD momentary(r.rig.Attr());
    ASSERT_EQ(momentary.EvtInfo().trigType, 3);
    SharingReset::Clear();
    r.rig.cap.SetOnvifTopic(DET_TYPE_TD, kTdKey);
    OnvifTD standard(r.rig.Attr());
    for (OnvifTD* td : {&momentary, &standard}) ASSERT_EQ(UseVideoSource(td->EvtInfo()), 0);
    struct Step {
        OVF_NOTIF_LIST notifs;
        bool momentaryTrig;
        bool standardTrig;
    } steps[] = {
        {{Tamper("true")}, true, true},
        {{}, false, true},
        {{Tamper("false"), Tamper("true")}, true, true},
        {{Tamper("false")}, false, false},
    };
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(i++);
        int level;
        EXPECT_EQ(momentary.IsTrig(s.notifs, level), s.momentaryTrig);
        EXPECT_TRUE(momentary.StatusCache().empty());
        // A momentary trigger is ended by a pull within 2 s, however long the pulls.
        EXPECT_EQ(momentary.HeldStateDueMs(), s.momentaryTrig ? clock.NowMs() + 2000 : 0);
        EXPECT_EQ(standard.IsTrig(s.notifs, level), s.standardTrig);
        EXPECT_EQ(standard.HeldStateDueMs(), 0);
    }
    // A rule type tampering does not know: quiet at level 0.
    standard.EvtInfo().trigType = 2;
    int level = -1;
    EXPECT_FALSE(standard.IsTrig({Tamper("true")}, level));
    EXPECT_EQ(level, 0);
}

TEST(OnvifKinds, DigitalInputsByToken) {
    OnvifRig r(3);
    OnvifDI di(r.rig.Attr(true));
    ASSERT_EQ(di.EvtInfo().trigType, 1);
    di.TokenPortMap() = OnvifMatch::TokenPortMap({"DI_0", "DI_1", "DI_2"});
    struct Step {
        const char* name;
        OVF_NOTIF_LIST notifs;
        std::map<int, bool> ports;
    } steps[] = {
        {"initial", {}, {{0, false}, {1, false}, {2, false}}},
        {"port 1 on", {Input("DI_1", "true")}, {{0, false}, {1, true}, {2, false}}},
        {"held", {}, {{0, false}, {1, true}, {2, false}}},
        {"unknown token changes nothing", {Input("DI_9", "true")}, {{0, false}, {1, true}, {2, false}}},
        {"port 2 on, port 1 off", {Input("DI_2", "1"), Input("DI_1", "false")}, {{0, false}, {1, false}, {2, true}}},
        {"port 2 off", {Input("DI_2", "false")}, {{0, false}, {1, false}, {2, false}}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(di.IsTrig(s.notifs), s.ports);
    }

    // While stopped, a pull clears every port instead of reporting.
    r.rig.bufMap.SetStatus(1, true, 100);
    di.ReportNotifs({Input("DI_1", "true")});
    EXPECT_FALSE(r.rig.bufMap.GetTrig(1));
}

TEST(OnvifKinds, DigitalInputsWithoutTokens) {
    OnvifRig r(2);
    // Capability 7 absent: no device IO call, no token map.
    OnvifDI di(r.rig.Attr(true));
    ASSERT_TRUE(di.TokenPortMap().empty());
    EXPECT_EQ(di.IsTrig({Input("DI_5", "true")}), (std::map<int, bool>{{0, true}, {1, false}}));
    EXPECT_EQ(di.IsTrig({}), (std::map<int, bool>{{0, true}, {1, false}}));
    EXPECT_EQ(di.IsTrig({Input("DI_5", "false")}), (std::map<int, bool>{{0, false}, {1, false}}));
    // A rule type the DI class does not know: every port quiet.
    di.EvtInfo().trigType = 2;
    EXPECT_EQ(di.IsTrig({Input("DI_5", "true")}), (std::map<int, bool>{{0, false}, {1, false}}));
}

TEST(OnvifKinds, UnknownKeyNeverTriggers) {
    OnvifRig r;
    // Neither configured nor "TOPIC;ITEM": no rule at all.
    r.rig.cap.SetOnvifTopic(DET_TYPE_AD, "tns1:AudioAnalytics/Audio/DetectedSound;IsSoundDetected;NoSuchVariant");
    OnvifAD ad(r.rig.Attr());
    EXPECT_EQ(ad.EvtInfo().trigType, 0);
    int level = -1;
    OVF_EVT_NOTIF n = Notif("tns1:AudioAnalytics/Audio/DetectedSound", "Changed", {}, {{"IsSoundDetected", "true"}});
    EXPECT_FALSE(ad.IsTrig({n}, level));
    EXPECT_EQ(level, 0);
}

// Keys made from a device's topic list ("TOPIC;ITEM") get their rule from
// the topic table and find items by name.
TEST(OnvifMatch, ItemsByName) {
    Info info;
    info.Init("tns1:RuleEngine/MotionRegionDetector/Motion;State", DET_TYPE_MD, OnvifPullPointDetector::m_EvtConf);
    ASSERT_TRUE(info.blByName);
    ASSERT_EQ(info.trigType, 1);
    ASSERT_EQ(UseVideoSource(info), 0);
    auto region = [](OVF_ITEM_LIST src, OVF_ITEM_LIST data) {
        return Notif("tns1:RuleEngine/MotionRegionDetector/Motion", "Changed", src, data);
    };
    const OVF_ITEM_LIST std3 = {{"VideoSourceConfigurationToken", "vsc0"}, {"VideoAnalyticsConfigurationToken", "a"},
                                {"Rule", "r"}};
    struct {
        const char* name;
        OVF_EVT_NOTIF n;
        bool taken;
        bool trig;
    } rows[] = {
        {"the table's items", region(std3, {{"State", "true"}}), true, true},
        {"items in another order, one more",
         region({{"Rule", "r"}, {"Extra", "x"}, {"VideoSourceConfigurationToken", "vsc0"}},
                {{"Level", "40"}, {"State", "1"}}),
         true, true},
        {"no source items at all", region({}, {{"State", "true"}}), true, true},
        {"value in capitals", region(std3, {{"State", "TRUE"}}), true, true},
        {"quiet", region(std3, {{"State", "false"}}), true, false},
        {"another video source configuration", region({{"VideoSourceConfigurationToken", "vsc1"}}, {{"State", "true"}}),
         false, false},
        {"the item missing", region(std3, {{"IsMotion", "true"}}), false, false},
        {"another topic", Notif("tns1:RuleEngine/CellMotionDetector/Motion", "Changed", std3, {{"State", "true"}}),
         false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(OnvifMatch::IsNotifiedMsgFound(info, r.n), r.taken);
        OVF_EVT_CACHE cache;
        int level;
        EXPECT_EQ(OnvifMatch::IsStandardTrig(info, cache, {r.n}, level), r.trig);
    }
    // A source is told apart by its items other than the @ANY@ ones.
    OVF_EVT_CACHE cache;
    int level;
    OnvifMatch::IsStandardTrig(info, cache, {region({{"Rule", "r1"}, {"VideoAnalyticsConfigurationToken", "a"}},
                                                    {{"State", "true"}})},
                               level);
    OnvifMatch::IsStandardTrig(info, cache, {region({{"Rule", "r1"}, {"VideoAnalyticsConfigurationToken", "b"}},
                                                    {{"State", "false"}})},
                               level);
    EXPECT_EQ(cache.size(), 1u);
    OnvifMatch::IsStandardTrig(info, cache, {region({{"Rule", "r2"}}, {{"State", "true"}})}, level);
    EXPECT_EQ(cache.size(), 2u);

    // Inputs: a vendor topic's port item, found through the token map.
    Info di;
    di.Init("tns1:Device/tnsv:IO/Port;state", DET_TYPE_DI, OnvifPullPointDetector::m_EvtConf);
    ASSERT_TRUE(di.blByName);
    OVF_EVT_CACHE diCache;
    std::map<std::string, int> tokens = OnvifMatch::TokenPortMap({"IN0", "IN1"});
    OVF_EVT_NOTIF port = Notif("tns1:Device/tnsv:IO/Port", "Changed", {{"port", "IN1"}}, {{"state", "1"}});
    EXPECT_EQ(OnvifMatch::DITrig(di, diCache, tokens, 2, {port}), (std::map<int, bool>{{0, false}, {1, true}}));
}

// ---------------------------------------------------------------- configuration

TEST(OnvifEvtConf, ShippedFileLoadsAndIsTheFallback) {
    LogCapture log;
    OnvifEvtConf file(std::string(CAMDET_TEST_DATA) + "/../../host/onvif/data/onvifevtconf.json");
    EXPECT_EQ(log.Text(), "");
    OnvifEvtConf builtin("/nonexistent/onvifevtconf.json");
    EXPECT_NE(log.Text().find("using the built-in rules"), std::string::npos);
    // The fallback is the shipped file compiled in: it only has to be there.
    for (const char* kind : {"MotionDetection", "DigitalInput", "TamperingDetection", "AudioDetection"})
        EXPECT_FALSE(builtin.GetKeys(kind).empty()) << kind;
    // Configured keys keep their rules; "TOPIC;ITEM" keys not among them are
    // made from the table, and nothing else is.
    EXPECT_FALSE(file.IsMatchedByName("MotionDetection", "tns1:VideoSource/MotionAlarm;State"));
    EXPECT_TRUE(file.IsMatchedByName("TamperingDetection", "ns:VideoSource/GlobalSceneChange/AnyService;State"));
    EXPECT_EQ(file.GetTrigValue("TamperingDetection", "ns:VideoSource/GlobalSceneChange/AnyService;State").source,
              (OVF_ITEM_LIST{{"Source", "@VDOSRCTOKEN@"}}));
    EXPECT_EQ(file.GetTrigValue("DigitalInput", "tns1:Vendor/Alarm;on").source, (OVF_ITEM_LIST{{"*", "@DI_PORT@"}}));
    EXPECT_EQ(file.GetTrigType("MotionDetection", "tns1:VideoSource/MotionAlarm;State;Sometimes"), 0);
    EXPECT_EQ(file.GetTrigType("MotionDetection", ";State"), 0);
}

TEST(OnvifEvtConf, BadFilesFallBackWithOneLine) {
    struct {
        const char* name;
        const char* text;
    } rows[] = {
        {"not JSON", "{ \"MotionDetection\": "},
        {"no keys", "{\"MotionDetection\": {\"default\": \"x\"}}"},
        {"trigType text", "{\"MotionDetection\": {\"keys\": [{\"key\": \"a;b\", \"trigType\": \"1\"}]}}"},
        {"item without value", "{\"MotionDetection\": {\"keys\": [{\"key\": \"a;b\", \"trigType\": 1, "
                               "\"source\": [{\"name\": \"x\"}]}]}}"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = "/tmp/onvifevtconf-" + std::to_string(getpid());
        camtest::WriteFile(path, r.text);
        LogCapture log;
        OnvifEvtConf conf(path);
        unlink(path.c_str());
        std::string text = log.Text();
        EXPECT_NE(text.find("host/onvifevtconf:"), std::string::npos);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
        EXPECT_EQ(conf.GetTrigType("MotionDetection", kMdKey), 1);  // defaults in use
    }
}

}  // namespace
