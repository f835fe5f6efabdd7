// Simulated cameras that push events as text lines or binary records, and
// the own-loop families:
//
// Dahua: the event manager ("/cgi-bin/eventManager.cgi?action=attach&..."),
//   multipart text parts with "--myboundary", one event line per part
//   ("Code=VideoMotion;action=Start;index=0"), Content-Length written with
//   and without a space as the cameras do, a "Heartbeat" part every second,
//   and a leading CRLF before the first boundary.
// D-Link: "/config/notify_stream.cgi", key=value lines of the whole state on
//   every change and every second.
// EverFocus: 308-byte records (byte 48 inputs, byte 56 motion); Y-cam:
//   "/stream.arm", 8-byte records (byte 0 window 0's level, byte 4 bit 0).
// LevelOne GR4: lines on the camera's own TCP port, "EV,<level hex>$..." with
//   the input bits at the offsets the cameras use, twice a second.
// ACTi: the binary event connection on the camera's own port: a 128-byte
//   login and its answer, 12-byte event headers (with and without payload)
//   twice a second while motion is on; keep-alive packets are read past.
// Mobotix: "/control/event.jpg?output=alarmupdate[&filter=SI]", a first line
//   carrying the alarm counter (how often motion or an input went on).
// LevelOne GR2: the motion windows at "cgi-bin/admin/param?action=list&
//   group=Motion", region levels on TCP port 19999, one line per connection.
#include <stdio.h>
#include <string.h>

#include "tools/camsim/simtypes.h"

namespace camsim {

namespace {

const int kTickMs = 1000;

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[(size_t)i] = (char)(v >> (8 * i));
    return s;
}

// ---------------------------------------------------------------- Dahua

std::string DahuaPart(const std::string& body, bool space) {
    return "--myboundary\r\nContent-Type: text/plain\r\nContent-Length:" + std::string(space ? " " : "") +
           std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n\r\n";
}

std::vector<std::string> DahuaEvents(const AlarmState& prev, const AlarmState& now) {
    std::vector<std::string> ev;
    auto one = [&](const char* code, bool was, bool is, int index) {
        if (was != is)
            ev.push_back(std::string("Code=") + code + ";action=" + (is ? "Start" : "Stop") +
                         ";index=" + std::to_string(index));
    };
    one("VideoMotion", prev.motion, now.motion, 0);
    for (size_t i = 0; i < now.inputs.size(); ++i)
        one("AlarmLocal", i < prev.inputs.size() && prev.inputs[i], now.inputs[i], (int)i);
    one("VideoBlind", prev.tamper, now.tamper, 0);
    return ev;
}

Response DahuaStream() {
    Response r;
    r.headers.push_back({"Content-Type", "multipart/x-mixed-replace; boundary=myboundary"});
    r.stream = [](StreamWriter& w) {
        AlarmState prev = w.State();
        prev.motion = prev.tamper = false;
        prev.inputs.assign(prev.inputs.size(), false);
        uint64_t seen = 0;
        bool space = true;
        if (!w.Write("\r\n")) return;
        while (w.Alive()) {
            AlarmState now = w.State();
            seen = now.version;
            std::vector<std::string> ev = DahuaEvents(prev, now);
            if (ev.empty()) ev.push_back("Heartbeat");
            for (const std::string& e : ev) {
                if (!w.Write(DahuaPart(e, space))) return;
                space = !space;
            }
            prev = now;
            if (!w.WaitChange(seen, kTickMs)) return;
        }
    };
    return r;
}

// ---------------------------------------------------------------- D-Link

std::string DLinkLines(const AlarmState& s) {
    std::string t = std::string("md1=") + (s.motion ? "on" : "off") + "\n";
    t += "mdv1=" + std::to_string(s.motion ? s.motionLevel : 0) + "\n";
    for (size_t i = 0; i < s.inputs.size(); ++i)
        t += "input" + std::to_string(i + 1) + "=" + (s.inputs[i] ? "on" : "off") + "\n";
    t += "audio_detected_val=" + std::string(s.audio ? "90" : "0") + "\n";
    return t;
}

typedef std::string (*UnitFn)(const AlarmState& s);

// One unit (lines or a record) per change and per tick, close-delimited.
// Records go one byte short under the short-records fault.
Response Push(const char* contentType, UnitFn unit, bool records = false) {
    Response r;
    r.headers.push_back({"Content-Type", contentType});
    r.stream = [unit, records](StreamWriter& w) {
        uint64_t seen = 0;
        while (w.Alive()) {
            AlarmState s = w.State();
            seen = s.version;
            std::string u = unit(s);
            if (records && w.FaultOn(kFaultShortRecords) && !u.empty()) u.pop_back();
            if (!w.Write(u)) return;
            if (!w.WaitChange(seen, kTickMs)) return;
        }
    };
    return r;
}

std::string EverFocusRecord(const AlarmState& s) {
    std::string r(308, '\0');
    r[48] = s.AnyInput() ? 1 : 0;
    r[56] = s.motion ? 1 : 0;
    return r;
}

std::string YcamRecord(const AlarmState& s) {
    std::string r(8, '\0');
    r[0] = (char)(s.motion ? s.motionLevel : 0);
    r[4] = s.motion ? 1 : 0;
    return r;
}

// ---------------------------------------------------------------- Mobotix

std::string MobotixLine(const AlarmState& s, bool inputs) {
    if (inputs) return "SI;alarmcounter=" + std::to_string((int32_t)s.inputEvents) + ";\r\n";
    return "ox_md_ima;alarmcounter=" + std::to_string((int32_t)s.motionEvents) + ";level=" +
           std::to_string(s.motionLevel) + ";\r\n";
}

}  // namespace

Response HandleDahua(const Request& req, const SimContext&) {
    if (req.path != "/cgi-bin/eventManager.cgi" || req.Param("action") != "attach") return Response::NotFound();
    return DahuaStream();
}

Response HandleDLinkNotify(const Request& req, const SimContext&) {
    if (req.path != "/config/notify_stream.cgi") return Response::NotFound();
    return Push("text/plain", &DLinkLines);
}

Response HandleEverFocus(const Request& req, const SimContext&) {
    if (req.path != "/PSIA/Custom/Everfocus/events") return Response::NotFound();
    return Push("application/octet-stream", &EverFocusRecord, true);
}

Response HandleYcamArm(const Request& req, const SimContext&) {
    if (req.path != "/stream.arm") return Response::NotFound();
    return Push("application/octet-stream", &YcamRecord, true);
}

Response HandleMobotix(const Request& req, const SimContext& ctx) {
    if (req.path != "/control/event.jpg" || req.Param("output") != "alarmupdate") return Response::NotFound();
    return Response::Text(MobotixLine(ctx.state, req.Param("filter") == "SI") + "event list end\r\n");
}

Response HandleLevelOneGr2(const Request& req, const SimContext&) {
    if (!req.Is("cgi-bin/admin/param?action=list&group=Motion")) return Response::NotFound();
    return Response::Text(
        "Motion.M0.Enabled=yes\nMotion.M0.Sensitivity=70\nMotion.M0.Threshold=300\n"
        "Motion.M0.Left=0\nMotion.M0.Top=0\nMotion.M0.Right=320\nMotion.M0.Bottom=240\n"
        "Motion.M1.Enabled=yes\nMotion.M1.Threshold=300\nMotion.M2.Enabled=no\nMotion.M2.Threshold=10\n");
}

// Region 1 follows the motion level (times ten, the camera's scale).
void RawLevelOneGr2(RawConn& conn) {
    const AlarmState s = conn.State();
    conn.Write("R1=" + std::to_string(s.motion ? s.motionLevel * 10 : 0) + ",R2=0,R3=0\n");
}

// One line serves motion and inputs: the level before the "$", and the
// bytes at +7 and +11 after it, whose low four bits differ while an input is on.
void RawLevelOneGr4(RawConn& conn) {
    uint64_t seen = 0;
    while (conn.Alive()) {
        const AlarmState s = conn.State();
        seen = s.version;
        char line[64];
        int bits = 0;
        for (size_t i = 0; i < s.inputs.size() && i < 4; ++i) bits |= s.inputs[i] ? 1 << i : 0;
        snprintf(line, sizeof(line), "EV,%02X$12345600900%X\r\n", s.motion ? s.motionLevel : 0, bits);
        if (!conn.Write(line)) return;
        conn.WaitChange(seen, 500);
    }
}

void RawActi(RawConn& conn) {
    std::string login;
    if (!conn.ReadExact(128, login, 5000)) return;
    const SimContext& ctx = conn.Context();
    const bool ok = ctx.user.empty() || (std::string(login.c_str()) == ctx.user &&
                                         std::string(login.c_str() + 64) == ctx.password);
    if (!conn.Write(Le32(ok ? 0 : 1) + std::string(124, '\0')) || !ok) return;
    uint64_t seen = 0;
    bool payload = false;
    while (conn.Alive()) {
        const AlarmState s = conn.State();
        seen = s.version;
        if (s.motion) {
            // Every other header carries a payload, as event snapshots do.
            std::string ev = Le32(0) + Le32(0x10039) + Le32(payload ? 16 : 0);
            if (payload) ev += std::string(16, 'x');
            payload = !payload;
            if (!conn.Write(ev)) return;
        }
        conn.WaitChange(seen, 500);
    }
}

}  // namespace camsim
