#include "camdet/vendors/levelone/levelonegr2detector.h"

#include <string.h>

#include "camdet/core/detclass.h"
#include "interface/hostservices.h"

namespace {

const char* const kWindowPath = "cgi-bin/admin/param?action=list&group=Motion";
const unsigned int kLineSize = 1024;
// The parameter list is a few dozen lines; a camera that never ends it is
// not read forever.
const int kMaxWindowLines = 4096;

class LevelSteps : public CamDetector::LoopSteps {
public:
    LevelSteps(LevelOneGr2MD& det, int periodUs, BrellinOwned::WakeUp* wake)
        : m_Det(det), m_Timer(periodUs, wake, &det.GetClock()) {}

    bool Open() override {
        if (m_Det.GetMotionWin() != 0) return false;
        m_Timer.BeginTiming();
        return true;
    }
    bool Step() override {
        m_Unit.buf = m_Buf;
        m_Unit.len = sizeof(m_Buf);
        m_Unit.state = m_Det.ReadLine(m_Buf, sizeof(m_Buf)) == 0 ? DET_UNIT_OK : DET_UNIT_FAILED;
        return true;
    }
    // The class does not share: its own status only.
    void Report(CamDetector* det) override {
        if (det == &m_Det) det->ReportUnit(m_Unit);
    }
    void Pace() override { m_Timer.Delay(); }

private:
    LevelOneGr2MD& m_Det;
    BrellinOwned::DelayTimer m_Timer;
    DET_UNIT m_Unit;
    char m_Buf[kLineSize];
};

}  // namespace

LevelOneGr2MD::LevelOneGr2MD(DET_BASE_ATTR attr) : CamDetector(attr), m_LevelSocket(Services().NewSocket()) {
    memset(m_MotionWin, 0, sizeof(m_MotionWin));
}

int LevelOneGr2MD::DetMain() {
    LevelSteps steps(*this, m_PollIntervalMs * 1000, &m_StopWake);
    return RunLoop(steps);
}

int LevelOneGr2MD::GetMotionWin() {
    std::unique_ptr<BrellinOwned::CamHttpClient> client = Services().NewHttpClient();
    client->Init(kWindowPath, m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST),
                 m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT),
                 m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER),
                 m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD), 5, true, true, HTTP_VER_DEF,
                 std::string());
    if (client->SendRequest(OX_HTTP_GET, "?") != 0) return -1;
    int status = 0;
    if (client->CheckResponse(status) != 0) return -1;
    memset(m_MotionWin, 0, sizeof(m_MotionWin));
    char line[kLineSize];
    for (int i = 0; i < kMaxWindowLines && client->ReadToLineEnd(line, (int)sizeof(line)) >= 0; ++i) {
        LevelOneGr2ParseWindowLine(line, m_MotionWin);
        if (!IsActivated()) break;
    }
    return 0;
}

int LevelOneGr2MD::ReadLine(char* buf, unsigned int len) {
    memset(buf, 0, len);
    m_LevelSocket->SetSocketInfo(m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST), kLevelPort, 5, true);
    const int rc = m_LevelSocket->Connect() != 0 || m_LevelSocket->ReadToLineEnd(buf, (int)len) < 0 ? -1 : 0;
    m_LevelSocket->Disconnect();
    return rc;
}

bool LevelOneGr2MD::IsTrig(char* buf, unsigned int len, int& value) {
    return LevelOneGr2Trig(buf, len, m_MotionWin, value);
}

CAMDET_DET_CLASS(LevelOneGr2MD, MakeDet);
