// Motion tests of the polled camera families: this answer gives this trigger
// and this level, grouped per family, with the quiet, truncated and hostile
// answers next to the alarms.
#include <gtest/gtest.h>

#include "tests/unit/rules/cgirulecases.h"
#include "tests/fixtures/ruletable.h"

using cgitest::RuleCase;

namespace cgitest {

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

}  // namespace cgitest

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
