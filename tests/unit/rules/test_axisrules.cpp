// Axis payloads, byte for byte: the stream text of JPEG comments and RTP
// extensions (motion windows and levels, tampering, audio, inputs), the
// motion-level event stream and the input CGI answer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "camdet/rules/axisrules.h"

namespace {

struct StreamCase {
    const char* what;
    int kind;
    std::string payload;
    bool trig;
    int value;  // -7: left untouched
};

TEST(AxisRules, StreamTextByKind) {
    const std::string nulBeforeItem("\x0a\x03\0\0M0:1;ML0:040;", 18);
    const StreamCase cases[] = {
        {"two windows, one on: mean of both levels", 1, "M0:1;ML0:050;M1:0;ML1:030;", true, 40},
        {"window off: level still read", 1, "M0:0;ML0:050;", false, 50},
        {"7 bytes: too short, value untouched", 1, "M0:1;ML", false, -7},
        {"8 bytes, no level item", 1, "M0:1;xyz", true, 0},
        // The scan resumes 9 bytes after a level item starts: a second level
        // item directly behind the first is skipped.
        {"adjacent level items: the second is skipped", 1, "M0:1;ML0:090;ML1:010;", true, 90},
        {"one byte between level items: both counted", 1, "M0:1;ML0:090;xML1:010;", true, 50},
        {"an item shaped like a level but not named ML is no level", 1, "M0:1;ML0:050;xXL0:090;", true, 50},
        {"digits stop at a non-digit", 1, "M3:1;ML3:4x9;", true, 4},
        {"level item without digits counts as 0", 1, "ML0:050;ML1:abc;xx", false, 50},
        {"window digit other than 1 is off", 1, "M0:2;ML0:050;", false, 50},
        {"on item at the very end", 1, "ML0:050;M1:1;", true, 50},
        {"on item cut before its ';'", 1, "ML0:050;M1:1", false, 50},
        {"binary prefix and NUL bytes are searched through", 1, nulBeforeItem, true, 40},
        {"tampering on", 3, "M0:0;T0:1;A0:0;", true, 100},
        {"tampering off", 3, "M0:0;T0:0;A0:1;", false, 0},
        {"audio does not see tampering", 4, "M0:0;T0:1;A0:0;", false, 0},
        {"audio on", 4, "A0:1", true, 100},
        {"tampering item cut by the length", 3, "T0:", false, 0},
        {"unknown kind", 2, "M0:1;ML0:050;", false, -7},
        {"empty payload, tampering", 3, "", false, 0},
    };
    for (const StreamCase& c : cases) {
        int value = -7;
        EXPECT_EQ(axisrule::StreamTrig(c.kind, c.payload.data(), (unsigned int)c.payload.size(), value), c.trig)
            << c.what;
        EXPECT_EQ(value, c.value) << c.what;
    }
}

TEST(AxisRules, StreamTextReadsExactlyTheLength) {
    // The item lies beyond the length handed in: not seen.
    const std::string buf = "M0:0;ML0:010;T0:1;";
    int value = -7;
    EXPECT_FALSE(axisrule::StreamTrig(3, buf.data(), 16, value));
    EXPECT_TRUE(axisrule::StreamTrig(3, buf.data(), 17, value));
    EXPECT_FALSE(axisrule::StreamTrig(1, nullptr, 20, value));
}

TEST(AxisRules, InputPorts) {
    struct {
        std::string payload;
        int port;
        bool trig;
        int value;
    } cases[] = {
        {"IO0:0;IO1:1;", 0, false, 0},
        {"IO0:0;IO1:1;", 1, true, 100},
        {"IO10:1;", 1, false, 0},
        {"IO10:1;", 10, true, 100},
        {"IO1:", 1, false, 0},
        {"", 0, false, 0},
    };
    for (const auto& c : cases) {
        int value = -7;
        EXPECT_EQ(axisrule::StreamInputTrig(c.port, c.payload.data(), (unsigned int)c.payload.size(), value), c.trig)
            << c.payload << " port " << c.port;
        EXPECT_EQ(value, c.value) << c.payload << " port " << c.port;
    }
}

// The motion-level event stream and the input CGI's answer: lines of text.
TEST(AxisRules, MotionLevelStreamAndInputCgiAnswer) {
    typedef bool (*Rule)(const char*, unsigned int, int&);
    const Rule level = axisrule::MotionLevelLines, input = axisrule::InputActive;
    struct {
        Rule rule;
        const char* body;
        bool trig;
        int value;
    } cases[] = {
        {level, "group=0;level=12;threshold=20;\r\ngroup=1;level=30;threshold=20;\r\n", true, 30},
        {level, "group=0;level=12;threshold=20;\ngroup=1;level=15;threshold=20;\n", false, 15},
        {level, "group=0;level=20;threshold=20;", false, 20},
        {level, "group=A;level=99;threshold=5;\rgroup=B;level=1;threshold=0;", true, 99},
        // A line that reads only the level leaves it as the value.
        {level, "group=0;level=44;", false, 44},
        {level, "group=0;level=44;threshold=50;\n\n\nnoise\n", false, 0},
        {level, "", false, 0},
        {input, "input1=active\n", true, 1},
        {input, "input1=inactive\n", false, 0},
        {input, "input1=active\r\n", true, 1},
        {input, "input3=active\n", true, 1},
        {input, "input11=active\n", false, 0},
        {input, "\ninput1=active\n", false, 0},
        {input, "", false, 0},
        {input, "xinput1=active\n", false, 0},
    };
    for (const auto& c : cases) {
        int value = -7;
        EXPECT_EQ(c.rule(c.body, (unsigned int)strlen(c.body), value), c.trig) << c.body;
        EXPECT_EQ(value, c.value) << c.body;
    }
}

}  // namespace
