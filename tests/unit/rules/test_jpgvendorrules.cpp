// Basler, JVC and Panasonic frame payloads, byte for byte, and Vivotek's
// JPEG test picking by the detector's group.
#include <gtest/gtest.h>

#include <string>

#include "camdet/rules/jpgvendorrules.h"
#include "tests/fixtures/ruletable.h"

namespace {

// A Basler line: `head` padded with '.' so that `at` holds `digits`.
std::string Line(const std::string& head, size_t at, const std::string& digits) {
    std::string l = head;
    if (l.size() < at) l.append(at - l.size(), '.');
    return l.substr(0, at) + digits;
}

PayloadRule Pana(int kind, int group) {
    return [kind, group](const char* p, unsigned int n, int& v) { return jpgrule::PanaTrig(kind, group, p, n, v); };
}

// Panasonic's bytes 0 (inputs), 12 (motion threshold) and 13 (motion level).
std::string PanaBytes(int b0, int b12, int b13) {
    std::string p(16, '\0');
    p[0] = (char)b0;
    p[12] = (char)b12;
    p[13] = (char)b13;
    return p;
}

// Vivotek's JPEG test picks by the detector's group (Axis's by kind and port
// is RtpVendors.AxisStreamServesFourKinds').
PayloadRule VivotekMotion(int group) {
    return [group](const char* p, unsigned int n, int& v) {
        STREAM_RULE_STATE st;
        st.kind = 1;
        st.group = group;
        return streamrule::VivotekJpg(st, -1, p, n, v);
    };
}

TEST(JpgVendorRules, PayloadGivesTriggerAndLevel) {
    const PayloadRule motion = jpgrule::BaslerMotion, input = jpgrule::BaslerInput, jvc = jpgrule::JvcMotion;
    const std::string motion42 = Line("Motion", 20, "42");
    const std::string alarm1 = Line("Alarm", 8, "1");
    std::string jvc233(234, '0');
    jvc233[233] = '1';
    const std::string app0("\0\0\0\0\0\0\x01\x05", 8);
    ExpectPayloadRows({
        {"motion line and alarm", motion, motion42 + "\r\n" + alarm1 + "\r\n", true, 42},
        {"motion line alone", motion, motion42 + "\n", false, 42},
        {"alarm 0", motion, motion42 + "\n" + Line("Alarm", 8, "0") + "\n", false, 42},
        {"alarm first, level not yet read", motion, alarm1 + "\r" + motion42, true, 0},
        {"motion line of exactly 20 characters", motion, Line("Motion", 20, "") + "\n" + alarm1, true, 0},
        {"last motion level counts", motion, motion42 + "\n" + Line("Motion", 20, "07"), false, 7},
        {"one digit then a letter", motion, Line("Motion", 20, "5x"), false, 5},
        {"alarm line too short", motion, "Alarm..", false, 0},
        {"empty", motion, "", false, 0},
        // A line is cut after 283 characters (one byte dropped at the cut):
        // the alarm digit then sits at 8 of its second piece.
        {"alarm in the second piece of a long line", motion, std::string(283, 'x') + "y" + alarm1, true, 0},
        {"alarm inside a long line", motion, std::string(282, 'x') + alarm1, false, 0},
        {"input IO=.1", input, "IO=.1\n", true, 1},
        {"input IO=1", input, "IO=1\n", false, 0},
        {"input xIO=1...", input, "IO=.0\nxIO=1...\n", true, 1},
        {"input abIO=1", input, "abIO=1\n", false, 0},
        {"input IO=0", input, "Motion\nIO=0\n", false, 0},
        {"JVC: byte 233 is '1'", jvc, jvc233, true, 100},
        {"JVC: byte 233 past the length", jvc, jvc233, false, 0, 233},
        {"JVC: byte 233 is 1, not '1'", jvc, std::string(233, '0') + '\x01', false, 0},
        {"Panasonic motion over threshold, capped", Pana(1, 0), PanaBytes(0, 10, 25), true, 100},
        {"motion at threshold", Pana(1, 0), PanaBytes(0, 10, 10), false, 50},
        {"motion bytes unsigned", Pana(1, 0), PanaBytes(0, 0x10, 0x90), true, 100},
        {"motion payload of 13 bytes", Pana(1, 0), PanaBytes(0, 1, 9).substr(0, 13), false, 0},
        {"group 0 bit 7 set", Pana(2, 0), PanaBytes(0x80, 0, 0), true, 1},
        {"group 0 bit 7 clear", Pana(2, 0), PanaBytes(0x7f, 0, 0), false, 1},
        {"group 1 nothing set", Pana(2, 1), PanaBytes(0x00, 0, 0), true, 1},
        {"group 1 bits 7 and 6", Pana(2, 1), PanaBytes(0xC0, 0, 0), false, 1},
        {"group 1 reads no other bit", Pana(2, 1), PanaBytes(0xC1, 0, 0), false, 1},
        {"group 2 active low", Pana(2, 2), PanaBytes(0x00, 0, 0), true, 1},
        {"group 2 high", Pana(2, 2), PanaBytes(0x80, 0, 0), false, 1},
        {"unknown group", Pana(2, 3), PanaBytes(0x80, 0, 0), false, 1},
        {"one byte is enough for inputs", Pana(2, 0), std::string("\x80", 1), true, 1},
        {"unknown kind", Pana(3, 0), PanaBytes(0x80, 1, 90), false, 0},
        {"Panasonic empty", Pana(2, 0), "", false, 0},
        {"Vivotek group 0: APP0 level", VivotekMotion(0), app0, true, 36},
        {"Vivotek: an empty frame", VivotekMotion(0), app0, false, 0, 0},
        {"Vivotek group 3: the same bytes hold no application data", VivotekMotion(3), app0, false, 0},
    });
}

}  // namespace
