#include "camdet/vendors/stmfifo/stmfifodetector.h"

#include "camdet/core/detclass.h"
#include "camdet/core/streamloss.h"
#include "camdet/rules/ownlooprules.h"
#include "dupfromox/oxdebuglog.h"
#include "interface/hostservices.h"
#include "interface/mediaunit.h"

namespace {

const char* const kSrc = "camdet/stmfifodetector";
const int kFirstFifoPos = 10001;
// No frame with data for this long: the camera's stream is lost.
const int kLostMs = 10000;

// One frame per poll interval from the FIFO, reported to this detector only
// (through ReportUnit, while the frame is still held): a frame with data is
// tested; a pass without one is reported as noFrame says; once no frame with
// data came within kLostMs, the stream is lost.
class FifoSteps : public CamDetector::LoopSteps {
public:
    FifoSteps(CamDetector& det, const StreamFifoHandler& fifo, int periodMs, BrellinOwned::WakeUp* wake,
              DET_UNIT_STATE noFrame)
        : m_Det(det),
          m_Fifo(fifo),
          m_Timer(periodMs * 1000, wake, &det.GetClock()),
          m_NoFrame(noFrame),
          m_Loss(det.GetClock(), kLostMs),
          m_Pos(kFirstFifoPos) {}
    ~FifoSteps() override { Release(); }

    bool Open() override {
        if (!m_Fifo.IsValid()) {
            OXLOG(kSrc, "Cam[%d]: Null stream fifo.\n", m_Det.GetCamId());
            m_Det.ResetDetStatus();
            return false;
        }
        m_Timer.BeginTiming();
        m_Loss.Start();
        return true;
    }
    bool Step() override {
        Release();
        m_Unit.state = m_NoFrame;
        m_pHeld = m_Fifo.Call<BRObjectBase*, int>(STREAM_FIFO_FUNC_NEXT_UNIT, m_Pos);
        if (m_pHeld) {
            MediaUnitHandler mu(m_pHeld);
            m_Pos = mu.Position();
            unsigned char* data = mu.Data();
            const unsigned long len = mu.Length();
            // A unit beyond what one length can say is no frame of ours.
            if (data && len && len <= 0xFFFFFFFFul) {
                m_Unit.buf = reinterpret_cast<char*>(data);
                m_Unit.len = (unsigned int)len;
                m_Unit.state = DET_UNIT_OK;
            }
        }
        if (m_Unit.state == DET_UNIT_OK) m_Loss.Unit();
        else if (m_Loss.NewlyLost()) m_Unit.state = DET_UNIT_LOST;
        return true;
    }
    void Report(CamDetector* det) override {
        if (det != &m_Det) return;
        det->ReportUnit(m_Unit);
        Release();
    }
    void Pace() override { m_Timer.Delay(); }

private:
    void Release() {
        if (m_pHeld) ReleaseMediaUnit(m_pHeld);
        m_pHeld = nullptr;
        m_Unit = DET_UNIT();
    }

    CamDetector& m_Det;
    const StreamFifoHandler& m_Fifo;
    BrellinOwned::DelayTimer m_Timer;
    const DET_UNIT_STATE m_NoFrame;
    StreamLoss m_Loss;
    int m_Pos;
    BRObjectBase* m_pHeld = nullptr;  // the FIFO's unit behind m_Unit, until it is reported
    DET_UNIT m_Unit;
};

}  // namespace

// ---------------------------------------------------------------- Ipux

IpuxStmFifoMD::IpuxStmFifoMD(DET_BASE_ATTR attr)
    : CamDetector(attr), m_LevelScale(m_Attr.pCamCap && m_Attr.pCamCap->GetAPI() == "ipux5m" ? 100 : 255) {
    m_PollIntervalMs = 1000;
}

bool IpuxStmFifoMD::IsTrig(char* buf, unsigned int len, int& value) {
    int param;
    {
        ScopedLock g(m_Mutex);
        param = m_MDParam[1];
    }
    return IpuxFifoMotion(reinterpret_cast<unsigned char*>(buf), len, m_LevelScale, param, value);
}

int IpuxStmFifoMD::DetMain() {
    // No frame this pass: no motion.
    FifoSteps steps(*this, m_Attr.streamFifoHdl, m_PollIntervalMs, &m_StopWake, DET_UNIT_FAILED);
    return RunLoop(steps);
}

IpuxStmFifoDI::IpuxStmFifoDI(DET_BASE_ATTR attr) : CamDetector(attr) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}

bool IpuxStmFifoDI::IsTrig(int, char* buf, unsigned int len, int& value) {
    return IpuxFifoInput(reinterpret_cast<unsigned char*>(buf), len, value);
}

int IpuxStmFifoDI::DetMain() {
    // Inputs are reported only for a frame that was tested; a pass without
    // one leaves them as they were, until the stream is lost: the camera's
    // last frame no longer says anything.
    FifoSteps steps(*this, m_Attr.streamFifoHdl, m_PollIntervalMs, &m_StopWake, DET_UNIT_NO_DATA);
    return RunLoop(steps);
}

// ---------------------------------------------------------------- StarDot

StarDotStmFifoMD::StarDotStmFifoMD(DET_BASE_ATTR attr) : CamDetector(attr) { m_PollIntervalMs = 1000; }

bool StarDotStmFifoMD::IsTrig(char* buf, unsigned int len, int& value) {
    return StarDotFifoMotion(reinterpret_cast<unsigned char*>(buf), len, value);
}

int StarDotStmFifoMD::DetMain() {
    FifoSteps steps(*this, m_Attr.streamFifoHdl, m_PollIntervalMs, &m_StopWake, DET_UNIT_FAILED);
    return RunLoop(steps);
}

CAMDET_DET_CLASS(IpuxStmFifoMD, MakeDet);
CAMDET_DET_CLASS(IpuxStmFifoDI, MakeDet);
CAMDET_DET_CLASS(StarDotStmFifoMD, MakeDet);
