#include "host/rtsp/rtpext.h"

#include <string.h>

namespace {

const size_t kRtpFixedHeader = 12;

uint16_t Be16(const uint8_t* p) { return (uint16_t)((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

// Words a message can start with: a response, or a request a server may send
// on the connection while it streams.
const char* const kMessageStarts[] = {"RTSP/", "ANNOUNCE ", "GET_PARAMETER ", "SET_PARAMETER ",
                                      "OPTIONS ", "REDIRECT ", "PLAY_NOTIFY "};

enum PrefixMatch { PREFIX_NO, PREFIX_PARTIAL, PREFIX_FULL };

// Whether a message start word begins at buf (PARTIAL: the bytes end inside one).
PrefixMatch MessageStart(const uint8_t* buf, size_t len) {
    PrefixMatch best = PREFIX_NO;
    for (const char* w : kMessageStarts) {
        const size_t n = strlen(w);
        const size_t cmp = len < n ? len : n;
        if (memcmp(buf, w, cmp) != 0) continue;
        if (cmp == n) return PREFIX_FULL;
        best = PREFIX_PARTIAL;
    }
    return best;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

// Content-Length of a message head (0 when absent); -1 when unreadable or too large.
long ContentLength(const uint8_t* head, size_t headLen) {
    static const char kName[] = "content-length:";
    const size_t nameLen = sizeof(kName) - 1;
    size_t pos = 0;
    while (pos < headLen) {
        size_t eol = pos;
        while (eol < headLen && head[eol] != '\n') ++eol;
        if (eol - pos > nameLen) {
            bool match = true;
            for (size_t i = 0; i < nameLen && match; ++i) match = Lower((char)head[pos + i]) == kName[i];
            if (match) {
                size_t i = pos + nameLen;
                while (i < eol && (head[i] == ' ' || head[i] == '\t')) ++i;
                long v = 0;
                bool digits = false;
                while (i < eol && head[i] >= '0' && head[i] <= '9') {
                    v = v * 10 + (head[i] - '0');
                    digits = true;
                    if (v > (long)kRtspMaxBody) return -1;
                    ++i;
                }
                while (i < eol && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r')) ++i;
                return (digits && i == eol) ? v : -1;
            }
        }
        pos = eol + 1;
    }
    return 0;
}

// Garbage from the front up to the next byte where a frame or message may start.
RTSP_UNIT Skip(const uint8_t* buf, size_t len) {
    size_t i = 1;
    while (i < len) {
        if (buf[i] == '$') break;
        if (MessageStart(buf + i, len - i) != PREFIX_NO) break;
        ++i;
    }
    RTSP_UNIT u;
    u.kind = RTSP_UNIT::SKIP;
    u.consumed = i;
    return u;
}

RTSP_UNIT Frame(const uint8_t* buf, size_t len, int rtpChannel, int rtcpChannel) {
    RTSP_UNIT u;
    if (len < 4) return u;
    const int channel = buf[1];
    const size_t dataLen = Be16(buf + 2);
    const bool rtp = channel == rtpChannel;
    if (!rtp && channel != rtcpChannel) return Skip(buf, len);
    // Both RTP and RTCP carry version 2 in the first two bits; an RTP packet
    // needs its fixed header, an RTCP one its 4-byte head.
    if (dataLen < (rtp ? kRtpFixedHeader : 4)) return Skip(buf, len);
    if (len < 5) return u;
    if ((buf[4] & 0xC0) != 0x80) return Skip(buf, len);
    if (len < 4 + dataLen) return u;
    u.kind = RTSP_UNIT::FRAME;
    u.channel = channel;
    u.dataLen = dataLen;
    u.consumed = 4 + dataLen;
    return u;
}

RTSP_UNIT Message(const uint8_t* buf, size_t len) {
    RTSP_UNIT u;
    size_t headLen = 0;
    const size_t limit = len < kRtspMaxHead ? len : kRtspMaxHead;
    for (size_t i = 0; i < limit; ++i) {
        if (buf[i] != '\n') continue;
        if (i + 1 < len && buf[i + 1] == '\n') {
            headLen = i + 2;
            break;
        }
        if (i + 2 < len && buf[i + 1] == '\r' && buf[i + 2] == '\n') {
            headLen = i + 3;
            break;
        }
    }
    if (headLen == 0) {
        if (len >= kRtspMaxHead) u.kind = RTSP_UNIT::TOO_LONG;
        return u;
    }
    const long body = ContentLength(buf, headLen);
    if (body < 0) {
        u.kind = RTSP_UNIT::TOO_LONG;
        return u;
    }
    if (len < headLen + (size_t)body) return u;
    u.kind = RTSP_UNIT::MESSAGE;
    u.headLen = headLen;
    u.bodyLen = (size_t)body;
    u.consumed = headLen + (size_t)body;
    return u;
}

}  // namespace

int ParseRtpPacket(const uint8_t* p, size_t len, RTP_PACKET_INFO& out) {
    if (!p || len < kRtpFixedHeader) return RTP_PARSE_SHORT;
    if ((p[0] >> 6) != 2) return RTP_PARSE_VERSION;
    out = RTP_PACKET_INFO();
    const bool padded = (p[0] & 0x20) != 0;
    const bool ext = (p[0] & 0x10) != 0;
    out.csrcCount = p[0] & 0x0F;
    out.marker = (p[1] & 0x80) != 0;
    out.payloadType = p[1] & 0x7F;
    out.seq = Be16(p + 2);
    out.timestamp = Be32(p + 4);
    out.ssrc = Be32(p + 8);

    size_t off = kRtpFixedHeader + 4 * (size_t)out.csrcCount;
    if (off > len) return RTP_PARSE_SHORT;
    if (ext) {
        if (len - off < 4) return RTP_PARSE_SHORT;
        out.extProfile = Be16(p + off);
        out.extWords = Be16(p + off + 2);
        const size_t extLen = 4 + 4 * (size_t)out.extWords;
        if (len - off < extLen) return RTP_PARSE_SHORT;
        out.hasExt = true;
        out.extOffset = off;
        out.extLen = extLen;
        off += extLen;
    }
    size_t end = len;
    if (padded) {
        // The last byte counts the padding, itself included; padding never
        // reaches into the headers.
        const unsigned count = p[len - 1];
        if (count == 0 || count > len - off) return RTP_PARSE_PADDING;
        out.padding = count;
        end -= count;
    }
    out.payloadOffset = off;
    out.payloadLen = end - off;
    return RTP_PARSE_OK;
}

RTSP_UNIT SplitRtspUnit(const uint8_t* buf, size_t len, int rtpChannel, int rtcpChannel) {
    RTSP_UNIT u;
    if (!buf || len == 0) return u;
    if (buf[0] == '$') return Frame(buf, len, rtpChannel, rtcpChannel);
    switch (MessageStart(buf, len)) {
    case PREFIX_FULL: return Message(buf, len);
    case PREFIX_PARTIAL: return u;
    default: return Skip(buf, len);
    }
}
