// Every test of event data carried in video frames or RTP header extensions
// (Axis, Vivotek, Basler, JVC, Panasonic) on arbitrary payloads in a buffer of
// exactly their length. The first byte picks the class, the second the kind,
// group and port.
#include "camdet/rules/axisrules.h"
#include "camdet/rules/jpgvendorrules.h"
#include "camdet/rules/vivotekrules.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int rows = 0;
    const StreamRuleEntry* table = GetStreamRuleTable(rows);
    const StreamRuleEntry& e = table[data[0] % rows];
    STREAM_RULE_STATE st;
    st.kind = 1 + (data[1] & 3);
    st.group = (data[1] >> 2) % 5;
    const int port = (data[1] >> 5) - 1;  // -1: whole camera
    const std::vector<char> payload = fuzz::Exact(data + 2, size - 2);
    const char* p = fuzz::Ptr(payload);
    const unsigned int n = (unsigned int)payload.size();

    int level = -1;
    fuzz::Twice([&](int& v) { return e.rule(st, port, p, n, v); }, level);
    int off = 0, blockSize = 0;
    if (vivorule::FindAppDataBlock(p, (int)n, off, blockSize)) Check(off >= 0 && blockSize > 0 && off + blockSize <= (int)n);
    if (vivorule::CheckTrigValInAppData(p, (int)n, level, 1)) Check(level >= 0 && level < 128);
    level = -1;
    if (axisrule::StreamTrig(1, p, n, level)) Check(level >= 0 && level <= 999);
    axisrule::MotionLevelLines(p, n, level);
    axisrule::InputActive(p, n, level);
    if (vivorule::Vivotek2Input(port + 1, p, n, level)) Check(level == 1);
    if (vivorule::Vivotek8Input(port + 1, st.group, p, n, level)) Check(level == 1);
    return 0;
}
