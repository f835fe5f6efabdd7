// Simulated cameras that push their events on a long-lived multipart response.
//
// HikVision: both generations' alert streams ("/Event/notification/alertStream",
// "/ISAPI/Event/notification/alertStream"), multipart/mixed with one XML
// notification per part. While an alarm is on, its "active" notification is
// repeated every second; when it ends one "inactive" notification is sent;
// with nothing on, a "videoloss inactive" heartbeat goes out every second.
//
// The status-push families send their whole status as one part whenever it
// changes and at least once a second, in the text their cameras use.
#include <stdio.h>
#include <string.h>

#include "tools/camsim/simtypes.h"

namespace camsim {

namespace {

const int kTickMs = 1000;

std::string Part(const std::string& boundaryLine, const std::string& contentType, const std::string& body,
                 const std::string& extraHeaders = std::string()) {
    return boundaryLine + "\r\nContent-Type: " + contentType + "\r\n" + extraHeaders +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n";
}

// ---------------------------------------------------------------- HikVision

std::string HikAlert(bool isapi, const std::string& type, bool active, int port, int count) {
    const char* ns = isapi ? "http://www.hikvision.com/ver20/XMLSchema" : "http://www.hikvision.com/ver10/XMLSchema";
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<EventNotificationAlert version=\"" +
                    std::string(isapi ? "2.0" : "1.0") + "\" xmlns=\"" + ns + "\">\r\n";
    s += "<ipAddress>127.0.0.1</ipAddress>\r\n<portNo>80</portNo>\r\n<protocol>HTTP</protocol>\r\n";
    s += "<macAddress>44:19:b6:00:00:01</macAddress>\r\n<channelID>1</channelID>\r\n";
    s += "<dateTime>2024-03-01T10:00:00+08:00</dateTime>\r\n";
    s += "<activePostCount>" + std::to_string(count) + "</activePostCount>\r\n";
    if (port > 0) s += "<inputIOPortID>" + std::to_string(port) + "</inputIOPortID>\r\n";
    s += "<eventType>" + type + "</eventType>\r\n";
    s += "<eventState>" + std::string(active ? "active" : "inactive") + "</eventState>\r\n";
    s += "<eventDescription>" + type + " alarm</eventDescription>\r\n</EventNotificationAlert>\r\n";
    return s;
}

// The notifications one state calls for: repeats of every active alarm, the
// "inactive" of every alarm that ended since `prev`, or a heartbeat.
std::vector<std::string> HikParts(bool isapi, const AlarmState& prev, const AlarmState& now, int count) {
    std::vector<std::string> parts;
    auto one = [&](const char* type, bool was, bool is, int port) {
        if (is) parts.push_back(HikAlert(isapi, type, true, port, count));
        else if (was) parts.push_back(HikAlert(isapi, type, false, port, 1));
    };
    one("VMD", prev.motion, now.motion, 0);
    for (size_t i = 0; i < now.inputs.size(); ++i)
        one("IO", i < prev.inputs.size() && prev.inputs[i], now.inputs[i], (int)i + 1);
    one("shelteralarm", prev.tamper, now.tamper, 0);
    one("audioexception", prev.audio, now.audio, 0);
    if (parts.empty()) parts.push_back(HikAlert(isapi, "videoloss", false, 0, 1));
    return parts;
}

Response HikStream(bool isapi) {
    Response r;
    r.headers.push_back({"Content-Type", "multipart/mixed; boundary=boundary"});
    r.stream = [isapi](StreamWriter& w) {
        AlarmState prev = w.State();
        prev.motion = prev.tamper = prev.audio = false;
        prev.inputs.assign(prev.inputs.size(), false);
        uint64_t seen = 0;
        int count = 1;
        while (w.Alive()) {
            AlarmState now = w.State();
            seen = now.version;
            for (const std::string& body : HikParts(isapi, prev, now, count)) {
                if (!w.Write(Part("--boundary", "application/xml; charset=\"UTF-8\"", body))) return;
            }
            prev = now;
            ++count;
            if (!w.WaitChange(seen, kTickMs)) return;
        }
    };
    return r;
}

// ---------------------------------------------------------------- status push

typedef std::string (*StatusFn)(const AlarmState& s, const Request& req);

// One part per change and per tick. header: extra part header lines made
// from the state (may be null); the content type of the parts.
Response StatusPush(const Request& req, StatusFn body, StatusFn header, const char* contentType,
                    const char* boundary = "myboundary", bool dashes = true) {
    Response r;
    r.headers.push_back({"Content-Type", std::string("multipart/x-mixed-replace; boundary=") + boundary});
    const std::string line = (dashes ? "--" : "") + std::string(boundary);
    const std::string type = contentType;
    Request copy = req;
    r.stream = [copy, body, header, line, type](StreamWriter& w) {
        uint64_t seen = 0;
        while (w.Alive()) {
            AlarmState s = w.State();
            seen = s.version;
            std::string extra = header ? header(s, copy) : std::string();
            if (!w.Write(Part(line, type, body(s, copy), extra))) return;
            if (!w.WaitChange(seen, kTickMs)) return;
        }
    };
    return r;
}

const char* B(bool v) { return v ? "1" : "0"; }

std::string SonyBody(const AlarmState& s, const Request&) {
    std::string t = std::string("MDWin1=") + B(s.motion) + "\nMDWin2=0\n";
    for (size_t i = 0; i < s.inputs.size(); ++i) t += "Sensor" + std::to_string(i + 1) + "=" + B(s.inputs[i]) + "\n";
    return t;
}

std::string SamsungBody(const AlarmState& s, const Request& r) {
    const std::string m = r.Param("msubmenu");
    if (m == "motion") return std::string("motion:") + (s.motion ? "H" : "L") + "\n";
    if (m == "audio") return std::string("audio:") + (s.audio ? "H" : "L") + "\n";
    if (m == "tampering") return std::string("tampering:") + (s.tamper ? "H" : "L") + "\n";
    std::string t;
    for (size_t i = 0; i < s.inputs.size(); ++i) {
        char key[16];
        snprintf(key, sizeof(key), "IO%02d:", (int)i + 1);
        t += std::string(key) + (s.inputs[i] ? "H" : "L") + "\n";
    }
    return t;
}

std::string HitronBody(const AlarmState& s, const Request&) {
    return std::string("motion=") + B(s.motion) + "\nalarm=" + B(s.AnyInput()) + "\ntampering=" + B(s.tamper) + "\n";
}

std::string AlinkingBody(const AlarmState& s, const Request&) {
    return std::string("Motion.M0.Status=\"") + B(s.motion) + "\";\nInput.I0.Status=\"" + B(s.AnyInput()) +
           "\";\nBlind.B0.Status=\"" + B(s.tamper) + "\";\n";
}

std::string LilinBody(const AlarmState& s, const Request&) {
    return std::string("MotionDetect=") + B(s.motion) + "\r\nAlarmInputDetect=" + B(s.AnyInput()) + "\r\n";
}

std::string AcumenBody(const AlarmState& s, const Request&) {
    return std::string("MotionDetect=") + B(s.motion) + "\nAlarmInputDetect=" + B(s.AnyInput()) + "\n";
}

std::string DLinkBody(const AlarmState& s, const Request& r) {
    if (r.path == "/iocontrol.cgi") {
        std::string t;
        for (size_t i = 0; i < s.inputs.size(); ++i)
            t += (i ? "&" : "") + std::string("Trigger") + std::to_string(i + 1) + "=" + B(s.inputs[i]);
        return t;
    }
    std::string frame(32, '\0');  // binary motion frame: byte 0 is the flag
    frame[0] = s.motion ? 1 : 0;
    return frame;
}

std::string OncamBody(const AlarmState& s, const Request& r) {
    if (r.path == "/io/input.cgi") return std::string("state0:") + (s.AnyInput() ? "L" : "H") + "\n";
    return std::string("alarm=") + B(s.motion) + "\n";
}

std::string EtrovisionBody(const AlarmState& s, const Request&) {
    std::string t = std::string("md1=") + (s.motion ? "on" : "off") + "\n";
    for (size_t i = 0; i < s.inputs.size(); ++i)
        t += "input" + std::to_string(i + 1) + "=" + (s.inputs[i] ? "on" : "off") + "\n";
    return t;
}

// Inputs are active low on these models.
std::string PanaBody(const AlarmState& s, const Request&) {
    std::string t = std::string("motiondetect ") + (s.motion ? "T" : "F") + "\n";
    for (size_t i = 0; i < s.inputs.size(); ++i)
        t += "terminal" + std::to_string(i + 1) + " I " + (s.inputs[i] ? "L" : "H") + "\n";
    return t;
}

std::string IpuxBody(const AlarmState& s, const Request&) {
    // Frame header: byte 24 the motion level, byte 27 the input bits. The
    // recorder reads byte 24 signed, so the level stays within 0..127.
    std::string h(32, '\0');
    h[24] = (char)(s.motion ? s.motionLevel * 127 / 100 : 0);
    int bits = 0;
    for (size_t i = 0; i < s.inputs.size() && i < 3; ++i) bits |= s.inputs[i] ? 1 << i : 0;
    h[27] = (char)bits;
    return h;
}

std::string IQeyeMotionData(const AlarmState& s, const Request&) {
    return "window=0;level=" + std::to_string(s.motion ? s.motionLevel : 0) + ";threshold=30\n";
}

std::string TinyJpeg(const AlarmState&, const Request& r) {
    if (r.Param("noimage").size() || r.target.find("noimage") != std::string::npos) return std::string();
    return std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00\xff\xd9", 15);
}

std::string IQeyePragma(const AlarmState& s, const Request& r) {
    std::string t;
    if (r.Param("pragma") == "motion" && s.motion) t = "motion";
    if (r.Param("pragma") == "trigger" && s.AnyInput()) t = "input";
    return "Pragma: trigger=" + (t.empty() ? std::string("none") : t) + "\r\n";
}

std::string EdimaxHeader(const AlarmState& s, const Request&) {
    return std::string("motion-event: ") + B(s.motion) + "\r\n";
}



// Families whose keys a polling row serves: their stream answers, for that
// row's handler to hand stream paths to (NotFound for any other path).
int LevelOf(const AlarmState& s) { return s.motion ? s.motionLevel : 0; }

std::string AirliveBody(const AlarmState& s, const Request&) {
    // Both forms: level lines, and (while motion is on) the event line whose
    // id changes with every new motion event.
    std::string t = "group=1;level=" + std::to_string(LevelOf(s)) + ";threshold=50;\n";
    if (s.motion) t += "Event: Dynamic motion id=" + std::to_string(s.version) + "\n";
    return t;
}

std::string ZavioBody(const AlarmState& s, const Request& r) {
    const bool vga = r.Header("x-camsim-api") == "zaviovga";
    const int scale = vga ? 10 : 1;
    return "group=1;level=" + std::to_string(LevelOf(s) * scale) + ";threshold=" + std::to_string(50 * scale) +
           ";\ngroup=2;level=0;threshold=" + std::to_string(50 * scale) + ";\n";
}

std::string EdimaxVPBody(const AlarmState& s, const Request&) {
    std::string h(32, '\0');  // frame header: window levels at bytes 24..26
    h[25] = (char)LevelOf(s);
    return h;
}

std::string PixordBody(const AlarmState& s, const Request&) { return "level=" + std::to_string(LevelOf(s)) + ";"; }

std::string ObjectSizeBody(const AlarmState& s, const Request&) {
    return "value=" + std::to_string(LevelOf(s)) + ";objectsize=10;\n";
}

std::string LevelOneT0Body(const AlarmState& s, const Request&) {
    return std::string("Group=T0\nTriggered=") + B(s.tamper) + "\n";
}
}  // namespace

Response HandleHikVision(const Request& req, const SimContext&) {
    if (req.Is("/ISAPI/Event/notification/alertStream")) return HikStream(true);
    if (req.Is("/Event/notification/alertStream")) return HikStream(false);
    return Response::NotFound();
}

Response HandlePsia(const Request& req, const SimContext&) {
    if (req.Is("/PSIA/Custom/Event/notification/alertStream")) return HikStream(false);
    return Response::NotFound();
}

Response HandleSony(const Request& req, const SimContext&) {
    if (req.path != "/command/alarmdata.cgi") return Response::NotFound();
    return StatusPush(req, &SonyBody, nullptr, "text/plain");
}

Response HandleSamsung(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/control.cgi" || req.Param("action") != "monitor") return Response::NotFound();
    return StatusPush(req, &SamsungBody, nullptr, "text/plain", "SamsungTechwin");
}

Response HandleHitron(const Request& req, const SimContext&) {
    if (req.path != "/stream/event_stream.php") return Response::NotFound();
    // Announces the boundary with its dashes and writes it without extra ones.
    return StatusPush(req, &HitronBody, nullptr, "text/plain", "--eventboundary", false);
}

Response HandleAlinking(const Request& req, const SimContext&) {
    if (req.path != "/eventdata.cgi") return Response::NotFound();
    return StatusPush(req, &AlinkingBody, nullptr, "text/plain");
}

Response HandleLilin(const Request& req, const SimContext&) {
    if (req.path != "/getalarmmotion") return Response::NotFound();
    return StatusPush(req, &LilinBody, nullptr, "text/plain");
}

Response HandleAcumen(const Request& req, const SimContext&) {
    if (req.path != "/getalarmmotion") return Response::NotFound();
    return StatusPush(req, &AcumenBody, nullptr, "text/plain");
}

Response HandleDLinkV9(const Request& req, const SimContext&) {
    if (req.path == "/mdjpeg.cgi") return StatusPush(req, &DLinkBody, nullptr, "application/octet-stream");
    if (req.path == "/iocontrol.cgi") return StatusPush(req, &DLinkBody, nullptr, "text/plain");
    return Response::NotFound();
}

Response HandleOncam(const Request& req, const SimContext&) {
    if (req.path != "/io/motiondata.cgi" && req.path != "/io/input.cgi") return Response::NotFound();
    return StatusPush(req, &OncamBody, nullptr, "text/plain");
}

Response HandleEtrovision(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/event_push.cgi") return Response::NotFound();
    return StatusPush(req, &EtrovisionBody, nullptr, "text/plain");
}

Response HandlePanasonic(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/eventstatus.cgi") return Response::NotFound();
    return StatusPush(req, &PanaBody, nullptr, "text/plain");
}

Response HandleIpux(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/eventstream.cgi") return Response::NotFound();
    return StatusPush(req, &IpuxBody, nullptr, "application/octet-stream");
}

Response HandleIQeye(const Request& req, const SimContext&) {
    if (req.path == "/now.motiondata") return StatusPush(req, &IQeyeMotionData, nullptr, "text/plain");
    if (req.path == "/now.jpg" && req.Param("snap") == "spush")
        return StatusPush(req, &TinyJpeg, &IQeyePragma, "image/jpeg");
    return Response::NotFound();
}

Response HandleEdimaxPush(const Request& req, const SimContext&) {
    if (req.path != "/mjpg/motion.cgi") return Response::NotFound();
    return StatusPush(req, &TinyJpeg, &EdimaxHeader, "image/jpeg");
}

// Stream answers of families served by polling rows (see above).
Response HandleAirlivePush(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/motion_push.cgi") return Response::NotFound();
    return StatusPush(req, &AirliveBody, nullptr, "text/plain");
}

Response HandleZavioPush(const Request& req, const SimContext& ctx) {
    if (req.path != "/cgi-bin/mdlevel.cgi") return Response::NotFound();
    Request r = req;
    r.headers["x-camsim-api"] = ctx.api;
    return StatusPush(r, &ZavioBody, nullptr, "text/plain");
}

Response HandleEdimaxVPPush(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/mdlevel_push.cgi") return Response::NotFound();
    return StatusPush(req, &EdimaxVPBody, nullptr, "application/octet-stream");
}

Response HandlePixordPush(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/motionlevel.cgi") return Response::NotFound();
    return StatusPush(req, &PixordBody, nullptr, "text/plain");
}

Response HandleObjectSizePush(const Request& req, const SimContext&) {
    if (req.path != "/operator/get_md.cgi") return Response::NotFound();
    return StatusPush(req, &ObjectSizeBody, nullptr, "text/plain");
}

Response HandleLevelOneGr4Push(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/admin/eventdata.cgi" || req.Param("group") != "T0") return Response::NotFound();
    return StatusPush(req, &LevelOneT0Body, nullptr, "text/plain");
}

}  // namespace camsim
