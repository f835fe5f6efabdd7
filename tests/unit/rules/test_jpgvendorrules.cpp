// Basler, JVC and Panasonic frame payloads, byte for byte, and the table of
// every frame-data class test by class name.
#include <gtest/gtest.h>

#include <string>

#include "camdet/rules/jpgvendorrules.h"

namespace {

// A Basler line: `head` padded with '.' so that `at` holds `digits`.
std::string Line(const std::string& head, size_t at, const std::string& digits) {
    std::string l = head;
    if (l.size() < at) l.append(at - l.size(), '.');
    return l.substr(0, at) + digits;
}

TEST(JpgVendorRules, BaslerMotionAlarmAndInput) {
    typedef bool (*Rule)(const char*, unsigned int, int&);
    const Rule motion = jpgrule::BaslerMotion, input = jpgrule::BaslerInput;
    const std::string motion42 = Line("Motion", 20, "42");
    const std::string alarm1 = Line("Alarm", 8, "1");
    struct {
        const char* what;
        Rule rule;
        std::string payload;
        bool trig;
        int value;
    } cases[] = {
        {"motion line and alarm", motion, motion42 + "\r\n" + alarm1 + "\r\n", true, 42},
        {"motion line alone", motion, motion42 + "\n", false, 42},
        {"alarm 0", motion, motion42 + "\n" + Line("Alarm", 8, "0") + "\n", false, 42},
        {"alarm first, level not yet read", motion, alarm1 + "\r" + motion42, true, 0},
        {"motion line of exactly 20 characters", motion, Line("Motion", 20, "") + "\n" + alarm1, true, 0},
        {"last motion level counts", motion, motion42 + "\n" + Line("Motion", 20, "07"), false, 7},
        {"one digit then a letter", motion, Line("Motion", 20, "5x"), false, 5},
        {"alarm line too short", motion, "Alarm..", false, 0},
        {"empty", motion, "", false, 0},
        {"input IO=.1", input, "IO=.1\n", true, 1},
        {"input IO=1", input, "IO=1\n", false, 0},
        {"input xIO=1...", input, "IO=.0\nxIO=1...\n", true, 1},
        {"input abIO=1", input, "abIO=1\n", false, 0},
        {"input IO=0", input, "Motion\nIO=0\n", false, 0},
    };
    for (const auto& c : cases) {
        int value = -7;
        EXPECT_EQ(c.rule(c.payload.data(), (unsigned int)c.payload.size(), value), c.trig) << c.what;
        EXPECT_EQ(value, c.value) << c.what;
    }
}

TEST(JpgVendorRules, BaslerLongLinesAreReadTo283Characters) {
    // The alarm digit sits at 8 of the line's second piece when the line is
    // cut after 283 characters (one byte dropped at the cut).
    std::string longLine(283, 'x');
    longLine += "y";
    longLine += Line("Alarm", 8, "1");
    int value = -7;
    EXPECT_TRUE(jpgrule::BaslerMotion(longLine.data(), (unsigned int)longLine.size(), value));
    std::string within(282, 'x');
    within += Line("Alarm", 8, "1");
    EXPECT_FALSE(jpgrule::BaslerMotion(within.data(), (unsigned int)within.size(), value));
}

TEST(JpgVendorRules, JvcByte233) {
    std::string p(234, '0');
    int value = -7;
    p[233] = '1';
    EXPECT_TRUE(jpgrule::JvcMotion(p.data(), (unsigned int)p.size(), value));
    EXPECT_EQ(value, 100);
    EXPECT_FALSE(jpgrule::JvcMotion(p.data(), 233, value));
    EXPECT_EQ(value, 0);
    p[233] = 1;
    EXPECT_FALSE(jpgrule::JvcMotion(p.data(), (unsigned int)p.size(), value));
}

TEST(JpgVendorRules, Panasonic) {
    auto bytes = [](int b0, int b12, int b13) {
        std::string p(16, '\0');
        p[0] = (char)b0;
        p[12] = (char)b12;
        p[13] = (char)b13;
        return p;
    };
    struct {
        const char* what;
        int kind, group;
        std::string payload;
        bool trig;
        int value;
    } cases[] = {
        {"motion over threshold, capped", 1, 0, bytes(0, 10, 25), true, 100},
        {"motion at threshold", 1, 0, bytes(0, 10, 10), false, 50},
        {"motion bytes unsigned", 1, 0, bytes(0, 0x10, 0x90), true, 100},
        {"motion payload of 13 bytes", 1, 0, bytes(0, 1, 9).substr(0, 13), false, 0},
        {"group 0 bit 7 set", 2, 0, bytes(0x80, 0, 0), true, 1},
        {"group 0 bit 7 clear", 2, 0, bytes(0x7f, 0, 0), false, 1},
        {"group 1 nothing set", 2, 1, bytes(0x00, 0, 0), true, 1},
        {"group 1 bits 7 and 6", 2, 1, bytes(0xC0, 0, 0), false, 1},
        {"group 1 reads no other bit", 2, 1, bytes(0xC1, 0, 0), false, 1},
        {"group 2 active low", 2, 2, bytes(0x00, 0, 0), true, 1},
        {"group 2 high", 2, 2, bytes(0x80, 0, 0), false, 1},
        {"unknown group", 2, 3, bytes(0x80, 0, 0), false, 1},
        {"one byte is enough for inputs", 2, 0, std::string("\x80", 1), true, 1},
        {"unknown kind", 3, 0, bytes(0x80, 1, 90), false, 0},
        {"empty", 2, 0, "", false, 0},
    };
    for (const auto& c : cases) {
        int value = -7;
        EXPECT_EQ(jpgrule::PanaTrig(c.kind, c.group, c.payload.data(), (unsigned int)c.payload.size(), value), c.trig)
            << c.what;
        EXPECT_EQ(value, c.value) << c.what;
    }
}

// Vivotek's JPEG test picks by the detector's group (Axis's by kind and port
// is RtpVendors.AxisStreamServesFourKinds').
TEST(JpgVendorRules, SharedTestsPickByKindAndGroup) {
    int value = -7;
    STREAM_RULE_STATE st;
    const std::string app0("\0\0\0\0\0\0\x01\x05", 8);
    st.kind = 1;
    st.group = 0;
    EXPECT_TRUE(streamrule::VivotekJpg(st, -1, app0.data(), (unsigned int)app0.size(), value));
    EXPECT_EQ(value, 36);
    EXPECT_FALSE(streamrule::VivotekJpg(st, -1, app0.data(), 0, value)) << "an empty frame";
    EXPECT_EQ(value, 0);
    st.group = 3;  // the same bytes hold no application data
    EXPECT_FALSE(streamrule::VivotekJpg(st, -1, app0.data(), (unsigned int)app0.size(), value));
}

}  // namespace
