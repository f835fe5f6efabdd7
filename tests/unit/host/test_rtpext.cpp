// The RTP packet parser and the splitter of an RTSP connection's bytes: the
// extension after CSRC lists and before padding (malformed and cut packets, in
// a buffer of their size: fuzz_rtp_ext); frames and messages split at every byte
// offset; resynchronisation after a frame whose length runs past its packet.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/rtsp/rtpext.h"
#include "tests/fixtures/rtppackets.h"

namespace {

using camtest::Bytes;
using camtest::Frame;
using camtest::Str;

Bytes Packet(unsigned csrcs, bool ext, uint16_t profile, unsigned extWords, size_t payload, unsigned pad) {
    return camtest::RtpPacket(csrcs, ext, profile, extWords, payload, pad);
}

TEST(RtpPacket, LayoutOfWellFormedPackets) {
    struct Case {
        const char* what;
        unsigned csrcs;
        bool ext;
        unsigned extWords;
        size_t payload;
        unsigned pad;
    } cases[] = {
        {"plain", 0, false, 0, 100, 0},
        {"CSRCs and extension", 2, true, 1, 20, 0},
        {"fifteen CSRCs", 15, true, 2, 0, 0},
        {"extension of no words", 0, true, 0, 10, 0},
        {"padding after the payload", 1, true, 2, 7, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes p = Packet(c.csrcs, c.ext, 0xABAC, c.extWords, c.payload, c.pad);
        RTP_PACKET_INFO info;
        ASSERT_EQ(RTP_PARSE_OK, ParseRtpPacket(p.data(), p.size(), info));
        // Only the extension is read on (the rules' event data): it follows the
        // CSRCs and, as exposed, starts with its own head.
        EXPECT_EQ(c.ext, info.hasExt);
        EXPECT_EQ(c.ext ? 12 + 4 * c.csrcs : 0, info.extOffset);
        EXPECT_EQ(c.ext ? 4 + 4 * c.extWords : 0, info.extLen);
        EXPECT_TRUE(!c.ext || p[info.extOffset] == 0xAB);
    }
}

// ---------------------------------------------------------------- splitter

struct Unit {
    RTSP_UNIT::Kind kind;
    int channel;
    std::string bytes;  // frame data, or the whole message
    bool operator==(const Unit& o) const { return kind == o.kind && channel == o.channel && bytes == o.bytes; }
};

// Splits `stream` as the client does, given it in reads of `chunk` bytes:
// the frames and messages in order (skipped bytes are counted, not listed).
std::vector<Unit> SplitAll(const std::string& stream, size_t chunk, size_t* skipped = nullptr) {
    std::vector<Unit> out;
    std::string buf;
    size_t fed = 0;
    size_t skip = 0;
    for (;;) {
        const RTSP_UNIT u =
            SplitRtspUnit(reinterpret_cast<const uint8_t*>(buf.data()), buf.size(), 0, 1);
        if (u.kind == RTSP_UNIT::NEED_MORE) {
            if (fed >= stream.size()) break;
            const size_t n = std::min(chunk, stream.size() - fed);
            buf.append(stream, fed, n);
            fed += n;
            continue;
        }
        EXPECT_NE(RTSP_UNIT::TOO_LONG, u.kind);
        if (u.kind == RTSP_UNIT::TOO_LONG) break;
        EXPECT_GT(u.consumed, 0u);
        if (u.kind == RTSP_UNIT::FRAME) out.push_back(Unit{u.kind, u.channel, buf.substr(4, u.dataLen)});
        if (u.kind == RTSP_UNIT::MESSAGE) out.push_back(Unit{u.kind, -1, buf.substr(0, u.consumed)});
        if (u.kind == RTSP_UNIT::SKIP) skip += u.consumed;
        buf.erase(0, u.consumed);
    }
    if (skipped) *skipped = skip;
    return out;
}

TEST(RtspSplit, FramesAndMessagesAtEveryCutPoint) {
    const Bytes a = Packet(0, true, 0xBEDE, 1, 40, 0);
    const Bytes b = Packet(1, false, 0, 0, 13, 2);
    const Bytes rtcp = {0x80, 200, 0, 1, 1, 2, 3, 4};
    const std::string answer = "RTSP/1.0 200 OK\r\nCSeq: 7\r\nContent-Length: 5\r\n\r\nhello";
    const std::string request = "GET_PARAMETER rtsp://cam/ RTSP/1.0\r\nCSeq: 3\r\n\r\n";
    const std::string stream = answer + Frame(0, a) + Frame(1, rtcp) + request + Frame(0, b);
    const std::vector<Unit> want = {{RTSP_UNIT::MESSAGE, -1, answer},
                                    {RTSP_UNIT::FRAME, 0, Str(a)},
                                    {RTSP_UNIT::FRAME, 1, Str(rtcp)},
                                    {RTSP_UNIT::MESSAGE, -1, request},
                                    {RTSP_UNIT::FRAME, 0, Str(b)}};
    for (size_t chunk = 1; chunk <= stream.size(); ++chunk) {
        size_t skipped = 0;
        EXPECT_EQ(want, SplitAll(stream, chunk, &skipped)) << "reads of " << chunk;
        EXPECT_EQ(0u, skipped);
    }
}

TEST(RtspSplit, ResynchronisesAfterALengthThatRunsPastThePacket) {
    const Bytes a = Packet(0, true, 0xBEDE, 1, 20, 0);
    const Bytes b = Packet(0, true, 0xBEDE, 1, 20, 0);
    Bytes c = Packet(0, true, 0xABAC, 2, 30, 0);
    c.back() = 0x77;
    // a's length takes in the first ten bytes of b's frame; b is lost, c must not be.
    const std::string stream = Frame(0, a, a.size() + 10) + Frame(0, b) + Frame(0, c);
    for (size_t chunk : {(size_t)1, (size_t)7, (size_t)64, stream.size()}) {
        size_t skipped = 0;
        const std::vector<Unit> got = SplitAll(stream, chunk, &skipped);
        ASSERT_EQ(2u, got.size()) << chunk;
        EXPECT_EQ(a.size() + 10, got[0].bytes.size());
        EXPECT_EQ(Str(c), got[1].bytes);
        EXPECT_EQ(Frame(0, b).size() - 10, skipped);
    }
}

TEST(RtspSplit, GarbageAndForeignFramesAreSkipped) {
    const Bytes a = Packet(0, false, 0, 0, 12, 0);
    struct Case {
        const char* what;
        std::string junk;
    } cases[] = {
        {"text", "noise before the frame, no dollar in it"},
        {"frame on a channel not set up", Frame(5, a)},
        {"RTP frame too short for a header", Frame(0, Bytes(6, 0x80))},
        {"RTP frame not of version 2", Frame(0, Bytes(20, 0x40))},
        {"a lone R", "R"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t skipped = 0;
        const std::vector<Unit> got = SplitAll(c.junk + Frame(0, a), 3, &skipped);
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ(Str(a), got[0].bytes);
        EXPECT_EQ(c.junk.size(), skipped);
    }
}

TEST(RtspSplit, MessagesBeyondTheLimitsMakeTheConnectionUnusable) {
    const std::string longHead = "RTSP/1.0 200 OK\r\nX-Pad: " + std::string(kRtspMaxHead, 'x');
    const std::string hugeBody = "RTSP/1.0 200 OK\r\nContent-Length: 99999999\r\n\r\n";
    const std::string badLength = "RTSP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\n";
    for (const std::string& s : {longHead, hugeBody, badLength}) {
        const RTSP_UNIT u = SplitRtspUnit(reinterpret_cast<const uint8_t*>(s.data()), s.size(), 0, 1);
        EXPECT_EQ(RTSP_UNIT::TOO_LONG, u.kind) << s.substr(0, 40);
    }
    const std::string partial = "RTSP/1.0 200 OK\r\nCSeq: 1\r\n";
    const RTSP_UNIT u = SplitRtspUnit(reinterpret_cast<const uint8_t*>(partial.data()), partial.size(), 0, 1);
    EXPECT_EQ(RTSP_UNIT::NEED_MORE, u.kind);
}

}  // namespace
