// What a camera's RTSP server says to the client, on arbitrary bytes: the
// message (split at its first blank line), the challenge and the answer to
// it, the SDP track search, the Session and Transport headers, the stream URL.
#include "fuzz/fuzzcheck.h"
#include "host/rtsp/rtspmsg.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t blank = text.find("\r\n\r\n");
    const size_t headLen = blank == std::string::npos ? text.size() : blank + 4;
    RTSP_MESSAGE m;
    if (ParseRtspMessage(text.data(), headLen, text.data() + headLen, text.size() - headLen, m)) {
        Check(m.blResponse ? (m.status >= 100 && m.status <= 999) : !m.method.empty());
        const RTSP_CHALLENGE ch = ParseChallenges(m.Headers("WWW-Authenticate"));
        unsigned nc = 0;
        const std::string auth = AuthorizationValue(ch, "user", "secret", "DESCRIBE", "rtsp://h/s", nc, "0a4f113b");
        Check((ch.scheme == RTSP_CHALLENGE::NONE) == auth.empty());
        // A Digest challenge never gets the password in clear.
        if (ch.scheme == RTSP_CHALLENGE::DIGEST) Check(auth.compare(0, 7, "Digest ") == 0);
        m.CSeq();
    }
    SDP_MEDIA media;
    if (FindSdpMedia(text, "video", "rtsp://cam:554/base", media))
        Check(!media.control.empty() && media.type == "video");
    int rtp = -1, rtcp = -1;
    if (ParseInterleaved(text, rtp, rtcp)) Check(rtp >= 0 && rtp <= 255 && rtcp >= 0 && rtcp <= 256);
    std::string id;
    int timeout = 0;
    ParseSession(text, id, timeout);
    Check(timeout >= 1 && timeout <= 3600);
    RTSP_URL_PARTS url;
    std::string why;
    if (ParseRtspUrl(text, url, why)) {
        Check(!url.host.empty() && url.port >= 1 && url.port <= 65535 && !url.path.empty() && url.path[0] == '/');
    } else {
        Check(!why.empty());
    }
    return 0;
}
