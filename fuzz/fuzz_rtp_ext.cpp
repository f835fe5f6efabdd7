// The RTP side of a camera's RTSP connection on arbitrary bytes: the stream
// split into frames and messages in reads whose size the first byte sets,
// every RTP frame parsed, and every header extension handed to each RTP
// vendor's tests (Axis by kind and port, Vivotek by kind, AVTECH) in a buffer
// of exactly its length. The rest of the input is also parsed as one packet.
#include "camdet/rules/avtechrules.h"
#include "camdet/rules/axisrules.h"
#include "camdet/rules/vivotekrules.h"
#include "fuzz/fuzzcheck.h"
#include "host/rtsp/rtpext.h"

using fuzz::Check;
using fuzz::Twice;

namespace {

void VendorTests(const std::vector<char>& ext) {
    const char* p = fuzz::Ptr(ext);
    const unsigned int n = (unsigned int)ext.size();
    int v = -1;
    for (int kind = 1; kind <= 4; ++kind) Twice([&](int& l) { return axisrule::StreamTrig(kind, p, n, l); }, v);
    for (int port = 0; port < 4; ++port) {
        Twice([&](int& l) { return axisrule::StreamInputTrig(port, p, n, l); }, v);
        Twice([&](int& l) { return avtechrule::Input(port, p, n, l); }, v);
    }
    for (int kind : {1, 3}) {
        v = -1;
        Twice([&](int& l) { return vivorule::CheckTrigValInAppData(p, (int)n, l, kind); }, v);
        Check(v >= 0 && v <= 127 + (kind == 3 ? 100 : 0));
    }
    v = -1;
    const bool motion = Twice([&](int& l) { return avtechrule::Motion(p, n, l); }, v);
    Check(v == (motion ? 100 : 0));
}

void Packet(const uint8_t* data, size_t len) {
    const std::vector<uint8_t> pkt = fuzz::Exact<uint8_t>(data, len);
    RTP_PACKET_INFO info;
    if (ParseRtpPacket(fuzz::Ptr(pkt), pkt.size(), info) != RTP_PARSE_OK) return;
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
