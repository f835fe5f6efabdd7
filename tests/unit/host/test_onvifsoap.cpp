// ONVIF answers as cameras send them: different prefixes for the same
// namespaces, default namespaces, white space, messages with and without a
// property operation, several notifications per pull, and hostile input that
// must fail cleanly. (Faults and another operation's answer: the client tests.)
#include <gtest/gtest.h>


#include "camdet/rules/onvifrules.h"
#include "host/onvif/onvifsoap.h"
#include "interface/onvifservice.h"
#include "tests/fixtures/testutil.h"

namespace {

std::string Answer(const std::string& name) {
    const std::string text = camtest::TestData("onvif/" + name);
    EXPECT_FALSE(text.empty()) << name;
    return text;
}

std::string Items(const OVF_ITEM_LIST& items) {
    std::string s;
    for (const auto& it : items) s += it.first + "=" + it.second + ";";
    return s;
}

// One line per notification: topic|operation|source|data
std::string Describe(const OVF_EVT_PULL_MSG& msg) {
    std::string s;
    for (const OVF_EVT_NOTIF& n : msg.notifs)
        s += n.topic + "|" + n.propOper + "|" + Items(n.source) + "|" + Items(n.data) + "\n";
    return s;
}

TEST(OnvifSoapPull, CamerasAnswers) {
    struct {
        const char* file;
        const char* notifs;
    } rows[] = {
        {"pull_motion_changed.xml",
         "tns1:RuleEngine/CellMotionDetector/Motion|Changed|VideoSourceConfigurationToken=VideoSourceConfig_1;"
         "VideoAnalyticsConfigurationToken=VideoAnalyticsConfig_1;Rule=MyMotionDetectorRule;|IsMotion=true;\n"},
        {"pull_other_prefixes.xml",
         "tns1:VideoSource/MotionAlarm|Initialized|Source=VideoSource_1;|State=false;\n"
         "tns1:Device/Trigger/DigitalInput|Initialized|InputToken=DI_0;|LogicalState=true;\n"},
        {"pull_no_property_default_ns.xml",
         "tns1:AudioAnalytics/Audio/DetectedSound|@UNKNOWN@|AudioSourceConfigurationToken=AudioSrcCfg&1;"
         "AudioAnalyticsConfigurationToken=AudioAnalytics_1;Rule=Detector;|IsSoundDetected=1;\n"},
        {"pull_empty.xml", ""},
        {"pull_several.xml",
         "tns1:RuleEngine/TamperDetector/Tamper|Changed|VideoSourceConfigurationToken=vsc0;"
         "VideoAnalyticsConfigurationToken=va0;Rule=Tamper;|IsTamper=true;\n"
         "tns1:Device/Trigger/DigitalInput|Changed|InputToken=DI_1;|LogicalState=true;\n"
         "tnsvendor:Monitoring/Heartbeat|@UNKNOWN@||Alive=true;\n"
         "tns1:RuleEngine/CellMotionDetector/Motion|Deleted|VideoSourceConfigurationToken=vsc0;"
         "VideoAnalyticsConfigurationToken=va0;Rule=Cell;|IsMotion=false;\n"},
        {"pull_soap11.xml",
         "tns1:VideoSource/GlobalSceneChange/ImagingService|Changed|Source=VideoSource_1;|State=true;\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        std::string a = Answer(r.file);
        OVF_EVT_PULL_MSG msg;
        ASSERT_EQ(OnvifSoap::ParsePullMessages(a.data(), a.size(), msg), OVF_SOAP_OK);
        EXPECT_EQ(Describe(msg), r.notifs);
    }
}

// The topic lists of GetEventProperties, one line per topic:
// topic|source items|data items (name:type).
std::string DescribeTopics(const std::vector<OVF_TOPIC_DESC>& topics) {
    std::string s;
    for (const OVF_TOPIC_DESC& t : topics) {
        s += t.topic + "|";
        for (const OVF_ITEM_DESC& d : t.source) s += d.name + ";";
        s += "|";
        for (const OVF_ITEM_DESC& d : t.data) s += d.name + ":" + d.type + ";";
        s += "\n";
    }
    return s;
}

TEST(OnvifSoapTopics, CamerasTopicLists) {
    struct {
        const char* file;
        const char* topics;
    } rows[] = {
        {"event_properties_cellmotion.xml",
         "tns1:RuleEngine/CellMotionDetector/Motion|VideoSourceConfigurationToken;VideoAnalyticsConfigurationToken;"
         "Rule;|IsMotion:xs:boolean;\n"
         "tns1:RuleEngine/TamperDetector/Tamper|VideoSourceConfigurationToken;VideoAnalyticsConfigurationToken;Rule;|"
         "IsTamper:xs:boolean;\n"
         "tns1:VideoSource/MotionAlarm|Source;|State:xs:boolean;\n"
         "tns1:VideoSource/ImageTooBlurry/ImagingService|Source;|State:xs:boolean;\n"
         "tns1:Device/Trigger/DigitalInput|InputToken;|LogicalState:xs:boolean;\n"
         "tns1:Device/Trigger/Relay|RelayToken;|LogicalState:tt:RelayLogicalState;\n"
         "tns1:AudioAnalytics/Audio/DetectedSound|AudioSourceConfigurationToken;AudioAnalyticsConfigurationToken;Rule;|"
         "IsSoundDetected:xs:boolean;\n"
         "tns1:Monitoring/ProcessorUsage|Token;|Value:xs:float;\n"},
        // Another prefix for the topics, no wstop:topic on the inner levels.
        {"event_properties_motionalarm.xml",
         "tns:VideoSource/MotionAlarm|Source;|State:xsd:boolean;\n"
         "tns:VideoSource/GlobalSceneChange/ImagingService|Source;|State:xsd:boolean;\n"
         "tns:Device/Trigger/DigitalInput|InputToken;|LogicalState:xsd:boolean;\n"},
        // Default namespaces throughout, vendor levels, a topic with two data items.
        {"event_properties_vendor.xml",
         "tns1:RuleEngine/MotionRegionDetector/Motion|VideoSource;RuleName;|State:xs:boolean;\n"
         "tns1:Device/tnsv:IO/Port|port;|state:xs:boolean;\n"
         "tns1:Device/tnsv:Status/SystemReady||ready:xs:boolean;\n"
         "tns1:VideoAnalytics/tnsv:MotionDetection|window;|level:xs:int;active:xs:boolean;\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        std::string a = Answer(r.file);
        std::vector<OVF_TOPIC_DESC> topics;
        ASSERT_EQ(OnvifSoap::ParseEventProperties(a.data(), a.size(), topics), OVF_SOAP_OK);
        EXPECT_EQ(DescribeTopics(topics), r.topics);
    }
}

// What fuzzing cannot reach in its small inputs: depth, sizes and counts past
// the bounds. (Other garbage, and the bounds on counts: fuzz_onvif_soap.)
TEST(OnvifSoapHostile, FailsCleanly) {
    std::string deep = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>";
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    std::string hugeText = Answer("pull_motion_changed.xml");
    size_t at = hugeText.find("tns1:RuleEngine");
    hugeText.insert(at, std::string(kOnvifSoapMaxLen, 'x'));
    std::string manyNotifs = Answer("pull_motion_changed.xml");
    size_t nm = manyNotifs.find("<wsnt:NotificationMessage>");
    size_t nmEnd = manyNotifs.find("</wsnt:NotificationMessage>") + strlen("</wsnt:NotificationMessage>");
    std::string one = manyNotifs.substr(nm, nmEnd - nm);
    std::string repeated;
    for (size_t i = 0; i < kOnvifMaxNotifs + 50; ++i) repeated += one;
    manyNotifs.replace(nm, nmEnd - nm, repeated);

    struct {
        const char* name;
        std::string text;
        int rc;
    } rows[] = {
        {"a pull cut short", Answer("truncated_pull.xml"), OVF_SOAP_ERR_XML},
        {"not SOAP", Answer("not_soap.xml"), OVF_SOAP_ERR_SHAPE},
        {"deep nesting", deep, OVF_SOAP_ERR_XML},
        {"huge topic text", hugeText, OVF_SOAP_ERR_SIZE},
        // Entities are never expanded: the document is just not an envelope.
        {"entity bomb", "<!DOCTYPE a [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;\">]><a>&b;</a>", OVF_SOAP_ERR_SHAPE},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        OVF_EVT_PULL_MSG msg;
        int rc = OnvifSoap::ParsePullMessages(r.text.data(), r.text.size(), msg);
        EXPECT_EQ(rc, r.rc);
        EXPECT_TRUE(msg.notifs.empty());
    }
    // A camera sending more than it was asked for is cut at the bound.
    OVF_EVT_PULL_MSG msg;
    ASSERT_EQ(OnvifSoap::ParsePullMessages(manyNotifs.data(), manyNotifs.size(), msg), OVF_SOAP_OK);
    EXPECT_EQ(msg.notifs.size(), kOnvifMaxNotifs);
}

TEST(OnvifSoapOther, SubscriptionAndServiceAnswers) {
    std::string a = Answer("create_pullpoint.xml");
    OVF_EVT_PULL_PT pp;
    ASSERT_EQ(OnvifSoap::ParseCreatePullPoint(a.data(), a.size(), pp), OVF_SOAP_OK);
    EXPECT_EQ(pp.termSecondsLeft, 60);  // by the camera's own clock
    a = Answer("renew.xml");
    ASSERT_EQ(OnvifSoap::ParseRenew(a.data(), a.size(), pp), OVF_SOAP_OK);
    EXPECT_EQ(pp.address, "http://192.0.2.10/onvif/Subscription?Idx=7");  // the created one, kept
    EXPECT_EQ(pp.termSecondsLeft, 60);
    a = Answer("pull_motion_changed.xml");
    OVF_EVT_PULL_MSG msg;
    ASSERT_EQ(OnvifSoap::ParsePullMessages(a.data(), a.size(), msg), OVF_SOAP_OK);
    EXPECT_EQ(msg.termSecondsLeft, 60);
    a = Answer("pull_empty.xml");
    ASSERT_NE(OnvifSoap::ParseRenew(a.data(), a.size(), pp), OVF_SOAP_OK);  // not a renewal
    a = Answer("create_pullpoint_no_address.xml");
    ASSERT_EQ(OnvifSoap::ParseCreatePullPoint(a.data(), a.size(), pp), OVF_SOAP_OK);
    EXPECT_EQ(pp.address, "");

    a = Answer("video_source_configurations.xml");
    std::list<OVF_MED_VDO_SRC_CONF> confs;
    ASSERT_EQ(OnvifSoap::ParseVideoSourceConfigurations(a.data(), a.size(), confs), OVF_SOAP_OK);
    std::vector<std::string> sources;  // configuration token|source token
    for (const auto& c : confs) sources.push_back(c.field[0] + "|" + c.field[2]);
    EXPECT_EQ(sources,
              (std::vector<std::string>{"VideoSourceConfig_1|VideoSource_1", "VideoSourceConfig_2|VideoSource_2"}));

    a = Answer("digital_inputs.xml");
    std::vector<std::string> tokens;
    ASSERT_EQ(OnvifSoap::ParseDigitalInputs(a.data(), a.size(), tokens), OVF_SOAP_OK);
    EXPECT_EQ(tokens, (std::vector<std::string>{"DI_0", "DI_1", "DI_0"}));

    OnvifServiceEnt ent;
    OnvifVersion ver;
    a = Answer("services.xml");
    ASSERT_EQ(OnvifSoap::ParseServices(a.data(), a.size(), ent, ver), OVF_SOAP_OK);
    EXPECT_EQ(ent.entry[0], "http://192.0.2.10/onvif/device_service");
    EXPECT_EQ(ent.entry[1], "http://192.0.2.10/onvif/Media");  // not Media2
    EXPECT_EQ(ent.entry[3], "http://192.0.2.10/onvif/Events");
    EXPECT_EQ(ent.entry[5], "http://192.0.2.10/onvif/DeviceIO");
    EXPECT_EQ(ent.entry[2], "");

    a = Answer("capabilities.xml");
    ASSERT_EQ(OnvifSoap::ParseCapabilities(a.data(), a.size(), ent, ver), OVF_SOAP_OK);
    EXPECT_EQ(ent.entry[1], "http://192.0.2.11/onvif/media_service");  // events: the client test
    EXPECT_EQ(ent.entry[5], "http://192.0.2.11/onvif/deviceio_service");
}

TEST(OnvifSoapSecurity, PasswordDigestAndTimes) {
    // Digest of a fixed nonce, time and password, computed independently
    // (printf 'NONCE0123456789A2024-05-01T10:00:00Zsecret' | sha1sum | xxd -r -p | base64).
    EXPECT_EQ(OnvifSoap::PasswordDigest("NONCE0123456789A", "2024-05-01T10:00:00Z", "secret"),
              "i1mWEtfe7wzdVdcwtkvoC20KOpo=");
    time_t t;
    ASSERT_TRUE(OnvifSoap::ParseIsoUtc("2024-05-01T10:00:00.250Z", t));
    EXPECT_EQ(OnvifSoap::IsoUtc(t), "2024-05-01T10:00:00Z");
    std::string h = OnvifSoap::UsernameTokenHeader("a<b", "pw", "n", "c");
    EXPECT_NE(h.find("<wsse:Username>a&lt;b</wsse:Username>"), std::string::npos);
    EXPECT_EQ(h.find("pw"), std::string::npos);  // the password itself never travels
}

TEST(OnvifTopic, NoNamespaceForm) {
    struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"tns1:RuleEngine/CellMotionDetector/Motion", "RuleEngine/CellMotionDetector/Motion"},
        {"  tns1:Device/tnsaxis:IO/Port\n", "Device/IO/Port"},
        {"RuleEngine/Motion", "RuleEngine/Motion"},
        {"a:b:c/d", "b:c/d"},
        {"", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(GetNoNsTopic(r.in), r.out) << r.in;
    // The rules' own copy (they link nothing of the recorder's) must agree
    // with it, also on what no camera should send.
    const char* const odd[] = {"tns1:A/", "/x:B", ":A", "a:/b:", "  ", "\t:\n", "a//b", "x:y:z/:/w", "tns1:A/B\r\n/C",
                               "tns1:A/B\t"};
    for (const auto& r : rows) EXPECT_EQ(OnvifMatch::NoNsTopic(r.in), r.out) << r.in;
    for (const char* in : odd) EXPECT_EQ(OnvifMatch::NoNsTopic(in), GetNoNsTopic(in)) << in;
}

}  // namespace
