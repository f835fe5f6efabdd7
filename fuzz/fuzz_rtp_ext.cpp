// The RTP side of a camera's RTSP connection on arbitrary bytes: the stream
// split into frames and messages as the client reads it (the first byte sets
// the size of each read), every RTP frame parsed, and every header extension
// handed to each RTP vendor's tests (Axis by kind and port, Vivotek by kind,
// AVTECH) in a buffer of exactly its length, twice, to check that a result
// depends on the bytes only. The rest of the input is also parsed as one
// packet. Links the rules and the recorder's pure parser, nothing else.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "camdet/rules/avtechrules.h"
#include "camdet/rules/axisrules.h"
#include "camdet/rules/vivotekrules.h"
#include "fuzz/fuzzcheck.h"
#include "host/rtsp/rtpext.h"

using fuzz::Check;

namespace {


void Same(bool t1, int v1, bool t2, int v2) { Check(t1 == t2 && v1 == v2); }

void VendorTests(const std::vector<char>& ext) {
    const char* p = ext.empty() ? nullptr : ext.data();
    const unsigned int n = (unsigned int)ext.size();
    for (int kind = 1; kind <= 4; ++kind) {
        int v1 = -1, v2 = -1;
        Same(axisrule::StreamTrig(kind, p, n, v1), v1, axisrule::StreamTrig(kind, p, n, v2), v2);
    }
    for (int port = 0; port < 4; ++port) {
        int v1 = -1, v2 = -1;
        Same(axisrule::StreamInputTrig(port, p, n, v1), v1, axisrule::StreamInputTrig(port, p, n, v2), v2);
        Same(avtechrule::Input(port, p, n, v1), v1, avtechrule::Input(port, p, n, v2), v2);
    }
    for (int kind : {1, 3}) {
        int v1 = -1, v2 = -1;
        const bool t = vivorule::CheckTrigValInAppData(p, (int)n, v1, kind);
        Same(t, v1, vivorule::CheckTrigValInAppData(p, (int)n, v2, kind), v2);
        Check(v1 >= 0 && v1 <= 127 + (kind == 3 ? 100 : 0));
    }
    int v1 = -1, v2 = -1;
    const bool motion = avtechrule::Motion(p, n, v1);
    Same(motion, v1, avtechrule::Motion(p, n, v2), v2);
    Check(v1 == (motion ? 100 : 0));
}

void Packet(const uint8_t* data, size_t len) {
    // A copy of exactly len bytes, so that a read past the packet shows.
    const std::vector<uint8_t> pkt(data, data + len);
    RTP_PACKET_INFO info;
    if (ParseRtpPacket(pkt.empty() ? nullptr : pkt.data(), pkt.size(), info) != RTP_PARSE_OK) return;
    Check(info.payloadOffset + info.payloadLen + info.padding == len);
    Check(info.hasExt == (info.extLen > 0));
    if (!info.hasExt) return;
    Check(info.extLen == 4 + 4 * (size_t)info.extWords && info.extOffset + info.extLen <= info.payloadOffset);
    VendorTests(std::vector<char>(pkt.begin() + info.extOffset, pkt.begin() + info.extOffset + info.extLen));
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
            if (u.channel == 0) Packet(reinterpret_cast<const uint8_t*>(buf.data()) + 4, u.dataLen);
        } else if (u.kind == RTSP_UNIT::MESSAGE) {
            Check(u.headLen + u.bodyLen == u.consumed && u.headLen <= kRtspMaxHead && u.bodyLen <= kRtspMaxBody);
        }
        buf.erase(0, u.consumed);
    }
    Packet(data + 1, size - 1);
    return 0;
}
