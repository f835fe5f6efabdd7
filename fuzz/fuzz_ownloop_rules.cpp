// The own-loop cameras' readers on arbitrary bytes in a buffer of exactly
// their length: the ACTi event header, the Mobotix counters, the LevelOne GR2
// window and region-level lines, the Ipux and StarDot FIFO frames. The first
// byte picks the reader.
#include <string.h>

#include "camdet/rules/ownlooprules.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::vector<unsigned char> bytes = fuzz::Exact<unsigned char>(data + 1, size - 1);
    const unsigned char* u = fuzz::Ptr(bytes);
    const unsigned int len = (unsigned int)bytes.size();
    switch (data[0] % 5) {
    case 4: {
        int value = -7;
        const bool m = IpuxFifoMotion(u, len, (data[0] & 8) ? 100 : 255, data[0] >> 4, value);
        Check(value <= 100 && (len > 24 || value == -7) && (!m || value > data[0] >> 4));
        IpuxFifoInput(u, len, value);
        Check(StarDotFifoMotion(u, len, value) == (value == 100));
        break;
    }
    case 0: {
        ACTI_EVENT_HEADER h = {0, 0};
        const bool read = ActiReadHeader(u, len, h);
        Check(read == (len == ACTI_HEADER_SIZE));
        if (read) {
            const int32_t skip = ActiPayloadToSkip(h);
            Check(skip >= -1 && skip <= ACTI_MAX_PAYLOAD);
            int value = -1;
            const bool m = ActiIsMotion(h, ACTI_MOTION_EVENT, value);
            Check(m == (h.code == ACTI_MOTION_EVENT) && value == (m ? 100 : 0));
        }
        Check(ActiLoginAccepted(u, len) == (len >= 4 && !bytes[0] && !bytes[1] && !bytes[2] && !bytes[3]));
        break;
    }
    case 1: {
        std::vector<char> line(bytes.begin(), bytes.end());
        line.push_back('\0');
        MOBOTIX_COUNTERS c;
        int value = -1;
        const std::string model = len > 0 && (bytes[0] & 1) ? "M12" : "M24";
        const bool t = MobotixMotion(line.data(), (unsigned int)line.size(), model, c, value);
        Check(value == (t ? 100 : 0));
        // The same line again: each counter takes the line's value once (the
        // image counter first, then the PIR counter), so a third time is quiet.
        MobotixMotion(line.data(), (unsigned int)line.size(), model, c, value);
        Check(!MobotixMotion(line.data(), (unsigned int)line.size(), model, c, value));
        int32_t in = 0;
        bool seen = false;
        MobotixInput(line.data(), (unsigned int)line.size(), in, seen, value);
        Check(!MobotixInput(line.data(), (unsigned int)line.size(), in, seen, value));
        break;
    }
    default: {
        std::string text(bytes.begin(), bytes.end());
        LEVELONE_MOTION_WIN w[LEVELONE_WIN_COUNT];
        memset(w, 0, sizeof(w));
        // Window lines, then the same bytes as a level line against them.
        fuzz::ForEachPiece(text, '\n', [&](const std::string& line) { LevelOneGr2ParseWindowLine(line.c_str(), w); });
        std::vector<char> line(bytes.begin(), bytes.end());
        line.push_back('\0');
        int value = -1;
        LevelOneGr2Trig(line.data(), (unsigned int)line.size(), w, value);
        Check(value <= 100);
        break;
    }
    }
    return 0;
}
