#include "camdet/vendors/stmfifo/stmfifodetector.h"

#include <functional>

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

// One frame per poll interval from the FIFO. test(data, len) runs on every
// frame with data; report(tested, lost) after every pass, for this detector
// only; lost is true once when no frame with data came within kLostMs.
class FifoSteps : public CamDetector::LoopSteps {
public:
    typedef std::function<void(char* data, unsigned int len)> TestFn;
    typedef std::function<void(bool tested, bool lost)> ReportFn;

    FifoSteps(CamDetector& det, const StreamFifoHandler& fifo, int periodMs, BrellinOwned::WakeUp* wake,
              TestFn test, ReportFn report)
        : m_Det(det),
          m_Fifo(fifo),
          m_Timer(periodMs * 1000, wake, &det.GetClock()),
          m_Test(std::move(test)),
          m_Report(std::move(report)),
          m_Loss(det.GetClock(), kLostMs),
          m_Pos(kFirstFifoPos) {}

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
        m_blTested = false;
        m_blLost = false;
        BRObjectBase* unit = m_Fifo.Call<BRObjectBase*, int>(STREAM_FIFO_FUNC_NEXT_UNIT, m_Pos);
        if (unit) {
            MediaUnitHandler mu(unit);
            m_Pos = mu.Position();
            unsigned char* data = mu.Data();
            const unsigned long len = mu.Length();
            // A unit beyond what one length can say is no frame of ours.
            if (data && len && len <= 0xFFFFFFFFul) {
                m_Test(reinterpret_cast<char*>(data), (unsigned int)len);
                m_blTested = true;
            }
            ReleaseMediaUnit(unit);
        }
        if (m_blTested) m_Loss.Unit();
        else m_blLost = m_Loss.NewlyLost();
        return true;
    }
    void Report(CamDetector* det) override {
        if (det == &m_Det) m_Report(m_blTested, m_blLost);
    }
    void Pace() override { m_Timer.Delay(); }

private:
    CamDetector& m_Det;
    const StreamFifoHandler& m_Fifo;
    BrellinOwned::DelayTimer m_Timer;
    TestFn m_Test;
    ReportFn m_Report;
    StreamLoss m_Loss;
    int m_Pos;
    bool m_blTested = false;
    bool m_blLost = false;
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
    bool trig = false;
    int value = 0;
    FifoSteps steps(
        *this, m_Attr.streamFifoHdl, m_PollIntervalMs, &m_StopWake,
        [&](char* data, unsigned int len) { trig = IsTrig(data, len, value); },
        [&](bool tested, bool) {
            // No frame this pass: no motion.
            m_Attr.evtBufHdl.SetStatus(tested && trig, tested ? value : 0);
            trig = false;
            value = 0;
        });
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
    // Inputs are reported only for a frame that was tested, while the unit
    // is still held; a pass without one leaves them as they were, until the
    // stream is lost: the camera's last frame no longer says anything.
    FifoSteps steps(
        *this, m_Attr.streamFifoHdl, m_PollIntervalMs, &m_StopWake,
        [this](char* data, unsigned int len) {
            for (int port = 0; port < m_DICnt; ++port) {
                int value = 0;
                const bool trig = IsTrig(port, data, len, value);
                m_Attr.evtBufMapHdl.SetStatus(port, trig, value);
            }
        },
        [this](bool, bool lost) {
            if (lost) ResetDIDetStatus();
        });
    return RunLoop(steps);
}

// ---------------------------------------------------------------- StarDot

StarDotStmFifoMD::StarDotStmFifoMD(DET_BASE_ATTR attr) : CamDetector(attr) { m_PollIntervalMs = 1000; }

bool StarDotStmFifoMD::IsTrig(char* buf, unsigned int len, int& value) {
    return StarDotFifoMotion(reinterpret_cast<unsigned char*>(buf), len, value);
}

int StarDotStmFifoMD::DetMain() {
    bool trig = false;
    int value = 0;
    FifoSteps steps(
        *this, m_Attr.streamFifoHdl, m_PollIntervalMs, &m_StopWake,
        [&](char* data, unsigned int len) { trig = IsTrig(data, len, value); },
        [&](bool tested, bool) {
            m_Attr.evtBufHdl.SetStatus(tested && trig, tested ? value : 0);
            trig = false;
            value = 0;
        });
    return RunLoop(steps);
}

CAMDET_DET_CLASS(IpuxStmFifoMD, MakeDet);
CAMDET_DET_CLASS(IpuxStmFifoDI, MakeDet);
CAMDET_DET_CLASS(StarDotStmFifoMD, MakeDet);
