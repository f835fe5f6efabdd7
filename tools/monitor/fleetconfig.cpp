#include "tools/monitor/fleetconfig.h"

#include <ctype.h>
#include <stdlib.h>
#include <yaml-cpp/yaml.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string Where(const std::string& file, const YAML::Mark& m) {
    if (m.line < 0) return file + ": ";
    return file + ":" + std::to_string(m.line + 1) + ": ";
}

// "option --port: expects ..." reads better in a file as "'port' expects ...".
std::string FileWording(std::string msg) {
    if (msg.compare(0, 9, "option --") == 0) {
        size_t end = msg.find_first_of(": ", 9);
        if (end != std::string::npos) {
            const std::string key = msg.substr(9, end - 9);
            size_t rest = end;
            while (rest < msg.size() && (msg[rest] == ':' || msg[rest] == ' ')) ++rest;
            msg = "'" + key + "' " + msg.substr(rest);
        }
    }
    return msg;
}

bool EnvName(const std::string& name) {
    if (name.empty() || isdigit((unsigned char)name[0])) return false;
    for (char c : name) {
        if (!isalnum((unsigned char)c) && c != '_') return false;
    }
    return true;
}

// A value with every "${NAME}" replaced by that environment variable ("$${"
// stands for a plain "${"; any other '$' is itself, so passwords with '$'
// read as they always did). `fromEnv` is set when something was replaced.
bool ExpandEnv(const std::string& in, std::string& out, bool& fromEnv, std::string& why) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in.compare(i, 3, "$${") == 0) {
            out += "${";
            i += 2;
            continue;
        }
        if (in.compare(i, 2, "${") != 0) {
            out += in[i];
            continue;
        }
        const size_t end = in.find('}', i + 2);
        const std::string name = end == std::string::npos ? std::string() : in.substr(i + 2, end - i - 2);
        if (!EnvName(name)) {
            why = "a '${' without a NAME} of letters, digits and '_' (write '$${' for a plain '${')";
            return false;
        }
        const char* v = getenv(name.c_str());
        if (!v) {
            why = "environment variable '" + name + "' is not set";
            return false;
        }
        out += v;
        fromEnv = true;
        i = end;
    }
    return true;
}

// One setting's values, expanded: a scalar or the items of a list. On a
// problem `mark` is where it is.
bool SettingValues(const std::string& key, const YAML::Node& value, std::vector<std::string>& items, bool& fromEnv,
                   YAML::Mark& mark, std::string& why) {
    if (value.IsNull()) {
        why = "'" + key + "' has no value";
        return false;
    }
    if (value.IsMap()) {
        why = "'" + key + "' expects a value, not a map";
        return false;
    }
    std::vector<YAML::Node> nodes;
    if (value.IsSequence()) {
        for (const YAML::Node& item : value) nodes.push_back(item);
        if (nodes.empty()) {
            why = "'" + key + "' has an empty list";
            return false;
        }
    } else {
        nodes.push_back(value);
    }
    for (const YAML::Node& n : nodes) {
        if (!n.IsScalar()) {
            why = "'" + key + "' expects a list of values";
            return false;
        }
        std::string v;
        if (!ExpandEnv(n.Scalar(), v, fromEnv, why)) {
            if (n.Mark().line >= 0) mark = n.Mark();
            why = "'" + key + "': " + why;
            return false;
        }
        items.push_back(v);
    }
    return true;
}

// One setting in command-line form, or false with `why`. A password file
// (relative paths from the file's directory) becomes the password it holds,
// so that a reload sees a changed secret as a changed camera.
bool SettingArgs(const std::string& key, const YAML::Node& value, const std::string& dir,
                 std::vector<std::string>& args, bool& fromEnv, YAML::Mark& mark, std::string& why) {
    if (!IsCameraOption(key)) {
        why = "unknown camera setting '" + key + "'";
        return false;
    }
    std::vector<std::string> items;
    if (!SettingValues(key, value, items, fromEnv, mark, why)) return false;
    if (IsCameraFlag(key)) {
        const std::string& v = items[0];
        if (value.IsScalar() && v == "true") args.push_back("--" + key);
        else if (!value.IsScalar() || v != "false") {
            why = "'" + key + "' expects true or false";
            return false;
        }
        return true;
    }
    if (key == "password-file") {
        if (!value.IsScalar()) {
            why = "'" + key + "' takes one value, not a list";
            return false;
        }
        const std::string& path = items[0];
        std::string secret;
        if (!ReadSecretFile(path.empty() || path[0] == '/' || dir.empty() ? path : dir + "/" + path, secret, why)) {
            why = "'" + key + "' " + why;
            return false;
        }
        args.push_back("--password");
        args.push_back(secret);
        return true;
    }
    if (key == "tls-ca" && value.IsScalar() && !items[0].empty() && items[0][0] != '/' && !dir.empty())
        items[0] = dir + "/" + items[0];  // like a password file: beside the configuration
    if (value.IsSequence()) {
        if (IsRepeatableOption(key)) {
            for (const std::string& it : items) {
                args.push_back("--" + key);
                args.push_back(it);
            }
            return true;
        }
        if (key != "kinds" && key != "md-param") {
            why = "'" + key + "' takes one value, not a list";
            return false;
        }
        std::string joined;
        for (const std::string& it : items) joined += (joined.empty() ? "" : ",") + it;
        args.push_back("--" + key);
        args.push_back(joined);
        return true;
    }
    args.push_back("--" + key);
    args.push_back(items[0]);
    return true;
}

// A value from the environment may be a secret: its complaint does not echo it.
std::string WithoutEcho(std::string msg) {
    const size_t got = msg.find(" (got '");
    if (got != std::string::npos) msg = msg.substr(0, got) + " (the value from the environment)";
    return msg;
}

bool ParseArgs(const std::vector<std::string>& args, MonitorOptions& opt, std::string& error) {
    std::vector<const char*> argv{"camdet-monitor"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    opt = MonitorOptions();
    return ParseMonitorOptions((int)argv.size(), argv.data(), opt, error);
}

}  // namespace

bool ValidCameraName(const std::string& name) {
    if (name.empty() || name.size() > 64) return false;
    for (char c : name) {
        if (!isalnum((unsigned char)c) && c != '-' && c != '_') return false;
    }
    return true;
}

bool ParseFleetConfig(const std::string& text, const std::string& file, std::vector<FleetCamera>& out,
                      std::string& error) {
    out.clear();
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::ParserException& e) {
        error = Where(file, e.mark) + "not valid YAML: " + e.msg;
        return false;
    } catch (const std::exception& e) {
        error = file + ": not valid YAML: " + e.what();
        return false;
    }
    try {
        if (!root.IsMap()) {
            error = Where(file, root.Mark()) + "expected a map with the key 'cameras'";
            return false;
        }
        YAML::Node cams;
        for (const auto& top : root) {
            const std::string key = top.first.Scalar();
            if (key != "cameras") {
                error = Where(file, top.first.Mark()) + "unknown top-level key '" + key + "' (only 'cameras')";
                return false;
            }
            cams = top.second;
        }
        if (!cams || !cams.IsMap() || cams.size() == 0) {
            error = Where(file, cams ? cams.Mark() : root.Mark()) + "'cameras' must map camera names to settings";
            return false;
        }
        const size_t slash = file.rfind('/');
        const std::string dir = slash == std::string::npos ? std::string() : slash == 0 ? "/" : file.substr(0, slash);
        std::set<std::string> names;
        for (const auto& entry : cams) {
            FleetCamera cam;
            cam.name = entry.first.Scalar();
            cam.line = entry.first.Mark().line + 1;
            const std::string where = Where(file, entry.first.Mark());
            if (!ValidCameraName(cam.name)) {
                error = where + "bad camera name '" + cam.name + "' (1-64 letters, digits, '-' or '_')";
                return false;
            }
            if (!names.insert(cam.name).second) {
                error = where + "camera '" + cam.name + "' appears twice";
                return false;
            }
            const YAML::Node& settings = entry.second;
            if (!settings.IsMap()) {
                error = where + "camera '" + cam.name + "': expected a map of settings";
                return false;
            }
            std::set<std::string> keys;
            for (const auto& s : settings) {
                const std::string key = s.first.Scalar();
                YAML::Mark mark = s.first.Mark();
                auto at = [&] { return Where(file, mark) + "camera '" + cam.name + "': "; };
                if (!keys.insert(key).second) {
                    error = at() + "'" + key + "' appears twice";
                    return false;
                }
                if ((key == "password" && keys.count("password-file")) ||
                    (key == "password-file" && keys.count("password"))) {
                    error = at() + "'password' and 'password-file' both given";
                    return false;
                }
                std::vector<std::string> one;
                std::string why;
                bool fromEnv = false;
                if (!SettingArgs(key, s.second, dir, one, fromEnv, mark, why)) {
                    error = at() + why;
                    return false;
                }
                // Checked alone first, so that the message can name its line.
                std::vector<std::string> probe{"--api", "probe"};
                probe.insert(probe.end(), one.begin(), one.end());
                MonitorOptions tmp;
                if (!ParseArgs(probe, tmp, why)) {
                    error = at() + FileWording(fromEnv ? WithoutEcho(why) : why);
                    return false;
                }
                cam.args.insert(cam.args.end(), one.begin(), one.end());
                if (key == "cam-id") cam.camIdGiven = true;
            }
            if (!keys.count("api")) {
                error = where + "camera '" + cam.name + "' has no 'api'";
                return false;
            }
            std::string why;
            if (!ParseArgs(cam.args, cam.opt, why)) {
                error = where + "camera '" + cam.name + "': " + FileWording(why);
                return false;
            }
            out.push_back(cam);
        }
    } catch (const std::exception& e) {
        error = file + ": " + e.what();
        out.clear();
        return false;
    }
    return true;
}

bool LoadFleetConfig(const std::string& path, std::vector<FleetCamera>& out, std::string& error) {
    std::ifstream f(path.c_str(), std::ios::in | std::ios::binary);
    if (!f) {
        error = path + ": cannot read the configuration file";
        return false;
    }
    std::ostringstream all;
    all << f.rdbuf();
    return ParseFleetConfig(all.str(), path, out, error);
}
