// The text side of an RTSP session: responses and server requests, the
// authentication challenge and our answer to it (Basic, or Digest with MD5 and
// qop "auth"), the SDP of DESCRIBE, the Session and Transport headers and the
// stream's URL.
// Pure functions of their arguments; the RTSP client does the I/O.
#ifndef HOST_RTSPMSG_H
#define HOST_RTSPMSG_H

#include <stddef.h>

#include <string>
#include <utility>
#include <vector>

struct RTSP_MESSAGE {
    bool blResponse = false;
    int status = 0;           // responses
    std::string method;       // requests from the server
    std::vector<std::pair<std::string, std::string> > headers;  // in order, values trimmed
    std::string body;

    // The first header of that name (case-insensitive), or "".
    std::string Header(const std::string& name) const;
    // Every header of that name, in order.
    std::vector<std::string> Headers(const std::string& name) const;
    int CSeq() const;  // -1 when absent or not a number
};

// Parses a message head (status or request line, header lines, blank line)
// and its body. False when the first line is neither.
bool ParseRtspMessage(const char* head, size_t headLen, const char* body, size_t bodyLen, RTSP_MESSAGE& out);

struct RTSP_CHALLENGE {
    enum Scheme { NONE, BASIC, DIGEST };
    Scheme scheme = NONE;
    std::string realm, nonce, opaque, algorithm;
    bool blQopAuth = false;  // the server offers qop "auth"
    bool blStale = false;
};

// Picks the challenge to answer from the WWW-Authenticate values of a 401:
// Digest with MD5 (or no algorithm) before Basic; NONE when neither is usable.
RTSP_CHALLENGE ParseChallenges(const std::vector<std::string>& values);

// Lower-case hex MD5 of text.
std::string Md5Hex(const std::string& text);
// The Digest "response" value (RFC 2617); with qop "auth" when qop is true.
std::string DigestResponse(const std::string& user, const std::string& password, const std::string& realm,
                           const std::string& nonce, const std::string& method, const std::string& uri, bool qop,
                           const std::string& nc, const std::string& cnonce);
// The Authorization header value for one request. nc counts the requests
// answered with the current nonce (incremented here).
std::string AuthorizationValue(const RTSP_CHALLENGE& ch, const std::string& user, const std::string& password,
                               const std::string& method, const std::string& uri, unsigned& nc,
                               const std::string& cnonce);

struct SDP_MEDIA {
    std::string type;     // "video", "audio", ...
    std::string control;  // absolute control URL of the track
    std::string rtpmap;   // "96 H264/90000"
};

// The first media section of the wanted type. Its control attribute is made
// absolute against base (Content-Base, else Content-Location, else the
// DESCRIBE URL); a missing control or "*" means base itself. False when the
// SDP has no such section.
bool FindSdpMedia(const std::string& sdp, const std::string& type, const std::string& base, SDP_MEDIA& out);

// "interleaved=a-b" of a Transport header; false when absent or out of range.
bool ParseInterleaved(const std::string& transport, int& rtp, int& rtcp);
// Session header: the id before ';' and "timeout=N" (seconds; 60 when absent).
void ParseSession(const std::string& value, std::string& id, int& timeoutSec);

struct RTSP_URL_PARTS {
    std::string host;  // without brackets for IPv6
    int port = 554;
    std::string path;  // from the first '/', query included; "/" when absent
    bool blLogin = false;
    std::string user, password;  // percent-decoded
};
// Splits rtsp://[user[:password]@]host[:port][/path]. False with why set
// (never quoting the login) for anything else.
bool ParseRtspUrl(const std::string& url, RTSP_URL_PARTS& out, std::string& why);

#endif  // HOST_RTSPMSG_H
