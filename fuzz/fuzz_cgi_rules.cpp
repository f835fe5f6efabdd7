// Every polled camera's trigger test on arbitrary answers, for the motion form
// and every input port: once in the loop's zeroed 4096-byte buffer, once in
// exactly the answer's bytes with no terminator. The first byte picks the
// class and the held state (input count, GROUP11).
#include <string.h>

#include "camdet/rules/cgirules.h"
#include "fuzz/fuzzcheck.h"

namespace {

void RunAll(const CgiRuleEntry& e, CgiRuleState& st, const char* buf, unsigned int len) {
    int ports = e.kind == RULE_KIND_DI ? st.diCnt : 1;
    for (int port = 0; port < ports; ++port) {
        int level = 0;
        fuzz::Twice([&](int& v) { return e.rule(st, port, buf, len, v); }, level);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int rows = 0;
    const CgiRuleEntry* table = GetCgiRuleTable(rows);
    const CgiRuleEntry& e = table[data[0] % rows];
    CgiRuleState st;
    st.diCnt = 1 + (data[0] / rows) % 4;
    st.blGroup11 = (data[0] & 0x80) != 0;
    st.diTrigValue = "1";
    const size_t n = size - 1;

    static char loopBuf[kCgiAnswerBufSize];
    memset(loopBuf, 0, sizeof(loopBuf));
    memcpy(loopBuf, data + 1, n < sizeof(loopBuf) - 1 ? n : sizeof(loopBuf) - 1);
    RunAll(e, st, loopBuf, sizeof(loopBuf));

    const std::vector<char> exact = fuzz::Exact(data + 1, n);
    RunAll(e, st, fuzz::Ptr(exact), (unsigned int)exact.size());
    return 0;
}
