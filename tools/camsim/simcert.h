// The certificate a simulated camera serves HTTPS with (--tls).
#ifndef TOOLS_CAMSIM_SIMCERT_H
#define TOOLS_CAMSIM_SIMCERT_H

#include <string>

namespace camsim {

struct SimCert {
    std::string keyPem;   // PKCS#8 private key
    std::string certPem;  // self-signed, also a CA certificate for itself
    std::string pin;      // "sha256//" and the Base64 SHA-256 of the key's DER form
};

// A new key and a certificate for `address` (an IPv4 literal) and
// "localhost", valid from an hour ago for 30 days: self-signed, or signed by
// `issuer` (then not a CA itself), as tests need a CA of their own. False
// with `error`.
bool MakeSimCert(const std::string& address, SimCert& out, std::string& error, const SimCert* issuer = nullptr);

}  // namespace camsim

#endif  // TOOLS_CAMSIM_SIMCERT_H
