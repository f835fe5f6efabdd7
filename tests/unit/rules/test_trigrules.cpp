// The rules' own key lookup against the recorder's FindKeyVal: the polled
// cameras' tests were written against the recorder's contract, so the two
// must find the same key and give the same value on every answer.
#include <gtest/gtest.h>

#include <string>

#include "camdet/rules/trigrules.h"
#include "interface/hostservices.h"

namespace {

struct LookupCase {
    const char* name;
    std::string text;
    const char* key;
    const char* kvSep;
    const char* itemSep;
};

TEST(TrigKeyLookup, SameAnswerAsTheRecordersFinder) {
    const LookupCase cases[] = {
        {"at the start", "motion=1\n", "motion", "=", "\n"},
        {"after a line end", "a=0\nmotion=1\n", "motion", "=", "\n"},
        {"inside a longer word", "xmotion=1\n", "motion", "=", "\n"},
        {"after an underscore", "md_motion=1\n", "motion", "=", "\n"},
        {"after a dot", "root.motion=1\n", "motion", "=", "\n"},
        {"first occurrence lacks the separator", "motion 2\nmotion=3\n", "motion", "=", "\n"},
        {"separator set", "DIO_STATUS: 0x03\n", "DIO_STATUS", " :=", "\n"},
        {"value to the end", "motion=1", "motion", "=", "\n"},
        {"no item separator", "motion=1;x=2", "motion", "=", ""},
        {"null item separator", "motion=1;x=2", "motion", "=", nullptr},
        {"several item separators", "Motion0_Status=1<br>x", "Motion0_Status", "=", "<br>"},
        {"trailing CR dropped once", "motion=1\r\r\n", "motion", "=", "\n"},
        {"CR LF item end", "MotionDetect=1\r\nx=0\r\n", "MotionDetect", "=", "\r\n"},
        {"key at the very end", "xx motion", "motion", "=", "\n"},
        {"key then end", "motion=", "motion", "=", "\n"},
        {"empty value", "motion=\n", "motion", "=", "\n"},
        {"NUL inside the value", std::string("motion=1\0 2\n", 12), "motion", "=", "\n"},
        {"NUL as the separator", std::string("motion\0=1\n", 10), "motion", "=", "\n"},
        {"empty key", "=1\n", "", "=", "\n"},
        {"empty separator set", "motion=1\n", "motion", "", "\n"},
        {"null separator set", "motion=1\n", "motion", nullptr, "\n"},
        {"case differs", "MOTION=1\n", "motion", "=", "\n"},
        {"empty text", "", "motion", "=", "\n"},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string theirs = "untouched", ours = "untouched";
        const bool found = BrellinOwned::FindKeyVal(c.text, c.key, theirs, c.kvSep, c.itemSep, false) == 0;
        EXPECT_EQ(trig::FindKeyValue(c.text, c.key, c.kvSep, c.itemSep, ours), found);
        EXPECT_EQ(ours, theirs);
    }
}

// The answer form stops at the first NUL, as the loop's zeroed buffer does.
TEST(TrigKeyLookup, AnswerEndsAtTheFirstNul) {
    const char answer[] = "a=1\0motion=1\n";
    std::string v = "stale";
    EXPECT_TRUE(trig::KeyValue(answer, sizeof(answer) - 1, "a", "=", "\n", v));
    EXPECT_EQ(v, "1");
    EXPECT_FALSE(trig::KeyValue(answer, sizeof(answer) - 1, "motion", "=", "\n", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(trig::KeyValue(nullptr, 0, "a", "=", "\n", v));
}

}  // namespace
