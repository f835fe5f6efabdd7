// The polled camera families' trigger tests: this answer gives this trigger
// and this level, motion per camera and inputs per port, grouped per family
// with the quiet, truncated and hostile answers next to the alarms; then the
// checks that hold for every polled class (every test has alarm and quiet
// cases here, and hostile answers are quiet).
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "camdet/rules/cgirules.h"
#include "tests/fixtures/ruletable.h"
#include "tests/fixtures/testutil.h"

namespace cgitest {

// Written into value before a test runs: the classes that do not write the
// level must leave it as it was.
const int kUntouched = -7;

struct RuleCase {
    const char* name;  // the test's name in its rules table
    const char* answer;  // the answer, or "@<family>/<file>" under tests/data
    bool trig;
    int value;
    int port = 0;
    int diCnt = 1;
    bool blGroup11 = false;
    const char* diTrigValue = "";
};

std::string LoadAnswer(const char* answer) { return answer[0] == '@' ? camtest::TestData(answer + 1) : answer; }

CgiRuleState StateOf(const RuleCase& c) {
    CgiRuleState st;
    st.diCnt = c.diCnt;
    st.blGroup11 = c.blGroup11;
    st.diTrigValue = c.diTrigValue;
    return st;
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

std::string Describe(const RuleCase& c) {
    std::string a = c.answer;
    if (a.size() > 60) a = a.substr(0, 60) + "...";
    return std::string(c.name) + " port " + std::to_string(c.port) + " inputs " + std::to_string(c.diCnt) +
           (c.blGroup11 ? " GROUP11" : "") + " answer \"" + a + "\"";
}

// Each case of a table: the class's test gives this trigger and this level.
void CheckCases(const std::vector<RuleCase>& cases, RULE_KIND kind) {
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(Describe(c));
        const CgiRuleEntry* e = FindRule(GetCgiRuleTable, c.name);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->kind, kind);
        int value = 0;
        EXPECT_EQ(RunRule(*e, LoadAnswer(c.answer), c.port, StateOf(c), value), c.trig);
        EXPECT_EQ(value, c.value);
    }
}

const std::vector<RuleCase>& MotionCases() {
    static const std::vector<RuleCase> cases = {
        // Ycam: "key=value;" items.
        {"YcamV2Motion", "motion_0.status=1;", true, 100},
        {"YcamV2Motion", "root.x=2;motion_0.status=1;root.y=0;", true, 100},
        {"YcamV2Motion", "motion_0.status=10;", false, 0},
        {"YcamV2Motion", "motion_0.status", false, 0},
        {"YcamV2Motion", "motion_0.status=0;motion_0.status=1;", false, 0},  // the first item counts

        // Arecont: anything but "no motion" is motion.
        {"ArecontMotion", "mdresult=0 0 1 0 0\n", true, 100},
        {"ArecontMotion", "mdresult=no motion\n", false, 0},
        {"ArecontMotion", "mdresult", false, 0},

        // Messoa: "Mode N" with a space as the separator.
        {"MessoaMotion", "Mode 2\n", true, 100},
        {"MessoaMotion", "AlarmStatus\nMode 3\n", true, 100},
        {"MessoaMotion", "Mode 1\n", false, 0},
        {"MessoaMotion", "Mode 23\n", false, 0},

        // MessoaPro: alarm number up to a space, else up to a line end.
        {"MessoaProMotion", "Alarm.Status=2 \n", true, 100},
        {"MessoaProMotion", "Alarm.Enable=1\nAlarm.Status=3\n", true, 100},
        {"MessoaProMotion", "Alarm.Status=1\n", false, 0},
        {"MessoaProMotion", "Alarm.Status=40\n", false, 0},
        {"MessoaProMotion", "Alarm.Status=\n", false, 0},
        {"MessoaProMotion", "Alarm.Stat", false, 0},

        // MessoaSDK05: key=value firmware, and GROUP11 firmware with JSON-like pairs.
        {"MessoaSDK05Motion", "motion_status=on\nalarm_status=off\n", true, 100},
        {"MessoaSDK05Motion", "motion_status=off\n", false, 0},
        {"MessoaSDK05Motion", "{\"system.motion_alarm.status\":[\"ok\",\"on\"]}", false, 0},
        {"MessoaSDK05Motion", "{\"system.motion_alarm.status\":[\"ok\",\"on\"],\"x\":1}", true, 100, 0, 1, true},
        {"MessoaSDK05Motion", "{\"system.motion_alarm.status\":[\"ok\",\"off\"]}", false, 0, 0, 1, true},
        {"MessoaSDK05Motion", "motion_status=on\n", false, 0, 0, 1, true},

        // Messoa03: motion is the mode after the inputs.
        {"Messoa03Motion", "Mode 2\n", true, 100},
        {"Messoa03Motion", "Mode 1\n", false, 0},
        {"Messoa03Motion", "Mode 3\n", true, 100, 0, 2},
        {"Messoa03Motion", "Mode 2\n", false, 0, 0, 2},
        {"Messoa03Motion", "@messoa/messoa03_input2_of_2.txt", true, 100},
        {"Messoa03Motion", "@messoa/messoa03_input2_of_2.txt", false, 0, 0, 2},

        // Compro: region -1 is none; region 0 is real.
        {"ComproMotion", "Region:0\n", true, 100},
        {"ComproMotion", "Enable:1\nRegion:3\n", true, 100},
        {"ComproMotion", "Region:-1\n", false, 0},
        {"ComproMotion", "Enable:1\n", false, 0},

        // Hunt: items end with "<br>".
        {"HuntMotion", "Motion0_Status=1<br>Motion1_Status=0<br>", true, 100},
        {"HuntMotion", "Motion0_Status=0<br>Motion1_Status=1<br>", false, 0},

        // Brickcom: three windows are watched, the fourth is not.
        {"BrickcomMotion", "window1=0\nwindow2=1\nwindow3=0\n", true, 100},
        {"BrickcomMotion", "window3=1\n", true, 100},
        {"BrickcomMotion", "window1=0\nwindow2=0\nwindow3=0\nwindow4=1\n", false, 0},
        {"BrickcomMotion", "window10=1\n", false, 0},

        // Storage Options: 1 motion, 2 input, 3 both.
        {"StorageMotion", "var alarm_status=1;", true, 100},
        {"StorageMotion", "var alarm_status=3;", true, 100},
        {"StorageMotion", "var alarm_status=2;", false, 0},

        // Zavio V3: level lines; the first window over its threshold wins.
        {"ZavioV3Motion", "group=0;level=30;threshold=50;\ngroup=1;level=60;threshold=50;\n", true, 60},
        {"ZavioV3Motion", "group=0;level=30;threshold=50;\n", false, 30},
        {"ZavioV3Motion", "@zavio/detection_two_over.txt", true, 60},
        {"ZavioV3Motion", "@zavio/detection_quiet.txt", false, 45},
        {"ZavioV3Motion", "group=0;level=50;threshold=50;\n", false, 50},
        {"ZavioV3Motion", "group=0;level=70;\n", false, 70},  // no threshold: a level, never a trigger
        {"ZavioV3Motion", "nothing here\n", false, 0},

        // Canon: "m.1:=1".
        {"CanonMotion", "i.1:=0\nm.1:=1\n", true, 100},
        {"CanonMotion", "m.1:=0\n", false, 0},
        {"CanonMotion", "m.10:=1\n", false, 0},

        // Foscam: alarm_status 1 is motion; V2 answers XML.
        {"FoscamMotion", "var alarm_status=1;\nvar ddns_status=0;", true, 100},
        {"FoscamMotion", "var alarm_status=2;", false, 0},
        {"FoscamV2Motion", "<CGI_Result>\n  <result>0</result>\n  <motionDetectAlarm>2</motionDetectAlarm>\n", true, 100},
        {"FoscamV2Motion", "<CGI_Result>\n  <motionDetectAlarm>1</motionDetectAlarm>\n", false, 0},
        {"FoscamV2Motion", "<CGI_Result>\n  <motionDetectAlarm>2", false, 0},

        // Basler: the second action's return value.
        {"BaslerMp4Motion", "Return_0=0\nReturn_1=1\n", true, 100},
        {"BaslerMp4Motion", "Return_0=1\nReturn_1=0\n", false, 0},

        // Itx: rise_motion flags, four watched; the prefix must scan exactly.
        {"ItxMotion", "@itx/status_motion3.txt", true, 100},
        {"ItxMotion", "@itx/status_input2.txt", false, 0},
        {"ItxMotion", "rise_motion=00001\n", false, 0},
        {"ItxMotion", "RISE_MOTION=1000\n", false, 0},
        {"ItxMotion", "rise_motion=\n", false, 0},
        {"ItxMotion", "rise_motion=0000\nrise_motion=1000\n", false, 0},  // the first line counts
        {"ItxMotion", "@itx/status_beyond_100_lines.txt", false, 0},

        // Raylios: JSON array; level against the configured bound.
        {"RayliosMotion", "[{\"level\":60,\"cfg\":50}]", true, 60},
        {"RayliosMotion", "@raylios/status_over.json", true, 60},
        {"RayliosMotion", "@raylios/status_second_window.json", false, 20},
        {"RayliosMotion", "[{\"level\":50,\"cfg\":50}]", false, 50},
        {"RayliosMotion", "{\"level\":60,\"cfg\":50}", false, 0},
        {"RayliosMotion", "[{\"level\":\"high\",\"cfg\":1}]", false, 0},
        {"RayliosMotion", "[{\"level\":1e300,\"cfg\":1}]", false, 0},
        {"RayliosMotion", "[7]", false, 0},
        {"RayliosMotion", "[{\"level\":60,\"cfg\":", false, 0},
        {"RayliosV2Motion", "[{\"strength\":70,\"threshold\":20}]", true, 70},
        {"RayliosV2Motion", "[{\"strength\":10,\"threshold\":20}]", false, 10},
        {"RayliosV2Motion", "[{\"level\":70,\"cfg\":20}]", false, 0},

        // HiSharp: the motion amount is the level.
        {"HiSharpMotion", "MotionValue=5\n", true, 5},
        {"HiSharpMotion", "MotionValue=100\r\n", true, 100},
        {"HiSharpMotion", "MotionValue=0\n", false, 0},
        {"HiSharpMotion", "MotionValue=none\n", false, 0},
        {"HiSharpMotion", "MotionValue=99999999999999999999\n", true, 2147483647},

        // Bosch: the dec element of the result, white space removed.
        {"BoschMotion", "@bosch/rcp_flag_set.xml", true, 100},
        {"BoschMotion", "@bosch/rcp_flag_clear.xml", false, 0},
        {"BoschMotion", "@bosch/rcp_error.xml", false, 0},
        {"BoschMotion", "<dec>1</dec>", true, 100},
        {"BoschMotion", "<dec>1", false, 0},
        {"BoschMotion", "<dec>451</dec><result><hex>0x01</hex></result>", false, 0},

        // Beward and Siemens: a word anywhere in the answer.
        {"BewardMotion", "MotionDetection=1\n", true, 100},
        {"BewardMotion", "SensorAlarm=1\n", false, 0},
        {"SiemensMotion", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nMotion\r\n", true, 100},
        {"SiemensMotion", "HTTP/1.1 200 OK\r\n\r\nAlarm\r\n", false, 0},
        {"SiemensMotion", "HTTP/1.1 200 OK\r\n\r\nmotion\r\n", false, 0},

        // Shany: five-digit status words.
        {"ShanyMotion", "getalarmstatus=00002 ", true, 100},
        {"ShanyMotion", "getalarmstatus=00003", true, 100},
        {"ShanyMotion", "getalarmstatus=00001 00002", false, 0},

        // Nexcom: 1 input, 2 motion, 3 both.
        {"NexcomMotion", "alarmstatus=2\n", true, 100},
        {"NexcomMotion", "alarmstatus=1\n", false, 0},

        // GrandStream spells it "statu".
        {"GrandStreamMotion", "md_alarm_statu=1\n", true, 100},
        {"GrandStreamMotion", "md_alarm_status=1\n", false, 0},

        // Truen: the first motion window.
        {"TruenMotion", "GIS_MOTION1=1\nGIS_SENSOR1=0\n", true, 100},
        {"TruenMotion", "GIS_MOTION1=0\nGIS_MOTION2=1\n", false, 0},
    };
    return cases;
}

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

using cgitest::kUntouched;
using cgitest::RuleCase;

TEST(CgiMotionRules, AnswerGivesTriggerAndLevel) {
    cgitest::CheckCases(cgitest::MotionCases(), RULE_KIND_MD);
}

// Status bytes: bit value 2 of byte 34 (0-based), whatever the bytes before.
TEST(CgiMotionRules, SanyoStatusByte) {
    const CgiRuleEntry* e = FindRule(GetCgiRuleTable, "SanyoMotion");
    ASSERT_NE(e, nullptr);
    struct {
        size_t size;
        int index;
        unsigned char byte;
        bool trig;
    } cases[] = {
        {64, 34, 0x02, true}, {64, 34, 0xff, true},  {64, 34, 0xfd, false},
        {64, 33, 0x02, false}, {64, 35, 0x02, false}, {34, 33, 0xff, false},  // too short: quiet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("byte " + std::to_string(c.index) + " = " + std::to_string(c.byte));
        std::string bytes(c.size, '\0');  // NUL bytes do not end a binary answer
        bytes[c.index] = (char)c.byte;
        int value = 0;
        EXPECT_EQ(cgitest::RunRule(*e, bytes, 0, CgiRuleState(), value), c.trig);
        EXPECT_EQ(value, c.trig ? 100 : 0);
    }
}

// The loop keeps 4095 characters: a keyword that starts past them is not seen.
TEST(CgiMotionRules, KeywordBeyondTheBufferIsNotSeen) {
    const CgiRuleEntry* e = FindRule(GetCgiRuleTable, "SiemensMotion");
    ASSERT_NE(e, nullptr);
    int value = 0;
    std::string inside = std::string(4089, 'x') + "Motion";
    EXPECT_TRUE(cgitest::RunRule(*e, inside, 0, CgiRuleState(), value));
    std::string cut = std::string(4090, 'x') + "Motion";
    EXPECT_FALSE(cgitest::RunRule(*e, cut, 0, CgiRuleState(), value));
}

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
