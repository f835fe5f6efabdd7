// Input tests of the polled camera families, per input port, grouped per
// family; then the checks that hold for every polled class (every test has
// alarm and quiet cases here, and hostile answers are quiet).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/unit/rules/cgirulecases.h"
#include "tests/fixtures/ruletable.h"

using cgitest::kUntouched;
using cgitest::RuleCase;

namespace cgitest {

const std::vector<RuleCase>& InputCases() {
    static const std::vector<RuleCase> cases = {
        // Axis: one answer per input; whichever input line it carries is read.
        {"AxisInput", "input2=active\n", true, 1, 1, 2},
        {"AxisInput", "input1=inactive\n", false, 0, 0},

        // Vivotek: one answer per input, "H" while in alarm.
        {"Vivotek2Input", "DI1=L\nDI2=H\n", true, 1, 1, 2},
        {"Vivotek2Input", "DI1=L\nDI2=H\n", false, 0, 0, 2},

        // Airlive: one answer per input, named by its number from 1.
        {"AirliveInput", "input1=active\n", false, 0, 1, 2},
        {"AirliveInput", "input2=active\n", true, 1, 1, 2},

        // LevelOne: group 5 compares with the camera API's alarm value.
        {"LevelOneGr5Input", "Di_Stats=1\n", true, 100, 0, 2, false, "1"},
        {"LevelOneGr5Input", "Di_Stats=0\n", false, 0, 0, 1, false, "1"},
        {"LevelOneGr5Input", "Di_Stats=0\n", true, 100, 0, 1, false, "0"},
        {"LevelOneGr5Input", "Di_Stats=11\n", false, 0, 0, 1, false, "1"},
        {"LevelOneGr1Input", "input_1=1\ninput_2=0\n", true, 1, 0, 2},
        {"LevelOneGr1Input", "input_1=1\ninput_2=0\n", false, 0, 1, 2},
        {"LevelOneGr4InputQuery", "Input1=active\n", true, 100, 1, 2},
        {"LevelOneGr4InputQuery", "Input1=inactive\nInput2=active\n", false, 0, 1, 2},

        // Ycam: input 0's status stands for every input.
        {"YcamV2Input", "gpio.input_0.status=1;", true, 100, 1, 2},
        {"YcamV2Input", "gpio.input_0.status=0;", false, 0, 0},

        // JVC: the contact state ends at a space.
        {"JvcInput", "peripheral.input_pin.pin(1).status=make&200 ", true, 1, 0},
        {"JvcInput", "peripheral.input_pin.pin(1).status=break&200 ", false, 0, 0},
        {"JvcInput", "peripheral.input_pin.pin(2).status=make&200 ", true, 1, 1, 2},
        {"JvcInput", "peripheral.input_pin.pin(1).status=make&200 ", false, 0, 1, 2},

        // Edimax and Pixord: active low, inputs numbered from 0.
        {"EdimaxVPInput", "TriggerInStatus0=low\nTriggerInStatus1=high\n", true, 100, 0, 2},
        {"EdimaxVPInput", "TriggerInStatus0=low\nTriggerInStatus1=high\n", false, 0, 1, 2},
        {"PixordInput", "Input.I00.Status=low\nInput.I01.Status=high\n", true, 1, 0, 2},
        {"PixordInput", "Input.I00.Status=low\nInput.I01.Status=high\n", false, 0, 1, 2},

        // ACTi: a clear bit of the hex mask is an input in alarm.
        {"ActiInput", "DIO_STATUS=3\n", false, 0, 0, 2},
        {"ActiInput", "DIO_STATUS=0\n", true, 1, 0, 2},
        {"ActiInput", "DIO_STATUS=2\n", true, 1, 0, 2},
        {"ActiInput", "DIO_STATUS=2\n", false, 0, 1, 2},
        {"ActiInput", "DIO_STATUS: 0x01\n", false, 0, 0, 2},
        {"ActiInput", "DIO_STATUS: 0x01\n", true, 1, 1, 2},
        {"ActiInput", "DIO_STATUS 0F\n", false, 0, 1, 2},
        {"ActiInput", "DIO_STATUS=0x\n", false, 0, 0, 2},  // a prefix without digits
        {"ActiInput", "DIO_STATUS=0X01\n", false, 0, 0, 2},  // the prefix in capitals
        {"ActiInput", "DIO_STATUS=3\n", true, 1, 2, 4},  // no bit for a third input
        {"ActiInput", "DIO_STATUS=123456789\n", false, 0, 0, 2},
        {"ActiInput", "DIO_STATUS=zz\n", false, 0, 0, 2},
        {"ActiInput", "DIO_STATUS=\n", false, 0, 0, 2},

        // Arecont: one auxiliary input for all.
        {"ArecontInput", "auxin=on\n", true, 1, 0},
        {"ArecontInput", "auxin=on\n", true, 1, 1, 2},
        {"ArecontInput", "auxin=off\n", false, 0, 0},

        // Messoa: "Mode 1" input, "Mode 3" input and motion.
        {"MessoaInput", "Mode 1\n", true, 1, 0},
        {"MessoaInput", "Mode 3\n", true, 1, 1, 2},
        {"MessoaInput", "Mode 2\n", false, 0, 0},
        {"MessoaProInput", "Alarm.Status=1\n", true, 1, 0},
        {"MessoaProInput", "Alarm.Status=40 \n", true, 1, 0},
        {"MessoaProInput", "Alarm.Status=2\n", false, 0, 0},

        // MessoaSDK05: a one-input camera has no input number in its key.
        {"MessoaSDK05Input", "alarm_status=on\n", true, 1, 0, 1},
        {"MessoaSDK05Input", "alarm_0_status=on\n", false, 0, 0, 1},
        {"MessoaSDK05Input", "alarm_0_status=off\nalarm_1_status=on\n", false, 0, 0, 2},
        {"MessoaSDK05Input", "alarm_0_status=off\nalarm_1_status=on\n", true, 1, 1, 2},
        {"MessoaSDK05Input", "{\"system.external_alarm_input1.status\":[\"ok\",\"on\"]}", true, 100, 0, 1, true},
        {"MessoaSDK05Input", "{\"system.external_alarm_input1.status\":[\"ok\",\"off\"]}", false, 0, 0, 1, true},
        {"MessoaSDK05Input", "alarm_status=on\n", false, 0, 0, 1, true},

        // Messoa A02 and Imege: input 1 bare, the others with "_<n>".
        {"MessoaA02Input", "surveillance.eventdido.di_current_state=1\n", true, 100, 0, 1},
        {"MessoaA02Input",
         "surveillance.eventdido.di_current_state=0\nsurveillance.eventdido.di_current_state_2=1\n", false, 0, 0, 2},
        {"MessoaA02Input",
         "surveillance.eventdido.di_current_state=0\nsurveillance.eventdido.di_current_state_2=1\n", true, 100, 1, 2},
        {"MessoaA02Input", "surveillance.eventdido.di_current_state_2=1\n", false, 0, 0, 2},
        {"ImegeInput", "surveillance.eventdido.di_current_state=1\n", true, 100, 0, 1},
        {"ImegeInput", "surveillance.eventdido.di_current_state=0\n", false, 0, 0, 1},

        // Messoa03: modes 1..inputs raise every input.
        {"Messoa03Input", "Mode 1\n", true, 1, 0, 1},
        {"Messoa03Input", "Mode 2\n", false, 0, 0, 1},
        {"Messoa03Input", "Mode 0\nMode \n", false, 0, 0, 1},
        {"Messoa03Input", "@messoa/messoa03_input2_of_2.txt", true, 1, 0, 2},
        {"Messoa03Input", "@messoa/messoa03_input2_of_2.txt", false, 0, 0, 1},

        // Compro and Hunt: a word per input.
        {"ComproInput", "IO.InPort0=Enable\nIO.InPort1=Disable\n", true, 1, 0, 2},
        {"ComproInput", "IO.InPort0=Enable\nIO.InPort1=Disable\n", false, 0, 1, 2},
        {"HuntInput", "Input1Trig=1<br>Input2Trig=0<br>", true, 1, 0, 2},
        {"HuntInput", "Input1Trig=1<br>Input2Trig=0<br>", false, 0, 1, 2},

        // Brickcom and StarDot: an input reading 0 is in alarm.
        {"BrickcomInput", "di1.status=0\ndi2.status=1\n", true, 1, 0, 2},
        {"BrickcomInput", "di1.status=0\ndi2.status=1\n", false, 0, 1, 2},
        {"StarDotInput", "trigger1=0\n", true, 100, 0},
        {"StarDotInput", "trigger1=1\n", false, 0, 0},

        // Storage Options and Foscam share "alarm_status".
        {"StorageInput", "var alarm_status=2;", true, 1, 0},
        {"StorageInput", "var alarm_status=1;", false, 0, 0},
        {"FoscamInput", "var alarm_status=2;", true, 1, 0},
        {"FoscamInput", "var alarm_status=3;", false, 0, 0},
        {"FoscamV2Input", "<CGI_Result>\n  <IOAlarm>2</IOAlarm>\n", true, 100, 0},
        {"FoscamV2Input", "<CGI_Result>\n  <IOAlarm>1</IOAlarm>\n", false, 0, 0},

        // Zavio: "inputN:1", one request per input.
        {"ZavioInput", "input1:1\n", true, 1, 0},
        {"ZavioInput", "input2:1\n", true, 1, 1, 2},
        {"ZavioInput", "input1=1\n", false, 0, 0},

        // Canon: "i.N:=1".
        {"CanonInput", "i.1:=1\ni.2:=0\n", true, 1, 0, 2},
        {"CanonInput", "i.1:=1\ni.2:=0\n", false, 0, 1, 2},

        // Basler: the second action's return value.
        {"BaslerMp4Input", "Return_0=0\nReturn_1=1\n", true, 1, 0},
        {"BaslerMp4Input", "Return_1=0\n", false, 0, 0},

        // Itx: the first inputs' flags; the level is left as it was.
        {"ItxInput", "@itx/status_input2.txt", true, kUntouched, 0, 2},
        {"ItxInput", "@itx/status_input2.txt", true, kUntouched, 1, 2},
        {"ItxInput", "@itx/status_input2.txt", false, kUntouched, 0, 1},
        {"ItxInput", "@itx/status_motion3.txt", false, kUntouched, 0, 4},

        // Bosch: the dec element; the level is left as it was.
        {"BoschInput", "@bosch/rcp_flag_set.xml", true, kUntouched, 0},
        {"BoschInput", "@bosch/rcp_flag_clear.xml", false, kUntouched, 0},
        {"BoschInput", "@bosch/rcp_error.xml", false, kUntouched, 0},

        // Beward and Siemens: a word anywhere.
        {"BewardInput", "SensorAlarm=1\n", true, 1, 0},
        {"BewardInput", "MotionDetection=1\n", false, 0, 0},
        {"SiemensInput", "HTTP/1.1 200 OK\r\n\r\nAlarm\r\n", true, 1, 0},
        {"SiemensInput", "HTTP/1.1 200 OK\r\n\r\nMotion\r\n", false, 0, 0},

        // Shany and Nexcom: status words shared with motion.
        {"ShanyInput", "getalarmstatus=00001 ", true, 1, 0},
        {"ShanyInput", "getalarmstatus=00002 ", false, 0, 0},
        {"NexcomInput", "alarmstatus=1\n", true, 1, 0},
        {"NexcomInput", "alarmstatus=2\n", false, 0, 0},

        // Truen: one sensor key per input.
        {"TruenInput", "GIS_MOTION1=0\nGIS_SENSOR1=0\nGIS_SENSOR2=1\n", false, 0, 0, 2},
        {"TruenInput", "GIS_MOTION1=0\nGIS_SENSOR1=0\nGIS_SENSOR2=1\n", true, 1, 1, 2},
    };
    return cases;
}

}  // namespace cgitest

TEST(CgiInputRules, AnswerGivesTriggerAndLevelPerInput) {
    cgitest::CheckCases(cgitest::InputCases(), RULE_KIND_DI);
}

// Status bytes: byte 33 (0-based) holds one bit per input.
TEST(CgiInputRules, SanyoInputBits) {
    const CgiRuleEntry* e = FindRule(GetCgiRuleTable, "SanyoInput");
    ASSERT_NE(e, nullptr);
    std::string bytes(64, '\0');
    bytes[33] = (char)0x05;  // inputs 0 and 2
    bytes[34] = (char)0x02;  // motion, not an input
    const bool expected[] = {true, false, true, false, false, false, false, false, false};
    for (int port = 0; port < 9; ++port) {
        SCOPED_TRACE("port " + std::to_string(port));
        int value = 0;
        EXPECT_EQ(cgitest::RunRule(*e, bytes, port, CgiRuleState(), value), expected[port]);
        EXPECT_EQ(value, expected[port] ? 1 : 0);
    }
}

// Every polled class has an alarm and a quiet answer in the tables above.
TEST(CgiRules, EveryClassHasAlarmAndQuietCases) {
    std::map<std::string, std::set<bool> > seen;
    for (const RuleCase& c : cgitest::MotionCases()) seen[c.name].insert(c.trig);
    for (const RuleCase& c : cgitest::InputCases()) seen[c.name].insert(c.trig);
    seen["SanyoMotion"] = {true, false};  // byte tables of their own
    seen["SanyoInput"] = {true, false};
    int rows = 0;
    const CgiRuleEntry* table = GetCgiRuleTable(rows);
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(table[i].name);
        EXPECT_EQ(seen[table[i].name].size(), 2u);
    }
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
