// The own-loop cameras' pure parts: ACTi packets and event headers, Mobotix
// alarm counters, LevelOne GR2 motion windows and region levels.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camdet/rules/ownlooprules.h"
#include "tests/fixtures/ruletable.h"

namespace {

std::vector<unsigned char> Le32s(std::initializer_list<uint32_t> words) {
    std::vector<unsigned char> out;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) out.push_back((unsigned char)(w >> (8 * i)));
    }
    return out;
}

// A line as the detectors hand it over: a zeroed 1024-byte buffer.
std::vector<char> Line(const std::string& text) {
    std::vector<char> b(1024, 0);
    memcpy(b.data(), text.data(), std::min<size_t>(text.size(), 1023));
    return b;
}

}  // namespace

TEST(ActiRules, LoginPacketLayoutAndCutCredentials) {
    unsigned char p[ACTI_LOGIN_SIZE];
    ActiLoginPacket("admin", "secret", p);
    EXPECT_STREQ("admin", reinterpret_cast<char*>(p));
    EXPECT_EQ(std::vector<unsigned char>(p + 32, p + 36), Le32s({1}));
    EXPECT_EQ(std::vector<unsigned char>(p + 36, p + 64), std::vector<unsigned char>(28, 0));
    EXPECT_STREQ("secret", reinterpret_cast<char*>(p + 64));

    // Long credentials are cut so that both stay NUL-terminated in their fields.
    ActiLoginPacket(std::string(40, 'u'), std::string(80, 'p'), p);
    EXPECT_EQ(std::string(31, 'u'), std::string(reinterpret_cast<char*>(p)));
    EXPECT_EQ(std::string(63, 'p'), std::string(reinterpret_cast<char*>(p + 64)));
    EXPECT_EQ(p[32], 1);
}

TEST(ActiRules, LoginAnswerAndKeepAlive) {
    const std::vector<unsigned char> ok = Le32s({0, 7});
    const std::vector<unsigned char> refused = Le32s({1});
    EXPECT_TRUE(ActiLoginAccepted(ok.data(), (unsigned int)ok.size()));
    EXPECT_FALSE(ActiLoginAccepted(refused.data(), 4));
    EXPECT_FALSE(ActiLoginAccepted(ok.data(), 3));  // too short to read the word
    EXPECT_FALSE(ActiLoginAccepted(nullptr, 128));

    unsigned char live[ACTI_HEADER_SIZE];
    ActiLivePacket(ACTI_LIVE_CMD, live);
    std::vector<unsigned char> want = {'A', 'C', 'T', 'i'};
    for (unsigned char b : Le32s({0x30, 0})) want.push_back(b);
    EXPECT_EQ(want, std::vector<unsigned char>(live, live + 12));
    // Any command word goes out whole, least significant byte first.
    ActiLivePacket(0x0A0B0C0D, live);
    EXPECT_EQ(Le32s({0x0A0B0C0D}), std::vector<unsigned char>(live + 4, live + 8));
}

TEST(ActiRules, EventHeaderWithAndWithoutPayload) {
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        bool read;
        bool motion;
        int32_t skip;  // -1: the stream is out of step
    };
    const Case cases[] = {
        {"motion, no payload", Le32s({0xdeadbeef, 0x10039, 0}), true, true, 0},
        {"motion with a payload", Le32s({0, 0x10039, 40}), true, true, 40},
        {"another event", Le32s({0, 0x10038, 0}), true, false, 0},
        {"a payload of 257 bytes", Le32s({0, 0x10039, 257}), true, true, 257},
        {"the longest payload", Le32s({0, 0x10039, ACTI_MAX_PAYLOAD}), true, true, ACTI_MAX_PAYLOAD},
        {"longer than any event's", Le32s({0, 0x10039, ACTI_MAX_PAYLOAD + 1}), true, true, -1},
        {"negative payload length", Le32s({0, 0x10039, 0xffffffffu}), true, true, -1},
        {"short header", Le32s({0, 0x10039}), false, false, 0},
        {"long header", Le32s({0, 0x10039, 0, 0}), false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ACTI_EVENT_HEADER h = {-1, -1};
        ASSERT_EQ(c.read, ActiReadHeader(c.bytes.data(), (unsigned int)c.bytes.size(), h));
        if (!c.read) continue;
        int value = -1;
        EXPECT_EQ(c.motion, ActiIsMotion(h, ACTI_MOTION_EVENT, value));
        EXPECT_EQ(c.motion ? 100 : 0, value);
        EXPECT_EQ(c.skip, ActiPayloadToSkip(h));
    }
}

TEST(MobotixRules, CounterChangesAreAlarmsWhicheverWayTheyGo) {
    struct Case {
        const char* line;
        bool alarm;
        int32_t counter;  // after the line
    };
    // The first counter read is the baseline (57: the camera counted before
    // the detector started); a counter going back or wrapping is an alarm too.
    const Case seq[] = {
        {"no counter here", false, 0},            {"ox_md_ima;alarmcounter=57;", false, 57},
        {"alarmcounter=5;", true, 5},
        {"alarmcounter=5;", false, 5},            {"alarmcounter=3;", true, 3},
        {"no counter here", false, 3},            {"alarmcounter=2147483647;", true, 2147483647},
        {"alarmcounter=-2147483648;", true, -2147483647 - 1}, {"alarmcounter=abc;", true, 0},
        {"xalarmcounter=9;", false, 0},
    };
    int32_t counter = 0;
    bool seen = false;
    for (const Case& c : seq) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(c.alarm, MobotixCounterRule(c.line, (unsigned int)strlen(c.line) + 1, counter, seen));
        EXPECT_EQ(c.counter, counter);
    }
}

TEST(MobotixRules, MotionCountersByModel) {
    struct Case {
        const char* model;
        const char* line;
        bool trig;
    };
    const Case seq[] = {
        // One counter on the M12/M22 models, whatever the line says; its
        // first reading is the baseline.
        {"M12D", "alarmcounter=1;", false},
        {"M22M", "PI;alarmcounter=2;", true},
        // Others: image motion and the PIR count apart, each from its own baseline.
        {"M24M", "ox_md_ima;alarmcounter=3;", true},
        {"M24M", "ox_md_ima;alarmcounter=3;", false},
        {"M24M", "PI;alarmcounter=2;", false},
        {"M24M", "PI;alarmcounter=4;", true},
        {"M24M", "PI;alarmcounter=4;", false},
        {"M24M", "alarmcounter=9;", false},
        {"M24M", "ox_md_ima,PI;alarmcounter=5;", true},
        // The image counter took 5 and raised: the PIR counter was not looked at.
        {"M24M", "PI;alarmcounter=5;", true},
    };
    MOBOTIX_COUNTERS c;
    for (const Case& s : seq) {
        SCOPED_TRACE(std::string(s.model) + " " + s.line);
        int value = -1;
        EXPECT_EQ(s.trig, MobotixMotion(Line(s.line).data(), 1024, s.model, c, value));
        EXPECT_EQ(s.trig ? 100 : 0, value);
    }
    int value = -1;
    EXPECT_FALSE(MobotixMotion(nullptr, 1024, "M24M", c, value));
    int32_t in = 0;
    bool seen = false;
    EXPECT_FALSE(MobotixInput(nullptr, 1024, in, seen, value));
    EXPECT_FALSE(MobotixInput(Line("SI;alarmcounter=4;").data(), 1024, in, seen, value));
    EXPECT_TRUE(MobotixInput(Line("SI;alarmcounter=5;").data(), 1024, in, seen, value));
    EXPECT_EQ(1, value);
    EXPECT_FALSE(MobotixInput(Line("SI;alarmcounter=5;").data(), 1024, in, seen, value));
}

TEST(LevelOneGr2Rules, WindowParameterLines) {
    LEVELONE_MOTION_WIN w[LEVELONE_WIN_COUNT];
    memset(w, 0, sizeof(w));
    const char* lines[] = {
        "Motion.M0.Enabled=yes",   "Motion.M0.Threshold=40", "Motion.M0.Sensitivity=70",
        "Motion.M0.Left=10",       "Motion.M0.Top=20",       "Motion.M0.Right=300",
        "Motion.M0.Bottom=200",    "Motion.M1.Enabled=no",   "Motion.M1.Threshold=55",
        "Motion.M2.Enabled",       "Motion.M2.Threshold=7",  "Threshold=99",
        "Motion.M3.Threshold=1",   "",                       "Motion.M0x.Top=21",
    };
    for (const char* l : lines) LevelOneGr2ParseWindowLine(l, w);
    // {enabled, sensitivity, threshold, left, top, right, bottom} of each window.
    std::vector<std::vector<int32_t>> got;
    for (const LEVELONE_MOTION_WIN& x : w) {
        got.push_back({x.blEnabled, x.sensitivity, x.threshold, x.left, x.top, x.right, x.bottom});
    }
    EXPECT_EQ(got, (std::vector<std::vector<int32_t>>{
                       {1, 70, 40, 10, 21, 300, 200},  // top 21: "M0x" begins with M0
                       {0, 0, 55, 0, 0, 0, 0},
                       {1, 0, 7, 0, 0, 0, 0},  // "Enabled" with nothing after it
                   }));
}

TEST(LevelOneGr2Rules, RegionLevelsAgainstEnabledWindows) {
    LEVELONE_MOTION_WIN w[LEVELONE_WIN_COUNT];
    memset(w, 0, sizeof(w));
    w[0] = {1, 50, 100, 0, 0, 0, 0};
    w[1] = {0, 50, 10, 0, 0, 0, 0};
    w[2] = {1, 50, 300, 0, 0, 0, 0};
    // The line is handed over with its terminator.
    const PayloadRule trig = [&w](const char* p, unsigned int n, int& v) { return LevelOneGr2Trig(p, n + 1, w, v); };
    ExpectPayloadRows({
        {"", trig, "R1=120,R2=30,R3=0", true, 12},
        {"window 1 is off", trig, "R1=90,R2=999,R3=250", false, 25},
        {"capped at 1000 before / 10", trig, "R1=90,R2=0,R3=2500", true, 100},
        {"", trig, "R1=50", false, 5},
        {"equal to the threshold is not above it", trig, "R1=100", false, 10},
        {"", trig, "R3=301", true, 30},
        {"", trig, "", false, 0},
        {"", trig, "garbage,R=,==,,", false, 0},
        {"", trig, "R1=", false, 0},
    });
}

// A frame unit of `len` zero bytes, byte 24 (Ipux's level) and byte 27 (its inputs) set where it has them.
std::string IpuxUnit(size_t len, int byte24, int byte27 = 0) {
    std::string u(len, '\0');
    if (len > 24) u[24] = (char)byte24;
    if (len > 27) u[27] = (char)byte27;
    return u;
}

PayloadRule IpuxMotion(int scale, int mdParam1) {
    return [=](const char* p, unsigned int n, int& v) {
        return IpuxFifoMotion(reinterpret_cast<const unsigned char*>(p), n, scale, mdParam1, v);
    };
}

// A frame of n bytes with "SDM0" ending `back` bytes before the end and
// the byte `flagAt` after the "0" set.
std::string StarDotFrame(size_t n, size_t back, int flagAt) {
    std::string f(n, '\0');
    const size_t zero = n - back;
    f.replace(zero - 3, 4, "SDM0");
    if (flagAt > 0) f[zero + (size_t)flagAt] = 1;
    return f;
}

TEST(StreamFifoRules, IpuxAndStarDotFrames) {
    const PayloadRule input = [](const char* p, unsigned int n, int& v) {
        return IpuxFifoInput(reinterpret_cast<const unsigned char*>(p), n, v);
    };
    const PayloadRule starDot = [](const char* p, unsigned int n, int& v) {
        return StarDotFifoMotion(reinterpret_cast<const unsigned char*>(p), n, v);
    };
    std::string lastByteOnly = StarDotFrame(300, 32, 0);
    lastByteOnly.back() = 1;
    ExpectPayloadRows({
        {"5 MP camera, level 60 above 50", IpuxMotion(100, 50), IpuxUnit(32, 60), true, 60},
        {"5 MP camera, level 50 not above 50", IpuxMotion(100, 50), IpuxUnit(32, 50), false, 50},
        {"a signed byte: 150 reads as -106", IpuxMotion(100, 0), IpuxUnit(32, 150), false, -106},
        {"above 100 is capped", IpuxMotion(100, 99), IpuxUnit(32, 120), true, 100},
        {"scale 255: 127 becomes 50", IpuxMotion(255, 49), IpuxUnit(32, 127), true, 50},
        {"24 bytes are too few", IpuxMotion(100, 0), IpuxUnit(24, 99), false, kUntouched},
        {"25 bytes are enough", IpuxMotion(100, 0), IpuxUnit(25, 99), true, 99},
        {"input bits clear", input, IpuxUnit(28, 0), false, 0},
        {"input bit 2 set", input, IpuxUnit(28, 0, 0x04), true, 1},
        {"the input byte past the length", input, IpuxUnit(28, 0, 0x04), false, 0, 27},
        {"StarDot block 32 before the end, flag set", starDot, StarDotFrame(300, 32, 5), true, 100},
        {"block 199 before the end", starDot, StarDotFrame(300, 199, 32), true, 100},
        {"block 200 before the end is not looked at", starDot, StarDotFrame(300, 200, 1), false, 0},
        {"block 31 before the end is not looked at", starDot, StarDotFrame(300, 31, 1), false, 0},
        {"only the last byte set", starDot, lastByteOnly, false, 0},
        {"a flag 33 after the block is not its own", starDot, StarDotFrame(300, 120, 33), false, 0},
        {"the shortest frame: 35 bytes, the block at its start", starDot, StarDotFrame(35, 32, 3), true, 100},
        {"35 bytes without a flag", starDot, StarDotFrame(35, 32, 0), false, 0},
        {"a frame no longer than its block", starDot, "SDM0", false, 0},
    });
    int value = kUntouched;
    EXPECT_FALSE(StarDotFifoMotion(nullptr, 300, value));
}
