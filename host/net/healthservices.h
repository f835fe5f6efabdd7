// A camera's services with its health: every socket and HTTP client made here
// is the inner services' own, wrapped so that it reports the outcome of each
// connect and exchange to the camera's health and takes its login ration.
#ifndef HOST_HEALTHSERVICES_H
#define HOST_HEALTHSERVICES_H

#include "interface/camhealth.h"
#include "interface/camservices.h"

namespace BrellinOwned {

class HealthServices : public CameraServices {
public:
    // inner is borrowed and outlives these services and what they make.
    explicit HealthServices(CameraServices& inner, const LOGIN_RATION& ration = LOGIN_RATION());
    Clock& GetClock() override { return m_Inner.GetClock(); }
    std::unique_ptr<CamSocket> NewSocket() override;
    std::unique_ptr<CamHttpClient> NewHttpClient() override;
    CameraHealth* Health() override { return &m_Health; }
    CameraServices& Unreported() override { return m_Inner.Unreported(); }

private:
    CameraServices& m_Inner;
    CameraHealth m_Health;
};

}  // namespace BrellinOwned

#endif  // HOST_HEALTHSERVICES_H
