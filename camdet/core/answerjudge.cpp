#include "camdet/core/answerjudge.h"

#include "dupfromox/oxdebuglog.h"
#include "interface/camservices.h"
#include "interface/clock.h"

namespace {
const char* const kSrc = "camdet/answerjudge";
// A camera that keeps turning unreadable is logged at most this often.
const int64_t kLogEveryMs = 10 * 60 * 1000;
}  // namespace

AnswerJudge::AnswerJudge(BrellinOwned::CameraServices& services, const std::string& host, int port, int camId)
    : m_Clock(services.GetClock()),
      m_Address(BrellinOwned::HealthAddress(host, port)),
      m_Src(services.Health(), m_Address, true),
      m_CamId(camId) {}

void AnswerJudge::Tell(DET_UNIT_READ read, const std::string& path) {
    if (!m_Src.Health()) return;
    if (read == DET_READ_UNTESTED) {
        // The exchange failed (its client tells why): the camera's next
        // answer is judged afresh before it can be ok again.
        if (m_Told == BrellinOwned::CAM_HEALTH_OK) {
            m_Told = BrellinOwned::CAM_HEALTH_CONNECTING;
            m_Src.Withdraw();
        }
        return;
    }
    if (read == DET_READ_SOME) {
        m_Unread = 0;
        if (m_Told == BrellinOwned::CAM_HEALTH_OK) return;
        m_Told = BrellinOwned::CAM_HEALTH_OK;
        m_Src.Ok(false);
        return;
    }
    if (++m_Unread < kUnreadForError || m_Told == BrellinOwned::CAM_HEALTH_ERROR) return;
    std::string where = m_Address + path.substr(0, path.find('?'));
    if (path.empty() || path[0] != '/') where.insert(m_Address.size(), "/");
    m_Told = BrellinOwned::CAM_HEALTH_ERROR;
    m_Src.Error("answers from " + where + " cannot be read");
    const int64_t now = m_Clock.NowMs();
    if (!m_blLogged || now - m_LoggedMs >= kLogEveryMs) {
        m_blLogged = true;
        m_LoggedMs = now;
        OXLOG(kSrc, "Cam[%d]: Answers from %s cannot be read.\n", m_CamId, where.c_str());
    }
}
