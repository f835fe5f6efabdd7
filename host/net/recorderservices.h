// The recorder's camera services: OXSocket and OXHttpClient on one clock.
#ifndef HOST_RECORDERSERVICES_H
#define HOST_RECORDERSERVICES_H

#include "interface/camservices.h"

namespace BrellinOwned {

class RecorderServices : public CameraServices {
public:
    // clock is borrowed and outlives the services and what they make.
    explicit RecorderServices(Clock& clock) : m_Clock(clock) {}
    Clock& GetClock() override { return m_Clock; }
    std::unique_ptr<CamSocket> NewSocket() override;
    std::unique_ptr<CamHttpClient> NewHttpClient() override;

private:
    Clock& m_Clock;
};

}  // namespace BrellinOwned

#endif  // HOST_RECORDERSERVICES_H
