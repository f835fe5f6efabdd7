// Scenario files: "at SECONDS WHAT ..." lines, parsed strictly so that a typo
// is reported with its line instead of being silently skipped.
#include <errno.h>
#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "tools/camsim/camsim.h"

namespace camsim {

namespace {

bool OnOff(const std::string& w, bool& on) {
    if (w == "on") {
        on = true;
        return true;
    }
    if (w == "off") {
        on = false;
        return true;
    }
    return false;
}

bool ParseInt(const std::string& w, long lo, long hi, int& out) {
    if (w.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = strtol(w.c_str(), &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    out = (int)v;
    return true;
}

// One line; false with `error` (without the line prefix).
bool ParseLine(const std::vector<std::string>& w, ScenarioStep& st, std::string& error) {
    if (w[0] != "at") {
        error = "expected 'at SECONDS ...', got '" + w[0] + "'";
        return false;
    }
    if (w.size() < 3) {
        error = "expected 'at SECONDS WHAT ...'";
        return false;
    }
    errno = 0;
    char* end = nullptr;
    double at = strtod(w[1].c_str(), &end);
    if (errno || *end || !isfinite(at) || at < 0 || at > 1e6) {
        error = "bad time '" + w[1] + "' (seconds, 0 or more)";
        return false;
    }
    st.at = at;
    const std::string& what = w[2];
    size_t want = 4;  // words the line must have
    if (what == "motion") {
        st.what = ScenarioStep::kMotion;
        if (w.size() < 4 || !OnOff(w[3], st.on)) {
            error = "expected 'motion on [LEVEL]' or 'motion off'";
            return false;
        }
        st.n = st.on ? 100 : 0;
        if (st.on && w.size() >= 5) {
            if (!ParseInt(w[4], 1, 100, st.n)) {
                error = "bad motion level '" + w[4] + "' (1-100)";
                return false;
            }
            want = 5;
        }
    } else if (what == "input") {
        st.what = ScenarioStep::kInput;
        if (w.size() < 5 || !ParseInt(w[3], 1, 64, st.n) || !OnOff(w[4], st.on)) {
            error = "expected 'input N on|off' with N 1-64";
            return false;
        }
        want = 5;
    } else if (what == "tamper" || what == "audio") {
        st.what = what == "tamper" ? ScenarioStep::kTamper : ScenarioStep::kAudio;
        if (w.size() < 4 || !OnOff(w[3], st.on)) {
            error = "expected '" + what + " on|off'";
            return false;
        }
    } else if (what == "fault") {
        st.what = ScenarioStep::kFault;
        if (w.size() < 5 || !FaultFromName(w[3], st.fault) || !OnOff(w[4], st.on)) {
            error = "expected 'fault NAME on|off' with NAME one of";
            for (int f = 0; f < kFaultCount; ++f) error += std::string(f ? ", " : " ") + FaultName((Fault)f);
            return false;
        }
        want = 5;
    } else {
        error = "unknown event '" + what + "' (motion, input, tamper, audio, fault)";
        return false;
    }
    if (w.size() > want) {
        error = "unexpected '" + w[want] + "' at the end";
        return false;
    }
    return true;
}

}  // namespace

bool ParseScenario(const std::string& text, Scenario& out, std::string& error, const std::string& name) {
    out.steps.clear();
    std::istringstream in(text);
    std::string line;
    int no = 0;
    while (std::getline(in, line)) {
        ++no;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream ws(line);
        std::vector<std::string> words;
        std::string word;
        while (ws >> word) words.push_back(word);
        if (words.empty()) continue;
        ScenarioStep st;
        st.line = no;
        std::string why;
        if (!ParseLine(words, st, why)) {
            error = (name.empty() ? std::string() : name + ": ") + "line " + std::to_string(no) + ": " + why;
            out.steps.clear();
            return false;
        }
        out.steps.push_back(st);
    }
    std::stable_sort(out.steps.begin(), out.steps.end(),
                     [](const ScenarioStep& a, const ScenarioStep& b) { return a.at < b.at; });
    return true;
}

bool LoadScenarioFile(const std::string& path, Scenario& out, std::string& error) {
    std::ifstream f(path.c_str(), std::ios::in | std::ios::binary);
    if (!f) {
        error = path + ": cannot read the scenario file";
        return false;
    }
    std::ostringstream all;
    all << f.rdbuf();
    return ParseScenario(all.str(), out, error, path);
}

}  // namespace camsim
