// The recorder's camera services (see recorderservices.h).
#include "host/net/recorderservices.h"

#include "interface/clock.h"
#include "interface/hostservices.h"

namespace BrellinOwned {

std::unique_ptr<CamSocket> RecorderServices::NewSocket() {
    return GuardPlainSocket(std::unique_ptr<CamSocket>(new OXSocket(m_Clock)), m_Tls);
}

std::unique_ptr<CamHttpClient> RecorderServices::NewHttpClient() {
    return std::unique_ptr<CamHttpClient>(new OXHttpClient(m_Clock, m_Tls));
}

CameraServices& DefaultCameraServices() {
    // Never destroyed: detector threads may outlive any static object's destructor.
    static CameraServices* services = new RecorderServices(RealClock());
    return *services;
}

}  // namespace BrellinOwned
