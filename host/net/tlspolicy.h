// How one camera's HTTP connections are secured: the scheme, the camera's
// HTTPS port and which certificates are accepted. A camera-services object
// holds one and every HTTP client it makes carries it, so the detectors open
// HTTPS connections without knowing.
#ifndef HOST_TLSPOLICY_H
#define HOST_TLSPOLICY_H

#include <curl/curl.h>

#include "interface/camservices.h"

class CamMediatorHandler;

#include <stdint.h>

#include <memory>
#include <mutex>
#include <string>

namespace BrellinOwned {

enum class TlsVerify {
    kCa,    // a chain to the system's CAs (or caFile) and the camera's name in the certificate
    kPin,   // exactly the key of `pin`, whoever signed it, whatever name it carries
    kNone,  // anything (the services' owner warns once)
};

// The refused certificates of one camera said in the log: every client of
// the camera refuses the same key, and the user needs one line, said again
// now and then while it lasts (a status page keeps a camera in error only
// while such lines come).
class TlsRefusals {
public:
    static const int64_t kRepeatMs = 10000;
    // True when the refusal of `pin` at `nowMs` is to be said: another key
    // than the last one said, or the same after kRepeatMs.
    bool Say(const std::string& pin, int64_t nowMs);

private:
    std::mutex m_Mutex;
    std::string m_Last;
    int64_t m_LastMs = 0;
    bool m_blSaid = false;
};

struct CamTlsPolicy {
    // Every HTTP connection of the camera over TLS. Never falls back to plain HTTP.
    bool blHttps = false;
    // With blHttps, a connection meant for the camera's HTTP port (what the
    // detectors take from the camera mediator) goes to its HTTPS port.
    int httpPort = 80;
    int httpsPort = 443;
    TlsVerify verify = TlsVerify::kCa;
    std::string caFile;  // kCa: CA certificates (PEM); empty: the system's store
    std::string pin;     // kPin: "sha256//" and the Base64 SHA-256 of the key's DER form
    std::string camera;  // names the camera in log lines ("Cam[3] yard")
    // Shared by the camera's clients (null: each client says its own).
    std::shared_ptr<TlsRefusals> refusals;

    // The port a connection meant for `port` goes to.
    int PortFor(int port) const { return blHttps && port == httpPort ? httpsPort : port; }
};

// The camera's HTTP port and HTTPS port from its mediator (functions 7 and 9),
// where it gives them (a port of 0 keeps the policy's).
void TlsPortsFromMediator(CamTlsPolicy& policy, const CamMediatorHandler& mediator);

// True for "sha256//" followed by the Base64 form of a 32-byte digest.
bool IsTlsPin(const std::string& text);
// "ca", "pin", "none"; false for anything else.
bool TlsVerifyFromName(const std::string& name, TlsVerify& out);

// What the handshakes of one client saw: the pin of the last certificate
// presented. Written on the HTTP engine's thread, read by the client.
class TlsPeerNote {
public:
    void SetPin(const std::string& pin);
    // Empty until a handshake showed a certificate.
    std::string Pin() const;
    void Clear();

private:
    mutable std::mutex m_Mutex;
    std::string m_Pin;
};

// The failure text of a certificate the camera's policy refused: why, and
// the pin of the key the camera showed, for the user to pin if it is the
// camera's own. Sets `saidLately` when the camera's clients said it lately
// (and leaves it as it is otherwise).
std::string RefusedCertificate(const CamTlsPolicy& tls, const TlsPeerNote& seen, const char* why, int64_t nowMs,
                               bool& saidLately);

// Whether a redirect from `current` (a URL) to `location` (absolute or
// relative) stays with the camera: the same host, and never from HTTPS to
// plain HTTP.
bool RedirectWithinCamera(const char* current, const std::string& location, const std::string& host, bool blTls);

// Sets up easy (not in a multi handle) to verify peers by `policy`; each
// handshake notes the certificate's pin in *note. note points at a member of
// the client that lives as long as easy; the certificate check keeps its own
// reference to the note. The policy's verification choices are among the
// settings libcurl matches before it reuses a connection or a TLS session,
// so a connection opened under one policy never serves another.
void ApplyTlsPolicy(CURL* easy, const CamTlsPolicy& policy, std::shared_ptr<TlsPeerNote>* note);

// A camera on HTTPS gets no plain TCP connection to its HTTP port (the
// detectors that speak HTTP over a bare socket): that would send its login
// in the clear. Such a Connect fails, said once in the log; the camera's
// other ports pass. Without blHttps the socket is returned as it is.
std::unique_ptr<CamSocket> GuardPlainSocket(std::unique_ptr<CamSocket> socket,
                                            std::shared_ptr<const CamTlsPolicy> policy);

}  // namespace BrellinOwned

#endif  // HOST_TLSPOLICY_H
