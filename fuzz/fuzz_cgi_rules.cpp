// Every polled camera's trigger test on arbitrary answers. The first byte
// picks the class and the held state (input count, GROUP11), the rest is the
// answer: once as the loop hands it over (a zeroed 4096-byte buffer), once as
// exactly its bytes with no terminator, each for the motion form and for
// every input port, and twice to check that the result depends only on the
// answer and the held state.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "camdet/rules/cgirules.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

namespace {


void RunAll(const CgiRuleEntry& e, CgiRuleState& st, const char* buf, unsigned int len) {
    int ports = e.kind == RULE_KIND_DI ? st.diCnt : 1;
    for (int port = 0; port < ports; ++port) {
        int v1 = 0, v2 = 0;
        bool t1 = e.rule(st, port, buf, len, v1);
        bool t2 = e.rule(st, port, buf, len, v2);
        Check(t1 == t2 && v1 == v2);
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
    const char* answer = reinterpret_cast<const char*>(data + 1);
    size_t n = size - 1;

    static char loopBuf[kCgiAnswerBufSize];
    memset(loopBuf, 0, sizeof(loopBuf));
    memcpy(loopBuf, answer, n < sizeof(loopBuf) - 1 ? n : sizeof(loopBuf) - 1);
    RunAll(e, st, loopBuf, sizeof(loopBuf));

    std::vector<char> exact(answer, answer + n);
    RunAll(e, st, exact.empty() ? nullptr : exact.data(), (unsigned int)exact.size());
    return 0;
}
