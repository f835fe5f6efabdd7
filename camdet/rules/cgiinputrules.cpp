// Input tests of the polled camera families.
//
// Wire format: one GET per poll (Airlive, JVC and Zavio: one per input),
// answered with plain "key=value" lines naming the inputs by number
// ("input1=active", "di2.status=0", "Input.I01.Status=low",
// "GIS_SENSOR2=1"), an alarm word shared by motion and input ("Mode 3",
// "alarm_status=2;", "alarmstatus=3"), XML for Foscam V2 and Bosch, a bit
// mask ("DIO_STATUS=0x02") for ACTi, binary status bytes for Sanyo, and a
// raw HTTP answer for Siemens. Inputs are numbered from 0 ("p") or from 1
// ("n") as each camera does. An answer without the key a test reads is
// marked unread; Axis, Vivotek, Beward, Siemens and Sanyo's bytes cannot tell.
#include "camdet/rules/axisrules.h"
#include "camdet/rules/cgirules.h"
#include "camdet/rules/vivotekrules.h"
#include "camdet/rules/trigrules.h"

using trig::KeyContains;
using trig::KeyEquals;
using trig::Needed;
using trig::Report;
using trig::Substring;

namespace {

const int kInput = 1;
const int kInput100 = 100;  // some families report an input at 100

std::string N(int port) { return std::to_string((long long)port + 1); }
std::string P(int port) { return std::to_string(port); }

}  // namespace

// The request names one port; the answer's "input<n>=active" line is read
// whatever n is.
bool cgirule::AxisInput(CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return axisrule::InputActive(buf, len, value);
}

bool cgirule::Vivotek2Input(CgiRuleState&, int port, const char* buf, unsigned int len, int& value) {
    return vivorule::Vivotek2Input(port, buf, len, value);
}

bool cgirule::AirliveInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "input" + N(port), "=", "\n", {"active"}, st.unread), kInput, value);
}

// What an input in alarm reads differs per model; the camera API knows it.
bool cgirule::LevelOneGr5Input(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    bool hit = Needed(trig::KeyValue(buf, len, "Di_Stats", "=", "\n", v), st.unread) && v == st.diTrigValue;
    return Report(hit, kInput100, value);
}

bool cgirule::LevelOneGr1Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "input_" + N(port), "=", "\n", {"1"}, st.unread), kInput, value);
}

// Only input 1 is asked for; it stands for every input.
bool cgirule::LevelOneGr4InputQuery(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Input1", "=", "\n", {"active"}, st.unread), kInput100, value);
}

bool cgirule::YcamV2Input(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "gpio.input_0.status", "=", ";", {"1"}, st.unread), kInput100, value);
}

// "peripheral.input_pin.pin(1).status=make&200": the contact is made.
bool cgirule::JvcInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    const std::string key = "peripheral.input_pin.pin(" + N(port) + ").status";
    return Report(KeyEquals(buf, len, key, "=", " ", {"make&200"}, st.unread), kInput, value);
}

// Inputs are active low.
bool cgirule::EdimaxVPInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "TriggerInStatus" + P(port), "=", "\n", {"low"}, st.unread), kInput100, value);
}

// DIO_STATUS is a hex mask of the input levels; a clear bit is an input in
// alarm. Only two inputs have a bit: from the third on the mask is empty, so
// they always read in alarm. A value without digits or wider than 32 bits
// reads as no alarm.
bool cgirule::ActiInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    std::string v;
    unsigned int mask = 0;
    if (!Needed(trig::KeyValue(buf, len, "DIO_STATUS", " :=", "\n", v) && trig::Hex32(v, mask), st.unread)) {
        return Report(false, kInput, value);
    }
    unsigned int bit = port == 0 ? 0x1 : port == 1 ? 0x2 : 0x0;
    return Report((mask & bit) == 0, kInput, value);
}

bool cgirule::ArecontInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyContains(buf, len, "auxin", "=", "\n", {"on"}, st.unread), kInput, value);
}

// Status bytes, not text: byte 33 holds one bit per input.
bool cgirule::SanyoInput(CgiRuleState&, int port, const char* buf, unsigned int len, int& value) {
    bool hit = port >= 0 && port < 8 && trig::ByteBits(buf, len, 33, 1u << port);
    return Report(hit, kInput, value);
}

// "Input.I00.Status=low": inputs numbered from 0 behind a fixed "0", active low.
bool cgirule::PixordInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Input.I0" + P(port) + ".Status", "=", "\n", {"low"}, st.unread), kInput, value);
}

// "Mode 1" is the input, "Mode 3" input and motion together.
bool cgirule::MessoaInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Mode", " ", "\n", {"1", "3"}, st.unread), kInput, value);
}

// Alarm number 40 is the input on newer firmware.
bool cgirule::MessoaProInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    int alarm = trig::MessoaProAlarmNo(buf, len);
    Needed(alarm >= 0, st.unread);
    return Report(alarm == 1 || alarm == 3 || alarm == 40, kInput, value);
}

// A one-input camera names its input "alarm_status", others "alarm_<p>_status".
bool cgirule::MessoaSDK05Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    if (st.blGroup11) {
        Needed(Substring(buf, len, "\"system.external_alarm_input1.status\""), st.unread);
        return Report(Substring(buf, len, "\"system.external_alarm_input1.status\":[\"ok\",\"on\"]"), kInput100,
                      value);
    }
    std::string key = st.diCnt == 1 ? std::string("alarm_status") : "alarm_" + P(port) + "_status";
    return Report(KeyContains(buf, len, key, "=", "\n", {"on"}, st.unread), kInput, value);
}

// Input 1 is "di_current_state", the others "di_current_state_<n>".
bool cgirule::MessoaA02Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    std::string key = "surveillance.eventdido.di_current_state";
    if (port > 0) key += "_" + N(port);
    return Report(KeyEquals(buf, len, key, "=", "\n", {"1"}, st.unread), kInput100, value);
}

bool cgirule::Messoa03Input(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    Needed(Substring(buf, len, "Mode "), st.unread);
    return Report(trig::Messoa03InputAlarm(buf, len, st.diCnt), kInput, value);
}

// An enabled input port is one in alarm.
bool cgirule::ComproInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    Needed(Substring(buf, len, "IO.InPort" + P(port) + "="), st.unread);
    return Report(Substring(buf, len, "IO.InPort" + P(port) + "=Enable"), kInput, value);
}

bool cgirule::HuntInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    Needed(Substring(buf, len, "Input" + N(port) + "Trig="), st.unread);
    return Report(Substring(buf, len, "Input" + N(port) + "Trig=1"), kInput, value);
}

// Inputs are active low: "di1.status=0" is an alarm.
bool cgirule::BrickcomInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "di" + N(port) + ".status", "=", "\n", {"0"}, st.unread), kInput, value);
}

// alarm_status: 1 motion, 2 input, 3 both.
bool cgirule::StorageInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarm_status", "=", ";", {"2", "3"}, st.unread), kInput, value);
}

bool cgirule::ZavioInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "input" + N(port), ":", "\n", {"1"}, st.unread), kInput, value);
}

bool cgirule::CanonInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "i." + N(port) + ":", "=", "\n", {"1"}, st.unread), kInput, value);
}

// alarm_status: 1 motion, 2 input.
bool cgirule::FoscamInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarm_status", "=", ";", {"2"}, st.unread), kInput, value);
}

bool cgirule::FoscamV2Input(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "IOAlarm", ">", "\n", {"2</IOAlarm>"}, st.unread), kInput100, value);
}

bool cgirule::BaslerMp4Input(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Return_1", "=", "\n", {"1"}, st.unread), kInput, value);
}

// rise_alarm holds one flag character per input; any raised input raises all.
// The level is left as it was.
bool cgirule::ItxInput(CgiRuleState& st, int, const char* buf, unsigned int len, int&) {
    std::string v;
    if (!Needed(trig::ItxRiseValue(buf, len, "rise_alarm", v), st.unread) || st.diCnt <= 0) return false;
    return v.substr(0, (size_t)st.diCnt).find('1') != std::string::npos;
}

// The same firmware as Messoa A02.
bool cgirule::ImegeInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return cgirule::MessoaA02Input(st, port, buf, len, value);
}

// trigger1 reads 0 while the contact is closed.
bool cgirule::StarDotInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "trigger1", "=", "\n", {"0"}, st.unread), kInput100, value);
}

// The level is left as it was.
bool cgirule::BoschInput(CgiRuleState& st, int, const char* buf, unsigned int len, int&) {
    const std::string dec = trig::BoschDecText(buf, len);
    return Needed(!dec.empty(), st.unread) && dec == "1";
}

bool cgirule::BewardInput(CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(Substring(buf, len, "SensorAlarm"), kInput, value);
}

// Asked on a raw socket without authentication; the whole answer is searched.
bool cgirule::SiemensInput(CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(Substring(buf, len, "Alarm"), kInput, value);
}

// getalarmstatus=NNNNN: 00001 input, 00002 motion, 00003 both.
bool cgirule::ShanyInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyContains(buf, len, "getalarmstatus", "=", " ", {"00001", "00003"}, st.unread), kInput, value);
}

// alarmstatus: 1 input, 2 motion, 3 both.
bool cgirule::NexcomInput(CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarmstatus", "=", "\n", {"1", "3"}, st.unread), kInput, value);
}

bool cgirule::TruenInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "GIS_SENSOR" + N(port), "=", "\n", {"1"}, st.unread), kInput, value);
}
