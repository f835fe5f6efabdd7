// The line and record classes' tests: a sequence of lines (or records) fed
// to one class gives this trigger and this value after each, with the state
// the class holds in between; hostile lines and wrong-length records.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "camdet/rules/binrules.h"
#include "tests/fixtures/ruletable.h"

namespace {

struct Step {
    std::string line;
    bool trig;
    int value;
    bool noData = false;  // the test cannot read the line: the status is to stay
};

struct SeqCase {
    const char* name;
    const char* test;  // the test's name in its rules table
    int port;  // -1: whole camera
    std::vector<Step> steps;
    unsigned int size = 1024;  // the buffer the transport hands over
    int mdParam1 = 0;
    int mdParam3 = 0;
    int adParam = 0;
    bool adKeyV2 = false;
};

// Feeds each step as the transport does: a zeroed buffer of `size` bytes
// (one spare zero byte after it) holding the line or record.
void RunSequence(const SeqCase& c, int inputs = 12) {
    SCOPED_TRACE(c.name);
    const BinRuleEntry* e = FindRule(GetBinRuleTable, c.test);
    ASSERT_NE(nullptr, e) << c.test;
    BIN_RULE_STATE st;
    // A bit past the inputs, left from a larger input count, is never read.
    st.heldPorts.assign((size_t)inputs + 1, false);
    st.heldPorts[(size_t)inputs] = true;
    st.heldPorts.resize((size_t)inputs);
    st.mdParam1 = c.mdParam1;
    st.mdParam3 = c.mdParam3;
    st.adParam = c.adParam;
    st.adKeyV2 = c.adKeyV2;
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& want = c.steps[i];
        SCOPED_TRACE("step " + std::to_string(i) + ": " + want.line);
        std::vector<char> buf(c.size + 1, 0);
        memcpy(buf.data(), want.line.data(), std::min<size_t>(want.line.size(), c.size));
        int value = kUntouched;
        st.noData = false;
        const bool trig = e->rule(st, c.port, buf.data(), c.size, value);
        EXPECT_EQ(std::make_tuple(trig, value, st.noData), std::make_tuple(want.trig, want.value, want.noData));
    }
    EXPECT_EQ((size_t)inputs, st.heldPorts.size());
}

std::string Record(size_t len, std::initializer_list<std::pair<size_t, int> > bytes) {
    std::string r(len, '\0');
    for (const auto& b : bytes) r[b.first] = (char)b.second;
    return r;
}

}  // namespace

TEST(BinVendorRules, DahuaEventLinesHoldTheirStateUntilStop) {
    const std::string start = "Code=VideoMotion;action=Start;index=0";
    const std::string stop = "Code=VideoMotion;action=Stop;index=0";
    const SeqCase cases[] = {
        {"motion start, heartbeat, part header, stop", "DahuaMotion", -1,
         {{start, true, 100}, {"Heartbeat", true, 100}, {"Content-Length: 37", true, 100}, {stop, false, 0}}},
        {"a line of another event leaves motion", "DahuaMotion", -1,
         {{start, true, 100}, {"Code=VideoBlind;action=Stop;index=0", true, 100}}},
        {"the keyword without an action changes nothing", "DahuaMotion", -1,
         {{start, true, 100}, {"Code=VideoMotion;index=0", true, 100}}},
        {"tampering is VideoBlind", "DahuaTamper", -1,
         {{start, false, 0}, {"Code=VideoBlind;action=Start;index=0", true, 100},
          {"Code=VideoBlind;action=Stop;index=0", false, 0}}},
        {"input 2 of the camera is port 1", "DahuaInput", 1,
         {{"Code=AlarmLocal;action=Start;index=1", true, 1}, {"Code=AlarmLocal;action=Start;index=0", true, 1},
          {"Code=AlarmLocal;action=Stop;index=1", false, 0}}},
        {"another port's line leaves the port", "DahuaInput", 0,
         {{"Code=AlarmLocal;action=Start;index=2", false, 0}}},
        // The index is matched as text: index=10 reads as index=1 as well.
        {"index=10 also moves port 1", "DahuaInput", 1,
         {{"Code=AlarmLocal;action=Start;index=10", true, 1}, {"Code=AlarmLocal;action=Stop;index=10", false, 0}}},
        {"index=10 moves port 10", "DahuaInput", 10, {{"Code=AlarmLocal;action=Start;index=10", true, 1}}},
        {"motion lines do not move inputs", "DahuaInput", 0, {{start, false, 0}}},
        {"port 12 is past the inputs", "DahuaInput", 12, {{"Code=AlarmLocal;action=Start;index=12", false, 0}}},
    };
    for (const SeqCase& c : cases) RunSequence(c);
}

TEST(BinVendorRules, DLinkFlagLinesTakePrecedenceOverLevelLines) {
    const SeqCase cases[] = {
        {"level lines alone trigger against key 2", "DLinkMotion", -1,
         {{"mdv1=35", true, 35}, {"mdv1=20", false, 20}, {"mdv1=30", true, 30}, {"x=1", true, 30}}, 1024, 0, 30},
        {"once md1 was seen level lines only set the level", "DLinkMotion", -1,
         {{"md1=off", false, 0}, {"mdv1=90", false, 90}, {"md1=on", true, 90}, {"mdv1=5", true, 5},
          {"md1=off", false, 0}},
         1024, 0, 30},
        {"flag lines alone give 100", "DLinkMotion", -1,
         {{"md1=on", true, 100}, {"md1=ON", false, 0}, {"md1=on", true, 100}, {"other=1", true, 100}}},
        {"audio level against key 5", "DLinkAudio", -1,
         {{"audio_detected_val=40", true, 40}, {"audio_detected_val=39", false, 39},
          {"audio_detect_val=90", false, 39}},
         1024, 0, 0, 40},
        {"AD_KEY_V2 cameras name the key differently", "DLinkAudio", -1,
         {{"audio_detect_val=90", true, 90}, {"audio_detected_val=0", true, 90}}, 1024, 0, 0, 40, true},
        {"input1 is port 0", "DLinkInput", 0, {{"input1=on", true, 1}, {"md1=on", true, 1}, {"input1=off", false, 0}}},
        {"other values leave the port", "DLinkInput", 0, {{"input1=on", true, 1}, {"input1=1", true, 1}}},
        {"input11 is not input1", "DLinkInput", 0, {{"input11=on", false, 0}}},
        {"port 12 is past the inputs", "DLinkInput", 12, {{"input13=on", false, 0}}},
    };
    for (const SeqCase& c : cases) RunSequence(c);
}

TEST(BinVendorRules, LilinAndLevelOneLines) {
    const SeqCase cases[] = {
        {"hexadecimal level before the last $ against key 3", "LevelOneGr4Motion", -1,
         {{"MD,5A$", true, 90}, {"00$", false, 0}, {"xx$MD,32$", false, 50}, {"FF$", false, 255},
          {"ZZ$", false, 0, true}, {"no dollar", false, 0, true}, {"5$", false, 0, true}, {"A$", false, 0, true},
          {"5$" + std::string(30, 'Z'), false, 0, true}},  // long: nothing readable before its start
         64, 50},
        {"level 1 above a threshold of 0", "LevelOneGr4Motion", -1, {{"..01$", true, 1}}, 64},
        // The bytes at +7 and +11 after the last "$" (here A5 and 04 or 05); the level is left as it was.
        {"input bits differ after the last $", "LevelOneGr4Input", 2,
         {{"$123456A59004", true, kUntouched}, {"$123456A59005", false, kUntouched},
          {"$123456A5900", false, kUntouched, true}, {"$x$123456A59004", true, kUntouched},
          {"$123456ZZ9004", false, kUntouched, true}, {"garbage", false, kUntouched, true}},
         64},
        {"AlarmInputDetect holds for every port", "LilinV2Input", 3,
         {{"AlarmInputDetect=1\r", true, 100}, {"MotionDetect=0", true, 100}, {"AlarmInputDetect=0", false, 0},
          {"AlarmInputDetect=10", false, 0}}},
    };
    for (const SeqCase& c : cases) RunSequence(c);
}

TEST(BinVendorRules, RecordsOfTheWrongLengthNeverTrigger) {
    const SeqCase cases[] = {
        {"EverFocus motion is byte 56 equal to 1", "EverFocusMotion", -1,
         {{Record(308, {{56, 1}}), true, 100}, {Record(308, {{56, 2}}), false, 0}, {Record(308, {{48, 1}}), false, 0}},
         308},
        {"EverFocus input is byte 48", "EverFocusInput", 1,
         {{Record(308, {{48, 1}}), true, 100}, {Record(308, {{56, 1}}), false, 0}}, 308},
        {"a 307-byte buffer is not a record", "EverFocusMotion", -1, {{Record(307, {{56, 1}}), false, 0}}, 307},
        {"nor is a 309-byte one", "EverFocusInput", 0, {{Record(309, {{48, 1}}), false, 0}}, 309},
        {"Y-cam window bits and the highest level", "YcamMotion", -1,
         {{Record(8, {{0, 10}, {1, 200}, {3, 3}, {4, 0x02}}), true, 200},
          {Record(8, {{0, 10}, {1, 200}, {3, 3}, {4, 0x10}}), false, 200}, {Record(8, {}), false, 0},
          {Record(8, {{3, 255}, {4, 0x08}}), true, 255}},
         8},
        {"Y-cam 9-byte buffer", "YcamMotion", -1, {{Record(9, {{0, 10}, {4, 1}}), false, 0}}, 9},
    };
    for (const SeqCase& c : cases) RunSequence(c);
}

// A null buffer, and lines that are all binary or all separators, never
// trigger a class that is quiet and leave a held one as it was.
TEST(BinVendorRules, HostileLinesAreQuietOrLeaveTheHeldState) {
    int rows = 0;
    const BinRuleEntry* t = GetBinRuleTable(rows);
    ASSERT_GT(rows, 0);
    const std::string hostile[] = {std::string("\xff\xfe\x01\x80", 4), "====;;;;$$$$", "index=index=index=",
                                   std::string(1023, 'A'), "md1=" + std::string(1000, '9')};
    for (int r = 0; r < rows; ++r) {
        SCOPED_TRACE(t[r].name);
        const int port = t[r].kind == RULE_KIND_DI ? 0 : -1;
        BIN_RULE_STATE st;
        st.heldPorts.assign(4, false);
        int value = 5;
        EXPECT_FALSE(t[r].rule(st, port, nullptr, 1024, value));
        EXPECT_EQ(0, value);
        for (const std::string& h : hostile) {
            std::vector<char> buf(1025, 0);
            memcpy(buf.data(), h.data(), std::min<size_t>(h.size(), 1024));
            value = 0;
            BIN_RULE_STATE before = st;
            EXPECT_FALSE(t[r].rule(st, port, buf.data(), 1024, value)) << h.substr(0, 20);
            EXPECT_EQ(before.held, st.held) << h.substr(0, 20);
        }
    }
}
