// The RTP side of a camera's RTSP connection and every test of event data in
// video frames or RTP header extensions (the stream rule table: Axis, Vivotek,
// Basler, JVC, Panasonic, AVTECH), on arbitrary bytes: the stream split into
// frames and messages in reads whose size the first byte sets, every RTP frame
// parsed, and every header extension handed to the rules in a buffer of exactly
// its length. The rest of the input is parsed as one packet and handed to the
// rules as a frame's payload. The first byte also picks the kind, group and port.
#include "camdet/rules/axisrules.h"
#include "camdet/rules/jpgvendorrules.h"
#include "camdet/rules/vivotekrules.h"
#include "fuzz/fuzzcheck.h"
#include "host/rtsp/rtpext.h"

using fuzz::Check;
using fuzz::Twice;

namespace {

// Each row for the kind, group and port (-1: the whole camera) that `pick`
// gives, the answer depending on the bytes alone; then the video server's
// input test (no row of its own) and the Axis level's range.
void StreamRules(const std::vector<char>& payload, uint8_t pick) {
    const char* p = fuzz::Ptr(payload);
    const unsigned int n = (unsigned int)payload.size();
    int rows = 0;
    const StreamRuleEntry* table = GetStreamRuleTable(rows);
    STREAM_RULE_STATE st;
    st.kind = 1 + (pick & 3);
    st.group = (pick >> 2) % 5;
    const int port = (pick >> 5) - 1;
    int v = -1;
    for (int r = 0; r < rows; ++r) Twice([&](int& l) { return table[r].rule(st, port, p, n, l); }, v);
    if (vivorule::Vivotek8Input(port + 1, st.group, p, n, v)) Check(v == 1);
    v = -1;
    if (axisrule::StreamTrig(1, p, n, v)) Check(v >= 0 && v <= 999);
}

void Packet(const uint8_t* data, size_t len, uint8_t pick) {
    const std::vector<uint8_t> pkt = fuzz::Exact<uint8_t>(data, len);
    RTP_PACKET_INFO info;
    if (ParseRtpPacket(fuzz::Ptr(pkt), pkt.size(), info) != RTP_PARSE_OK) return;
    Check(info.payloadOffset + info.payloadLen + info.padding == len);
    Check(info.hasExt == (info.extLen > 0));
    if (!info.hasExt) return;
    Check(info.extLen == 4 + 4 * (size_t)info.extWords && info.extOffset + info.extLen <= info.payloadOffset);
    StreamRules(std::vector<char>(pkt.begin() + info.extOffset, pkt.begin() + info.extOffset + info.extLen), pick);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t chunk = 1 + data[0];
    std::string buf;
    size_t fed = 1;
    for (;;) {
        const RTSP_UNIT u = SplitRtspUnit(reinterpret_cast<const uint8_t*>(buf.data()), buf.size(), 0, 1);
        if (u.kind == RTSP_UNIT::NEED_MORE) {
            if (fed >= size) break;
            const size_t n = size - fed < chunk ? size - fed : chunk;
            buf.append(reinterpret_cast<const char*>(data + fed), n);
            fed += n;
            continue;
        }
        if (u.kind == RTSP_UNIT::TOO_LONG) break;
        Check(u.consumed > 0 && u.consumed <= buf.size());
        if (u.kind == RTSP_UNIT::FRAME) {
            Check(u.consumed == 4 + u.dataLen && (u.channel == 0 || u.channel == 1));
            if (u.channel == 0) Packet(reinterpret_cast<const uint8_t*>(buf.data()) + 4, u.dataLen, data[0]);
        } else if (u.kind == RTSP_UNIT::MESSAGE) {
            Check(u.headLen + u.bodyLen == u.consumed && u.headLen <= kRtspMaxHead && u.bodyLen <= kRtspMaxBody);
        }
        buf.erase(0, u.consumed);
    }
    Packet(data + 1, size - 1, data[0]);
    StreamRules(fuzz::Exact(data + 1, size - 1), data[0]);
    return 0;
}
