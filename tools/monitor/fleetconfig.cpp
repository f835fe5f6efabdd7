#include "tools/monitor/fleetconfig.h"

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

// One setting in command-line form, or false with `why`.
bool SettingArgs(const std::string& key, const YAML::Node& value, std::vector<std::string>& args, std::string& why) {
    if (!IsCameraOption(key)) {
        why = "unknown camera setting '" + key + "'";
        return false;
    }
    if (value.IsNull()) {
        why = "'" + key + "' has no value";
        return false;
    }
    if (value.IsMap()) {
        why = "'" + key + "' expects a value, not a map";
        return false;
    }
    if (IsCameraFlag(key)) {
        const std::string v = value.IsScalar() ? value.Scalar() : std::string();
        if (v == "true") args.push_back("--" + key);
        else if (v != "false") {
            why = "'" + key + "' expects true or false";
            return false;
        }
        return true;
    }
    if (value.IsSequence()) {
        std::vector<std::string> items;
        for (const YAML::Node& item : value) {
            if (!item.IsScalar()) {
                why = "'" + key + "' expects a list of values";
                return false;
            }
            items.push_back(item.Scalar());
        }
        if (items.empty()) {
            why = "'" + key + "' has an empty list";
            return false;
        }
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
    args.push_back(value.Scalar());
    return true;
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
        std::set<std::string> names;
        for (const auto& entry : cams) {
            FleetCamera cam;
            cam.name = entry.first.Scalar();
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
                const std::string at = Where(file, s.first.Mark()) + "camera '" + cam.name + "': ";
                if (!keys.insert(key).second) {
                    error = at + "'" + key + "' appears twice";
                    return false;
                }
                std::vector<std::string> one;
                std::string why;
                if (!SettingArgs(key, s.second, one, why)) {
                    error = at + why;
                    return false;
                }
                // Checked alone first, so that the message can name its line.
                std::vector<std::string> probe{"--api", "probe"};
                probe.insert(probe.end(), one.begin(), one.end());
                MonitorOptions tmp;
                if (!ParseArgs(probe, tmp, why)) {
                    error = at + FileWording(why);
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
