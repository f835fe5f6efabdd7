// Answers of the cameras that report their alarm state only when asked: one
// handler per camera family, each answering the status CGIs of its motion and
// input detectors in the text the camera puts on the wire.
//
// Where a camera reports one combined alarm flag for all of its inputs, the
// flag reads active while any simulated input is active. Where the request
// names an input, that input is answered. Unknown paths answer 404.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "tools/camsim/simtypes.h"

namespace camsim {

namespace {

const char* B(bool b) { return b ? "1" : "0"; }

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    return buf;
}

// Bit 0 input alarm, bit 1 motion: the "0 none, 1 input, 2 motion, 3 both"
// code several OEM firmwares share.
int AlarmCode(const AlarmState& s) { return (s.AnyInput() ? 1 : 0) | (s.motion ? 2 : 0); }

// Decimal n from the query parameter `name`, 0 when absent or not a number.
int IntParam(const Request& r, const std::string& name) { return atoi(r.Param(name).c_str()); }

// A threshold the reported level exceeds exactly while motion is on.
int ThresholdFor(const AlarmState& s) {
    if (!s.motion) return 50;
    return s.motionLevel > 50 ? 50 : s.motionLevel - 1;
}

}  // namespace

// ycamv2: "name=value;" items.
Response HandleYcam(const Request& r, const SimContext& c) {
    if (r.Is("/cgi-bin/param.cgi?action=list&group=motion_0.status"))
        return Response::Text(Fmt("motion_0.status=%s;\n", B(c.state.motion)));
    if (r.Is("/cgi-bin/param.cgi?action=list&group=gpio.input_0.status"))
        return Response::Text(Fmt("gpio.input_0.status=%s;\n", B(c.state.Input(1))));
    return Response::NotFound();
}

// arecont: "/get" or "/get1".."/get4" (lens) with a bare query word.
Response HandleArecont(const Request& r, const SimContext& c) {
    const std::string p = r.path;
    if (!(p == "/get" || (p.size() == 5 && p.compare(0, 4, "/get") == 0 && p[4] >= '1' && p[4] <= '4')))
        return Response::NotFound();
    if (r.query == "mdresult") return Response::Text(c.state.motion ? "mdresult=0 1 2\n" : "mdresult=no motion\n");
    if (r.query == "auxin") return Response::Text(c.state.AnyInput() ? "auxin=on\n" : "auxin=off\n");
    return Response::NotFound();
}

// sanyo: a binary status block; byte 33 holds the inputs (bit per input),
// byte 34 bit value 2 the motion alarm.
Response HandleSanyo(const Request& r, const SimContext& c) {
    if (!r.Is("/liveimg.cgi?pol=1")) return Response::NotFound();
    std::string body(64, ' ');
    unsigned char in = 0;
    for (int i = 0; i < 8 && i < (int)c.state.inputs.size(); ++i) {
        if (c.state.inputs[i]) in |= (unsigned char)(1u << i);
    }
    body[33] = (char)in;
    body[34] = (char)(c.state.motion ? 0x02 : 0x00);
    return Response::Text(body, "application/octet-stream");
}

// messoa: "Mode N" with the OEM alarm code.
Response HandleMessoa(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus")) return Response::NotFound();
    return Response::Text(Fmt("Mode %d\n", AlarmCode(c.state)));
}

// messoa-pro, messoav2: "Alarm.Status=N".
Response HandleMessoaPro(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/admin/param.cgi?action=list&group=Alarm")) return Response::NotFound();
    return Response::Text(Fmt("Alarm.Status=%d\n", AlarmCode(c.state)));
}

// messoasdk05: a JSON-like answer on the GROUP11 firmware, "key=on|off" lines
// on the older one (one input: "alarm_status", more: "alarm_<p>_status").
Response HandleMessoaSdk05(const Request& r, const SimContext& c) {
    if (r.Is("cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status")) {
        return Response::Text(Fmt("{\"system.motion_alarm.status\":[\"ok\",\"%s\"],"
                                  "\"system.external_alarm_input1.status\":[\"ok\",\"%s\"]}\n",
                                  c.state.motion ? "on" : "off", c.state.Input(1) ? "on" : "off"),
                              "application/json");
    }
    if (r.Is("cgi-bin/get_event_status.cgi")) {
        std::string body = Fmt("motion_status=%s\n", c.state.motion ? "on" : "off");
        body += Fmt("alarm_status=%s\n", c.state.Input(1) ? "on" : "off");
        if (c.inputCount > 1) {
            for (int i = 0; i < c.inputCount; ++i)
                body += Fmt("alarm_%d_status=%s\n", i, c.state.Input(i + 1) ? "on" : "off");
        }
        return Response::Text(body);
    }
    return Response::NotFound();
}

// messoa03: one "Mode N" line per active alarm, inputs 1..count, motion count + 1.
Response HandleMessoa03(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus")) return Response::NotFound();
    std::string body;
    for (int i = 1; i <= c.inputCount; ++i) {
        if (c.state.Input(i)) body += Fmt("Mode %d\n", i);
    }
    if (c.state.motion) body += Fmt("Mode %d\n", c.inputCount + 1);
    if (body.empty()) body = "Mode 0\n";
    return Response::Text(body);
}

// compro, comproip530: the triggered motion region (-1: none); input ports
// listed as Enable/Disable.
Response HandleCompro(const Request& r, const SimContext& c) {
    if (r.Is("cgi-bin/view/list_param.cgi?Action=List&Group=MotionDetect"))
        return Response::Text(Fmt("Sensitivity:80\nRegion:%d\n", c.state.motion ? 0 : -1));
    if (r.Is("cgi-bin/admin/param2.cgi?Action=List&Group=IO")) {
        std::string body;
        for (int i = 0; i < c.inputCount; ++i)
            body += Fmt("IO.InPort%d=%s\n", i, c.state.Input(i + 1) ? "Enable" : "Disable");
        return Response::Text(body);
    }
    return Response::NotFound();
}

// hunt: "<br>"-separated items.
Response HandleHunt(const Request& r, const SimContext& c) {
    if (r.Is("GetMotionDetect.cgi")) return Response::Text(Fmt("Motion0_Status=%s<br>", B(c.state.motion)), "text/html");
    if (r.Is("GetGPIO.cgi")) {
        std::string body;
        for (int i = 1; i <= c.inputCount; ++i) body += Fmt("Input%dTrig=%s<br>", i, B(c.state.Input(i)));
        return Response::Text(body, "text/html");
    }
    return Response::NotFound();
}

// brickcom, brickcomv2: four motion windows (motion sets window 1); inputs
// read "0" while active (contacts pull the line low).
Response HandleBrickcom(const Request& r, const SimContext& c) {
    if (r.Is("cgi-bin/motiondetection.cgi?action=getStatus"))
        return Response::Text(Fmt("window1=%s\nwindow2=0\nwindow3=0\nwindow4=0\n", B(c.state.motion)));
    if (r.Is("cgi-bin/gpio.cgi?action=get")) {
        std::string body;
        for (int i = 1; i <= c.inputCount; ++i) body += Fmt("di%d.status=%s\n", i, c.state.Input(i) ? "0" : "1");
        body += "do1.status=0\n";
        return Response::Text(body);
    }
    return Response::NotFound();
}

// storageoptions: "alarm_status=N;" with the OEM alarm code (1 motion, 2
// input, 3 both: bit order swapped against AlarmCode).
Response HandleStorage(const Request& r, const SimContext& c) {
    if (!r.Is("get_status.cgi")) return Response::NotFound();
    int code = (c.state.motion ? 1 : 0) | (c.state.AnyInput() ? 2 : 0);
    return Response::Text(Fmt("var id='000000000001';\nvar alarm_status=%d;\n", code));
}

// zavio: motion levels per detection group, one line each; inputs one per request.
Response HandleZavio(const Request& r, const SimContext& c) {
    if (r.Is("cgi-bin/admin/detection?mode=single&type=motion&group=0,1,2,3,4,5,6,7,8,9")) {
        std::string body = Fmt("group=0;level=%d;threshold=%d;\n", c.state.motionLevel, ThresholdFor(c.state));
        body += "group=1;level=0;threshold=50;\n";
        return Response::Text(body);
    }
    if (r.Is("cgi-bin/admin/input") && r.HasParam("check")) {
        int n = IntParam(r, "check");
        if (n < 1 || n > c.inputCount) return Response::NotFound();
        return Response::Text(Fmt("input%d:%s\n", n, B(c.state.Input(n))));
    }
    return Response::NotFound();
}

// canon: "name:=value" lines.
Response HandleCanon(const Request& r, const SimContext& c) {
    if (!r.Is("/-wvhttp-01-/info.cgi")) return Response::NotFound();
    std::string body = "s.hardware:=VB\n";
    body += Fmt("m.1:=%s\n", B(c.state.motion));
    for (int i = 1; i <= c.inputCount; ++i) body += Fmt("i.%d:=%s\n", i, B(c.state.Input(i)));
    return Response::Text(body);
}

// foscam: JavaScript variables; the camera reports one alarm at a time, motion first.
Response HandleFoscam(const Request& r, const SimContext& c) {
    if (!r.Is("get_status.cgi")) return Response::NotFound();
    int code = c.state.motion ? 1 : (c.state.AnyInput() ? 2 : 0);
    return Response::Text(Fmt("var id='000000000001';\nvar sys_ver='11.37.2.65';\nvar alarm_status=%d;\n", code));
}

// foscam-h264-v2: XML; 0 detection off, 1 no alarm, 2 alarm. The login is in
// the query; a wrong one answers result -2 like the camera.
Response HandleFoscamV2(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/CGIProxy.fcgi") || r.Param("cmd") != "getDevState") return Response::NotFound();
    if (!c.user.empty() && (r.Param("usr") != c.user || r.Param("pwd") != c.password))
        return Response::Text("<CGI_Result>\n<result>-2</result>\n</CGI_Result>\n", "text/xml");
    return Response::Text(Fmt("<CGI_Result>\n<result>0</result>\n<IOAlarm>%d</IOAlarm>\n"
                              "<motionDetectAlarm>%d</motionDetectAlarm>\n<sdState>0</sdState>\n</CGI_Result>\n",
                              c.state.AnyInput() ? 2 : 1, c.state.motion ? 2 : 1),
                          "text/xml");
}

// basler: IO selector 0 is the motion output, 1 the first input.
Response HandleBasler(const Request& r, const SimContext& c) {
    if (!r.Is("/cgi-bin/param_if.cgi") || r.Param("Action_1") != "IO.State.GetValue") return Response::NotFound();
    std::string sel = r.Param("Parameter_0_0");
    bool on;
    if (sel == "0") on = c.state.motion;
    else if (sel == "1") on = c.state.Input(1);
    else return Response::Status(400, "Return_0=-1\n");
    return Response::Text(Fmt("Return_0=0\nReturn_1=%s\n", B(on)));
}

// itx: one character per motion window and per input.
Response HandleItx(const Request& r, const SimContext& c) {
    if (!r.Is("/cgi-bin/action.fcgi?api=get_setup.event.status")) return Response::NotFound();
    std::string alarm;
    for (int i = 1; i <= c.inputCount; ++i) alarm += B(c.state.Input(i));
    if (alarm.empty()) alarm = "0";
    return Response::Text(Fmt("result=ok\nrise_alarm=%s\nrise_motion=%s000\n", alarm.c_str(), B(c.state.motion)));
}

// raylios, rayliosv2: JSON arrays of motion windows.
Response HandleRaylios(const Request& r, const SimContext& c) {
    if (r.Is("sray/motionDetectionStatus.cgi")) {
        return Response::Text(Fmt("[{\"window\":1,\"level\":%d,\"cfg\":%d},{\"window\":2,\"level\":0,\"cfg\":50}]\n",
                                  c.state.motionLevel, ThresholdFor(c.state)),
                              "application/json");
    }
    if (r.Is("sray/getMotionDetectionWindowStrength.cgi")) {
        return Response::Text(Fmt("[{\"window\":1,\"strength\":%d,\"threshold\":%d}]\n", c.state.motionLevel,
                                  ThresholdFor(c.state)),
                              "application/json");
    }
    return Response::NotFound();
}

// hisharp: the current motion value.
Response HandleHiSharp(const Request& r, const SimContext& c) {
    if (!r.Is("/vb.htm?language=ie&getmotionvalue")) return Response::NotFound();
    return Response::Text(Fmt("OK getmotionvalue\nMotionValue=%d\n", c.state.motionLevel));
}

// bosch: RCP over HTTP, the flag in the result's "dec" element; the input
// flag command asks for input `num`.
Response HandleBosch(const Request& r, const SimContext& c) {
    if (!r.Is("/rcp.xml") || r.Param("type") != "F_FLAG" || r.Param("direction") != "READ")
        return Response::NotFound();
    const std::string cmd = r.Param("command");
    bool on;
    if (cmd == "0x01c3") on = c.state.motion;
    else if (cmd == "0x01c0") on = c.state.Input(r.HasParam("num") ? IntParam(r, "num") : 1);
    else return Response::NotFound();
    return Response::Text(Fmt("<rcp>\n<command>\n<hex>%s</hex>\n<dec>%d</dec>\n</command>\n<type>F_FLAG</type>\n"
                              "<direction>READ</direction>\n<num>1</num>\n<result>\n<hex>0x%d</hex>\n"
                              "<dec> %d </dec>\n</result>\n</rcp>\n",
                              cmd.c_str(), (int)strtol(cmd.c_str(), nullptr, 16), on ? 1 : 0, on ? 1 : 0),
                          "text/xml");
}

// beward: the names of the active alarms, one a line; login in the query.
Response HandleBeward(const Request& r, const SimContext& c) {
    if (!r.Is("/cgi-bin/alarmstate_cgi") || r.Param("action") != "get") return Response::NotFound();
    if (!c.user.empty() && (r.Param("user") != c.user || r.Param("pwd") != c.password))
        return Response::Status(401, "Unauthorized\n");
    std::string body = "alarmstate:\n";
    if (c.state.motion) body += "MotionDetection\n";
    if (c.state.AnyInput()) body += "SensorAlarm\n";
    return Response::Text(body);
}

// siemens: asked on a raw socket; the answer names the active alarms.
Response HandleSiemens(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/GetAlarmState.cgi")) return Response::NotFound();
    std::string state;
    if (c.state.motion) state += " Motion";
    if (c.state.AnyInput()) state += " Alarm";
    if (state.empty()) state = " Idle";
    return Response::Text("State:" + state + "\n");
}

// shany: five-digit alarm code.
Response HandleShany(const Request& r, const SimContext& c) {
    if (!r.Is("/vb.htm?getalarmstatus")) return Response::NotFound();
    return Response::Text(Fmt("OK getalarmstatus=%05d\n", AlarmCode(c.state)));
}

// nexcom: the OEM alarm code.
Response HandleNexcom(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/get_eventaction.cgi?alarmstatus")) return Response::NotFound();
    return Response::Text(Fmt("alarmstatus=%d\n", AlarmCode(c.state)));
}

// grandstream: motion flag only.
Response HandleGrandStream(const Request& r, const SimContext& c) {
    if (!r.Is("goform/motiondetect?cmd=get_md_statu")) return Response::NotFound();
    return Response::Text(Fmt("md_alarm_statu=%s\n", B(c.state.motion)));
}

// truen: the requested state names, each with its value.
Response HandleTruen(const Request& r, const SimContext& c) {
    if (!r.Is("/httpapi/GetState") || r.Param("action") != "getinput") return Response::NotFound();
    std::string body;
    for (int i = 1; i <= 4; ++i) {
        std::string name = Fmt("GIS_MOTION%d", i);
        if (r.HasParam(name)) body += name + "=" + B(i == 1 && c.state.motion) + "\n";
    }
    for (int i = 1; i <= 4; ++i) {
        std::string name = Fmt("GIS_SENSOR%d", i);
        if (r.HasParam(name)) body += name + "=" + B(c.state.Input(i)) + "\n";
    }
    return Response::Text(body);
}

// airlive family: one input per request.
Response HandleAirlive(const Request& r, const SimContext& c) {
    if (!r.Is("io/input.cgi") || !r.HasParam("checkactive")) return Response::NotFound();
    int n = IntParam(r, "checkactive");
    if (n < 1 || n > c.inputCount) return Response::NotFound();
    return Response::Text(Fmt("input%d=%s\n", n, c.state.Input(n) ? "active" : "inactive"));
}

// level1gr5: one input status word for all inputs; the recorder's camera API
// knows which value means alarm (1 by default).
Response HandleLevelOneGr5(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/config_dido.cgi?Act=1")) return Response::NotFound();
    return Response::Text(Fmt("Di_Stats=%s\nDo_Stats=0\n", B(c.state.AnyInput())));
}

// level1gr1: "input_<n>=0|1".
Response HandleLevelOneGr1(const Request& r, const SimContext& c) {
    if (!r.Is("io/query_io.cgi")) return Response::NotFound();
    std::string body;
    for (int i = 1; i <= c.inputCount; ++i) body += Fmt("input_%d=%s\n", i, B(c.state.Input(i)));
    body += "output_1=0\n";
    return Response::Text(body);
}

// level1gr4: input 1 only.
Response HandleLevelOneGr4(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/io/input.cgi") || !r.HasParam("checkactive")) return Response::NotFound();
    int n = IntParam(r, "checkactive");
    if (n < 1 || n > c.inputCount) return Response::NotFound();
    return Response::Text(Fmt("Input%d=%s\n", n, c.state.Input(n) ? "active" : "inactive"));
}

// jvc: "peripheral.input_pin.pin(<n>).status" asked one input at a time;
// "make" is a closed contact, "break" an open one.
Response HandleJvc(const Request& r, const SimContext& c) {
    static const std::string kPre = "peripheral.input_pin.pin(";
    if (!r.Is("/api/param") || r.query.compare(0, kPre.size(), kPre) != 0) return Response::NotFound();
    int n = atoi(r.query.c_str() + kPre.size());
    if (n < 1 || n > c.inputCount || r.query != Fmt("%s%d).status", kPre.c_str(), n)) return Response::NotFound();
    return Response::Text(Fmt("%s=%s&200 OK\n", r.query.c_str(), c.state.Input(n) ? "make" : "break"));
}

// edimaxvp: input level per port (from 0), "low" while active.
Response HandleEdimax(const Request& r, const SimContext& c) {
    if (!r.Is("/cgi/admin/param.cgi?action=list&group=GPIO")) return Response::NotFound();
    std::string body;
    for (int i = 0; i < c.inputCount; ++i)
        body += Fmt("TriggerInStatus%d=%s\n", i, c.state.Input(i + 1) ? "low" : "high");
    return Response::Text(body);
}

// acti: input bits in hexadecimal, a bit clear while its input is active.
Response HandleActi(const Request& r, const SimContext& c) {
    if (!r.Is("cgi-bin/cmd/system?DIO_STATUS")) return Response::NotFound();
    unsigned bits = 0;
    for (int i = 0; i < 8; ++i) {
        if (!c.state.Input(i + 1)) bits |= 1u << i;
    }
    return Response::Text(Fmt("DIO_STATUS=%02X\n", bits & ((1u << (c.inputCount < 8 ? c.inputCount : 8)) - 1)));
}

// pixordv1: "Input.I0<p>.Status", "low" while active.
Response HandlePixord(const Request& r, const SimContext& c) {
    if (!r.Is("/cgi-bin/admin/gpiostatus.cgi")) return Response::NotFound();
    std::string body;
    for (int i = 0; i < c.inputCount; ++i)
        body += Fmt("Input.I0%d.Status=%s\n", i, c.state.Input(i + 1) ? "low" : "high");
    return Response::Text(body);
}

// messoaa02, imege: every asked parameter with its value; input 1 is the
// unnumbered name, input n the name + "_n".
Response HandleMessoaA02(const Request& r, const SimContext& c) {
    static const std::string kName = "surveillance.eventdido.di_current_state";
    if (!r.Is("/operator/get_param.cgi")) return Response::NotFound();
    std::string body;
    size_t pos = 0;
    while (pos <= r.query.size()) {
        size_t amp = r.query.find('&', pos);
        std::string item = r.query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        int n = 0;
        if (item == kName) n = 1;
        else if (item.compare(0, kName.size() + 1, kName + "_") == 0) n = atoi(item.c_str() + kName.size() + 1);
        if (n >= 1 && n <= c.inputCount) body += item + "=" + B(c.state.Input(n)) + "\n";
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    if (body.empty()) return Response::NotFound();
    return Response::Text(body);
}

// stardot: "trigger1" reads 0 while the input is active.
Response HandleStarDot(const Request& r, const SimContext& c) {
    if (!r.Is("/io.cgi")) return Response::NotFound();
    return Response::Text(Fmt("trigger1=%s\noutput1=0\n", c.state.Input(1) ? "0" : "1"));
}

}  // namespace camsim
