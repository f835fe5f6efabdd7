// OXHttpClient against scripted loopback peers: how a body ends, stalls, early
// closes, garbage, bounded memory on an endless stream and the request text it
// sends. The framing itself is libcurl's: one row per way our reader ends.
// (POST, kept connection, IPv6, silence: the ONVIF transport's tests.)
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dupfromox/oxdebuglog.h"
#include "interface/hostservices.h"
#include "tests/fixtures/fakeclock.h"
#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"

using BrellinOwned::OXHttpClient;
using camtest::PeerScript;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

void InitClient(OXHttpClient& c, int port, const std::string& path = "cgi-bin/status", int timeoutSec = 5,
                bool keepAlive = false, HTTP_VERSION version = HTTP_VER_DEF, const std::string& extra = "") {
    c.Init(path, "127.0.0.1", port, "", "", timeoutSec, true, keepAlive, version, extra);
}

// Reads the whole body with ReadData; result is the last return value (0 at
// a clean end, negative on error).
int ReadBody(OXHttpClient& c, std::string& body, int max = 7) {
    std::vector<char> buf(max);
    for (int guard = 0; guard < 100000; ++guard) {
        const int n = c.ReadData(buf.data(), max);
        if (n <= 0) return n;
        EXPECT_LT(n, max);
        EXPECT_EQ('\0', buf[n]);
        body.append(buf.data(), n);
    }
    return 1;
}

// How a body ends, or that no answer could be used (a null body): what the
// reads give then.
TEST(HttpClientPeer, BodyFramingAndUnusableAnswers) {
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                "6\r\nmotion\r\nb\r\n=1\r\nlevel=4\r\n3\r\n2\r\n\r\n0\r\n\r\n";
    const struct {
        const char* name;
        PeerScript script;
        const char* body;
    } cases[] = {
        {"close-delimited",
         {PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 200 OK\r\n\r\nuntil close"), PeerStep::Close()},
         "until close"},
        {"empty", {PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.1 204 No Content\r\n\r\n"), PeerStep::Close()}, ""},
        // The connection stays open after the answer: its framing alone ends the body.
        {"chunked, kept", {PeerStep::RecvRequest(), PeerStep::Send(chunked), PeerStep::Stall()},
         "motion=1\r\nlevel=42\r\n"},
        {"close before answer", {PeerStep::RecvRequest(), PeerStep::Close()}, nullptr},
        {"garbage", {PeerStep::RecvRequest(), PeerStep::Send("GARBAGE\r\n\r\n"), PeerStep::Close()}, nullptr},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        ScriptedPeer peer(k.script);
        ASSERT_TRUE(peer.Listening());
        OXHttpClient c;
        InitClient(c, peer.Port());
        if (k.body == nullptr) {
            EXPECT_LT(c.SendRequest(OX_HTTP_GET, "?"), 0);
            int status = -1;
            EXPECT_LT(c.CheckResponse(status), 0);
            EXPECT_EQ(0, status);
            std::string v;
            EXPECT_LT(c.GetHttpContent(HTTP_MAP_STATUS_LINE, v), 0);
            char b[8];
            EXPECT_LT(c.ReadData(b, sizeof(b)), 0);
            continue;
        }
        ASSERT_EQ(0, c.SendRequest(OX_HTTP_GET, "?"));
        std::string body;
        EXPECT_EQ(0, ReadBody(c, body));
        EXPECT_EQ(k.body, body);
        char b[4] = "old";
        EXPECT_LT(c.ReadToLineEnd(b, sizeof(b)), 0) << "nothing after the end";
        EXPECT_STREQ("old", b) << "a failed read leaves the buffer";
    }
}

TEST(HttpClientPeer, StallAfterHeadersIsBoundedByTheTimeOut) {
    ScriptedPeer peer(PeerScript{PeerStep::RecvRequest(),
                                 PeerStep::Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nfirst\r\npart"),
                                 PeerStep::Stall()});
    ASSERT_TRUE(peer.Listening());
    camtest::FakeClock clock(camtest::FakeClock::MANUAL);
    OXHttpClient c(clock);
    InitClient(c, peer.Port(), "stream", 1);
    ASSERT_EQ(0, c.SendRequest(OX_HTTP_GET, "?"));
    char buf[64];
    EXPECT_EQ(5, c.ReadToLineEnd(buf, sizeof(buf)));  // a manual clock never times a read out by itself
    EXPECT_STREQ("first", buf);
    // No line end comes after "part": one time-out on the client's clock, and
    // the caller's line is left as it was.
    EXPECT_EQ(1000, camtest::ClockMsOf(clock, [&] { EXPECT_LT(c.ReadToLineEnd(buf, sizeof(buf)), 0); }));
    EXPECT_STREQ("first", buf);
}

TEST(HttpClientPeer, EndlessStreamKeepsMemoryBounded) {
    // 128 MiB of lines; a client that buffered whatever arrives would take it
    // all during the reads below.
    const std::string line = "event=tick;level=" + std::string(41, '7') + "\n";  // 64 bytes
    ScriptedPeer peer(PeerScript{PeerStep::RecvRequest(), PeerStep::Send("HTTP/1.0 200 OK\r\n\r\n"),
                                 PeerStep::SendRepeat(line, (size_t)2 << 20)});
    ASSERT_TRUE(peer.Listening());
    OXHttpClient c;
    InitClient(c, peer.Port(), "stream", 5);
    ASSERT_EQ(0, c.SendRequest(OX_HTTP_GET, "?"));
    char buf[128];
    std::string got;
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(1, c.ReadData(buf, 2));
        got += buf[0];
    }
    ASSERT_TRUE(peer.WaitSendBlocked(0, 20000)) << "the peer should be held back by the client";
    EXPECT_LT(peer.Sent(0), (size_t)80 << 20);
    // Nothing lost or reordered across the pauses.
    std::string expect;
    while (expect.size() < got.size()) expect += line;
    EXPECT_EQ(expect.substr(0, got.size()), got);
    const size_t skip = line.size() - got.size() % line.size();
    ASSERT_EQ((int)skip - 1, c.ReadToLineEnd(buf, sizeof(buf)));
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ((int)line.size() - 1, c.ReadToLineEnd(buf, sizeof(buf))) << i << " " << buf;
        ASSERT_EQ(line.substr(0, line.size() - 1), buf);
    }
    c.Close();
}

// The request a camera sees (the path escaped, the version and extra headers
// asked for) and the answer's header map. (The default version, no Expect and
// no Authorization without a login: OnvifHttpTransport.AddressFormsAndAnswers.)
TEST(HttpClientPeer, RequestTextAndHeaderEntries) {
    ScriptedPeer peer(PeerScript{PeerStep::RecvRequest(),
                                 PeerStep::Send("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n"
                                                "Content-Length: 3\r\nX-Cam: a\r\n\r\nnop"),
                                 PeerStep::Stall()});
    ASSERT_TRUE(peer.Listening());
    OXHttpClient c;
    std::string v;
    EXPECT_LT(c.GetHttpContent(HTTP_MAP_STATUS_LINE, v), 0) << "no request yet";
    InitClient(c, peer.Port(), "cgi-bin/a b?x=1", 5, false, HTTP_VER_1_0, "X-One: 1\r\nX-Two: 2");
    ASSERT_EQ(0, c.SendRequest(OX_HTTP_GET, "?"));
    const std::string req = peer.Received(0);
    for (const char* s : {"GET /cgi-bin/a%20b?x=1 HTTP/1.0\r\n", "\r\nX-One: 1\r\nX-Two: 2\r\n"})
        EXPECT_NE(std::string::npos, req.find(s)) << s << " in\n" << req;
    int status = 0;
    EXPECT_LT(c.CheckResponse(status), 0);
    EXPECT_EQ(404, status);
    EXPECT_EQ(0, c.GetHttpContent(HTTP_MAP_STATUS_LINE, v));
    EXPECT_EQ("HTTP/1.1 404 Not Found", v);
    EXPECT_EQ(0, c.GetHttpContent(HTTP_MAP_CONTENT_TYPE, v));
    EXPECT_EQ("text/html", v);
    EXPECT_EQ(0, c.GetHttpContent(HTTP_MAP_ALL_HEADERS, v));
    EXPECT_EQ("Content-Type: text/html\r\nContent-Length: 3\r\nX-Cam: a\r\n", v);
    char buf[16];
    EXPECT_LT(c.ReadData(buf, 1), 0) << "no room for a byte and the terminator";
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(HttpClientPeer, FailuresAreLoggedOnceAndWithoutCredentials) {
    LogCapture capture;
    int port;
    {
        ScriptedPeer gone(PeerScript{});
        port = gone.Port();
    }
    OXHttpClient c("127.0.0.1", port, "cgi-bin/status?user=admin&pwd=s3cr3t-PW", "admin", "s3cr3t-PW", 1, true,
                   true, HTTP_VER_DEF, "Authorization: Basic czNjcjN0LVBX");
    for (int i = 0; i < 5; ++i) EXPECT_LT(c.SendRequest(OX_HTTP_GET, "?"), 0);
    OXHttpClient noHost;  // never set up: a line of its own
    EXPECT_LT(noHost.SendRequest(OX_HTTP_GET, "?"), 0);
    BrellinOwned::OXSocket s("127.0.0.1", port, 1, false);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(-1, s.Connect());
    // A new camera set-up logs its first failure again.
    c.Init("other", "127.0.0.1", port, "admin", "s3cr3t-PW", 1, true, true, HTTP_VER_DEF, "");
    EXPECT_LT(c.SendRequest(OX_HTTP_GET, "?"), 0);
    const std::string log = capture.Text();
    EXPECT_EQ(3u, Count(log, "host/oxhttpclient:")) << log;
    EXPECT_EQ(1u, Count(log, "host/oxsocket:")) << log;
    EXPECT_EQ(std::string::npos, log.find("s3cr3t")) << log;
    EXPECT_EQ(std::string::npos, log.find("czNjcjN0")) << log;
    EXPECT_EQ(std::string::npos, log.find("pwd=")) << log;
}

}  // namespace
