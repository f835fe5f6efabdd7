// Axis payloads, byte for byte: the stream text of JPEG comments and RTP
// extensions (motion windows and levels, tampering, audio, inputs), the
// motion-level event stream and the input CGI answer.
#include <gtest/gtest.h>

#include <string>

#include "camdet/rules/axisrules.h"
#include "tests/fixtures/ruletable.h"

namespace {

PayloadRule Kind(int kind) {
    return [kind](const char* p, unsigned int n, int& v) { return axisrule::StreamTrig(kind, p, n, v); };
}

PayloadRule Port(int port) {
    return [port](const char* p, unsigned int n, int& v) { return axisrule::StreamInputTrig(port, p, n, v); };
}

TEST(AxisRules, StreamTextByKind) {
    const std::string nulBeforeItem("\x0a\x03\0\0M0:1;ML0:040;", 18);
    ExpectPayloadRows({
        {"two windows, one on: mean of both levels", Kind(1), "M0:1;ML0:050;M1:0;ML1:030;", true, 40},
        {"window off: level still read", Kind(1), "M0:0;ML0:050;", false, 50},
        {"7 bytes: too short, value untouched", Kind(1), "M0:1;ML", false, kUntouched},
        {"8 bytes, no level item", Kind(1), "M0:1;xyz", true, 0},
        // The scan resumes 9 bytes after a level item starts: a second level
        // item directly behind the first is skipped.
        {"adjacent level items: the second is skipped", Kind(1), "M0:1;ML0:090;ML1:010;", true, 90},
        {"one byte between level items: both counted", Kind(1), "M0:1;ML0:090;xML1:010;", true, 50},
        {"an item shaped like a level but not named ML is no level", Kind(1), "M0:1;ML0:050;xXL0:090;", true, 50},
        {"digits stop at a non-digit", Kind(1), "M3:1;ML3:4x9;", true, 4},
        {"level item without digits counts as 0", Kind(1), "ML0:050;ML1:abc;xx", false, 50},
        {"window digit other than 1 is off", Kind(1), "M0:2;ML0:050;", false, 50},
        {"on item at the very end", Kind(1), "ML0:050;M1:1;", true, 50},
        {"on item cut before its ';'", Kind(1), "ML0:050;M1:1", false, 50},
        {"binary prefix and NUL bytes are searched through", Kind(1), nulBeforeItem, true, 40},
        {"tampering on", Kind(3), "M0:0;T0:1;A0:0;", true, 100},
        {"tampering off", Kind(3), "M0:0;T0:0;A0:1;", false, 0},
        {"audio does not see tampering", Kind(4), "M0:0;T0:1;A0:0;", false, 0},
        {"audio on", Kind(4), "A0:1", true, 100},
        {"tampering item cut by the length", Kind(3), "T0:", false, 0},
        {"unknown kind", Kind(2), "M0:1;ML0:050;", false, kUntouched},
        {"empty payload, tampering", Kind(3), "", false, 0},
        // Exactly the length handed in is read: an item beyond it is not seen.
        {"tampering item past the length", Kind(3), "M0:0;ML0:010;T0:1;", false, 0, 16},
        {"tampering item within the length", Kind(3), "M0:0;ML0:010;T0:1;", true, 100, 17},
        {"inputs: another port's item", Port(0), "IO0:0;IO1:1;", false, 0},
        {"inputs: the port's item", Port(1), "IO0:0;IO1:1;", true, 100},
        {"inputs: IO10 is not port 1", Port(1), "IO10:1;", false, 0},
        {"inputs: IO10 is port 10", Port(10), "IO10:1;", true, 100},
        {"inputs: item without its state", Port(1), "IO1:", false, 0},
        {"inputs: empty payload", Port(0), "", false, 0},
    });
    int value = kUntouched;
    EXPECT_FALSE(axisrule::StreamTrig(1, nullptr, 20, value));
}

// The motion-level event stream and the input CGI's answer: lines of text.
TEST(AxisRules, MotionLevelStreamAndInputCgiAnswer) {
    const PayloadRule level = axisrule::MotionLevelLines, input = axisrule::InputActive;
    ExpectPayloadRows({
        {"second group over", level, "group=0;level=12;threshold=20;\r\ngroup=1;level=30;threshold=20;\r\n", true, 30},
        {"both under", level, "group=0;level=12;threshold=20;\ngroup=1;level=15;threshold=20;\n", false, 15},
        {"at the threshold", level, "group=0;level=20;threshold=20;", false, 20},
        {"lone CR ends a line", level, "group=A;level=99;threshold=5;\rgroup=B;level=1;threshold=0;", true, 99},
        // A line that reads only the level leaves it as the value.
        {"no threshold", level, "group=0;level=44;", false, 44},
        {"noise lines after", level, "group=0;level=44;threshold=50;\n\n\nnoise\n", false, 0},
        {"empty", level, "", false, 0},
        {"input active", input, "input1=active\n", true, 1},
        {"input inactive", input, "input1=inactive\n", false, 0},
        {"CR LF", input, "input1=active\r\n", true, 1},
        {"another input", input, "input3=active\n", true, 1},
        {"two digits", input, "input11=active\n", false, 0},
        {"not the first line", input, "\ninput1=active\n", false, 0},
        {"empty answer", input, "", false, 0},
        {"prefixed key", input, "xinput1=active\n", false, 0},
    });
}

}  // namespace
