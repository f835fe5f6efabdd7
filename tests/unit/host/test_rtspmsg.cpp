// The text side of the RTSP client: messages, the challenge it answers and
// how, the track's control URL from an SDP, Session and Transport headers.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/rtsp/rtspclient.h"
#include "host/rtsp/rtspmsg.h"

namespace {

RTSP_MESSAGE Parse(const std::string& head, const std::string& body = std::string()) {
    RTSP_MESSAGE m;
    EXPECT_TRUE(ParseRtspMessage(head.data(), head.size(), body.data(), body.size(), m)) << head;
    return m;
}

TEST(RtspMessage, ResponsesAndServerRequests) {
    RTSP_MESSAGE r = Parse(
        "RTSP/1.0 401 Unauthorized\r\nCSeq: 4\r\nWWW-Authenticate: Basic realm=\"a\"\r\n"
        "www-authenticate: Digest realm=\"a\",\r\n  nonce=\"n\"\r\n\r\n");
    EXPECT_TRUE(r.blResponse);
    EXPECT_EQ(401, r.status);
    EXPECT_EQ(4, r.CSeq());
    // Case-insensitive names; a folded line continues its header.
    const std::vector<std::string> auth = r.Headers("WWW-AUTHENTICATE");
    ASSERT_EQ(2u, auth.size());
    EXPECT_EQ("Digest realm=\"a\", nonce=\"n\"", auth[1]);

    RTSP_MESSAGE q = Parse("GET_PARAMETER rtsp://cam/x RTSP/1.0\nCSeq: 12\n\n");
    EXPECT_FALSE(q.blResponse);
    EXPECT_EQ("GET_PARAMETER", q.method);
    EXPECT_EQ(12, q.CSeq());

    RTSP_MESSAGE m;
    for (const std::string bad : {"HTTP/1.1 200 OK\r\n\r\n", "RTSP/1.0 OK\r\n\r\n", "garbage\r\n\r\n", ""}) {
        EXPECT_FALSE(ParseRtspMessage(bad.data(), bad.size(), nullptr, 0, m)) << bad;
    }
}

TEST(RtspAuth, ChallengeChoice) {
    struct Case {
        const char* what;
        std::vector<std::string> values;
        RTSP_CHALLENGE::Scheme want;
        bool qop;
    } cases[] = {
        {"Digest before Basic", {"Basic realm=\"r\"", "Digest realm=\"r\", nonce=\"abc\""}, RTSP_CHALLENGE::DIGEST,
         false},
        {"qop list with auth", {"Digest realm=\"r\", nonce=\"abc\", qop=\"auth-int, auth\""}, RTSP_CHALLENGE::DIGEST,
         true},
        {"qop auth-int only", {"Digest realm=\"r\", nonce=\"abc\", qop=\"auth-int\""}, RTSP_CHALLENGE::DIGEST, false},
        {"an algorithm we do not speak falls back to Basic",
         {"Digest realm=\"r\", nonce=\"abc\", algorithm=SHA-256", "Basic realm=\"r\""}, RTSP_CHALLENGE::BASIC, false},
        {"Digest without a nonce", {"Digest realm=\"r\""}, RTSP_CHALLENGE::NONE, false},
        {"unknown scheme", {"Bearer realm=\"r\"", "Basicx realm=\"r\""}, RTSP_CHALLENGE::NONE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RTSP_CHALLENGE ch = ParseChallenges(c.values);
        EXPECT_EQ(c.want, ch.scheme);
        EXPECT_EQ(c.qop, ch.blQopAuth);
    }
    const RTSP_CHALLENGE st = ParseChallenges({"Digest realm=\"r\", nonce=\"n2\", stale=TRUE, opaque=\"o\""});
    EXPECT_TRUE(st.blStale);
    EXPECT_EQ("o", st.opaque);
}

// The fields of a Digest Authorization value, unquoted.
std::string Field(const std::string& v, const std::string& name) {
    const size_t p = v.find(" " + name + "=");
    if (p == std::string::npos) return "(absent)";
    size_t s = p + name.size() + 2;
    const bool quoted = v[s] == '"';
    if (quoted) ++s;
    const size_t e = v.find(quoted ? '"' : ',', s);
    return v.substr(s, e == std::string::npos ? std::string::npos : e - s);
}

TEST(RtspAuth, AuthorizationValues) {
    // The worked example of RFC 2617 section 3.5.
    EXPECT_EQ("6629fae49393a05397450978507c4ef1",
              DigestResponse("Mufasa", "Circle Of Life", "testrealm@host.com", "dcd98b7102dd2f0e8b11d0f600bfb0c093",
                             "GET", "/dir/index.html", true, "00000001", "0a4f113b"));
    unsigned nc = 0;
    RTSP_CHALLENGE basic;
    basic.scheme = RTSP_CHALLENGE::BASIC;
    EXPECT_EQ("Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==",
              AuthorizationValue(basic, "Aladdin", "open sesame", "DESCRIBE", "rtsp://h/", nc, "c"));

    RTSP_CHALLENGE d = ParseChallenges({"Digest realm=\"cam\", nonce=\"N1\", qop=\"auth\", opaque=\"op\""});
    const std::string first = AuthorizationValue(d, "u", "p", "DESCRIBE", "rtsp://h/s", nc, "cn");
    const std::string second = AuthorizationValue(d, "u", "p", "SETUP", "rtsp://h/s/t", nc, "cn");
    EXPECT_EQ("00000002", Field(second, "nc"));
    EXPECT_EQ("rtsp://h/s/t", Field(second, "uri"));
    EXPECT_EQ("op", Field(first, "opaque"));
    EXPECT_EQ(DigestResponse("u", "p", "cam", "N1", "SETUP", "rtsp://h/s/t", true, "00000002", "cn"),
              Field(second, "response"));

    RTSP_CHALLENGE plain = ParseChallenges({"Digest realm=\"cam\", nonce=\"N1\""});
    const std::string v = AuthorizationValue(plain, "u", "p", "PLAY", "rtsp://h/", nc, "cn");
    EXPECT_EQ("(absent)", Field(v, "qop"));
    EXPECT_EQ(DigestResponse("u", "p", "cam", "N1", "PLAY", "rtsp://h/", false, "", ""), Field(v, "response"));
}

TEST(Sdp, TrackControlUrls) {
    const std::string media = "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n";
    struct Case {
        const char* what;
        std::string sdp;
        std::string base;
        std::string want;
    } cases[] = {
        {"relative to a base with a slash", "v=0\r\n" + media + "a=control:trackID=1\r\n", "rtsp://h:554/live/",
         "rtsp://h:554/live/trackID=1"},
        {"relative to a base without one", "v=0\r\n" + media + "a=control:stream=0\r\n", "rtsp://h/live",
         "rtsp://h/live/stream=0"},
        {"absolute", "v=0\r\n" + media + "a=control:rtsp://other:8554/x/track1\r\n", "rtsp://h/live",
         "rtsp://other:8554/x/track1"},
        {"from the root", "v=0\r\n" + media + "a=control:/y/t\r\n", "rtsp://h:10554/live/", "rtsp://h:10554/y/t"},
        {"star", "v=0\r\n" + media + "a=control:*\r\n", "rtsp://h/live/", "rtsp://h/live/"},
        {"none", "v=0\r\n" + media, "rtsp://h/live", "rtsp://h/live"},
        {"under a session-level control", "v=0\r\na=control:rtsp://h/agg/\r\n" + media + "a=control:v\r\n",
         "rtsp://h/live", "rtsp://h/agg/v"},
        {"the video after an audio track",
         "v=0\r\nm=audio 0 RTP/AVP 0\r\na=control:audio\r\n" + media + "a=control:video\r\n", "rtsp://h/s/",
         "rtsp://h/s/video"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SDP_MEDIA m;
        ASSERT_TRUE(FindSdpMedia(c.sdp, "video", c.base, m));
        EXPECT_EQ(c.want, m.control);
    }
    SDP_MEDIA m;
    EXPECT_FALSE(FindSdpMedia("v=0\r\nm=audio 0 RTP/AVP 0\r\n", "video", "rtsp://h/", m));
}

TEST(RtspHeaders, TransportAndSession) {
    const std::pair<const char*, const char*> transports[] = {
        {"RTP/AVP/TCP;unicast;interleaved=2-3;ssrc=1", "2-3"},
        {"RTP/AVP/TCP;interleaved=6", "6-7"},
        {"RTP/AVP;unicast;client_port=5000-5001", "refused"},
    };
    for (const auto& t : transports) {
        int rtp = -1, rtcp = -1;
        const bool ok = ParseInterleaved(t.first, rtp, rtcp);
        EXPECT_EQ(t.second, ok ? std::to_string(rtp) + "-" + std::to_string(rtcp) : "refused") << t.first;
    }
    // Session header -> id;timeout (60 when none or none usable is given).
    const std::pair<const char*, const char*> sessions[] = {
        {"12345678;timeout=30", "12345678;30"}, {" abc ", "abc;60"}, {"abc;Timeout=0", "abc;60"}};
    for (const auto& s : sessions) {
        std::string id;
        int timeout = 0;
        ParseSession(s.first, id, timeout);
        EXPECT_EQ(s.second, id + ";" + std::to_string(timeout)) << s.first;
    }
}

TEST(RtspUrl, PartsOfTheStreamUrl) {
    // URL -> host|port|path|user|password
    const std::pair<std::string, std::string> cases[] = {
        {"rtsp://192.0.2.7/axis-media/media.amp?videocodec=h264",
         "192.0.2.7|554|/axis-media/media.amp?videocodec=h264||"},
        {"rtsp://cam.example:8554", "cam.example|8554|/||"},
        {"rtsp://admin:p%40ss:word@10.0.0.2:10554/live.sdp", "10.0.0.2|10554|/live.sdp|admin|p@ss:word"},
    };
    for (const auto& c : cases) {
        RTSP_CLIENT_CONF conf;
        std::string why;
        ASSERT_TRUE(ParseRtspUrl(c.first, conf, why)) << why;
        EXPECT_EQ(c.second, conf.host + "|" + std::to_string(conf.port) + "|" + conf.path + "|" + conf.user + "|" +
                                conf.password)
            << c.first;
    }
    for (const std::string bad : {"http://cam/x", "rtsp://", "rtsp://u:secret@/x", "rtsp://cam:0/x",
                                  "rtsp://cam:99999/x", "rtsp://cam:12ab/x", "rtsp://[::1/x"}) {
        RTSP_CLIENT_CONF conf;
        std::string why;
        EXPECT_FALSE(ParseRtspUrl(bad, conf, why)) << bad;
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(std::string::npos, why.find("secret"));
    }
}

}  // namespace
