#include "tools/monitor/options.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host/media/streamfifo.h"
#include "host/net/tlspolicy.h"
#include "host/rtsp/rtspclient.h"

namespace {

bool ParseInt(const std::string& text, long lo, long hi, int& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = (int)v;
    return true;
}

bool ParseSeconds(const std::string& text, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= 0) || v > 1e7) return false;
    out = v;
    return true;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (true) {
        size_t end = text.find(sep, pos);
        out.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return out;
}

const char* const kCameraValued[] = {
    "api",  "host",      "port",      "user",     "password",     "model",        "cam-id",
    "di-count", "cap",   "has-cap",   "stream-format", "stream-protocol", "kinds", "det-path",
    "det-port", "md-param", "det-param", "onvif-device", "onvif-topic", "fifo-url", "rtsp", "password-file",
    "scheme", "tls-verify", "tls-pin", "tls-ca", "login-ration"};
const char* const kCameraFlags[] = {"fifo", "no-prepare"};
const char* const kProcessValued[] = {"duration", "log", "config", "mqtt", "mqtt-user", "mqtt-password",
                                      "mqtt-cafile", "mqtt-node", "http", "check-config", "shard"};

// The options without a value and what they set.
bool MonitorOptions::*FlagOf(const std::string& name) {
    static const struct {
        const char* name;
        bool MonitorOptions::*field;
    } kFlags[] = {
        {"--fifo", &MonitorOptions::fifo},
        {"--no-prepare", &MonitorOptions::noPrepare},
        {"--json", &MonitorOptions::json},
        {"--dry-run", &MonitorOptions::dryRun},
        {"--probe", &MonitorOptions::probe},
        {"--demo", &MonitorOptions::demo},
        {"--help", &MonitorOptions::help},
        {"-h", &MonitorOptions::help},
        {"--version", &MonitorOptions::version},
    };
    for (const auto& f : kFlags) {
        if (name == f.name) return f.field;
    }
    return nullptr;
}

template <size_t N>
bool OneOf(const char* const (&names)[N], const std::string& name) {
    for (const char* n : names) {
        if (name == n) return true;
    }
    return false;
}

// The scheme and certificate options together; fills in what they imply.
bool CheckTlsOptions(MonitorOptions& opt, bool portSet, bool schemeSet, bool verifySet, std::string& error) {
    const bool httpsDevice = opt.onvifDevice.compare(0, 8, "https://") == 0;
    if (httpsDevice && schemeSet && !opt.https) {
        error = "an https:// --onvif-device goes with --scheme https";
        return false;
    }
    opt.https = opt.https || httpsDevice;
    if (opt.https && !portSet) {
        // The device's port when it names one: the camera's HTTPS port.
        opt.port = 443;
        const size_t host = httpsDevice ? 8 : std::string::npos;
        const size_t end = host == std::string::npos ? host : opt.onvifDevice.find('/', host);
        const std::string auth = host == std::string::npos ? std::string() : opt.onvifDevice.substr(host, end - host);
        const size_t colon = auth.rfind(':');
        if (colon != std::string::npos && auth.find(']', colon) == std::string::npos)
            ParseInt(auth.substr(colon + 1), 1, 65535, opt.port);
    }
    if (!opt.tlsPin.empty() && !verifySet) opt.tlsVerify = "pin";
    if (opt.tlsVerify == "pin" && opt.tlsPin.empty()) {
        error = "--tls-verify pin needs --tls-pin sha256//...";
        return false;
    }
    if (opt.tlsVerify != "pin" && !opt.tlsPin.empty()) {
        error = "--tls-pin goes with --tls-verify pin, not " + opt.tlsVerify;
        return false;
    }
    if (opt.tlsVerify != "ca" && !opt.tlsCa.empty()) {
        error = "--tls-ca goes with --tls-verify ca, not " + opt.tlsVerify;
        return false;
    }
    return true;
}

}  // namespace

bool IsCameraOption(const std::string& name) { return OneOf(kCameraValued, name) || OneOf(kCameraFlags, name); }

bool IsCameraFlag(const std::string& name) { return OneOf(kCameraFlags, name); }

bool IsRepeatableOption(const std::string& name) {
    return name == "cap" || name == "has-cap" || name == "det-param" || name == "onvif-topic";
}

int KindFromName(const std::string& name) {
    if (name == "md") return 1;
    if (name == "di") return 2;
    if (name == "td") return 3;
    if (name == "ad") return 4;
    return 0;
}

const char* KindName(int kind) {
    switch (kind) {
    case 1: return "md";
    case 2: return "di";
    case 3: return "td";
    case 4: return "ad";
    default: return "?";
    }
}

bool ReadSecretFile(const std::string& path, std::string& secret, std::string& why) {
    const size_t kMax = 1024;  // no camera takes a longer password; more is the wrong file
    FILE* f = path.empty() ? nullptr : fopen(path.c_str(), "rbe");
    if (!f) {
        why = "cannot read '" + path + "': " + (path.empty() ? "no path" : strerror(errno));
        return false;
    }
    char buf[kMax + 2];
    const size_t n = fread(buf, 1, sizeof(buf), f);
    const bool failed = ferror(f) != 0;
    const int err = errno;
    fclose(f);
    if (failed) {
        why = "cannot read '" + path + "': " + strerror(err);
        return false;
    }
    std::string text(buf, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (n > kMax + 1 || text.size() > kMax) {
        why = "'" + path + "' is longer than " + std::to_string(kMax) + " bytes";
        return false;
    }
    if (text.empty()) {
        why = "'" + path + "' is empty";
        return false;
    }
    secret = text;
    return true;
}

const char* MonitorUsage() {
    return "usage: camdet-monitor --api KEY [options]\n"
           "       camdet-monitor --config FILE [--shard K/N] [--json] [--mqtt URL] [--http ADDR:PORT]\n"
           "       camdet-monitor --check-config FILE [--shard K/N]\n"
           "       camdet-monitor --api onvif --onvif-device URL [--user U --password P] --probe [--json]\n"
           "       camdet-monitor --demo [--json] [--duration SEC]\n"
           "  (every --opt VALUE may also be written --opt=VALUE)\n"
           "  --api KEY            camera API key (hikvisionv3, onvif, axisv3, ...)\n"
           "  --host ADDR          camera address (127.0.0.1)\n"
           "  --port N             camera port (80; 443 with --scheme https)\n"
           "  --scheme http|https  HTTPS for every HTTP and ONVIF exchange (https:// --onvif-device: https)\n"
           "  --tls-verify ca|none certificates: the system's CAs (default) or --tls-ca, or none checked\n"
           "  --tls-pin sha256//B64 accept exactly this key (curl's pin format), whoever signed it\n"
           "  --tls-ca FILE        CA certificates (PEM) for --tls-verify ca\n"
           "  --user NAME, --password TEXT   camera login\n"
           "  --password-file FILE the camera password from a file (without its line end)\n"
           "  --login-ration N/SEC after a refused login, at most N logins in any SEC seconds (3/300)\n"
           "  --model TEXT         camera model\n"
           "  --cam-id N           camera id (1)\n"
           "  --di-count N         number of alarm inputs (1)\n"
           "  --cap WORD           capability word of the camera API (repeatable)\n"
           "  --has-cap N          capability number (repeatable)\n"
           "  --stream-format N    stream format code (0)\n"
           "  --stream-protocol N  stream protocol code (1)\n"
           "  --fifo               give the detectors a stream FIFO\n"
           "  --fifo-url URL       feed that FIFO from an MJPEG URL (with --user, --password)\n"
           "  --rtsp URL           give the detectors a shared RTP fetcher on that RTSP stream\n"
           "                       (login from the URL or --user, --password; --stream-format 2 unless given)\n"
           "  --no-prepare         do not let the factories prepare the camera\n"
           "  --kinds LIST         comma list of md,di,td,ad (all)\n"
           "  --det-path P, --det-port N    override the camera-API path and port\n"
           "  --md-param A,B,C,D   motion parameters before start\n"
           "  --det-param KIND:KEY=VALUE    detection parameter (repeatable)\n"
           "  --onvif-device URL   ONVIF device service address\n"
           "  --onvif-topic KIND=KEY        ONVIF topic key per kind (repeatable; default: chosen from the\n"
           "                       topics the device lists)\n"
           "  --probe              with --onvif-device: list the device's topics and the key chosen per\n"
           "                       kind, then exit\n"
           "  --duration SEC       stop after SEC seconds (default: until SIGINT/SIGTERM)\n"
           "  --json               one JSON object per line\n"
           "  --log FILE           write the library log to FILE ('-': stderr, for the journal)\n"
           "  --dry-run            create the detectors, print them, release them\n"
           "  --demo               watch a built-in simulated camera\n"
           "  --config FILE        cameras from a YAML file (map 'cameras:' of name -> these options);\n"
           "                       SIGHUP re-reads it; ${NAME} in a value is taken from the environment\n"
           "  --shard K/N          run only the cameras of shard K of N of the file (by camera name)\n"
           "  --check-config FILE  check the file, list its cameras (of the shard) and exit: 0 good, 2 bad\n"
           "  --mqtt URL           publish every change to mqtt://HOST:PORT (mqtts:// for TLS)\n"
           "  --mqtt-user NAME, --mqtt-password TEXT   broker login (or CAMDET_MQTT_PASSWORD)\n"
           "  --mqtt-cafile FILE   CA certificates for mqtts://\n"
           "  --mqtt-node NAME     this process's name on the broker (host name; shard-K with --shard)\n"
           "  --http ADDR:PORT     live status page, /api/cameras and /metrics (ADDR 127.0.0.1 when\n"
           "                       only PORT is given)\n"
           "  --version            print the version and exit\n";
}

bool ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& opt, std::string& error) {
    bool apiSet = false;
    bool passwordSet = false, passwordFileSet = false;
    bool portSet = false, schemeSet = false, verifySet = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        // "--opt=value" is "--opt value".
        const size_t eq = name.compare(0, 2, "--") == 0 ? name.find('=') : std::string::npos;
        const bool inlineValue = eq != std::string::npos;
        const std::string given = inlineValue ? name.substr(eq + 1) : std::string();
        if (inlineValue) name.erase(eq);

        bool MonitorOptions::*flag = FlagOf(name);
        if (flag) {
            if (inlineValue) {
                error = "option " + name + " takes no value";
                return false;
            }
            opt.*flag = true;
            continue;
        }
        const std::string bare = name.compare(0, 2, "--") == 0 ? name.substr(2) : std::string();
        const bool known = OneOf(kCameraValued, bare) || OneOf(kProcessValued, bare);
        if (!known) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (!inlineValue && i + 1 >= argc) {
            error = "option " + name + " needs a value";
            return false;
        }
        const std::string v = inlineValue ? given : argv[++i];
        auto bad = [&](const char* what) {
            error = "option " + name + ": " + what + " (got '" + v + "')";
            return false;
        };
        if (name == "--fifo-url") {
            StreamFifoFeeder::Source src;
            std::string why;
            if (!StreamFifoFeeder::ParseUrl(v, src, why)) {
                error = "option --fifo-url: " + why;  // the URL may carry a login: not echoed
                return false;
            }
            opt.fifoUrl = v;
            opt.fifo = true;
        } else if (name == "--rtsp") {
            RTSP_CLIENT_CONF conf;
            std::string why;
            if (!ParseRtspUrl(v, conf, why)) {
                error = "option --rtsp: " + why;  // the URL may carry a login: not echoed
                return false;
            }
            opt.rtspUrl = v;
        } else if (name == "--api") {
            if (v.empty()) return bad("expects a camera API key");
            opt.api = v;
            apiSet = true;
        } else if (name == "--host") {
            if (v.empty()) return bad("expects an address");
            opt.host = v;
        } else if (name == "--port") {
            if (!ParseInt(v, 1, 65535, opt.port)) return bad("expects a port number 1-65535");
            portSet = true;
        } else if (name == "--scheme") {
            if (v != "http" && v != "https") return bad("expects http or https");
            opt.https = v == "https";
            schemeSet = true;
        } else if (name == "--tls-verify") {
            BrellinOwned::TlsVerify mode;
            if (!BrellinOwned::TlsVerifyFromName(v, mode)) return bad("expects ca, pin or none");
            opt.tlsVerify = v;
            verifySet = true;
        } else if (name == "--tls-pin") {
            if (!BrellinOwned::IsTlsPin(v)) return bad("expects sha256// and 44 Base64 characters");
            opt.tlsPin = v;
        } else if (name == "--tls-ca") {
            FILE* f = v.empty() ? nullptr : fopen(v.c_str(), "rbe");
            if (!f) {
                error = "option --tls-ca: cannot read '" + v + "': " + (v.empty() ? "no path" : strerror(errno));
                return false;
            }
            fclose(f);
            opt.tlsCa = v;
        } else if (name == "--user") {
            opt.user = v;
        } else if (name == "--password") {
            opt.password = v;
            passwordSet = true;
        } else if (name == "--password-file") {
            std::string why;
            if (!ReadSecretFile(v, opt.password, why)) {
                error = "option --password-file: " + why;
                return false;
            }
            passwordFileSet = true;
        } else if (name == "--login-ration") {
            const std::vector<std::string> ns = Split(v, '/');
            if (ns.size() != 2 || !ParseInt(ns[0], 1, 100, opt.loginRation.attempts) ||
                !ParseInt(ns[1], 1, 86400, opt.loginRation.windowSec))
                return bad("expects N/SEC, at most N (1-100) logins in any SEC (1-86400) seconds");
        } else if (name == "--model") {
            opt.model = v;
        } else if (name == "--cam-id") {
            if (!ParseInt(v, 0, 2147483647L, opt.camId)) return bad("expects a non-negative integer");
        } else if (name == "--di-count") {
            if (!ParseInt(v, 0, 64, opt.diCount)) return bad("expects an integer 0-64");
        } else if (name == "--cap") {
            if (v.empty()) return bad("expects a capability word");
            opt.caps.push_back(v);
        } else if (name == "--has-cap") {
            int n;
            if (!ParseInt(v, -2147483647L, 2147483647L, n)) return bad("expects an integer");
            opt.hasCaps.push_back(n);
        } else if (name == "--stream-format") {
            if (!ParseInt(v, -2147483647L, 2147483647L, opt.streamFormat)) return bad("expects an integer");
            opt.streamFormatSet = true;
        } else if (name == "--stream-protocol") {
            if (!ParseInt(v, -2147483647L, 2147483647L, opt.streamProtocol)) return bad("expects an integer");
        } else if (name == "--kinds") {
            opt.kinds.clear();
            for (const std::string& k : Split(v, ',')) {
                int kind = KindFromName(k);
                if (!kind) return bad("expects a comma list of md, di, td, ad");
                bool dup = false;
                for (int have : opt.kinds) dup = dup || have == kind;
                if (!dup) opt.kinds.push_back(kind);
            }
        } else if (name == "--det-path") {
            opt.detPath = v;
            opt.detPathSet = true;
        } else if (name == "--det-port") {
            if (!ParseInt(v, 1, 65535, opt.detPort)) return bad("expects a port number 1-65535");
        } else if (name == "--md-param") {
            std::vector<std::string> parts = Split(v, ',');
            if (parts.size() != 4) return bad("expects four integers A,B,C,D");
            for (int j = 0; j < 4; ++j) {
                if (!ParseInt(parts[j], -2147483647L, 2147483647L, opt.mdParam[j]))
                    return bad("expects four integers A,B,C,D");
            }
            opt.mdParamSet = true;
        } else if (name == "--det-param") {
            size_t colon = v.find(':');
            size_t eq = v.find('=');
            if (colon == std::string::npos || eq == std::string::npos || eq < colon)
                return bad("expects KIND:KEY=VALUE");
            DetParamOpt p;
            p.kind = KindFromName(v.substr(0, colon));
            if (!p.kind) return bad("KIND must be md, di, td or ad");
            if (!ParseInt(v.substr(colon + 1, eq - colon - 1), -2147483647L, 2147483647L, p.key))
                return bad("KEY must be an integer");
            p.value = v.substr(eq + 1);
            opt.detParams.push_back(p);
        } else if (name == "--duration") {
            if (!ParseSeconds(v, opt.duration)) return bad("expects a non-negative number of seconds");
        } else if (name == "--log") {
            if (v.empty()) return bad("expects a file path");
            opt.logFile = v;
        } else if (name == "--onvif-device") {
            if (v.compare(0, 7, "http://") != 0 && v.compare(0, 8, "https://") != 0)
                return bad("expects an http:// or https:// URL");
            opt.onvifDevice = v;
        } else if (name == "--onvif-topic") {
            size_t eq = v.find('=');
            int kind = eq == std::string::npos ? 0 : KindFromName(v.substr(0, eq));
            if (!kind) return bad("expects KIND=KEY with KIND one of md, di, td, ad");
            opt.onvifTopics[kind] = v.substr(eq + 1);
        } else if (name == "--config") {
            if (v.empty()) return bad("expects a file path");
            opt.config = v;
        } else if (name == "--mqtt") {
            if (v.compare(0, 7, "mqtt://") != 0 && v.compare(0, 8, "mqtts://") != 0)
                return bad("expects mqtt://HOST:PORT or mqtts://HOST:PORT");
            opt.mqttUrl = v;
        } else if (name == "--mqtt-user") {
            opt.mqttUser = v;
        } else if (name == "--mqtt-password") {
            opt.mqttPassword = v;
        } else if (name == "--mqtt-cafile") {
            if (v.empty()) return bad("expects a file path");
            opt.mqttCaFile = v;
        } else if (name == "--mqtt-node") {
            bool ok = !v.empty() && v.size() <= 64;
            for (char c : v) ok = ok && (isalnum((unsigned char)c) || c == '-' || c == '_');
            if (!ok) return bad("expects up to 64 letters, digits, '-' or '_'");
            opt.mqttNode = v;
        } else if (name == "--http") {
            if (v.empty()) return bad("expects ADDR:PORT or PORT");
            opt.httpAddr = v;
        } else if (name == "--check-config") {
            if (v.empty()) return bad("expects a file path");
            opt.checkConfig = v;
        } else if (name == "--shard") {
            const std::vector<std::string> kn = Split(v, '/');
            if (kn.size() != 2 || !ParseInt(kn[1], 1, 1000, opt.shards) || !ParseInt(kn[0], 1, opt.shards, opt.shard))
                return bad("expects K/N with 1 <= K <= N <= 1000");
        }
    }
    // An RTSP stream carries the events of the RTP variants.
    if (!opt.rtspUrl.empty() && !opt.streamFormatSet) opt.streamFormat = 2;
    if (opt.help || opt.version) return true;
    if (!CheckTlsOptions(opt, portSet, schemeSet, verifySet, error)) return false;
    if (passwordSet && passwordFileSet) {
        error = "give --password or --password-file, not both";
        return false;
    }
    if (!opt.checkConfig.empty() && (!opt.config.empty() || apiSet || opt.demo || opt.dryRun || opt.probe ||
                                     !opt.mqttUrl.empty() || !opt.httpAddr.empty())) {
        error = "--check-config FILE only reads the file; it goes with --shard alone";
        return false;
    }
    if (opt.shards && opt.config.empty() && opt.checkConfig.empty()) {
        error = "--shard goes with --config FILE or --check-config FILE";
        return false;
    }
    if (!opt.config.empty() && (apiSet || opt.demo || opt.dryRun)) {
        error = "--config takes the cameras from the file; it does not go with --api, --demo or --dry-run";
        return false;
    }
    if (opt.config.empty() && (!opt.mqttUrl.empty() || !opt.httpAddr.empty())) {
        error = "--mqtt and --http go with --config FILE";
        return false;
    }
    if (opt.probe && (opt.onvifDevice.empty() || !opt.config.empty() || opt.demo || opt.dryRun)) {
        error = "--probe needs --onvif-device URL and goes without --config, --demo and --dry-run";
        return false;
    }
    if (!apiSet && !opt.demo && !opt.probe && opt.config.empty() && opt.checkConfig.empty()) {
        error = "missing required option --api KEY";
        return false;
    }
    return true;
}
