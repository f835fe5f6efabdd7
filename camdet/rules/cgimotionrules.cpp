// Motion tests of the polled camera families.
//
// Wire format: one GET per poll; the answer is plain text, mostly
// "key=value" items separated by line ends or ";" (Ycam "motion_0.status=1;",
// Foscam "var alarm_status=1;", Canon "m.1:=1"), XML for Foscam V2 and
// Bosch, a JSON array for Raylios, "group=..;level=..;threshold=..;" lines
// for Zavio V3, binary status bytes for Sanyo, and a raw HTTP answer for
// Siemens. Tests read at most the 4095 characters the loop keeps. An answer
// without the key a test reads is marked unread; Beward and Siemens (whose
// quiet answer lacks the keyword) and Sanyo's bytes cannot tell.
#include <stdio.h>

#include <json/json.h>

#include <memory>

#include "camdet/rules/cgirules.h"
#include "camdet/rules/trigrules.h"

using trig::KeyContains;
using trig::KeyEquals;
using trig::Needed;
using trig::Report;
using trig::Substring;

namespace {

const int kMotion = 100;

// Parses the answer as JSON with the recorder's reader settings: comments
// dropped, nesting bounded so that a hostile answer cannot exhaust the
// detector thread's stack.
bool ParseJson(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = 200;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errs;
    return reader->parse(text.data(), text.data() + text.size(), &root, &errs);
}

// Element 0 of a JSON array: its `level` member as the value, triggered when
// its `bound` member is below it. Anything else reads 0 and quiet, and is
// marked unread.
bool JsonLevelAboveBound(const char* buf, unsigned int len, const char* level, const char* bound, int& value,
                         bool& unread) {
    value = 0;
    Json::Value root;
    if (!Needed(ParseJson(trig::AnswerText(buf, len), root), unread)) return false;
    if (!Needed(root.isArray() && root.size() != 0, unread)) return false;
    const Json::Value& first = root[0u];
    if (!Needed(first.isObject(), unread)) return false;
    auto asInt = [](const Json::Value& v) {
        return (v.isNumeric() || v.isBool()) && v.isConvertibleTo(Json::intValue) ? v.asInt() : 0;
    };
    int lv = asInt(first[level]);
    int bd = asInt(first[bound]);
    value = lv;
    return bd < lv;
}

}  // namespace

bool cgirule::YcamV2Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "motion_0.status", "=", ";", {"1"}, st.unread), kMotion, value);
}

bool cgirule::ArecontMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    bool hit = Needed(trig::KeyValue(buf, len, "mdresult", "=", "\n", v), st.unread) &&
               v.find("no motion") == std::string::npos;
    return Report(hit, kMotion, value);
}

// Status bytes, not text: bit value 2 of byte 34 is the motion flag.
bool cgirule::SanyoMotion(CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(trig::ByteBits(buf, len, 34, 0x02), kMotion, value);
}

// "Mode 2" is motion, "Mode 3" motion and input together.
bool cgirule::MessoaMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Mode", " ", "\n", {"2", "3"}, st.unread), kMotion, value);
}

bool cgirule::MessoaProMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    int alarm = trig::MessoaProAlarmNo(buf, len);
    Needed(alarm >= 0, st.unread);
    return Report(alarm == 2 || alarm == 3, kMotion, value);
}

// GROUP11 firmware answers JSON-like "name":["ok","on"] pairs; older ones key=value.
bool cgirule::MessoaSDK05Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    if (st.blGroup11) {
        Needed(Substring(buf, len, "\"system.motion_alarm.status\""), st.unread);
        return Report(Substring(buf, len, "\"system.motion_alarm.status\":[\"ok\",\"on\"]"), kMotion, value);
    }
    return Report(KeyContains(buf, len, "motion_status", "=", "\n", {"on"}, st.unread), kMotion, value);
}

// Modes 1..inputs are the inputs; the mode after them is motion.
bool cgirule::Messoa03Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    Needed(Substring(buf, len, "Mode "), st.unread);
    return Report(trig::Messoa03Motion(buf, len, st.diCnt), kMotion, value);
}

// "Region:-1" means no region moved; region 0 is a real region.
bool cgirule::ComproMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    return Report(Needed(trig::KeyValue(buf, len, "Region", ":", "\n", v), st.unread) && v != "-1", kMotion, value);
}

// Items end with "<br>" (any of its characters ends the value).
bool cgirule::HuntMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    const bool found = Needed(trig::KeyValue(buf, len, "Motion0_Status", "=", "<br>", v), st.unread);
    return Report(found && v != "0", kMotion, value);
}

// The camera has four windows, but only the first three are watched.
bool cgirule::BrickcomMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    bool any = false;
    for (int window = 1; window <= 3; ++window) {
        std::string v;
        if (!trig::KeyValue(buf, len, "window" + std::to_string(window), "=", "\n", v)) continue;
        any = true;
        if (v == "1") return Report(true, kMotion, value);
    }
    Needed(any, st.unread);
    return Report(false, kMotion, value);
}

// alarm_status: 1 motion, 2 input, 3 both.
bool cgirule::StorageMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarm_status", "=", ";", {"1", "3"}, st.unread), kMotion, value);
}

// One "group=G;level=L;threshold=T;" line per motion window; the level is
// reported even while no window is above its threshold.
bool cgirule::ZavioV3Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    int highest = 0;
    int hitLevel = 0;
    bool anyRead = false;
    bool hit = trig::ForEachLine(buf, len, 256, 0, [&](const char* line) {
        int group = 0, level = 0, threshold = 0;
        int n = sscanf(line, "group=%d;level=%d;threshold=%d;", &group, &level, &threshold);
        if (n >= 2) anyRead = true;
        if (n >= 2 && level > highest) highest = level;
        if (n == 3 && level > threshold) {
            hitLevel = level;
            return true;
        }
        return false;
    });
    Needed(anyRead, st.unread);
    value = hit ? hitLevel : highest;
    return hit;
}

bool cgirule::CanonMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "m.1:", "=", "\n", {"1"}, st.unread), kMotion, value);
}

// alarm_status: 1 motion, 2 input.
bool cgirule::FoscamMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarm_status", "=", ";", {"1"}, st.unread), kMotion, value);
}

// XML items on their own lines; the rest of the line is the value.
bool cgirule::FoscamV2Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    const bool hit = KeyEquals(buf, len, "motionDetectAlarm", ">", "\n", {"2</motionDetectAlarm>"}, st.unread);
    return Report(hit, kMotion, value);
}

bool cgirule::BaslerMp4Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Return_1", "=", "\n", {"1"}, st.unread), kMotion, value);
}

// rise_motion holds one flag character per motion window; four are watched.
bool cgirule::ItxMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    bool hit = Needed(trig::ItxRiseValue(buf, len, "rise_motion", v), st.unread) &&
               v.substr(0, 4).find('1') != std::string::npos;
    return Report(hit, kMotion, value);
}

// [{"level":L,"cfg":C,...}]: motion while the configured bound is below the level.
bool cgirule::RayliosMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return JsonLevelAboveBound(buf, len, "level", "cfg", value, st.unread);
}

bool cgirule::RayliosV2Motion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return JsonLevelAboveBound(buf, len, "strength", "threshold", value, st.unread);
}

// The camera reports a motion amount; any amount is motion.
bool cgirule::HiSharpMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    value = Needed(trig::KeyValue(buf, len, "MotionValue", "=", "\n", v), st.unread) ? trig::DecimalOr(v, 0) : 0;
    return value >= 1;
}

bool cgirule::BoschMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    const std::string dec = trig::BoschDecText(buf, len);
    return Report(Needed(!dec.empty(), st.unread) && dec == "1", kMotion, value);
}

bool cgirule::BewardMotion(CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(Substring(buf, len, "MotionDetection"), kMotion, value);
}

// Asked on a raw socket without authentication; the whole answer is searched.
bool cgirule::SiemensMotion(CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(Substring(buf, len, "Motion"), kMotion, value);
}

// getalarmstatus=NNNNN: 00002 motion, 00001 input, 00003 both.
bool cgirule::ShanyMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyContains(buf, len, "getalarmstatus", "=", " ", {"00002", "00003"}, st.unread), kMotion, value);
}

// alarmstatus: 1 input, 2 motion, 3 both.
bool cgirule::NexcomMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarmstatus", "=", "\n", {"2", "3"}, st.unread), kMotion, value);
}

// The camera spells it "statu".
bool cgirule::GrandStreamMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "md_alarm_statu", "=", "\n", {"1"}, st.unread), kMotion, value);
}

bool cgirule::TruenMotion(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "GIS_MOTION1", "=", "\n", {"1"}, st.unread), kMotion, value);
}
