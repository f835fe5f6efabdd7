// The ONVIF SOAP transport over OXHttpClient against scripted loopback cameras.
#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/net/recorderservices.h"
#include "host/onvif/onvifsoap.h"
#include "interface/onvifservice.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

const char kAction[] = "http://www.onvif.org/ver10/device/wsdl/GetSystemDateAndTime";
const char kBody[] = "<env>ask</env>";
const char kFault[] =
    "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
    "<s:Fault><s:Code><s:Value>s:Sender</s:Value></s:Code></s:Fault></s:Body></s:Envelope>";

std::string Answer(const std::string& statusLine, const std::string& body, const std::string& extra = "") {
    return statusLine + "\r\nContent-Type: application/soap+xml\r\n" + extra +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct PostCase {
    const char* name;
    std::string url;  // {port}: the peer's
    std::string requestLine;
    std::string response;
    int rc;
    int status;
    std::string body;  // what the caller gets
    bool blLogin = false;
};

// The request each address form gives, and what the caller gets of each
// answer. With a login: a 401 without a challenge is the answer, not one to answer.
TEST(OnvifHttpTransport, AddressFormsAndAnswers) {
    const std::string ok = Answer("HTTP/1.1 200 OK", "<ok/>");
    const std::string capped(kOnvifSoapMaxLen, 'x');
    const std::string tooBig(kOnvifSoapMaxLen + 1, 'x');
    const std::string line = "POST /onvif HTTP/1.1";
    const std::vector<PostCase> cases = {
        {"path", "http://127.0.0.1:{port}/onvif/device_service", "POST /onvif/device_service HTTP/1.1", ok, 0, 200,
         "<ok/>"},
        {"no path", "http://127.0.0.1:{port}", "POST / HTTP/1.1", ok, 0, 200, "<ok/>"},
        {"query kept, fragment dropped", "HTTP://127.0.0.1:{port}/onvif/ev?sub=7#x", "POST /onvif/ev?sub=7 HTTP/1.1",
         ok, 0, 200, "<ok/>"},
        {"user information dropped", "http://admin:pw@127.0.0.1:{port}/onvif/media", "POST /onvif/media HTTP/1.1", ok,
         0, 200, "<ok/>"},
        {"fault with 500", "http://127.0.0.1:{port}/onvif", line, Answer("HTTP/1.1 500 Internal Server Error", kFault),
         0, 500, kFault, true},
        {"401 without a challenge", "http://127.0.0.1:{port}/onvif", line, Answer("HTTP/1.1 401 Unauthorized", kFault),
         0, 401, kFault, true},
        {"at the cap", "http://127.0.0.1:{port}/onvif", line, Answer("HTTP/1.1 200 OK", capped), 0, 200, capped, true},
        {"over the cap", "http://127.0.0.1:{port}/onvif", line, Answer("HTTP/1.1 200 OK", tooBig), -1, 200, "", true},
        {"body cut short", "http://127.0.0.1:{port}/onvif", line,
         "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n<ok/>", -1, 200, "", true},
    };
    for (const PostCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer(PeerScript{PeerStep::RecvUntil("</env>"), PeerStep::Send(c.response), PeerStep::Close()});
        ASSERT_TRUE(peer.Listening());
        auto t = NewHttpOnvifTransport();
        int status = -1;
        std::string resp = "old";
        std::string url = c.url;
        url.replace(url.find("{port}"), 6, std::to_string(peer.Port()));
        EXPECT_EQ(c.rc, t->Post(url, kAction, kBody, c.blLogin ? "admin" : "", c.blLogin ? "s3cret" : "", 5, status,
                                resp));
        EXPECT_EQ(c.status, status);
        EXPECT_TRUE(resp == c.body) << resp.size() << " bytes";
        const std::string req = peer.Received(0);
        EXPECT_EQ(0u, req.find(c.requestLine + "\r\n")) << req;
        EXPECT_NE(std::string::npos, req.find("\r\nContent-Type: application/soap+xml; charset=utf-8; action=\"" +
                                              std::string(kAction) + "\"\r\n"));
        EXPECT_EQ(std::string::npos, req.find("Expect:"));
        EXPECT_EQ(std::string::npos, req.find("Authorization:"));
        EXPECT_EQ(kBody, req.substr(req.size() - strlen(kBody)));
    }
}

TEST(OnvifHttpTransport, AnswersBasicChallengeAndKeepsTheConnection) {
    // One connection: a challenge, the request again with credentials, then
    // a second exchange of the same action.
    ScriptedPeer peer(PeerScript{
        PeerStep::RecvUntil("</env>"),
        PeerStep::Send(Answer("HTTP/1.1 401 Unauthorized", "no", "WWW-Authenticate: Basic realm=\"cam\"\r\n")),
        PeerStep::RecvUntil("</env>"), PeerStep::Send(Answer("HTTP/1.1 200 OK", "<one/>")),
        PeerStep::RecvUntil("</env>"), PeerStep::Send(Answer("HTTP/1.1 200 OK", "<two/>")), PeerStep::Stall()});
    ASSERT_TRUE(peer.Listening());
    auto t = NewHttpOnvifTransport();
    const std::string url = "http://127.0.0.1:" + std::to_string(peer.Port()) + "/onvif/event";
    int status = 0;
    std::string resp;
    ASSERT_EQ(0, t->Post(url, kAction, kBody, "admin", "s3cret", 5, status, resp));
    EXPECT_EQ(200, status);
    EXPECT_EQ("<one/>", resp);
    ASSERT_EQ(0, t->Post(url, kAction, kBody, "admin", "s3cret", 5, status, resp));
    EXPECT_EQ("<two/>", resp);
    EXPECT_EQ(1, peer.Connections());
    // base64("admin:s3cret")
    EXPECT_NE(std::string::npos, peer.Received(0).find("Authorization: Basic YWRtaW46czNjcmV0\r\n"));
}

// The exchange's whole time is the time-out, on the camera's clock: a camera
// may hold the answer (a long poll) for all of it, so the head is waited for
// that long, not less; an answer still dripping in when it is up is dropped,
// though every read brings something.
TEST(OnvifHttpTransport, AnExchangeLastsItsTimeOutOnTheCamerasClock) {
    // Enough bytes that a loaded machine's test thread still sees four of them come.
    PeerScript drip = {PeerStep::RecvUntil("</env>"),
                       PeerStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nx")};
    for (int i = 0; i < 999; ++i) {
        drip.push_back(PeerStep::Pause(20));
        drip.push_back(PeerStep::Send("x"));
    }
    drip.push_back(PeerStep::Stall());
    ScriptedPeer peer(std::vector<PeerScript>{{PeerStep::RecvUntil("</env>"), PeerStep::Stall()}, drip});
    ASSERT_TRUE(peer.Listening());
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    BrellinOwned::RecorderServices services(clock);
    auto t = NewHttpOnvifTransport(services);
    const std::string url = "http://127.0.0.1:" + std::to_string(peer.Port()) + "/onvif/sub";
    int status = -1;
    std::string resp = "old";
    int rc = 0;
    // The stalling peer must hold the first connection before the time runs
    // out, or the second exchange would meet it instead of the drip.
    EXPECT_EQ(4000, camtest::ClockMsOf(
                        clock, [&] { rc = t->Post(url, kAction, kBody, "", "", 4, status, resp); },
                        [&] { return peer.Received(0).find("</env>") != std::string::npos; }));
    EXPECT_EQ(-1, rc);
    EXPECT_EQ(0, status);
    EXPECT_TRUE(resp.empty());

    // A second of the camera's clock per byte that comes: no read waits
    // long, the exchange does.
    std::atomic<bool> done{false};
    std::thread post([&] {
        rc = t->Post(url, kAction, kBody, "", "", 4, status, resp);
        done = true;
    });
    for (size_t sent = 0; !done;) {
        // A stuck peer fails the test; the clock still moves, so the call ends.
        EXPECT_TRUE(WaitFor([&] { return done || peer.Sent(1) > sent; }, 10000)) << "no byte for 10 s";
        sent = peer.Sent(1);
        clock.Advance(1000);
    }
    post.join();
    EXPECT_EQ(-1, rc);
    EXPECT_EQ(200, status);
    EXPECT_TRUE(resp.empty());
}

TEST(OnvifHttpTransport, RefusesUnusableAddressesWithoutConnecting) {
    ScriptedPeer peer(PeerScript{PeerStep::RecvUntil("</env>"), PeerStep::Send(Answer("HTTP/1.1 200 OK", "<ok/>")),
                                 PeerStep::Stall()});
    ASSERT_TRUE(peer.Listening());
    const std::string port = std::to_string(peer.Port());
    const std::vector<std::string> urls = {
        "ftp://127.0.0.1:" + port + "/",
        "http://",
        "http://127.0.0.1:0/",
        "http://127.0.0.1:70000/",
        "http://[::1/",
        "http://127.0.0.1:" + port + "/a b",
        "http://127.0.0.1:" + port + "/a\r\nX-Injected: 1",
        "http://cam\r\nX-Injected: 1/",
    };
    auto t = NewHttpOnvifTransport();
    for (const std::string& url : urls) {
        int status = -1;
        std::string resp = "old";
        EXPECT_EQ(kOnvifPostUnusableAddr, t->Post(url, kAction, kBody, "", "", 5, status, resp)) << url;
        EXPECT_EQ(0, status) << url;
        EXPECT_TRUE(resp.empty()) << url;
    }
    EXPECT_EQ(0, peer.Connections());
    // An https:// address is used as it is: TLS, never a plain server's answer.
    int status = -1;
    std::string resp;
    const std::string https = "https://127.0.0.1:" + port + "/onvif/device_service";
    EXPECT_EQ(-1, t->Post(https, kAction, kBody, "", "", 1, status, resp));
    EXPECT_EQ(0, status);
    EXPECT_TRUE(resp.empty());
    EXPECT_EQ(1, peer.Connections());
}

}  // namespace
