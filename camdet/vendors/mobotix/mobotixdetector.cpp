#include "camdet/vendors/mobotix/mobotixdetector.h"

#include <string.h>

#include "camdet/core/detclass.h"
#include "interface/hostservices.h"

namespace {

const char* const kMotionPath = "/control/event.jpg?output=alarmupdate";
const char* const kInputPath = "/control/event.jpg?output=alarmupdate&filter=SI";
const unsigned int kLineSize = 1024;

// One query per pass, paced by the poll interval; the answer goes to this
// detector only (the classes do not share).
class PollSteps : public CamDetector::LoopSteps {
public:
    PollSteps(CamDetector* self, const DET_BASE_ATTR& attr, const char* path, int periodUs,
              BrellinOwned::WakeUp* wake)
        : m_Self(self),
          m_Attr(attr),
          m_Path(path),
          m_Client(self->Services().NewHttpClient()),
          m_Timer(periodUs, wake, &self->GetClock()) {}

    bool Open() override {
        MobotixInit(*m_Client, m_Attr, m_Path);
        m_Timer.BeginTiming();
        return true;
    }
    bool Step() override {
        m_Unit.buf = m_Buf;
        m_Unit.len = sizeof(m_Buf);
        m_Unit.state = MobotixQuery(*m_Client, m_Buf, sizeof(m_Buf)) == 0 ? DET_UNIT_OK : DET_UNIT_FAILED;
        return true;
    }
    void Report(CamDetector* det) override {
        if (det == m_Self) det->ReportUnit(m_Unit);
    }
    void Pace() override { m_Timer.Delay(); }

private:
    CamDetector* m_Self;
    const DET_BASE_ATTR& m_Attr;
    const char* m_Path;
    std::unique_ptr<BrellinOwned::CamHttpClient> m_Client;
    BrellinOwned::DelayTimer m_Timer;
    DET_UNIT m_Unit;
    char m_Buf[kLineSize];
};

}  // namespace

void MobotixInit(BrellinOwned::CamHttpClient& client, const DET_BASE_ATTR& attr, const std::string& path) {
    client.Init(path, attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST),
                attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT),
                attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER),
                attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD), 10, true, true, HTTP_VER_DEF,
                std::string());
}

int MobotixQuery(BrellinOwned::CamHttpClient& client, char* buf, unsigned int len) {
    memset(buf, 0, len);
    int rc = -1;
    int status = 0;
    if (client.SendRequest(OX_HTTP_GET, "?") == 0 && client.CheckResponse(status) == 0)
        rc = client.ReadToLineEnd(buf, (int)len) >= 1 ? 0 : -1;
    // The camera closes its event list answers: the next poll connects anew.
    client.Close();
    return rc;
}

MobotixMD::MobotixMD(DET_BASE_ATTR attr)
    : CamDetector(attr), m_AlarmCounter(0), m_PirCounter(0), m_blAlarmSeen(false), m_blPirSeen(false) {
    m_PollIntervalMs = 1000;
}

bool MobotixMD::IsTrig(char* buf, unsigned int len, int& value) {
    MOBOTIX_COUNTERS c;
    c.alarm = m_AlarmCounter;
    c.pir = m_PirCounter;
    c.alarmSeen = m_blAlarmSeen;
    c.pirSeen = m_blPirSeen;
    const bool trig = MobotixMotion(buf, len, m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_MODEL), c, value);
    m_AlarmCounter = c.alarm;
    m_PirCounter = c.pir;
    m_blAlarmSeen = c.alarmSeen;
    m_blPirSeen = c.pirSeen;
    return trig;
}

int MobotixMD::DetMain() {
    PollSteps steps(this, m_Attr, kMotionPath, m_PollIntervalMs * 1000, &m_StopWake);
    return RunLoop(steps);
}

MobotixDI::MobotixDI(DET_BASE_ATTR attr) : CamDetector(attr), m_AlarmCounter(0), m_blCounterSeen(false) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}

bool MobotixDI::IsTrig(int, char* buf, unsigned int len, int& value) {
    return MobotixInput(buf, len, m_AlarmCounter, m_blCounterSeen, value);
}

int MobotixDI::DetMain() {
    PollSteps steps(this, m_Attr, kInputPath, m_PollIntervalMs * 1000, &m_StopWake);
    return RunLoop(steps);
}

CAMDET_DET_CLASS(MobotixMD, MakeDet);
CAMDET_DET_CLASS(MobotixDI, MakeDet);
