// RTP packets as they arrive interleaved on an RTSP connection: the split of
// the connection's bytes into binary frames and RTSP messages, and the fixed
// header, CSRC list, header extension and padding of one RTP packet. Pure
// functions of the bytes handed in: no sockets, no threads, no allocation.
#ifndef HOST_RTPEXT_H
#define HOST_RTPEXT_H

#include <stddef.h>
#include <stdint.h>

// One RTP packet's layout. The extension is exposed as it is on the wire: its
// 4-byte head (the profile-defined 16 bits, then the length in 32-bit words)
// followed by those words, so that "has an extension" and "extension length
// above 0" are the same thing, even for an extension of zero words.
struct RTP_PACKET_INFO {
    uint8_t payloadType = 0;
    bool marker = false;
    uint16_t seq = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    unsigned csrcCount = 0;
    bool hasExt = false;
    uint16_t extProfile = 0;  // the profile-defined 16 bits
    unsigned extWords = 0;    // 32-bit words after the extension head
    size_t extOffset = 0;     // where the extension head starts
    size_t extLen = 0;        // 4 + 4 * extWords, 0 without an extension
    size_t payloadOffset = 0;
    size_t payloadLen = 0;    // without the padding
    unsigned padding = 0;     // padding bytes at the end, the count byte included
};

enum RTP_PARSE_RESULT {
    RTP_PARSE_OK = 0,
    RTP_PARSE_SHORT = -1,    // shorter than its fixed header, CSRC list or extension say
    RTP_PARSE_VERSION = -2,  // not RTP version 2
    RTP_PARSE_PADDING = -3,  // padding count of 0 or larger than what follows the headers
};

// Parses one RTP packet of len bytes. RTP_PARSE_OK and `out` filled, or a
// negative RTP_PARSE_RESULT (out then undefined). Never reads outside [p, p+len).
int ParseRtpPacket(const uint8_t* p, size_t len, RTP_PACKET_INFO& out);

// What starts at the front of the bytes of an RTSP connection.
struct RTSP_UNIT {
    enum Kind {
        NEED_MORE,  // not decidable yet: read more (nothing consumed)
        FRAME,      // an interleaved frame: channel, data at offset 4, dataLen bytes
        MESSAGE,    // an RTSP response or request: headLen bytes of head, bodyLen of body
        SKIP,       // bytes that belong to nothing (garbage, a broken frame): drop them
        TOO_LONG,   // a message head or body beyond the limits: the connection is unusable
    };
    Kind kind = NEED_MORE;
    size_t consumed = 0;  // bytes this unit takes from the front
    int channel = -1;
    size_t dataLen = 0;
    size_t headLen = 0;  // through the blank line
    size_t bodyLen = 0;
};

// Limits of one RTSP message; an SDP or a keep-alive answer is far smaller.
const size_t kRtspMaxHead = 16 * 1024;
const size_t kRtspMaxBody = 64 * 1024;

// Splits the next unit off the front of buf. Frames are accepted only on the
// two channels given (RTP and RTCP of the set-up track); an RTP frame must
// hold at least a fixed header of version 2. A '$' that starts no acceptable
// frame is skipped as garbage together with everything up to the next '$' or
// message start, which resynchronises a stream after a frame whose length ran
// past its packet.
RTSP_UNIT SplitRtspUnit(const uint8_t* buf, size_t len, int rtpChannel, int rtcpChannel);

#endif  // HOST_RTPEXT_H
