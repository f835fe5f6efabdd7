// The ONVIF clients over a scripted transport: what goes on the wire (WS-
// Security token on the camera's clock, actions, addresses, namespaces), the
// retry after an authentication fault, and log lines without credentials.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <sstream>

#include "host/onvif/onvifsetup.h"
#include "host/onvif/onvifsoap.h"
#include "interface/onvifservice.h"
#include "tests/fixtures/onvifprobe.h"
#include "tests/fixtures/testsupport.h"

namespace {

std::string Answer(const std::string& name) {
    std::ifstream in(std::string(CAMDET_TEST_DATA) + "/onvif/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

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

class ScriptedTransport : public OnvifTransport {
public:
    int Post(const std::string& url, const std::string& action, const std::string& body, const std::string&,
             const std::string&, int timeoutSec, int& httpStatus, std::string& response) override {
        requests.push_back(Request{url, action, body, timeoutSec});
        if (answers.empty()) return -1;
        httpStatus = answers.front().first;
        response = answers.front().second;
        answers.pop_front();
        return 0;
    }
    std::vector<Request> requests;
    std::deque<std::pair<int, std::string> > answers;
};

// The camera's clock answer, one hour ahead of ours.
std::string ClockAnswer(time_t cam) {
    struct tm t;
    gmtime_r(&cam, &t);
    char buf[1024];
    snprintf(buf, sizeof(buf),
             "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\" "
             "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" xmlns:tt=\"http://www.onvif.org/ver10/schema\">"
             "<env:Body><tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:UTCDateTime><tt:Time>"
             "<tt:Hour>%d</tt:Hour><tt:Minute>%d</tt:Minute><tt:Second>%d</tt:Second></tt:Time><tt:Date>"
             "<tt:Year>%d</tt:Year><tt:Month>%d</tt:Month><tt:Day>%d</tt:Day></tt:Date></tt:UTCDateTime>"
             "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse></env:Body></env:Envelope>",
             t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return buf;
}

TEST(OnvifClient, TokenOnTheCamerasClockAndRetryAfterAuthFault) {
    LogCapture log;
    auto t = std::make_shared<ScriptedTransport>();
    OnvifProbe<OnvifEventService> ev;
    ASSERT_EQ(ev.UpdateServiceParam(nullptr, "http://127.0.0.1:8080/onvif/events", "2", "60"), 0);
    ev.SetLogin("admin", "S3cr&t", "http://127.0.0.1:8080/onvif/device_service");
    ev.SetTransport(t);
    time_t now = time(nullptr);
    t->answers = {{200, ClockAnswer(now + 3600)},
                  {400, Answer("fault_not_authorized.xml")},
                  {200, ClockAnswer(now + 3600)},
                  {200, Answer("create_pullpoint.xml")}};
    OVF_EVT_PULL_PT pp;
    OVF_NS_LIST ns = {{"tns1", "http://www.onvif.org/ver10/topics"}, {"bad prefix", "x"}, {"v", "a\"b"}};
    ASSERT_EQ(ev.CreatePullPointSubscription("", "PT60S", ns, pp), 0);
    EXPECT_EQ(pp.address, "http://192.0.2.10/onvif/Subscription?Idx=7");
    ASSERT_EQ(t->requests.size(), 4u);
    EXPECT_EQ(t->requests[0].url, "http://127.0.0.1:8080/onvif/device_service");
    EXPECT_EQ(t->requests[0].body.find("wsse:Security"), std::string::npos);  // the clock is asked anonymously
    EXPECT_EQ(t->requests[2].url, "http://127.0.0.1:8080/onvif/device_service");  // asked again after the fault
    for (size_t i : {1u, 3u}) {
        const Request& r = t->requests[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.url, "http://127.0.0.1:8080/onvif/events");
        EXPECT_EQ(r.action,
                  "http://www.onvif.org/ver10/events/wsdl/EventPortType/CreatePullPointSubscriptionRequest");
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
        EXPECT_NEAR((double)(c - now), 3600.0, 5.0);
    }
    EXPECT_NEAR((double)ev.ClockOffset(), 3600.0, 5.0);
    EXPECT_EQ(log.Text(), "");  // a fault that the retry cured is not logged
}

TEST(OnvifClient, PullAndUnsubscribeGoToTheSubscription) {
    LogCapture log;
    auto t = std::make_shared<ScriptedTransport>();
    OnvifEventService ev;
    ev.UpdateServiceParam(nullptr, "http://127.0.0.1:8080/onvif/events", "", "");
    ev.SetTransport(t);
    ev.SetTimeoutSec(5);
    OVF_EVT_PULL_PT pp;
    pp.address = "http://127.0.0.1:8080/onvif/sub?id=3&x=<1>";
    t->answers = {{200, Answer("pull_several.xml")}, {500, Answer("fault_soap11.xml")}, {200, "<x/>"}};
    OVF_EVT_PULL_MSG msg;
    ASSERT_EQ(ev.PullMessages(pp, "PT2S", "8", msg), 0);
    EXPECT_EQ(msg.notifs.size(), 4u);
    const Request& r = t->requests[0];
    EXPECT_EQ(r.url, pp.address);
    EXPECT_EQ(r.timeoutSec, 7);  // the camera may hold the pull for its time-out
    EXPECT_NE(r.body.find("<tev:Timeout>PT2S</tev:Timeout><tev:MessageLimit>8</tev:MessageLimit>"),
              std::string::npos);
    EXPECT_NE(r.body.find("<wsa:To>http://127.0.0.1:8080/onvif/sub?id=3&amp;x=&lt;1&gt;</wsa:To>"),
              std::string::npos);
    EXPECT_EQ(r.body.find("wsse:Security"), std::string::npos);  // no login, no token

    // A fault on the subscription: failure, logged once, output untouched.
    msg.notifs.clear();
    EXPECT_EQ(ev.PullMessages(pp, "PT2S", "8", msg), -1);
    EXPECT_TRUE(msg.notifs.empty());
    EXPECT_NE(log.Text().find("Unknown subscription"), std::string::npos);
    // Not an envelope at all.
    EXPECT_EQ(ev.Unsubscribe(pp), -1);
    EXPECT_EQ(t->requests[2].action, "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest");
    // Without an address there is nothing to call.
    OVF_EVT_PULL_PT none;
    EXPECT_EQ(ev.PullMessages(none, "PT2S", "8", msg), -1);
    EXPECT_EQ(t->requests.size(), 3u);
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

    OnvifDeviceIoService io;
    io.UpdateServiceParam(nullptr, "http://127.0.0.1/onvif/deviceio", "", "");
    io.SetTransport(t);
    t->answers = {{200, Answer("digital_inputs.xml")}};
    std::vector<std::string> tokens;
    ASSERT_EQ(io.GetDigitalInputs(tokens), 0);
    EXPECT_EQ(tokens.size(), 3u);

    OnvifMediaService media;  // no address: fails without a request
    std::list<OVF_MED_VDO_SRC_CONF> confs;
    size_t before = t->requests.size();
    EXPECT_EQ(media.GetVideoSourceConfigurations(confs), -1);
    EXPECT_EQ(t->requests.size(), before);
}

}  // namespace
