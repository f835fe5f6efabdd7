// Stop and release never wait on a camera: each transport's detector is
// released while its thread waits on a silent camera and on one stalled in the
// middle of a body; the release must return within 200 ms (loose enough for a
// loaded machine, far below any of the time-outs involved).
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "camdet/api/entrypoints.h"
#include "camdet/factory/detfactory.h"
#include "camdet/transport/rtpvendordetector.h"
#include "host/rtsp/rtpfetcher.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

const int kStopBoundMs = 200;

const std::string kHttpHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 4000\r\n\r\n";
const std::string kStreamHead =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=boundary\r\n\r\n"
    "--boundary\r\nContent-Type: application/xml\r\nContent-Length: 900\r\n\r\n";
const std::string kSoapHead = "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: 3000\r\n\r\n";

const std::string kMjpegHead =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n"
    "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: 5000\r\n\r\n";

struct Transport {
    const char* name;
    const char* api;
    int kind;
    int streamFormat;
    std::string head;  // what a stalling camera sends before it stalls
    std::string body;
    bool request = true;  // the client speaks first with an HTTP request
};

const std::string kRecord(308, '\0');

const Transport kTransports[] = {
    {"polling over HTTP", "brickcom", DET_TYPE_MD, 0, kHttpHead, "window1=0\nwindow2="},
    {"polling on a raw socket", "siemens", DET_TYPE_MD, 0, "HTTP/1.1 200 OK\r\n", "Mot"},
    {"multipart stream", "hikvisionv3", DET_TYPE_MD, 0, kStreamHead, "<EventNotificationAlert><eventType>VM"},
    {"ONVIF pull point", "onvif", DET_TYPE_AD, 0, kSoapHead, "<?xml version=\"1.0\"?><s:Envelope"},
    {"JPEG frames fetched by the detector", "axisv5", DET_TYPE_MD, 1, kMjpegHead, "\xff\xd8\xff\xfe\x00\x10\x0a\x03"},
    {"text lines over HTTP", "dahua", DET_TYPE_MD, 0, "HTTP/1.1 200 OK\r\n\r\n", "Code=VideoMotion;act"},
    {"binary records over HTTP", "everfocus", DET_TYPE_MD, 0, "HTTP/1.1 200 OK\r\n\r\n", kRecord.substr(0, 100)},
    {"text lines over TCP", "level1gr4", DET_TYPE_MD, 0, "", "R1 00 1A", false},
    {"ACTi event connection", "acti", DET_TYPE_MD, 0, "", std::string("ACTi\0\0", 6), false},
};

// A camera that answers nothing at all, or (midBody) takes the request and
// sends t's head and the first bytes of a body, then stalls.
PeerScript Stalling(const Transport& t, bool midBody) {
    PeerScript s;
    if (midBody && t.request) s.push_back(PeerStep::RecvRequest());
    if (midBody) s.push_back(PeerStep::Send(t.head + t.body));
    s.push_back(PeerStep::Stall());
    return s;
}

// The release starts once the camera's latest connection has had what it sends.
bool Stalled(ScriptedPeer& peer, bool midBody) {
    const int n = peer.Connections();
    return n >= 1 && peer.Sent(n - 1) >= (midBody ? 1u : 0u);
}

int64_t ReleaseMs(int kind, BRObjectBase* det) {
    const auto t0 = std::chrono::steady_clock::now();
    switch (kind) {
    case DET_TYPE_MD: ReleaseMotionDetBRObj(det); break;
    case DET_TYPE_DI: ReleaseDigitalDetBRObj(det); break;
    case DET_TYPE_TD: ReleaseTamperingDetBRObj(det); break;
    default: ReleaseAudioDetBRObj(det); break;
    }
    return camtest::ElapsedMs(t0);
}

// The transport's detector, made by the factory as a recorder does for a
// camera (and its ONVIF services) at port, and started; null when either fails.
BRObjectBase* StartDetector(const Transport& t, CameraRig& rig, int port) {
    rig.cap.SetAPI(t.api);
    rig.med.httpPort = port;
    rig.api.SetHttpPort(port);  // where the camera-API object's paths point
    rig.api.OverrideDetPort(port);
    rig.med.streamFormat = t.streamFormat;
    OnvifServiceEnt ent;
    for (std::string& e : ent.entry) e = "http://127.0.0.1:" + std::to_string(port) + "/onvif/x";
    rig.cap.SetOnvifServiceEnt(ent);
    // No stream FIFO: detectors that could read frames from it fetch their own.
    BRObjectBase* det =
        CreateDetector(t.kind, &rig.med, &rig.api, &rig.buf, &rig.bufMap, nullptr, &rig.cap, nullptr, true);
    return det && dynamic_cast<DetectorBase*>(det)->Start() == 0 ? det : nullptr;
}

TEST(StopLatency, ReleaseNeverWaitsOnTheCamera) {
    for (const Transport& t : kTransports) {
        for (bool midBody : {false, true}) {
            SCOPED_TRACE(std::string(t.name) + (midBody ? ", stalled mid-body" : ", silent"));
            SharingReset sharing;
            LogCapture log;
            ScriptedPeer peer(Stalling(t, midBody));
            ASSERT_TRUE(peer.Listening());
            CameraRig rig;
            BRObjectBase* det = StartDetector(t, rig, peer.Port());
            ASSERT_NE(nullptr, det);
            ASSERT_TRUE(WaitFor([&] { return Stalled(peer, midBody); }));
            EXPECT_LE(ReleaseMs(t.kind, det), kStopBoundMs);
        }
    }
}

// A camera whose frame is 80,000 empty comment segments and then its event
// segment: the detector is released while it reads the frame.
TEST(StopLatency, ReleaseNeverWaitsOnAFramesSegments) {
    SharingReset sharing;
    LogCapture log;
    const std::string img = camtest::TestData("jpeg/axis_comment.jpg");
    ASSERT_GT(img.size(), 2u);
    std::string frame = img.substr(0, 2);
    for (int i = 0; i < 80000; ++i) frame += std::string("\xff\xfe\x00\x02", 4);
    frame += img.substr(2);
    const std::string stream = "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n"
                               "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                               std::to_string(frame.size()) + "\r\n\r\n" + frame + "\r\n--frame\r\n";
    ScriptedPeer peer({PeerStep::RecvRequest(), PeerStep::Send(stream), PeerStep::Stall()});
    ASSERT_TRUE(peer.Listening());
    CameraRig rig;
    BRObjectBase* det = StartDetector(kTransports[4], rig, peer.Port());  // JPEG frames fetched by the detector
    ASSERT_NE(nullptr, det);
    ASSERT_TRUE(WaitFor([&] { return peer.Connections() >= 1 && peer.Sent(0) >= stream.size(); }));
    usleep(50 * 1000);  // the frame has reached the detector
    EXPECT_LE(ReleaseMs(DET_TYPE_MD, det), kStopBoundMs);
}

// An ONVIF camera that holds the pull for its whole wait (a minute): the
// release ends it within the bound, and the unsubscribe on the way out still
// reaches the camera in its short grace.
TEST(StopLatency, AHeldOnvifPullEndsAtStop) {
    auto answer = [](const std::string& body) {
        const std::string env = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
                                "xmlns:tev=\"http://www.onvif.org/ver10/events/wsdl\" "
                                "xmlns:wsa=\"http://www.w3.org/2005/08/addressing\"><s:Body>" +
                                body + "</s:Body></s:Envelope>";
        return "HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\nContent-Length: " +
               std::to_string(env.size()) + "\r\n\r\n" + env;
    };
    SharingReset sharing;
    LogCapture log;
    // The subscription: the pull is held; the unsubscribe comes on a new connection.
    ScriptedPeer sub(std::vector<PeerScript>{
        {PeerStep::RecvUntil("</tev:PullMessages>"), PeerStep::Stall()},
        {PeerStep::RecvUntil("<wsnt:Unsubscribe/>"), PeerStep::Send(answer("<UnsubscribeResponse/>")),
         PeerStep::Stall()}});
    const std::string subAddr = "http://127.0.0.1:" + std::to_string(sub.Port()) + "/sub";
    ScriptedPeer events(PeerScript{
        PeerStep::RecvUntil("</tev:CreatePullPointSubscription>"),
        PeerStep::Send(answer("<tev:CreatePullPointSubscriptionResponse><tev:SubscriptionReference><wsa:Address>" +
                              subAddr + "</wsa:Address></tev:SubscriptionReference>"
                                        "</tev:CreatePullPointSubscriptionResponse>")),
        PeerStep::Stall()});
    ASSERT_TRUE(sub.Listening() && events.Listening());
    CameraRig rig;
    BRObjectBase* det = StartDetector(kTransports[3], rig, events.Port());  // the ONVIF pull point
    ASSERT_NE(nullptr, det);
    ASSERT_TRUE(WaitFor([&] { return sub.Received(0).find("</tev:PullMessages>") != std::string::npos; }))
        << log.Text();
    EXPECT_LE(ReleaseMs(DET_TYPE_AD, det), kStopBoundMs);
    EXPECT_NE(sub.Received(1).find("<wsnt:Unsubscribe/>"), std::string::npos) << "no unsubscribe";
}

// ---------------------------------------------------------------- RTP header extensions

// The first answer a stalling RTSP camera starts: its SDP.
const Transport kRtsp = {"RTSP", "avtech", DET_TYPE_MD, 2,
                         "RTSP/1.0 200 OK\r\nCSeq: 1\r\nContent-Type: application/sdp\r\nContent-Length: 400\r\n\r\n",
                         "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=live"};

// AVTECH's words read through a fetcher of the detector's own, on its own thread.
constexpr RtpRow kAvtechMotion = RtpExtension(DET_TYPE_MD, streamrule::Avtech);
class OwnFetchAvtech : public RtpVendorDetector {
public:
    OwnFetchAvtech(DET_BASE_ATTR a, int port) : RtpVendorDetector(a, kAvtechMotion, DetArgs()), m_Port(port) {}
    int GetPathPort(std::string& path, int& port) override {
        path = "/live";
        port = m_Port;
        return 0;
    }

private:
    int m_Port;
};

// An own fetcher, and the Axis class, which waits for a fresh packet of the
// recorder's live fetcher, which waits on the camera.
TEST(StopLatency, RtpDetectorsNeverWaitOnTheCamera) {
    for (bool midBody : {false, true}) {
        for (bool own : {true, false}) {
            SCOPED_TRACE(std::string(midBody ? "stalled mid-body" : "silent") + (own ? ", own fetcher" : ", live"));
            SharingReset sharing;
            LogCapture log;
            ScriptedPeer peer(Stalling(kRtsp, midBody));
            ASSERT_TRUE(peer.Listening());
            CameraRig rig;
            RtpFetcher* fetch = nullptr;
            BRObjectBase* det;
            if (own) {
                rig.med.password = "pw-stop";
                det = new OwnFetchAvtech(rig.Attr(), peer.Port());
            } else {
                RTSP_CLIENT_CONF conf;
                conf.host = "127.0.0.1";
                conf.port = peer.Port();
                conf.path = "/axis-media/media.amp";
                fetch = new RtpFetcher(conf);
                ASSERT_TRUE(fetch->StartLive());
                rig.cap.SetAPI("axisv5");
                rig.med.streamFormat = 2;
                det = CreateDetector(DET_TYPE_MD, &rig.med, &rig.api, &rig.buf, nullptr, nullptr, &rig.cap, fetch,
                                     true);
                ASSERT_NE(nullptr, dynamic_cast<RtpVendorDetector*>(det));
            }
            ASSERT_EQ(0, dynamic_cast<DetectorBase*>(det)->Start());
            ASSERT_TRUE(WaitFor([&] { return Stalled(peer, midBody); }));
            EXPECT_LE(ReleaseMs(DET_TYPE_MD, det), kStopBoundMs);
            if (own) continue;
            // The recorder's own stop of its fetcher is bounded the same way.
            const auto t0 = std::chrono::steady_clock::now();
            delete fetch;
            EXPECT_LE(camtest::ElapsedMs(t0), kStopBoundMs);
        }
    }
}

}  // namespace
