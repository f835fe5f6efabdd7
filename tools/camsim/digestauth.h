// HTTP Digest authentication the way a camera does it: a fresh nonce for
// every challenge, and a nonce's request counter must rise. Shared nonces
// (one per second, as a stock server library makes them) let two clients
// challenged in the same second replay each other's counters, which the
// camera would take for refused logins.
#ifndef TOOLS_CAMSIM_DIGESTAUTH_H
#define TOOLS_CAMSIM_DIGESTAUTH_H

#include <stdint.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace camsim {

std::string Md5Hex(const std::string& text);
// name=value and name="value" pairs of a Digest header's parameters (names in lower case).
std::map<std::string, std::string> DigestParams(const std::string& v);

class DigestAuth {
public:
    enum Result { kOk = 0, kRefused = 1, kStale = 2 };

    explicit DigestAuth(std::string realm);
    // The WWW-Authenticate value of a new challenge.
    std::string Challenge(bool stale);
    // Checks an Authorization header for a request (target as sent).
    Result Check(const std::string& authorization, const std::string& method, const std::string& target,
                 const std::string& user, const std::string& password);

private:
    struct Nonce {
        int64_t issuedMs = 0;
        uint64_t lastNc = 0;
    };
    std::mutex m_Mutex;
    const std::string m_Realm;
    std::map<std::string, Nonce> m_Nonces;
    std::deque<std::string> m_Order;  // oldest first, so the table stays bounded
    uint64_t m_Rnd;
};

}  // namespace camsim

#endif  // TOOLS_CAMSIM_DIGESTAUTH_H
