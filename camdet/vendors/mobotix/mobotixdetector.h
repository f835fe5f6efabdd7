// Mobotix motion and inputs: each poll asks the camera's event list on a new
// HTTP connection and reads its first line, which carries an alarm counter
// ("...alarmcounter=17;..."); the first counter read is where counting
// starts, and a change of the counter is the alarm. Motion
// asks "/control/event.jpg?output=alarmupdate", the inputs the same list
// filtered to the signal inputs ("&filter=SI"). Each class runs its own loop.
#ifndef CAMDET_MOBOTIXDETECTOR_H
#define CAMDET_MOBOTIXDETECTOR_H

#include <string>

#include "camdet/core/eventdetector.h"
#include "camdet/rules/ownlooprules.h"
#include "interface/camservices.h"

// Points client at one of the camera's event lists (path), with the camera's
// address and login from attr.
void MobotixInit(BrellinOwned::CamHttpClient& client, const DET_BASE_ATTR& attr, const std::string& path);
// One query of that event list: the first line of the answer in buf (1024
// bytes, zeroed first). 0 when a line of at least one character came. Every
// query is a new connection (the camera closes its answers); the client is
// kept, so that a camera that stays away is one log line, not one a poll.
int MobotixQuery(BrellinOwned::CamHttpClient& client, char* buf, unsigned int len);

class MobotixMD : public CamDetector {
public:
    explicit MobotixMD(DET_BASE_ATTR attr);
    int DetMain() override;
    // The counter test of one answer line: (true, 100) when a counter changed.
    virtual bool IsTrig(char* buf, unsigned int len, int& value);

protected:
    int32_t m_AlarmCounter;
    int32_t m_PirCounter;
    bool m_blAlarmSeen;  // the counters hold what the camera sent (the first is no alarm)
    bool m_blPirSeen;
};

class MobotixDI : public CamDetector {
public:
    explicit MobotixDI(DET_BASE_ATTR attr);
    int DetMain() override;
    // The counter test; the port is not looked at, so the first input
    // tested in a pass absorbs a change.
    virtual bool IsTrig(int port, char* buf, unsigned int len, int& value);

protected:
    int32_t m_AlarmCounter;
    bool m_blCounterSeen;  // m_AlarmCounter holds a counter the camera sent
};

#endif  // CAMDET_MOBOTIXDETECTOR_H
