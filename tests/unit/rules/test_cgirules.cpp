// The polled camera families' trigger tests: this answer gives this trigger
// and this level, motion per camera and inputs per port, grouped per family;
// then hostile answers, quiet for every polled class.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "camdet/rules/cgirules.h"
#include "tests/fixtures/ruletable.h"
#include "tests/fixtures/testutil.h"

namespace cgitest {

struct RuleCase {
    const char* name;  // the test's name in its rules table
    std::string answer;  // the answer, or "@<family>/<file>" under tests/data
    bool trig;
    int value;
    int port = 0;
    int diCnt = 1;
    bool blGroup11 = false;
    const char* diTrigValue = "";
};

// Status bytes (Sanyo): `size` NUL bytes, which do not end a binary answer, with some bytes set.
std::string Bytes(size_t size, std::initializer_list<std::pair<size_t, int> > set) {
    std::string s(size, '\0');
    for (const auto& b : set) s[b.first] = (char)b.second;
    return s;
}

// Runs the class's test on bytes as the polling loop hands them over (a
// zeroed 4096-byte buffer holding at most 4095 characters).
bool RunRule(const CgiRuleEntry& e, const std::string& bytes, int port, CgiRuleState st, int& value) {
    char buf[kCgiAnswerBufSize];
    memset(buf, 0, sizeof(buf));
    size_t n = bytes.size() < sizeof(buf) - 1 ? bytes.size() : sizeof(buf) - 1;
    memcpy(buf, bytes.data(), n);
    value = kUntouched;
    return e.rule(st, port, buf, sizeof(buf), value);
}

// Each case of a table: the class's test gives this trigger and this level.
void CheckCases(const std::vector<RuleCase>& cases, RULE_KIND kind) {
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " port " + std::to_string(c.port) + " inputs " + std::to_string(c.diCnt) +
                     (c.blGroup11 ? " GROUP11" : "") + " answer \"" + c.answer.substr(0, 60) + "\"");
        const CgiRuleEntry* e = FindRule(GetCgiRuleTable, c.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->kind, kind);
        CgiRuleState st;
        st.diCnt = c.diCnt;
        st.blGroup11 = c.blGroup11;
        st.diTrigValue = c.diTrigValue;
        const std::string answer = c.answer[0] == '@' ? camtest::TestData(c.answer.substr(1)) : c.answer;
        int value = 0;
        const bool trig = RunRule(*e, answer, c.port, st, value);
        EXPECT_EQ(std::make_pair(trig, value), std::make_pair(c.trig, c.value));
    }
}

const std::vector<RuleCase>& MotionCases() {
    // A class that is one key lookup has one alarm row: its quiet answers
    // would only restate the key and values it compares with.
    static const std::vector<RuleCase> cases = {
        // Ycam: "key=value;" items; the value is compared whole, the first item counts.
        {"YcamV2Motion", "root.x=2;motion_0.status=1;root.y=0;", true, 100},
        {"YcamV2Motion", "motion_0.status=10;", false, 0},
        {"YcamV2Motion", "motion_0.status=0;motion_0.status=1;", false, 0},

        // Arecont: anything but "no motion" is motion.
        {"ArecontMotion", "mdresult=0 0 1 0 0\n", true, 100},
        {"ArecontMotion", "mdresult=no motion\n", false, 0},

        // Messoa: "Mode N" with a space as the separator.
        {"MessoaMotion", "AlarmStatus\nMode 3\n", true, 100},
        {"MessoaMotion", "Mode 23\n", false, 0},

        // MessoaPro: alarm number up to a space, else up to a line end; 40 is an input.
        {"MessoaProMotion", "Alarm.Status=2 \n", true, 100},
        {"MessoaProMotion", "Alarm.Enable=1\nAlarm.Status=3\n", true, 100},
        {"MessoaProMotion", "Alarm.Status=40\n", false, 0},
        {"MessoaProMotion", "Alarm.Status=\n", false, 0},

        // MessoaSDK05: key=value firmware, and GROUP11 firmware with JSON-like pairs.
        {"MessoaSDK05Motion", "motion_status=on\nalarm_status=off\n", true, 100},
        {"MessoaSDK05Motion", "{\"system.motion_alarm.status\":[\"ok\",\"on\"]}", false, 0},
        {"MessoaSDK05Motion", "{\"system.motion_alarm.status\":[\"ok\",\"on\"],\"x\":1}", true, 100, 0, 1, true},
        {"MessoaSDK05Motion", "{\"system.motion_alarm.status\":[\"ok\",\"off\"]}", false, 0, 0, 1, true},

        // Messoa03: motion is the mode after the inputs.
        {"Messoa03Motion", "Mode 1\n", false, 0},
        {"Messoa03Motion", "Mode 3\n", true, 100, 0, 2},
        {"Messoa03Motion", "@messoa/messoa03_input2_of_2.txt", true, 100},
        {"Messoa03Motion", "@messoa/messoa03_input2_of_2.txt", false, 0, 0, 2},

        // Sanyo: bit value 2 of byte 34 (0-based), whatever the bytes before.
        {"SanyoMotion", Bytes(64, {{34, 0x02}}), true, 100},
        {"SanyoMotion", Bytes(64, {{34, 0xfd}}), false, 0},
        {"SanyoMotion", Bytes(64, {{33, 0x02}}), false, 0},
        {"SanyoMotion", Bytes(34, {{33, 0xff}}), false, 0},  // too short: quiet

        // Compro: region -1 is none; region 0 is real.
        {"ComproMotion", "Region:0\n", true, 100},
        {"ComproMotion", "Region:-1\n", false, 0},

        // Hunt: items end with "<br>".
        {"HuntMotion", "Motion0_Status=1<br>Motion1_Status=0<br>", true, 100},

        // Brickcom: three windows are watched, the fourth is not.
        {"BrickcomMotion", "window3=1\n", true, 100},
        {"BrickcomMotion", "window1=0\nwindow2=0\nwindow3=0\nwindow4=1\n", false, 0},

        // Zavio V3: level lines; the first window over its threshold wins, else the highest level.
        {"ZavioV3Motion", "@zavio/detection_two_over.txt", true, 60},
        {"ZavioV3Motion", "@zavio/detection_quiet.txt", false, 45},
        {"ZavioV3Motion", "group=0;level=50;threshold=50;\n", false, 50},
        {"ZavioV3Motion", "group=0;level=70;\n", false, 70},  // no threshold: a level, never a trigger

        {"FoscamMotion", "var alarm_status=1;\nvar ddns_status=0;", true, 100},
        // Foscam V2 answers XML: the end tag is part of the value.
        {"FoscamV2Motion", "<CGI_Result>\n  <result>0</result>\n  <motionDetectAlarm>2</motionDetectAlarm>\n", true,
         100},
        {"FoscamV2Motion", "<CGI_Result>\n  <motionDetectAlarm>2", false, 0},
        {"BaslerMp4Motion", "Return_0=0\nReturn_1=1\n", true, 100},

        // Itx: rise_motion flags, four watched; the prefix must scan exactly.
        {"ItxMotion", "@itx/status_motion3.txt", true, 100},
        {"ItxMotion", "rise_motion=00001\n", false, 0},
        {"ItxMotion", "RISE_MOTION=1000\n", false, 0},
        {"ItxMotion", "rise_motion=0000\nrise_motion=1000\n", false, 0},  // the first line counts
        {"ItxMotion", "@itx/status_beyond_100_lines.txt", false, 0},

        // Raylios: JSON array; the first element's level against its configured bound.
        {"RayliosMotion", "@raylios/status_over.json", true, 60},
        {"RayliosMotion", "@raylios/status_second_window.json", false, 20},
        {"RayliosMotion", "[{\"level\":50,\"cfg\":50}]", false, 50},
        {"RayliosMotion", "{\"level\":60,\"cfg\":50}", false, 0},
        {"RayliosMotion", "[{\"level\":\"high\",\"cfg\":1}]", false, 0},
        {"RayliosMotion", "[{\"level\":1e300,\"cfg\":1}]", false, 0},
        {"RayliosMotion", "[7]", false, 0},
        {"RayliosV2Motion", "[{\"strength\":70,\"threshold\":20}]", true, 70},

        // HiSharp: the motion amount is the level.
        {"HiSharpMotion", "MotionValue=5\n", true, 5},
        {"HiSharpMotion", "MotionValue=0\n", false, 0},
        {"HiSharpMotion", "MotionValue=none\n", false, 0},
        {"HiSharpMotion", "MotionValue=99999999999999999999\n", true, 2147483647},

        // Bosch: the dec element of the result, white space removed.
        {"BoschMotion", "@bosch/rcp_flag_set.xml", true, 100},
        {"BoschMotion", "@bosch/rcp_flag_clear.xml", false, 0},
        {"BoschMotion", "@bosch/rcp_error.xml", false, 0},
        {"BoschMotion", "<dec>1", false, 0},
        {"BoschMotion", "<dec>451</dec><result><hex>0x01</hex></result>", false, 0},

        // Beward and Siemens: a word anywhere in the answer.
        {"BewardMotion", "MotionDetection=1\n", true, 100},
        {"SiemensMotion", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nMotion\r\n", true, 100},
        // The loop keeps 4095 characters: a keyword that starts past them is not seen.
        {"SiemensMotion", std::string(4089, 'x') + "Motion", true, 100},
        {"SiemensMotion", std::string(4090, 'x') + "Motion", false, 0},

        {"ShanyMotion", "getalarmstatus=00002 ", true, 100},
        {"NexcomMotion", "alarmstatus=2\n", true, 100},
        {"GrandStreamMotion", "md_alarm_statu=1\n", true, 100},  // the camera spells it "statu"
    };
    return cases;
}

const std::vector<RuleCase>& InputCases() {
    static const std::vector<RuleCase> cases = {
        // Airlive: one answer per input, named by its number from 1.
        {"AirliveInput", "input2=active\n", true, 1, 1, 2},

        // LevelOne: group 5 compares with the camera API's alarm value.
        {"LevelOneGr5Input", "Di_Stats=1\n", true, 100, 0, 2, false, "1"},
        {"LevelOneGr5Input", "Di_Stats=0\n", false, 0, 0, 1, false, "1"},
        {"LevelOneGr5Input", "Di_Stats=0\n", true, 100, 0, 1, false, "0"},
        {"LevelOneGr1Input", "input_1=1\ninput_2=0\n", true, 1, 0, 2},
        {"LevelOneGr4InputQuery", "Input1=active\n", true, 100, 1, 2},  // input 1 stands for every input

        // Ycam: input 0's status stands for every input.
        {"YcamV2Input", "gpio.input_0.status=1;", true, 100, 1, 2},

        // JVC: the contact state ends at a space.
        {"JvcInput", "peripheral.input_pin.pin(2).status=make&200 ", true, 1, 1, 2},

        // Sanyo: byte 33 holds one bit per input (here inputs 0 and 2; byte 34 is motion).
        {"SanyoInput", Bytes(64, {{33, 0x05}, {34, 0x02}}), true, 1, 0, 9},
        {"SanyoInput", Bytes(64, {{33, 0x05}, {34, 0x02}}), false, 0, 1, 9},
        {"SanyoInput", Bytes(64, {{33, 0xff}}), false, 0, 8, 9},  // eight bits, eight inputs

        // Edimax and Pixord: active low, inputs numbered from 0.
        {"EdimaxVPInput", "TriggerInStatus0=low\nTriggerInStatus1=high\n", true, 100, 0, 2},
        {"PixordInput", "Input.I00.Status=low\nInput.I01.Status=high\n", true, 1, 0, 2},

        // ACTi: a clear bit of the hex mask is an input in alarm.
        {"ActiInput", "DIO_STATUS=2\n", true, 1, 0, 2},
        {"ActiInput", "DIO_STATUS=2\n", false, 0, 1, 2},
        {"ActiInput", "DIO_STATUS: 0x01\n", true, 1, 1, 2},
        {"ActiInput", "DIO_STATUS 0F\n", false, 0, 1, 2},
        {"ActiInput", "DIO_STATUS=0x\n", false, 0, 0, 2},  // a prefix without digits
        {"ActiInput", "DIO_STATUS=0X01\n", false, 0, 0, 2},  // the prefix in capitals
        {"ActiInput", "DIO_STATUS=3\n", true, 1, 2, 4},  // no bit for a third input
        {"ActiInput", "DIO_STATUS=123456789\n", false, 0, 0, 2},
        {"ActiInput", "DIO_STATUS=zz\n", false, 0, 0, 2},

        // Arecont: one auxiliary input for all.
        {"ArecontInput", "auxin=on\n", true, 1, 1, 2},

        // Messoa: "Mode 3" is input and motion; MessoaPro's alarm 40 is an input.
        {"MessoaInput", "Mode 3\n", true, 1, 1, 2},
        {"MessoaProInput", "Alarm.Status=40 \n", true, 1, 0},
        {"MessoaProInput", "Alarm.Status=2\n", false, 0, 0},

        // MessoaSDK05: a one-input camera has no input number in its key.
        {"MessoaSDK05Input", "alarm_status=on\n", true, 1, 0, 1},
        {"MessoaSDK05Input", "alarm_0_status=on\n", false, 0, 0, 1},
        {"MessoaSDK05Input", "alarm_0_status=off\nalarm_1_status=on\n", true, 1, 1, 2},
        {"MessoaSDK05Input", "{\"system.external_alarm_input1.status\":[\"ok\",\"on\"]}", true, 100, 0, 1, true},

        // Messoa A02 (and Imege, the same firmware): input 1 bare, the others with "_<n>".
        {"MessoaA02Input", "surveillance.eventdido.di_current_state=1\n", true, 100, 0, 1},
        {"MessoaA02Input",
         "surveillance.eventdido.di_current_state=0\nsurveillance.eventdido.di_current_state_2=1\n", true, 100, 1, 2},
        {"MessoaA02Input", "surveillance.eventdido.di_current_state_2=1\n", false, 0, 0, 2},

        // Messoa03: modes 1..inputs raise every input.
        {"Messoa03Input", "Mode 1\n", true, 1, 0, 1},
        {"Messoa03Input", "Mode 2\n", false, 0, 0, 1},
        {"Messoa03Input", "Mode 0\nMode \n", false, 0, 0, 1},
        {"Messoa03Input", "@messoa/messoa03_input2_of_2.txt", true, 1, 0, 2},
        {"Messoa03Input", "@messoa/messoa03_input2_of_2.txt", false, 0, 0, 1},

        // Compro and Hunt: a word per input; Brickcom and StarDot: 0 is in alarm.
        {"ComproInput", "IO.InPort0=Enable\nIO.InPort1=Disable\n", true, 1, 0, 2},
        {"HuntInput", "Input1Trig=1<br>Input2Trig=0<br>", true, 1, 0, 2},
        {"BrickcomInput", "di1.status=0\ndi2.status=1\n", true, 1, 0, 2},
        {"StarDotInput", "trigger1=0\n", true, 100, 0},

        {"StorageInput", "var alarm_status=2;", true, 1, 0},
        {"ZavioInput", "input2:1\n", true, 1, 1, 2},
        {"CanonInput", "i.1:=1\ni.2:=0\n", true, 1, 0, 2},

        // Itx: the first inputs' flags; the level is left as it was.
        {"ItxInput", "@itx/status_input2.txt", true, kUntouched, 0, 2},
        {"ItxInput", "@itx/status_input2.txt", false, kUntouched, 0, 1},
        {"ItxInput", "@itx/status_motion3.txt", false, kUntouched, 0, 4},

        // Bosch: the dec element; the level is left as it was.
        {"BoschInput", "@bosch/rcp_flag_set.xml", true, kUntouched, 0},

        {"TruenInput", "GIS_MOTION1=0\nGIS_SENSOR1=0\nGIS_SENSOR2=1\n", true, 1, 1, 2},
    };
    return cases;
}

}  // namespace cgitest

TEST(CgiMotionRules, AnswerGivesTriggerAndLevel) {
    cgitest::CheckCases(cgitest::MotionCases(), RULE_KIND_MD);
}

TEST(CgiInputRules, AnswerGivesTriggerAndLevelPerInput) {
    cgitest::CheckCases(cgitest::InputCases(), RULE_KIND_DI);
}

// Hostile answers: empty, truncated, a key repeated thousands of times are
// quiet. (Arbitrary bytes, answers without a terminator and the same result
// for the same answer are the fuzz target's.)
TEST(CgiRules, HostileAnswersAreQuiet) {
    std::string repeated;
    while (repeated.size() < 4000) repeated += "alarm_status=;input1=;Mode ;DIO_STATUS=;";
    const std::vector<std::string> quiet = {"", "=", "\n\n\n", "alarm_status", "Mode", repeated};

    int rows = 0;
    const CgiRuleEntry* table = GetCgiRuleTable(rows);
    for (int i = 0; i < rows; ++i) {
        const CgiRuleEntry& e = table[i];
        for (int diCnt = 1; diCnt <= 4; ++diCnt) {
            CgiRuleState st;
            st.diCnt = diCnt;
            st.diTrigValue = "1";
            for (int port = 0; port < diCnt; ++port) {
                SCOPED_TRACE(std::string(e.name) + " port " + std::to_string(port));
                for (const std::string& a : quiet) {
                    // Sanyo reads status bytes: only an answer too short for them is quiet.
                    if (std::string(e.name).compare(0, 5, "Sanyo") == 0 && a.size() > 33) continue;
                    int value = 0;
                    EXPECT_FALSE(cgitest::RunRule(e, a, port, st, value)) << "answer \"" << a.substr(0, 40) << "\"";
                    EXPECT_TRUE(value == 0 || value == kUntouched);
                }
            }
        }
    }
}
