#include "tools/camsim/digestauth.h"

#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <random>

#include "tools/camsim/simtext.h"

namespace camsim {

namespace {

const size_t kMaxNonces = 1024;      // a client that never answers its challenges cannot grow the table
const int64_t kNonceLifeMs = 300000;  // older nonces are stale: the client asks again

}  // namespace

std::string Md5Hex(const std::string& text) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(text.data(), text.size(), md, &len, EVP_md5(), nullptr);
    std::string out;
    char hex[3];
    for (unsigned int i = 0; i < len; ++i) {
        snprintf(hex, sizeof(hex), "%02x", md[i]);
        out += hex;
    }
    return out;
}

std::map<std::string, std::string> DigestParams(const std::string& v) {
    std::map<std::string, std::string> out;
    size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && (v[i] == ' ' || v[i] == ',')) ++i;
        const size_t eq = v.find('=', i);
        if (eq == std::string::npos) break;
        const std::string name = Lower(Trim(v.substr(i, eq - i)));
        i = eq + 1;
        std::string value;
        if (i < v.size() && v[i] == '"') {
            const size_t close = v.find('"', i + 1);
            value = v.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            i = close == std::string::npos ? v.size() : close + 1;
        } else {
            const size_t comma = v.find(',', i);
            value = Trim(v.substr(i, comma == std::string::npos ? std::string::npos : comma - i));
            i = comma == std::string::npos ? v.size() : comma;
        }
        out[name] = value;
    }
    return out;
}

DigestAuth::DigestAuth(std::string realm) : m_Realm(std::move(realm)), m_Rnd(std::random_device()()) {
    m_Rnd = (m_Rnd << 32) ^ (uint64_t)NowMs();
}

std::string DigestAuth::Challenge(bool stale) {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::string nonce;
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        m_Rnd = m_Rnd * 6364136223846793005ULL + 1442695040888963407ULL;
        snprintf(hex, sizeof(hex), "%02x", (unsigned)(m_Rnd >> 56));
        nonce += hex;
    }
    if (m_Order.size() >= kMaxNonces) {
        m_Nonces.erase(m_Order.front());
        m_Order.pop_front();
    }
    m_Nonces[nonce].issuedMs = NowMs();
    m_Order.push_back(nonce);
    return "Digest realm=\"" + m_Realm + "\", qop=\"auth\", nonce=\"" + nonce +
           "\", opaque=\"0123456789abcdef\", algorithm=MD5" + (stale ? ", stale=TRUE" : "");
}

DigestAuth::Result DigestAuth::Check(const std::string& authorization, const std::string& method,
                                     const std::string& target, const std::string& user, const std::string& password) {
    if (Lower(authorization.substr(0, 7)) != "digest ") return kRefused;
    std::map<std::string, std::string> d = DigestParams(authorization.substr(7));
    if (d["username"] != user || d["realm"] != m_Realm || d["uri"] != target) return kRefused;
    const std::string ha1 = Md5Hex(user + ":" + m_Realm + ":" + password);
    const std::string ha2 = Md5Hex(method + ":" + d["uri"]);
    const std::string& nonce = d["nonce"];
    const bool qop = !d["qop"].empty();
    const std::string want = qop ? Md5Hex(ha1 + ":" + nonce + ":" + d["nc"] + ":" + d["cnonce"] + ":" + d["qop"] +
                                          ":" + ha2)
                                 : Md5Hex(ha1 + ":" + nonce + ":" + ha2);
    if (d["response"] != want) return kRefused;
    // The password was right: what is left can only make the nonce stale.
    std::lock_guard<std::mutex> g(m_Mutex);
    std::map<std::string, Nonce>::iterator it = m_Nonces.find(nonce);
    if (it == m_Nonces.end() || NowMs() - it->second.issuedMs > kNonceLifeMs) return kStale;
    if (qop) {
        const uint64_t nc = strtoull(d["nc"].c_str(), nullptr, 16);
        if (nc <= it->second.lastNc) return kStale;  // a replayed request
        it->second.lastNc = nc;
    }
    return kOk;
}

}  // namespace camsim
