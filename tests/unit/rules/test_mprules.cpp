// The multipart classes' tests: one part gives this trigger and this level,
// held state over sequences of parts, and hostile parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "camdet/rules/mprules.h"
#include "tests/fixtures/ruletable.h"

namespace {

// The state a class reads besides the part: {mdParam1, mdParam3, api, channel, flag}.
struct Inputs {
    int mdParam1 = 0, mdParam3 = 0;
    const char* api = "";
    const char* channel = "1";
    bool flag = false;
};

struct RuleCase {
    const char* name;  // the test's name in its rules table
    int port;  // -1: whole camera
    std::string body;
    bool trig;
    int level;
    Inputs in;
    unsigned int capacity = 1024;  // the buffer the part arrives in
};

std::string Bin(std::initializer_list<std::pair<int, int> > bytes, size_t len = 32) {
    std::string s(len, '\x00');
    for (auto& b : bytes) s[b.first] = (char)b.second;
    return s;
}

bool RunRule(const RuleCase& c, MP_RULE_STATE& st, int& level) {
    const MpRuleEntry* d = FindRule(GetMpRuleTable, c.name);
    EXPECT_NE(d, nullptr) << c.name;
    if (!d) return false;
    std::vector<char> buf(std::max<size_t>(c.capacity, c.body.size()) + 1, 0);
    std::copy(c.body.begin(), c.body.end(), buf.begin());
    st.mdParam1 = c.in.mdParam1;
    st.mdParam3 = c.in.mdParam3;
    st.api = c.in.api;
    st.channel = c.in.channel;
    st.flag = c.in.flag;
    if (st.heldPorts.empty()) st.heldPorts.assign(4, false);
    level = -7;
    return d->rule(st, c.port, buf.data(), (unsigned int)buf.size() - 1, level);
}

TEST(MpVendorRules, OnePartGivesThisTriggerAndLevel) {
    const RuleCase cases[] = {
        {"LevelOneGr4Tamper", -1, "Group=T0\nTriggered=1\n", true, 100, {}},
        {"IQeyeV1Motion", -1, "Pragma: trigger=motion,input\n", true, 100, {}},
        {"IQeyeV2Motion", -1, "window=0;level=10;threshold=30\nwindow=1;level=55;threshold=30\n", true, 55, {}},
        {"IQeyeV2Motion", -1, "window=0;level=10;threshold=30\nwindow=1;level=12\n", false, 12, {}},
        {"IQeyeInput", 3, "Pragma: trigger=input\n", true, 1, {}},
        {"SonyMotion", -1, "MDWin1=0\nMDWin2=1\n", true, 100, {}},
        {"SonyMotion", -1, "MDWin1=0\nMDWin2=2\n", false, 0, {}},
        {"SonyInput", 0, "Sensor1=1\nSensor2=0\n", true, 1, {}},
        {"MessoaA02Motion", -1, "value=5;objectsize=10;\nvalue=30;objectsize=20;\n", true, 30, {}},
        {"ImegeMotion", -1, "value=5;objectsize=10;\n", false, 5, {}},
        {"ImegeMotion", -1, "xxxxxxxxxx\nvalue=30;\nobjectsize=20;\n", false, 30, {}},  // not its line's size
        {"SamsungMotion", -1, "motion:H\n", true, 100, {}},
        {"SamsungTamper", -1, "tampering:H\r\n", true, 100, {}},
        {"SamsungInput", 0, "IO01:H\nIO02:L\n", true, 1, {}},
        {"HitronMotion", -1, "motion=1\nalarm=0\n", true, 100, {}},
        {"HitronInput", 2, "motion=1\nalarm=1\n", true, 100, {}},
        {"EneoTamper", -1, "tampering=1\n", true, 100, {}},
        {"AlinkingMotion", -1, "\nMotion.M0.Status=\"1\";\n", true, 99, {}},
        {"AlinkingMotion", -1, "Motion.M0.Status=\"0\";\nMotion.M0.Status=\"1\";\n", false, 0, {}},
        {"AlinkingTamper", -1, "Blind.B0.Status=\"1\";\n", true, 100, {}},
        {"AlinkingInput", 1, "Input.I0.Status=\"1\";\n", true, -7, {}},  // level left alone
        {"DLinkV9V2Motion", -1, Bin({{0, 1}}), true, 100, {}},
        {"DLinkV9V2Motion", -1, Bin({{5, 1}}), false, 0, {}},
        {"DLinkV9V2Input", 1, "Trigger1=0&Trigger2=1", true, 1, {}},
        {"LilinMotion", -1, "MotionDetect=1\r\nAlarmInputDetect=0\r\n", true, 100, {}},
        {"LilinInput", 0, "MotionDetect=1\r\nAlarmInputDetect=1\r\n", true, 1, {}},
        {"AcumenMotion", -1, "MotionDetect=1\n", true, 100, {}},
        {"AcumenInput", 3, "AlarmInputDetect=0\n", false, 0, {}},
        {"OncamGrandeyeInput", 0, "state0:L\n", true, 100, {}},
        {"AirliveMotion", -1, "group=1;level=80;threshold=50;\n", true, 80, {}},
        {"AirliveMotion", -1, "group=1;level=20;threshold=50;\n", false, 20, {}},
        {"AirliveMotion", -1, "Event: Dynamic motion id=17\n", true, 100, {0, 0, "", "1", true}},
        {"EdimaxMotion", -1, "Content-Type:image/jpeg\nmotion-event:1\n", true, 100, {}},
        {"EdimaxVPMotion", -1, Bin({{24, 5}, {25, 33}, {26, 7}}), true, 33, {0, 20}},
        {"EdimaxVPMotion", -1, Bin({{24, 5}, {25, 10}, {26, 7}}), false, 10, {0, 20}},
        {"EtrovisionMotion", -1, "md1=on\n", true, 100, {}},
        {"EtrovisionInput", 1, "input1=off\ninput2=on\n", true, 1, {}},
        {"PixordMotion", -1, "level=55;", true, 55, {40}},
        {"PixordMotion", -1, "level=35;", false, 35, {40}},
        {"PanaMotion", -1, "motiondetect F\nmotiondetect T\n", true, 100, {}},
        {"PanaMotion", -1, "motiondetect ch2T\n", true, 100, {0, 0, "", "2"}},
        {"PanaMotion", -1, "motiondetect T\n", false, 0, {0, 0, "", "2"}},
        {"PanaMotion", -1, "motiondetect ch%s%nT\n", true, 100, {0, 0, "", "%s%n"}},  // a channel is never a format
        {"PanaInput", 0, "terminal1 I L\nterminal2 I H\n", true, 1, {}},
        {"PanaInput", 1, "terminal2 I L\nterminal3 I H\n", true, 1, {}},
        {"PanaInput", 1, "terminal2 I L\nterminal3 I H\n", false, 0, {0, 0, "", "1", true}},  // reads terminal 3
        {"PanaInput", 0, "terminal1 I L\nterminal3 I H\n", true, 1, {0, 0, "", "1", true}},  // stays terminal 1
        {"PanaProMotion", -1, "motiondetect T\n", true, 100, {}},
        {"PanaProInput", 0, "terminal1 I L\n", true, 1, {}},
        {"IpuxMotion", -1, Bin({{24, 127}}), true, 50, {40}},
        {"IpuxMotion", -1, Bin({{24, -1}}), false, 0, {40}},
        {"IpuxMotion", -1, Bin({{24, 90}}), true, 90, {40, 0, "ipux5m"}},
        {"IpuxInput", 2, Bin({{27, 0x04}}), true, 1, {}},
        {"IpuxInput", 2, Bin({{27, 0x08}}), false, 0, {}},
        {"IpuxInput", 2, Bin({{27, 0x04}}, 28), true, 1, {}, 0},  // a part of exactly 28 bytes holds the input byte
        {"ZavioMotion", -1, "group=1;level=1500;threshold=900;\n", true, 100, {0, 0, "zaviovga"}},
        {"ZavioMotion", -1, "group=1;level=30;threshold=50;\ngroup=2;level=45;threshold=50;\n", false, 45, {}},
        {"ZavioMotion", -1, "group=1;level=45;threshold=50;\ngroup=2;level=30;threshold=50;\n", false, 45, {}},
        {"ZavioMotion", -1, "group=1;level=30;threshold=50;\ngroup=2;level=60;threshold=50;\n", true, 60, {}},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " port " + std::to_string(c.port) + ": " + c.body);
        MP_RULE_STATE st;
        int level = 0;
        const bool trig = RunRule(c, st, level);
        EXPECT_EQ(std::make_pair(trig, level), std::make_pair(c.trig, c.level));
    }
}

// Rules with held state, over a sequence of parts.
const int kUnchecked = -1000;
struct SeqStep {
    std::string body;
    bool trig;
    int level = kUnchecked;
    int port = kUnchecked;  // unchecked: the row's port
};

TEST(MpVendorRules, HeldStateOverSequences) {
    // PSIA alert parts.
    const std::string io = "<eventType>IO</eventType><eventState>active</eventState>";
    const std::string ioOff = "<eventType>IO</eventType><eventState>inactive</eventState>";
    const std::string vmd = "<eventType>VMD</eventType><eventState>active</eventState>";
    const std::string vmdOff = "<eventType>VMD</eventType><eventState>inactive</eventState>";
    struct {
        const char* name;  // the test's name in its rules table
        int port;
        Inputs in;
        std::vector<SeqStep> steps;
        unsigned int capacity = 1024;
    } rows[] = {
        {"EtrovisionMotion", -1, {}, {{"md1=on\n", true}, {"input1=on\n", true}, {"md1=off\n", false}, {"x\n", false}}},
        {"EtrovisionInput", 0, {}, {{"input1=on\n", true}, {"md1=on\n", true}, {"input1=idle\n", false}}},
        {"PanaProMotion", -1, {}, {{"motiondetect T\n", true}, {"motiondetect X\n", true}, {"", true},
                               {"motiondetect F\nmotiondetect T\n", false}}},
        {"PanaProInput", 1, {}, {{"terminal2 I L\n", true}, {"terminal1 I H\n", true}, {"terminal2 I H\n", false}}},
        // The same event id twice is one event.
        {"AirliveMotion", -1, Inputs{0, 0, "", "1", true},
         {{"Dynamic id=3\n", true}, {"Dynamic id=3\n", false}, {"Static id=4\n", false}, {"Dynamic id=4\n", true}}},
        // PSIA motion: three parts reported unexamined after each evaluation.
        {"PsiaMotion", -1, {},
         {{vmd, false}, {vmd, false}, {vmd, false}, {vmd, true}, {vmdOff, true}, {"", true},
          {"<eventType>IO</eventType>", true},
          {"<eventType>fielddetection</eventType><eventState>active</eventState>", false}}},
        // PSIA input: the same counting (a part of another type does not
        // restart it), and "inactive" releases.
        {"PsiaInput", 0, {},
         {{io, false}, {io, false}, {io, false}, {vmd, false}, {io, true}, {ioOff, true}, {ioOff, true}, {ioOff, true},
          {ioOff, false}}},
        // Every port's part advances the one counter; while the held flag is
        // reported the level is left alone.
        {"PsiaInput", 0, {}, {{io, false, kUnchecked, 0}, {io, false, kUnchecked, 1}, {io, false, kUnchecked, 0},
                              {io, true, 1, 1}, {io, true, kUntouched, 0}}, 0},
    };
    for (const auto& r : rows) {
        MP_RULE_STATE st;
        int i = 0;
        for (const SeqStep& s : r.steps) {
            int level = 0;
            RuleCase c{r.name, s.port == kUnchecked ? r.port : s.port, s.body, s.trig, 0, r.in, r.capacity};
            EXPECT_EQ(RunRule(c, st, level), s.trig) << r.name << " step " << i;
            if (s.level != kUnchecked) {
                EXPECT_EQ(level, s.level) << r.name << " step " << i;
            }
            ++i;
        }
    }
}

// An empty part, in buffers of any capacity, never raises motion, tampering
// or audio. (Arbitrary parts are the fuzz target's.)
TEST(MpVendorRules, EmptyPartsAreQuiet) {
    int rows = 0;
    const MpRuleEntry* table = GetMpRuleTable(rows);
    for (int i = 0; i < rows; ++i) {
        if (table[i].kind == RULE_KIND_DI) continue;
        for (unsigned int cap : {0u, 1u, 26u, 1024u}) {
            std::vector<char> buf(cap + 1, 0);
            MP_RULE_STATE st;
            st.heldPorts.assign(1, false);
            int level = 0;
            EXPECT_FALSE(table[i].rule(st, -1, buf.data(), cap, level)) << table[i].name << " capacity " << cap;
        }
    }
}

// A part of length 0 whose buffer still holds an earlier part's text is empty.
TEST(MpVendorRules, ObjectSizeLinesOfLengthZeroAreQuiet) {
    const char stale[] = "value=50;objectsize=10;\n";
    int level = -7;
    EXPECT_FALSE(mprule::ObjectSizeLines(stale, 0, level));
    EXPECT_EQ(level, 0);
    EXPECT_TRUE(mprule::ObjectSizeLines(stale, sizeof(stale), level));
    EXPECT_EQ(level, 50);
}

}  // namespace
