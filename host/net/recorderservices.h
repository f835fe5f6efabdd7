// The recorder's camera services: OXSocket and OXHttpClient on one clock,
// the HTTP clients secured by the camera's TLS policy.
#ifndef HOST_RECORDERSERVICES_H
#define HOST_RECORDERSERVICES_H

#include <memory>

#include "host/net/tlspolicy.h"
#include "interface/camservices.h"

namespace BrellinOwned {

class RecorderServices : public CameraServices {
public:
    // clock is borrowed and outlives the services and what they make.
    explicit RecorderServices(Clock& clock) : m_Clock(clock), m_Tls(std::make_shared<CamTlsPolicy>()) {}
    Clock& GetClock() override { return m_Clock; }
    std::unique_ptr<CamSocket> NewSocket() override;
    std::unique_ptr<CamHttpClient> NewHttpClient() override;
    // How the camera's HTTP connections are secured (default: plain HTTP;
    // the system's CAs for https:// addresses). Set before anything is made:
    // clients made earlier keep the policy they were made with.
    void SetTls(const CamTlsPolicy& tls) {
        auto t = std::make_shared<CamTlsPolicy>(tls);
        t->refusals = std::make_shared<TlsRefusals>();
        m_Tls = t;
    }
    const CamTlsPolicy& Tls() const { return *m_Tls; }

private:
    Clock& m_Clock;
    std::shared_ptr<const CamTlsPolicy> m_Tls;
};

}  // namespace BrellinOwned

#endif  // HOST_RECORDERSERVICES_H
