// The ONVIF clients over a scripted transport: what goes on the wire (WS-
// Security token on the camera's clock, actions, addresses, namespaces), the
// retry after an authentication fault, and log lines without credentials.
#include <gtest/gtest.h>

#include <deque>

#include "host/onvif/onvifsetup.h"
#include "camdet/vendors/onvif.h"
#include "host/onvif/onvifsoap.h"
#include "interface/onvifservice.h"
#include "interface/camhealth.h"
#include "interface/clock.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/onvifnotifs.h"
#include "tests/fixtures/onvifprobe.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

namespace {

std::string Answer(const std::string& name) { return camtest::TestData("onvif/" + name); }

std::string Between(const std::string& s, const std::string& a, const std::string& b) {
    size_t p = s.find(a);
    if (p == std::string::npos) return std::string();
    p += a.size();
    size_t q = s.find(b, p);
    return q == std::string::npos ? std::string() : s.substr(p, q - p);
}

struct Request {
    std::string url, action, body;
    int timeoutSec;
};

// Answers by action (the first entry whose action suffix matches), else the
// next answer in order; an answer whose status is negative is an exchange
// that broke (-1: before any answer, -200: after a 200 head).
class ScriptedTransport : public OnvifTransport {
public:
    int Post(const std::string& url, const std::string& action, const std::string& body, const std::string&,
             const std::string&, int timeoutSec, int& httpStatus, std::string& response) override {
        requests.push_back(Request{url, action, body, timeoutSec});
        std::pair<int, std::string> a(-1, "");
        for (const auto& b : byAction) {
            if (action.size() >= b.first.size() &&
                action.compare(action.size() - b.first.size(), b.first.size(), b.first) == 0) {
                a = b.second;
                break;
            }
        }
        if (a.first == -1 && !answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        httpStatus = a.first < 0 ? (a.first == -1 ? 0 : -a.first) : a.first;
        response = a.second;
        return a.first < 0 ? -1 : 0;
    }
    std::vector<Request> requests;
    std::deque<std::pair<int, std::string> > answers;
    std::vector<std::pair<std::string, std::pair<int, std::string> > > byAction;  // action suffix -> answer
};

// An event client whose exchanges go to `t`.
void UseTransport(OnvifEventService& ev, const std::shared_ptr<ScriptedTransport>& t) {
    ev.UpdateServiceParam(nullptr, "http://127.0.0.1:8080/onvif/events", "", "");
    ev.SetTransport(t);
}

// A camera whose clock is years behind ours: its answer, and its time.
std::string ClockAnswer() { return Answer("system_date_and_time.xml"); }
time_t CameraTime() {
    time_t t = 0;
    EXPECT_TRUE(OnvifSoap::ParseIsoUtc("2024-05-01T10:20:30Z", t));
    return t;
}

TEST(OnvifClient, TokenOnTheCamerasClockAndRetryAfterAuthFault) {
    LogCapture log;
    auto t = std::make_shared<ScriptedTransport>();
    OnvifProbe<OnvifEventService> ev;
    ASSERT_EQ(ev.UpdateServiceParam(nullptr, "http://127.0.0.1:8080/onvif/events", "2", "60"), 0);
    ev.SetLogin("admin", "S3cr&t", "http://127.0.0.1:8080/onvif/device_service");
    ev.SetTransport(t);
    const time_t now = time(nullptr), cam = CameraTime();
    t->answers = {{200, ClockAnswer()},
                  {400, Answer("fault_not_authorized.xml")},
                  {200, ClockAnswer()},
                  {200, Answer("create_pullpoint.xml")}};
    OVF_EVT_PULL_PT pp;
    OVF_NS_LIST ns = {{"tns1", "http://www.onvif.org/ver10/topics"}, {"bad prefix", "x"}, {"v", "a\"b"}};
    ASSERT_EQ(ev.CreatePullPointSubscription("", "PT60S", ns, pp), 0);
    EXPECT_EQ(pp.address, "http://192.0.2.10/onvif/Subscription?Idx=7");
    ASSERT_EQ(t->requests.size(), 4u);
    EXPECT_EQ(t->requests[0].body.find("wsse:Security"), std::string::npos);  // the clock is asked anonymously
    EXPECT_EQ(t->requests[2].url, "http://127.0.0.1:8080/onvif/device_service");  // asked again after the fault
    for (size_t i : {1u, 3u}) {
        const Request& r = t->requests[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.url, "http://127.0.0.1:8080/onvif/events");
        EXPECT_EQ(r.action,
                  "http://www.onvif.org/ver10/events/wsdl/EventPortType/CreatePullPointSubscriptionRequest");
        EXPECT_EQ(Between(r.body, "<wsa:Action>", "</wsa:Action>"), r.action);
        EXPECT_NE(r.body.find("<tev:InitialTerminationTime>PT60S</tev:InitialTerminationTime>"), std::string::npos);
        EXPECT_NE(r.body.find("xmlns:tns1=\"http://www.onvif.org/ver10/topics\""), std::string::npos);
        EXPECT_NE(r.body.find("xmlns:v=\"a&quot;b\""), std::string::npos);
        EXPECT_EQ(r.body.find("bad prefix"), std::string::npos);
        EXPECT_EQ(r.body.find("S3cr&t"), std::string::npos);
        // The digest is over the raw nonce, the creation time and the password.
        std::string nonceB64 = Between(r.body, "#Base64Binary\">", "</wsse:Nonce>");
        std::string created = Between(r.body, "<wsu:Created>", "</wsu:Created>");
        std::string digest = Between(r.body, "#PasswordDigest\">", "</wsse:Password>");
        std::string nonce;
        ASSERT_TRUE(OnvifSoap::Base64Decode(nonceB64, nonce));
        EXPECT_EQ(nonce.size(), 16u);
        EXPECT_EQ(digest, OnvifSoap::PasswordDigest(nonce, created, "S3cr&t"));
        time_t c;
        ASSERT_TRUE(OnvifSoap::ParseIsoUtc(created, c));
        EXPECT_NEAR((double)(c - cam), 0.0, 5.0);
    }
    EXPECT_NEAR((double)ev.ClockOffset(), (double)(cam - now), 5.0);
    EXPECT_EQ(log.Text(), "");  // a fault that the retry cured is not logged
}

// What a failed call tells about the camera: whether an answer came at all,
// and whether what it carried may be lost.
TEST(OnvifClient, FailuresSayWhatTheCameraDid) {
    LogCapture log;
    auto t = std::make_shared<ScriptedTransport>();
    BrellinOwned::CameraHealth health(BrellinOwned::RealClock());  // outlives the client
    OnvifEventService ev;
    UseTransport(ev, t);
    ev.SetHealth(&health, BrellinOwned::RealClock());
    OVF_EVT_PULL_PT pp;
    pp.address = "http://127.0.0.1:8080/onvif/sub?id=3&x=<1>";
    using namespace BrellinOwned;
    struct {
        const char* name;
        std::pair<int, std::string> answer;
        int rc;
        int health;  // the camera's state after it
        size_t notifs = 0;
    } rows[] = {
        {"a pull", {200, Answer("pull_several.xml")}, 0, CAM_HEALTH_OK, 4},
        {"nothing came", {-1, ""}, kOnvifNoAnswer, CAM_HEALTH_UNREACHABLE},
        {"cut off after the head", {-200, ""}, kOnvifBadAnswer, CAM_HEALTH_UNREACHABLE},
        {"garbage with 200", {200, "\x17\x03garbage"}, kOnvifBadAnswer, CAM_HEALTH_ERROR},
        {"a pull again", {200, Answer("pull_empty.xml")}, 0, CAM_HEALTH_OK},
        {"another operation's answer", {200, Answer("create_pullpoint.xml")}, kOnvifBadAnswer, CAM_HEALTH_ERROR},
        {"a SOAP fault", {400, Answer("fault_soap11.xml")}, kOnvifFault, CAM_HEALTH_ERROR},
        {"NotAuthorized", {400, Answer("fault_not_authorized.xml")}, kOnvifFault, CAM_HEALTH_UNAUTHORIZED},
        {"an HTTP error page", {503, "<html>busy</html>"}, kOnvifFault, CAM_HEALTH_ERROR},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        t->answers = {r.answer};
        OVF_EVT_PULL_MSG msg;
        EXPECT_EQ(ev.PullMessages(pp, "PT60S", "8", msg), r.rc);
        EXPECT_STREQ(CamHealthName(health.Get().state), CamHealthName(r.health));
        EXPECT_EQ(msg.notifs.size(), r.notifs);
    }
    // Pulls go to the subscription, without a token when there is no login.
    const Request& pull = t->requests[0];
    EXPECT_EQ(pull.url, pp.address);
    EXPECT_EQ(pull.timeoutSec, 70);  // the client's 10 s and the camera's hold
    EXPECT_NE(pull.body.find("<tev:Timeout>PT60S</tev:Timeout><tev:MessageLimit>8</tev:MessageLimit>"),
              std::string::npos);
    EXPECT_NE(pull.body.find("<wsa:To>http://127.0.0.1:8080/onvif/sub?id=3&amp;x=&lt;1&gt;</wsa:To>"),
              std::string::npos);
    EXPECT_EQ(pull.body.find("wsse:Security"), std::string::npos);

    // The device check asks for the time, any answer is an answer (that it
    // goes without a login: the ration test below).
    ev.SetLogin("admin", "pw", "http://127.0.0.1:8080/onvif/device_service");
    t->requests.clear();
    t->answers = {{200, ClockAnswer()}, {400, Answer("fault_not_authorized.xml")}, {-1, ""}};
    EXPECT_EQ(ev.CheckDevice(2), 0);
    EXPECT_EQ(ev.CheckDevice(2), 0);
    EXPECT_EQ(ev.CheckDevice(2), kOnvifNoAnswer);
    ASSERT_EQ(t->requests.size(), 3u);
    for (const Request& r : t->requests) {
        EXPECT_EQ(r.url, "http://127.0.0.1:8080/onvif/device_service");
        EXPECT_EQ(r.timeoutSec, 2);
    }
}

// A refused login spends the camera's ration (the retry with a new clock
// included); the unauthenticated device check never does and always goes out.
TEST(OnvifClient, NotAuthorizedSpendsTheRationNotTheDeviceCheck) {
    LogCapture log;
    camtest::FakeClock clock;
    auto t = std::make_shared<ScriptedTransport>();
    t->byAction = {{"GetSystemDateAndTime", {200, ClockAnswer()}},
                  {"CreatePullPointSubscriptionRequest", {400, Answer("fault_not_authorized.xml")}}};
    BrellinOwned::CameraHealth health(clock);
    OnvifEventService ev;
    UseTransport(ev, t);
    ev.SetHealth(&health, clock);
    ev.SetLogin("admin", "wrong", "http://127.0.0.1:8080/onvif/device_service");
    int checks = 0;
    for (int i = 0; i < 30; ++i) {  // five minutes, a create and a check every 10 s
        OVF_EVT_PULL_PT pp;
        EXPECT_EQ(ev.CreatePullPointSubscription("", "PT60S", OVF_NS_LIST(), pp), kOnvifFault);
        EXPECT_EQ(ev.CheckDevice(2), 0);
        ++checks;
        clock.Advance(10000);
    }
    int logins = 0, anonymous = 0;
    for (const Request& r : t->requests) {
        if (r.body.find("UsernameToken") != std::string::npos) logins++;
        else if (r.action.find("GetSystemDateAndTime") != std::string::npos) anonymous++;
    }
    EXPECT_EQ(logins, 3);
    EXPECT_GE(anonymous, checks);
    EXPECT_EQ(health.Get().state, BrellinOwned::CAM_HEALTH_UNAUTHORIZED);
    EXPECT_NE(log.Text().find("held back"), std::string::npos) << log.Text();
}

TEST(OnvifClient, ServiceAddressesAndLogsWithoutCredentials) {
    LogCapture log;
    auto t = std::make_shared<ScriptedTransport>();
    OnvifDeviceService dev;
    EXPECT_EQ(dev.UpdateServiceParam(nullptr, "rtsp://x", "", ""), -1);
    EXPECT_FALSE(dev.IsSupported());
    ASSERT_EQ(dev.UpdateServiceParam(nullptr, "http://user:pw@127.0.0.1/onvif/device_service", "", ""), 0);
    EXPECT_TRUE(dev.IsSupported());
    dev.SetTransport(t);
    // GetServices unknown to this camera: GetCapabilities instead.
    t->answers = {{400, Answer("fault_soap11.xml")}, {200, Answer("capabilities.xml")}};
    OnvifServiceEnt ent;
    OnvifVersion ver;
    ASSERT_EQ(dev.GetServiceAddresses(ent, ver), 0);
    EXPECT_EQ(ent.entry[3], "http://192.0.2.11/onvif/event_service");
    EXPECT_EQ(t->requests[0].action, "http://www.onvif.org/ver10/device/wsdl/GetServices");
    EXPECT_EQ(t->requests[1].action, "http://www.onvif.org/ver10/device/wsdl/GetCapabilities");
    std::string text = log.Text();
    EXPECT_NE(text.find("http://127.0.0.1/onvif/device_service"), std::string::npos);
    EXPECT_EQ(text.find("pw"), std::string::npos);
}

// ---------------------------------------------------------------- topics from the device

// Is the detector of `kind` triggered by the notification?
bool Triggers(OnvifPullPointDetector& det, int kind, const OVF_EVT_NOTIF& n) {
    int level = 0;
    if (kind == DET_TYPE_DI) return det.IsTrig(OVF_NOTIF_LIST{n})[0];
    return det.IsTrig(OVF_NOTIF_LIST{n}, level) && level == 100;
}

// The recorder sets the camera up against a device answering with a real
// camera's topic list; the detector of each kind, made with no topic key
// given, takes that camera's notifications. (The simulator's cell-motion
// list, one topic per kind: the ONVIF end-to-end test.)
TEST(OnvifSetup, TopicsChosenFromWhatTheDeviceLists) {
    const OVF_ITEM_LIST kRuleSrc = {
        {"VideoSourceConfigurationToken", "vsc0"}, {"VideoAnalyticsConfigurationToken", "va0"}, {"Rule", "r"}};
    const OVF_ITEM_LIST kAudioSrc = {
        {"AudioSourceConfigurationToken", "a0"}, {"AudioAnalyticsConfigurationToken", "aa0"}, {"Rule", "r"}};
    typedef OnvifSetupReport::Choice C;
    struct {
        const char* name;
        const char* file;  // GetEventProperties answer; null: the device does not know the operation
        int kind;
        const char* key;
        C::From from;
        const char* item;  // of the notifications
        const char* on;
        const char* off;
        OVF_EVT_NOTIF notif;
    } rows[] = {
        {"motion alarm with State", "event_properties_motionalarm.xml", DET_TYPE_MD,
         "tns:VideoSource/MotionAlarm;State", C::kDevice, "State", "true", "false",
         Notif("tns1:VideoSource/MotionAlarm", "Changed", {{"Source", "vs0"}}, {})},
        {"region motion, any case", "event_properties_vendor.xml", DET_TYPE_MD,
         "tns1:RuleEngine/MotionRegionDetector/Motion;State", C::kDevice, "State", "TRUE", "False",
         Notif("tns1:RuleEngine/MotionRegionDetector/Motion", "Changed", {{"VideoSource", "vs0"}, {"RuleName", "r1"}},
               {})},
        {"vendor alarm input", "event_properties_vendor.xml", DET_TYPE_DI, "tns1:Device/tnsv:IO/Port;state",
         C::kDevice, "state", "1", "0", Notif("tns1:Device/tnsv:IO/Port", "Changed", {{"port", "1"}}, {})},
        {"global scene change", "event_properties_motionalarm.xml", DET_TYPE_TD,
         "tns:VideoSource/GlobalSceneChange/ImagingService;State", C::kDevice, "State", "true", "false",
         Notif("tns1:VideoSource/GlobalSceneChange/ImagingService", "Changed", {{"Source", "vs0"}}, {})},
        {"no audio listed: the default stays", "event_properties_motionalarm.xml", DET_TYPE_AD,
         "tns1:AudioAnalytics/Audio/DetectedSound;IsSoundDetected", C::kDefault, "IsSoundDetected", "true", "false",
         Notif("tns1:AudioAnalytics/Audio/DetectedSound", "Changed", kAudioSrc, {})},
        {"no GetEventProperties: today's default", nullptr, DET_TYPE_MD,
         "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion", C::kDefault, "IsMotion", "true", "false",
         Notif("tns1:RuleEngine/CellMotionDetector/Motion", "Changed", kRuleSrc, {})},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.name);
        LogCapture log;
        SharingReset sharing;
        auto dev = std::make_shared<ScriptedTransport>();
        dev->byAction = {{"GetSystemDateAndTime", {200, ClockAnswer()}},
                        {"GetServices", {200, Answer("services.xml")}},
                        {"GetEventPropertiesRequest",
                         r.file ? std::make_pair(200, Answer(r.file))
                                : std::make_pair(400, Answer("fault_action_not_supported.xml"))}};
        CameraRig rig;
        rig.cap.SetAPI("onvif");
        OnvifSetupReport rep;
        EXPECT_EQ(OnvifSetupCameraCap(rig.cap, "http://127.0.0.1:1/onvif/device_service", "admin", "pw", {}, &rep,
                                      dev),
                  0);
        EXPECT_EQ(rep.blTopicsListed, r.file != nullptr);
        EXPECT_EQ(rep.choices[r.kind].key, r.key);
        EXPECT_EQ(rep.choices[r.kind].from, r.from);
        // The choice is logged once.
        EXPECT_NE(log.Text().find(std::string(r.key) + " ("), std::string::npos) << log.Text();

        rig.cap.SetOnvifServiceEnt(OnvifServiceEnt());  // the detectors ask the device nothing here
        std::unique_ptr<OnvifPullPointDetector> det;
        switch (r.kind) {
        case DET_TYPE_MD: det.reset(new OnvifMD(rig.Attr())); break;
        case DET_TYPE_DI: det.reset(new OnvifDI(rig.Attr(true))); break;
        case DET_TYPE_TD: det.reset(new OnvifTD(rig.Attr())); break;
        default: det.reset(new OnvifAD(rig.Attr())); break;
        }
        std::list<OVF_MED_VDO_SRC_CONF> confs(1);
        confs.front().field[0] = "vsc0";
        confs.front().field[2] = "vs0";
        ASSERT_EQ(OnvifMatch::ReplaceVdoSrcToken(det->EvtInfo(), confs, ""), 0);
        OVF_EVT_NOTIF n = r.notif;
        n.data = {{r.item, r.on}};
        EXPECT_TRUE(Triggers(*det, r.kind, n));
        n.data = {{r.item, r.off}};
        EXPECT_FALSE(Triggers(*det, r.kind, n));
    }
}

// A key given by hand that the device does not list is named with what it
// lists instead; it is used all the same. (A mistyped item: end to end.)
TEST(OnvifSetup, GivenKeysCheckedAgainstTheList) {
    struct {
        const char* file;
        const char* key;
        bool listed;
        std::vector<std::string> instead;
    } rows[] = {
        {"event_properties_motionalarm.xml", "tns1:VideoSource/MotionAlarm;State", true, {}},
        // Another topic: the motion topics it lists.
        {"event_properties_motionalarm.xml", "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion", false,
         {"tns:VideoSource/MotionAlarm;State"}},
        // A configured key: the items of its rule, not its variant name.
        {"event_properties_cellmotion.xml", "tns1:RuleEngine/CellMotionDetector/Motion;IsMotion;Hold", true, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.key);
        LogCapture log;
        auto dev = std::make_shared<ScriptedTransport>();
        dev->byAction = {{"GetServices", {200, Answer("services.xml")}},
                        {"GetEventPropertiesRequest", {200, Answer(r.file)}}};
        RecorderCameraCap cap;
        OnvifSetupReport rep;
        OnvifSetupCameraCap(cap, "http://127.0.0.1:1/onvif/device_service", "", "", {{DET_TYPE_MD, r.key}}, &rep,
                            dev);
        const OnvifSetupReport::Choice& c = rep.choices[DET_TYPE_MD];
        EXPECT_EQ(c.from, OnvifSetupReport::Choice::kGiven);
        EXPECT_EQ(c.key, r.key);
        EXPECT_EQ(cap.GetOnvifMdTopic(), r.key);
        EXPECT_EQ(c.blListed, r.listed);
        EXPECT_EQ(c.listedLike, r.instead);
    }
}

}  // namespace
