// The RTSP client and the RTP fetcher (through RtpFetchHandler, as detectors
// reach it) against scripted RTSP servers on loopback: requests, set-up and
// stream faults, a stale nonce, streams that bring nothing of use, and the
// back-off from sessions that end at once.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/rtsp/rtpext.h"
#include "host/rtsp/rtpfetcher.h"
#include "host/rtsp/rtspclient.h"
#include "interface/rtpfetch.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/rtppackets.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

using camtest::Bytes;
using camtest::Frame;
using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

const std::string kSdp =
    "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=cam\r\nt=0 0\r\n"
    "m=audio 0 RTP/AVP 0\r\na=control:track0\r\n"
    "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\na=control:track1\r\n";

std::string Answer(const std::string& status, const std::string& headers = std::string(),
                   const std::string& body = std::string()) {
    std::string s = "RTSP/1.0 " + status + "\r\n" + headers;
    if (!body.empty()) s += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return s + "\r\n" + body;
}

const std::string kDescribe200 = Answer("200 OK", "Content-Type: application/sdp\r\n", kSdp);
const std::string kSetup200 =
    Answer("200 OK", "Transport: RTP/AVP/TCP;unicast;interleaved=4-5\r\nSession: 5A5A;timeout=60\r\n");
const std::string kPlay200 = Answer("200 OK", "Session: 5A5A\r\n");

PeerScript Steps(std::initializer_list<std::vector<PeerStep> > parts) {
    PeerScript s;
    for (const auto& p : parts) s.insert(s.end(), p.begin(), p.end());
    return s;
}

std::vector<PeerStep> SetUpSteps() {
    return {PeerStep::RecvRequest(), PeerStep::Send(kDescribe200), PeerStep::RecvRequest(),
            PeerStep::Send(kSetup200), PeerStep::RecvRequest(), PeerStep::Send(kPlay200)};
}

// A video packet on the set-up channel whose extension carries text.
std::string VideoFrame(const std::string& extText, uint16_t seq = 1) {
    return Frame(4, camtest::RtpPacket(0, true, 0xABAC, 0, 40, 0, extText, seq));
}

// With `login`, user "viewer" and password "s3cret".
RTSP_CLIENT_CONF Conf(int port, int timeoutSec = 2, bool login = false) {
    RTSP_CLIENT_CONF c;
    c.host = "127.0.0.1";
    c.port = port;
    c.path = "live";
    c.timeoutSec = timeoutSec;
    if (login) {
        c.user = "viewer";
        c.password = "s3cret";
    }
    return c;
}

// The extension text of the next packet, or why there is none.
std::string NextExt(RtspClient& client, int waitMs = 3000) {
    const uint8_t* pkt = nullptr;
    size_t len = 0;
    const int rc = client.NextPacket(pkt, len, waitMs);
    if (rc != 1) return "rc " + std::to_string(rc);
    RTP_PACKET_INFO info;
    if (ParseRtpPacket(pkt, len, info) != RTP_PARSE_OK || !info.hasExt) return "no extension";
    std::string text(reinterpret_cast<const char*>(pkt) + info.extOffset + 4, info.extLen - 4);
    return text.substr(0, text.find('\0'));
}

TEST(RtspClientPeer, SetsUpTheVideoTrackAndReadsItsPackets) {
    const std::string serverPing = "GET_PARAMETER rtsp://127.0.0.1/live RTSP/1.0\r\nCSeq: 9\r\n\r\n";
    const Bytes rtcp = {0x80, 200, 0, 1, 0, 0, 0, 1};
    ScriptedPeer peer(Steps({SetUpSteps(),
                             {PeerStep::Send(VideoFrame("first") + Frame(5, rtcp) + serverPing + VideoFrame("second")),
                              PeerStep::Stall()}}));
    ASSERT_TRUE(peer.Listening());
    RtspClient client(Conf(peer.Port()));
    ASSERT_EQ(RTSP_OK, client.Open()) << client.LastError();
    EXPECT_EQ("5A5A", client.SessionId());
    EXPECT_EQ("first", NextExt(client));
    EXPECT_EQ("second", NextExt(client));
    EXPECT_EQ("rc 0", NextExt(client, 50));
    client.Close();
    ASSERT_TRUE(peer.WaitFinished(0, 5000));

    const std::string url = "rtsp://127.0.0.1:" + std::to_string(peer.Port()) + "/live";
    const std::string sent = peer.Received(0);
    const std::vector<std::string> lines = {
        "DESCRIBE " + url + " RTSP/1.0\r\n", "Accept: application/sdp\r\n", "SETUP " + url + "/track1 RTSP/1.0\r\n",
        "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n", "PLAY " + url + " RTSP/1.0\r\n", "Session: 5A5A\r\n",
        "RTSP/1.0 200 OK\r\nCSeq: 9\r\n",  // the server's ping answered with its own sequence number
        "TEARDOWN " + url + " RTSP/1.0\r\n"};
    for (const std::string& line : lines) EXPECT_NE(std::string::npos, sent.find(line)) << line;
    EXPECT_EQ(std::string::npos, sent.find("Authorization"));
}

TEST(RtspClientPeer, SetUpFaults) {
    const std::string digest401 =
        Answer("401 Unauthorized", "WWW-Authenticate: Digest realm=\"cam\", nonce=\"N1\", qop=\"auth\"\r\n");
    const std::string noVideo =
        Answer("200 OK", "Content-Type: application/sdp\r\n", "v=0\r\nm=audio 0 RTP/AVP 0\r\na=control:a\r\n");
    struct Case {
        const char* what;
        PeerScript script;
        int want;
        int status;
    } cases[] = {
        {"error answer", {PeerStep::RecvRequest(), PeerStep::Send(Answer("500 Internal Server Error"))},
         RTSP_ERR_STATUS, 500},
        {"login refused",
         {PeerStep::RecvRequest(), PeerStep::Send(digest401), PeerStep::RecvRequest(), PeerStep::Send(digest401),
          PeerStep::Stall()},
         RTSP_ERR_AUTH, 401},
        {"no video track", {PeerStep::RecvRequest(), PeerStep::Send(noVideo)}, RTSP_ERR_PROTOCOL, 200},
        {"no answer", {PeerStep::RecvRequest(), PeerStep::Stall()}, RTSP_ERR_TIMEOUT, 0},
        {"closed mid-answer", {PeerStep::RecvRequest(), PeerStep::Send(kDescribe200.substr(0, 30))}, RTSP_ERR_CLOSED,
         0},
        {"garbage, then closed", {PeerStep::RecvRequest(), PeerStep::Send(std::string(3000, '\x17'))}, RTSP_ERR_CLOSED,
         0},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer(c.script);
        RtspClient client(Conf(peer.Port(), 1, true));
        EXPECT_EQ(c.want, client.Open());
        EXPECT_EQ(c.status, client.LastStatus());
        EXPECT_FALSE(client.IsOpen());
        EXPECT_FALSE(client.LastError().empty());
        EXPECT_EQ(std::string::npos, client.LastError().find("s3cret"));
    }

    RtspClient refused(Conf(camtest::FreeLoopbackPort()));
    EXPECT_EQ(RTSP_ERR_CONNECT, refused.Open());
}

TEST(RtspClientPeer, AnswersAStaleNonceAgain) {
    const std::string first =
        Answer("401 Unauthorized", "WWW-Authenticate: Digest realm=\"cam\", nonce=\"N1\", qop=\"auth\"\r\n");
    const std::string stale = Answer(
        "401 Unauthorized", "WWW-Authenticate: Digest realm=\"cam\", nonce=\"N2\", qop=\"auth\", stale=true\r\n");
    ScriptedPeer peer(Steps({{PeerStep::RecvRequest(), PeerStep::Send(first), PeerStep::RecvRequest(),
                              PeerStep::Send(stale)},
                             SetUpSteps(),
                             {PeerStep::Stall()}}));
    RtspClient client(Conf(peer.Port(), 2, true));
    ASSERT_EQ(RTSP_OK, client.Open()) << client.LastError();
    const std::string sent = peer.Received(0);
    const size_t third = sent.find("DESCRIBE", sent.find("DESCRIBE", sent.find("DESCRIBE") + 1) + 1);
    ASSERT_NE(std::string::npos, third);
    EXPECT_NE(std::string::npos, sent.find("nonce=\"N2\"", third));
    // The later requests of the session keep answering the current nonce.
    EXPECT_NE(std::string::npos, sent.find("nc=00000002", sent.find("SETUP")));
}

TEST(RtspClientPeer, StreamFaults) {
    struct Case {
        const char* what;
        std::vector<PeerStep> stream;
        std::vector<std::string> want;  // extension texts, then the final result
    } cases[] = {
        {"dropped mid-frame",
         {PeerStep::Send(VideoFrame("one") + VideoFrame("two").substr(0, 20)), PeerStep::Close()},
         {"one", "rc " + std::to_string(RTSP_ERR_CLOSED)}},
        {"garbage that never resynchronises",
         {PeerStep::SendRepeat(std::string(4096, '\x17'), 100), PeerStep::Stall()},
         {"rc " + std::to_string(RTSP_ERR_PROTOCOL)}},
        {"an endless message head",
         {PeerStep::Send("RTSP/1.0 200 OK\r\nX-Pad: " + std::string(kRtspMaxHead, 'x')), PeerStep::Stall()},
         {"rc " + std::to_string(RTSP_ERR_PROTOCOL)}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer(Steps({SetUpSteps(), c.stream}));
        RtspClient client(Conf(peer.Port(), 1));
        ASSERT_EQ(RTSP_OK, client.Open()) << client.LastError();
        std::vector<std::string> got;
        for (size_t i = 0; i < c.want.size(); ++i) {
            // Short waits: a silent stream answers "none yet" until its time-out.
            std::string r = NextExt(client, 200);
            while (r == "rc 0") r = NextExt(client, 200);
            got.push_back(r);
        }
        EXPECT_EQ(c.want, got);
    }
}

// ---------------------------------------------------------------- fetcher

TEST(RtpFetcherPeer, FactoryRefusesWhatItCannotFetch) {
    EXPECT_EQ(nullptr, RtpFetchFactory("", 554, "x", "", "", false, "", 2, true, 0));
    EXPECT_EQ(nullptr, RtpFetchFactory("127.0.0.1", 0, "x", "", "", false, "", 2, true, 0));
    EXPECT_EQ(nullptr, RtpFetchFactory("127.0.0.1", 554, "x", "", "", true, "", 2, true, 0));
    EXPECT_EQ(nullptr, RtpFetchFactory("127.0.0.1", 554, "x", "", "", false, "", 3, true, 0));
    BRObjectBase* none = nullptr;
    ReleaseRtpFetch(none);
}

// A session that ran is followed by a new one at once; one refused and one
// that ends right after PLAY are not asked again at once: 1 s, then 2 s on the
// fetcher's clock. The newest packet is the one kept.
TEST(RtpFetcherPeer, LiveFetcherBacksOffReconnectsAndKeepsTheNewestPacket) {
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    LogCapture log;
    std::string later;
    for (int i = 0; i < 20; ++i) later += VideoFrame("later", (uint16_t)(100 + i));
    ScriptedPeer peer(std::vector<PeerScript>{
        Steps({SetUpSteps(), {PeerStep::Send(VideoFrame("early")), PeerStep::Stall()}}),
        {PeerStep::RecvRequest(), PeerStep::Send(Answer("503 Service Unavailable"))},
        Steps({SetUpSteps(), {PeerStep::Close()}}), Steps({SetUpSteps(), {PeerStep::Send(later), PeerStep::Stall()}})});
    RtpFetcher fetcher(Conf(peer.Port(), 2, true), clock);
    ASSERT_TRUE(fetcher.StartLive());
    ASSERT_TRUE(fetcher.WaitPackets(1, 5000));
    clock.Advance(60000);  // the first session runs a minute, then falls silent
    const std::vector<int64_t> waits = {1000, 2000};
    for (size_t i = 0; i < waits.size(); ++i) {
        ASSERT_TRUE(WaitFor([&] { return clock.Waits().size() == i + 1; })) << i;
        EXPECT_EQ(waits[i], clock.Waits()[i]) << i;
        EXPECT_EQ((int)i + 2, peer.Connections()) << i;
        clock.Advance(waits[i]);
    }
    ASSERT_TRUE(fetcher.WaitPackets(21, 10000));
    RtpFetchHandler h(&fetcher);
    const std::string want = camtest::ExtAsExposed(0xABAC, "later");
    ASSERT_EQ(want.size(), h.CurExtLen());
    std::vector<unsigned char> buf(want.size());
    ASSERT_EQ(0, h.CopyExt(buf.data(), (unsigned int)buf.size()));
    EXPECT_EQ(want, std::string(buf.begin(), buf.end()));
    EXPECT_EQ(4, fetcher.ConnectCount());
    // Nothing newer comes: a bounded read gives the current extension all the same.
    int unused = 0;
    h.SetWait(true);
    camtest::ClockMsOf(clock, [&] {
        EXPECT_EQ(want.size(), h.ReadExt(reinterpret_cast<char*>(buf.data()), (unsigned int)buf.size(), unused));
    });
    h.SetWait(false);
    EXPECT_EQ(want.size(), h.ReadExt(reinterpret_cast<char*>(buf.data()), (unsigned int)buf.size(), unused));
    fetcher.StopLive();
    EXPECT_TRUE(peer.WaitFinished(3, 5000));
    // A failure run is logged once, naming the stream, never the login.
    const std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find(fetcher.Url() + ": the stream went silent")) << text;
    EXPECT_EQ(std::string::npos, text.find("status 503")) << "a failure run is logged once";
    EXPECT_EQ(std::string::npos, text.find("s3cret"));
}

// A live stream that brings nothing of use for the time-out (on the fetcher's
// clock) is lost: its last alarm is not current any more. Packets without an
// extension keep the session (the recorder's video) but not the extension.
TEST(RtpFetcherPeer, LiveStreamThatBringsNothingOfUseIsLost) {
    const int timeoutMs = 1000;
    const int sliceMs = 200;  // the live thread's read slice
    const std::string alarm = VideoFrame("ALARM", 1);
    const std::string rtcp = Frame(5, Bytes{0x80, 200, 0, 1, 0, 0, 0, 1});
    Bytes bad = camtest::RtpPacket(0, true, 0xABAC, 0, 40, 0, "x", 2);
    bad[0] = 0x40;  // RTP version 1
    const std::string plain = Frame(4, camtest::RtpPacket(0, false, 0, 0, 40, 0));
    auto every50 = [](const std::string& bytes) {
        std::vector<PeerStep> s;
        for (int i = 0; i < 200; ++i) {
            s.push_back(PeerStep::Pause(50));
            s.push_back(PeerStep::Send(bytes));
        }
        s.push_back(PeerStep::Stall());
        return s;
    };
    std::vector<PeerStep> drip = {PeerStep::Send(Frame(4, Bytes(300, 0x55)).substr(0, 4))};
    for (PeerStep& p : every50("U")) drip.push_back(p);
    struct Case {
        const char* what;
        std::vector<PeerStep> after;
        bool sessionKept;  // an empty extension stays current
    } cases[] = {
        {"silent", {PeerStep::Stall()}, false},
        {"dripping", drip, false},
        {"RTCP only", every50(rtcp), false},
        {"malformed packets", every50(Frame(4, bad)), false},
        {"packets without an extension", every50(plain), true},
    };
    std::vector<std::unique_ptr<ScriptedPeer> > peers;
    std::vector<std::unique_ptr<camtest::FakeClock> > clocks;
    std::vector<std::unique_ptr<RtpFetcher> > fetchers;
    for (Case& c : cases) {
        // The camera takes a new session but sends nothing on it.
        peers.emplace_back(new ScriptedPeer(std::vector<PeerScript>{
            Steps({SetUpSteps(), {PeerStep::Send(alarm)}, c.after}), Steps({SetUpSteps(), {PeerStep::Stall()}})}));
        clocks.emplace_back(new camtest::FakeClock(camtest::FakeClock::MANUAL));
        fetchers.emplace_back(new RtpFetcher(Conf(peers.back()->Port(), timeoutMs / 1000), *clocks.back()));
        ASSERT_TRUE(fetchers.back()->StartLive());
    }
    const size_t alarmLen = camtest::ExtAsExposed(0xABAC, "ALARM").size();
    for (size_t i = 0; i < fetchers.size(); ++i) ASSERT_TRUE(fetchers[i]->WaitPackets(1, 5000)) << cases[i].what;
    // Up to just before the time-out the alarm is what the camera last said,
    // however long the camera keeps sending what is of no use.
    for (size_t i = 0; i < fetchers.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const size_t waits = clocks[i]->NetWaits().size();
        clocks[i]->Advance(timeoutMs - 1);
        // The live thread has looked at the time: it waits anew.
        ASSERT_TRUE(WaitFor([&] { return clocks[i]->NetWaits().size() > waits; }));
        EXPECT_EQ(alarmLen, RtpFetchHandler(fetchers[i].get()).CurExtLen());
        EXPECT_EQ(1, peers[i]->Connections());
        // A packet of use from now on keeps the session past the time-out.
        const uint64_t packets = fetchers[i]->PacketCount();
        if (cases[i].sessionKept) {
            ASSERT_TRUE(WaitFor([&] { return fetchers[i]->PacketCount() > packets; }));
        }
    }
    // Past the time-out (and the read slice in which the thread notices), it is lost.
    unsigned char buf[64];
    for (size_t i = 0; i < fetchers.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        clocks[i]->Advance(1 + sliceMs);
        RtpFetchHandler h(fetchers[i].get());
        EXPECT_TRUE(WaitFor([&] { return h.CurExtLen() != alarmLen; })) << "never lost";
        EXPECT_EQ(cases[i].sessionKept, h.CopyExt(buf, 0) == 0);
        // A lost stream is opened again; a kept session is not.
        if (!cases[i].sessionKept) {
            EXPECT_TRUE(WaitFor([&] { return fetchers[i]->ConnectCount() >= 2; }));
        }
        fetchers[i]->StopLive();
        if (cases[i].sessionKept) {
            EXPECT_EQ(1, fetchers[i]->ConnectCount());
        }
    }
}

// A detector's own fetcher (the factory's, with a query and the camera's
// services' clock): the same back-off; the extension copied whole or not at
// all, a bounded read copies what fits; a session without extensions for the
// time-out fails, as the event data is lost.
TEST(RtpFetcherPeer, OwnFetcherBacksOffAndLosesAStreamWithoutExtensions) {
    camtest::FakeClock clock;
    BrellinOwned::RecorderServices services(clock);
    LogCapture log;
    const std::string plain = Frame(4, camtest::RtpPacket(0, false, 0, 0, 40, 0));
    std::vector<PeerStep> plains = {PeerStep::Send(VideoFrame("A") + VideoFrame("and a longer text"))};
    for (int i = 0; i < 30; ++i) {
        plains.push_back(PeerStep::Send(plain));
        plains.push_back(PeerStep::Pause(100));
    }
    const PeerScript endsAtOnce = Steps({SetUpSteps(), {PeerStep::Close()}});
    ScriptedPeer peer(std::vector<PeerScript>{endsAtOnce, endsAtOnce, Steps({SetUpSteps(), plains})});
    BRObjectBase* obj =
        RtpFetchFactory("127.0.0.1", peer.Port(), "live", "", "", false, "codec=h264", 2, true, 1, &services);
    ASSERT_NE(nullptr, obj);
    RtpFetchHandler h(obj);
    unsigned int len = 0;
    int unused = 0;
    EXPECT_NE(0, h.WaitPacket(len, unused));
    h.FetchFailed();
    EXPECT_NE(0, h.WaitPacket(len, unused));
    EXPECT_EQ(std::vector<int64_t>{1000}, clock.Waits());
    ASSERT_EQ(0, h.WaitPacket(len, unused));
    ASSERT_EQ(camtest::ExtAsExposed(0xABAC, "A").size(), len);
    std::vector<unsigned char> buf(len + 1);
    EXPECT_NE(0, h.CopyExt(buf.data(), len + 1));
    EXPECT_EQ((std::vector<int64_t>{1000, 2000}), clock.Waits());
    char small[8];
    h.SetWait(true);
    EXPECT_EQ(sizeof(small), h.ReadExt(small, sizeof(small), unused));
    EXPECT_EQ(camtest::ExtAsExposed(0xABAC, "and a longer text").substr(0, 8), std::string(small, 8));
    int empty = 0;
    int rc = 0;
    while ((rc = h.WaitPacket(len, unused)) == 0 && len == 0) ++empty;
    EXPECT_NE(0, rc);
    EXPECT_GT(empty, 3);
    EXPECT_NE(std::string::npos, log.Text().find("no packet with an extension within 1 s"));
    ReleaseRtpFetch(obj);
    EXPECT_EQ(nullptr, obj);
    EXPECT_NE(std::string::npos, peer.Received(0).find("/live?codec=h264 RTSP/1.0"));
}

}  // namespace
