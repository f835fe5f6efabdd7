// Names of the simulator's switches and the requests and answers its
// handlers see (simtypes.h).
#include "tools/camsim/simtypes.h"

namespace camsim {

// ---------------------------------------------------------------- names

const char* AuthName(Auth a) {
    switch (a) {
    case Auth::kNone: return "none";
    case Auth::kBasic: return "basic";
    case Auth::kDigest: return "digest";
    default: return "family";
    }
}

static const char* const kFaultNames[kFaultCount] = {
    "stall", "close-mid", "garbage", "401", "500", "huge-length", "vanish", "rtcp-only",
    "ext-pacing", "marker-bomb", "refuse", "close-at-once", "short-records"};

const char* FaultName(Fault f) { return (f >= 0 && f < kFaultCount) ? kFaultNames[f] : "?"; }

bool FaultFromName(const std::string& name, Fault& f) {
    for (int i = 0; i < kFaultCount; ++i) {
        if (name == kFaultNames[i]) {
            f = (Fault)i;
            return true;
        }
    }
    return false;
}

bool AlarmState::AnyInput() const {
    for (bool b : inputs) {
        if (b) return true;
    }
    return false;
}

// ---------------------------------------------------------------- request / response

static std::string StripSlashes(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == '/') ++i;
    return s.substr(i);
}

bool Request::Is(const std::string& want) const {
    size_t q = want.find('?');
    if (StripSlashes(want.substr(0, q)) != StripSlashes(path)) return false;
    if (q == std::string::npos) return true;
    return want.substr(q + 1) == query;
}

std::string Request::Param(const std::string& name) const {
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        size_t eq = item.find('=');
        if (item.substr(0, eq) == name) return eq == std::string::npos ? std::string() : item.substr(eq + 1);
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return std::string();
}

bool Request::HasParam(const std::string& name) const {
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        if (item.substr(0, item.find('=')) == name) return true;
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return false;
}

std::string Request::Header(const std::string& lowerName) const {
    std::map<std::string, std::string>::const_iterator it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

Response Response::Text(const std::string& body, const std::string& contentType) {
    Response r;
    r.body = body;
    r.headers.push_back(std::make_pair(std::string("Content-Type"), contentType));
    return r;
}

Response Response::Status(int status, const std::string& body) {
    Response r = Text(body);
    r.status = status;
    return r;
}

Response& Response::Header(const std::string& name, const std::string& value) {
    headers.push_back(std::make_pair(name, value));
    return *this;
}

}  // namespace camsim
