// Every line and record class's test on arbitrary camera bytes: the first byte
// picks the class, the second the recorder's parameters; the rest is lines or
// records separated by NUL bytes, each handed over as the transport does (a
// zeroed buffer of the class's size, or of the piece's own size for the record
// classes, so that wrong lengths are tried too) with the state carried along,
// and once more to a copy of the state: the result depends on line and state only.
#include <string.h>

#include <algorithm>

#include "camdet/rules/binrules.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

namespace {

const int kPorts = 12;

bool SameState(const BIN_RULE_STATE& a, const BIN_RULE_STATE& b) {
    return a.held == b.held && a.heldPorts == b.heldPorts && a.gotMd1 == b.gotMd1 && a.gotMdv1 == b.gotMdv1 &&
           a.level == b.level;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int rows = 0;
    const BinRuleEntry* table = GetBinRuleTable(rows);
    const BinRuleEntry& e = table[data[0] % rows];
    const bool record = strncmp(e.name, "EverFocus", 9) == 0 || strcmp(e.name, "YcamMotion") == 0;
    const bool di = e.kind == RULE_KIND_DI;

    BIN_RULE_STATE st;
    st.mdParam1 = data[1] & 0x7f;
    st.mdParam3 = data[1] >> 2;
    st.adParam = data[1] >> 3;
    st.adKeyV2 = data[1] & 0x80;
    st.heldPorts.assign(kPorts, false);

    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    fuzz::ForEachPiece(rest, '\0', [&](const std::string& piece) {
        const unsigned int cap = record ? (unsigned int)piece.size() : 1024;
        if (record && cap == 0) return;
        // Exactly the buffer size plus the transport's spare zero byte.
        std::vector<char> buf((size_t)cap + 1, 0);
        memcpy(buf.data(), piece.data(), std::min<size_t>(piece.size(), cap));
        for (int port = di ? 0 : -1; port < (di ? kPorts : 0); ++port) {
            BIN_RULE_STATE st2 = st;
            int v1 = 0, v2 = 0;
            const bool t1 = e.rule(st, port, buf.data(), cap, v1);
            const bool t2 = e.rule(st2, port, buf.data(), cap, v2);
            Check(t1 == t2 && v1 == v2 && SameState(st, st2));
            Check(st.heldPorts.size() == (size_t)kPorts);
        }
    });
    return 0;
}
