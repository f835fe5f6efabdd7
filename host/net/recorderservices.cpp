// The recorder's camera services (see recorderservices.h).
#include "host/net/recorderservices.h"

#include "interface/clock.h"
#include "interface/hostservices.h"

namespace BrellinOwned {

std::unique_ptr<CamSocket> RecorderServices::NewSocket() { return std::unique_ptr<CamSocket>(new OXSocket(m_Clock)); }

std::unique_ptr<CamHttpClient> RecorderServices::NewHttpClient() {
    return std::unique_ptr<CamHttpClient>(new OXHttpClient(m_Clock));
}

CameraServices& DefaultCameraServices() {
    // Never destroyed: detector threads may outlive any static object's destructor.
    static CameraServices* services = new RecorderServices(RealClock());
    return *services;
}

}  // namespace BrellinOwned
