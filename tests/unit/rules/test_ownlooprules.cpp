// The own-loop cameras' pure parts: ACTi packets and event headers, Mobotix
// alarm counters, LevelOne GR2 motion windows and region levels.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camdet/rules/ownlooprules.h"

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
        {"2^31", Le32s({0, 0x10039, 0x80000000u}), true, true, -1},
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
    EXPECT_EQ(1, w[0].blEnabled);
    EXPECT_EQ(40, w[0].threshold);
    EXPECT_EQ(70, w[0].sensitivity);
    EXPECT_EQ(10, w[0].left);
    EXPECT_EQ(21, w[0].top);  // "M0x" begins with M0
    EXPECT_EQ(300, w[0].right);
    EXPECT_EQ(200, w[0].bottom);
    EXPECT_EQ(0, w[1].blEnabled);
    EXPECT_EQ(55, w[1].threshold);
    EXPECT_EQ(1, w[2].blEnabled);  // "Enabled" with nothing after it
    EXPECT_EQ(7, w[2].threshold);
}

TEST(LevelOneGr2Rules, RegionLevelsAgainstEnabledWindows) {
    LEVELONE_MOTION_WIN w[LEVELONE_WIN_COUNT];
    memset(w, 0, sizeof(w));
    w[0] = {1, 50, 100, 0, 0, 0, 0};
    w[1] = {0, 50, 10, 0, 0, 0, 0};
    w[2] = {1, 50, 300, 0, 0, 0, 0};
    struct Case {
        const char* line;
        bool trig;
        int value;
    };
    const Case cases[] = {
        {"R1=120,R2=30,R3=0", true, 12},
        {"R1=90,R2=999,R3=250", false, 25},   // window 1 is off
        {"R1=90,R2=0,R3=2500", true, 100},    // capped at 1000 before / 10
        {"R1=50", false, 5},
        {"R1=100", false, 10},  // equal to the threshold is not above it
        {"R3=301", true, 30},
        {"", false, 0},
        {"garbage,R=,==,,", false, 0},
        {"R1=", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        int value = -1;
        EXPECT_EQ(c.trig, LevelOneGr2Trig(c.line, (unsigned int)strlen(c.line) + 1, w, value));
        EXPECT_EQ(c.value, value);
    }
}

TEST(StreamFifoRules, IpuxFrameHeaderLevelsAndInputs) {
    struct Case {
        const char* name;
        size_t len;
        int byte24;
        int scale;
        int mdParam1;
        bool trig;
        int value;  // -7: left alone
    };
    const Case cases[] = {
        {"5 MP camera, level 60 above 50", 32, 60, 100, 50, true, 60},
        {"5 MP camera, level 50 not above 50", 32, 50, 100, 50, false, 50},
        {"a signed byte: 150 reads as -106", 32, 150, 100, 0, false, -106},
        {"above 100 is capped", 32, 120, 100, 99, true, 100},
        {"scale 255: 127 becomes 50", 32, 127, 255, 49, true, 50},
        {"24 bytes are too few", 24, 99, 100, 0, false, -7},
        {"25 bytes are enough", 25, 99, 100, 0, true, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> unit(c.len, 0);
        if (c.len > 24) unit[24] = (unsigned char)c.byte24;
        int value = -7;
        EXPECT_EQ(c.trig, IpuxFifoMotion(unit.data(), (unsigned int)unit.size(), c.scale, c.mdParam1, value));
        EXPECT_EQ(c.value, value);
    }
    std::vector<unsigned char> unit(28, 0);
    int value = -7;
    EXPECT_FALSE(IpuxFifoInput(unit.data(), 28, value));
    unit[27] = 0x04;
    EXPECT_TRUE(IpuxFifoInput(unit.data(), 28, value));
    EXPECT_EQ(1, value);
    EXPECT_FALSE(IpuxFifoInput(unit.data(), 27, value));
}

TEST(StreamFifoRules, StarDotMotionBlockNearTheEnd) {
    // A frame of n bytes with "SDM0" ending `back` bytes before the end and
    // the byte `flagAt` after the "0" set.
    auto frame = [](size_t n, size_t back, int flagAt) {
        std::vector<unsigned char> f(n, 0);
        const size_t zero = n - back;
        memcpy(&f[zero - 3], "SDM0", 4);
        if (flagAt > 0) f[zero + (size_t)flagAt] = 1;
        return f;
    };
    struct Case {
        const char* name;
        std::vector<unsigned char> f;
        bool trig;
    };
    std::vector<unsigned char> lastByteOnly = frame(300, 32, 0);
    lastByteOnly.back() = 1;
    const Case cases[] = {
        {"block 32 before the end, flag set", frame(300, 32, 5), true},
        {"block 199 before the end", frame(300, 199, 32), true},
        {"block 200 before the end is not looked at", frame(300, 200, 1), false},
        {"block 31 before the end is not looked at", frame(300, 31, 1), false},
        {"only the last byte set", lastByteOnly, false},
        {"a flag 33 after the block is not its own", frame(300, 120, 33), false},
        {"the shortest frame: 35 bytes, the block at its start", frame(35, 32, 3), true},
        {"35 bytes without a flag", frame(35, 32, 0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int value = -7;
        EXPECT_EQ(c.trig, StarDotFifoMotion(c.f.data(), (unsigned int)c.f.size(), value));
        EXPECT_EQ(c.trig ? 100 : 0, value);
    }
    int value = -7;
    EXPECT_FALSE(StarDotFifoMotion(nullptr, 300, value));
    const unsigned char tiny[] = {'S', 'D', 'M', '0'};
    EXPECT_FALSE(StarDotFifoMotion(tiny, 4, value));
}
