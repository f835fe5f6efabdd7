// Shared harness of the polled-camera trigger tables: runs a class's test on
// an answer laid out as the polling loop lays it out (a zeroed 4096-byte
// buffer holding at most 4095 characters).
#ifndef TESTS_UNIT_RULES_CGIRULECASES_H
#define TESTS_UNIT_RULES_CGIRULECASES_H

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "camdet/rules/cgirules.h"
#include "tests/fixtures/ruletable.h"
#include "tests/fixtures/testutil.h"

namespace cgitest {

// Written into value before a test runs: the classes that do not write the
// level must leave it as it was.
const int kUntouched = -7;

struct RuleCase {
    const char* name;  // the test's name in its rules table
    const char* answer;  // the answer, or "@<family>/<file>" under tests/data
    bool trig;
    int value;
    int port = 0;
    int diCnt = 1;
    bool blGroup11 = false;
    const char* diTrigValue = "";
};

inline std::string LoadAnswer(const char* answer) { return answer[0] == '@' ? camtest::TestData(answer + 1) : answer; }

inline CgiRuleState StateOf(const RuleCase& c) {
    CgiRuleState st;
    st.diCnt = c.diCnt;
    st.blGroup11 = c.blGroup11;
    st.diTrigValue = c.diTrigValue;
    return st;
}

// Runs the class's test on bytes as the loop would hand them over.
inline bool RunRule(const CgiRuleEntry& e, const std::string& bytes, int port, CgiRuleState st, int& value) {
    char buf[kCgiAnswerBufSize];
    memset(buf, 0, sizeof(buf));
    size_t n = bytes.size() < sizeof(buf) - 1 ? bytes.size() : sizeof(buf) - 1;
    memcpy(buf, bytes.data(), n);
    value = kUntouched;
    return e.rule(st, port, buf, sizeof(buf), value);
}

inline std::string Describe(const RuleCase& c) {
    std::string a = c.answer;
    if (a.size() > 60) a = a.substr(0, 60) + "...";
    return std::string(c.name) + " port " + std::to_string(c.port) + " inputs " + std::to_string(c.diCnt) +
           (c.blGroup11 ? " GROUP11" : "") + " answer \"" + a + "\"";
}

// Each case of a table: the class's test gives this trigger and this level.
inline void CheckCases(const std::vector<RuleCase>& cases, RULE_KIND kind) {
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(Describe(c));
        const CgiRuleEntry* e = FindRule(GetCgiRuleTable, c.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->kind, kind);
        int value = 0;
        EXPECT_EQ(RunRule(*e, LoadAnswer(c.answer), c.port, StateOf(c), value), c.trig);
        EXPECT_EQ(value, c.value);
    }
}

// The tables of test_cgi_motion_rules.cpp and test_cgi_input_rules.cpp.
const std::vector<RuleCase>& MotionCases();
const std::vector<RuleCase>& InputCases();

}  // namespace cgitest

#endif  // TESTS_UNIT_RULES_CGIRULECASES_H
