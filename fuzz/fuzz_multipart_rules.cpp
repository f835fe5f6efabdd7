// Every multipart camera's trigger test on arbitrary parts: the first byte
// picks the class (HikVision's seven tests follow the class tests), the second
// the held inputs; the rest is parts separated by NUL bytes, each in a zeroed
// buffer of at least 1024 bytes as the transport hands it over, with the state
// carried along, and once more to a copy of the state: the result depends on
// part and state only.
#include <string.h>

#include <algorithm>

#include "camdet/rules/hikrules.h"
#include "camdet/rules/mprules.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

namespace {

const int kHikTests = 7;
const int kPorts = 3;

bool Hik(int which, MP_RULE_STATE& st, HIK_PORT_STATE& ps, int port, const char* b, unsigned int n, int& lv) {
    switch (which) {
    case 0: return HikHoldTest(b, n, "VMD", st.alert, lv);
    case 1: return HikHoldPortTest(port, b, n, ps, lv);
    case 2: return HikEdgeMotionTest(b, n, st.alert, lv);
    case 3: return HikEdgeInputTest(port, b, n, ps, lv);
    case 4: return HikLevelMotionTest(b, n, st.alert, lv);
    case 5: return HikLevelInputTest(port, b, n, ps, lv);
    default: return HikSampledTamperTest(b, n, st.alert, lv);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int rows = 0;
    const MpRuleEntry* table = GetMpRuleTable(rows);
    const int pick = data[0] % (rows + kHikTests);
    const bool hik = pick >= rows;
    const MpRuleEntry* def = hik ? nullptr : &table[pick];
    const bool di = hik ? (pick - rows) % 2 == 1 && pick - rows != 6 : def->kind == RULE_KIND_DI;

    MP_RULE_STATE st;
    st.flag = data[1] & 1;
    st.mdParam1 = (data[1] >> 1) & 0x3f;
    st.mdParam3 = data[1] >> 4;
    st.api = (data[1] & 2) ? "zaviovga" : "ipux5m";
    st.channel = (data[1] & 4) ? "1" : "2%s";
    st.heldPorts.assign(kPorts, false);
    HIK_PORT_STATE ps(kPorts);

    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    fuzz::ForEachPiece(rest, '\0', [&](const std::string& part) {
        std::vector<char> buf(std::max<size_t>(1024, part.size()) + 1, 0);
        memcpy(buf.data(), part.data(), part.size());
        const unsigned int cap = (unsigned int)buf.size() - 1;
        for (int port = di ? 0 : -1; port < (di ? kPorts : 0); ++port) {
            MP_RULE_STATE st2 = st;
            HIK_PORT_STATE ps2 = ps;
            int l1 = 0, l2 = 0;
            bool t1 = hik ? Hik(pick - rows, st, ps, port, buf.data(), cap, l1) : def->rule(st, port, buf.data(), cap, l1);
            bool t2 = hik ? Hik(pick - rows, st2, ps2, port, buf.data(), cap, l2)
                          : def->rule(st2, port, buf.data(), cap, l2);
            Check(t1 == t2 && l1 == l2);
        }
    });
    return 0;
}
