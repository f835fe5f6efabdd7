#include "camdet/vendors/vivotekdi.h"

#include <stdlib.h>
#include <string.h>

namespace {
const int kTimeout = 10;
const int kLoopTimeout = 30;
const char* const kPath = "cgi-bin/dido/getdi.cgi?";
}  // namespace

Vivotek8DI::Vivotek8DI(DET_BASE_ATTR attr, VIVO_FUNC_GR group)
    : CgiQueryDetector(attr, kTimeout, CGI_QUERY_HTTP, HTTP_VER_DEF), m_DiOffset(0), m_FuncGr(group) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
    if (group == VIVO_FUNC_GR_4) {
        // The mediator's channel ("3") names the server's input.
        m_DiOffset = atoi(m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_CHANNEL).c_str()) - 1;
        m_DICnt = 1;
    }
}

int Vivotek8DI::GetPathPort(std::string& path, int& port) { return FixedPathPort(kPath, path, port); }

bool Vivotek8DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return vivorule::Vivotek8Input(port, m_DiOffset, buf, len, value);
}

int Vivotek8DI::DetMain() {
    BrellinOwned::DelayTimer timer(m_PollIntervalMs * 1000, &m_StopWake, &m_Clock);
    std::string path;
    int port = 0;
    if (GetPathPort(path, port) != 0) return 0;
    m_HttpClient->Init(path, CamHost(), port, CamUser(), CamPassword(), kLoopTimeout, true, true, HTTP_VER_DEF,
                      std::string());
    timer.BeginTiming();
    char buf[1024];
    while (IsActivated()) {
        memset(buf, 0, sizeof(buf));
        if (SendRequest(buf, sizeof(buf)) == 0) {
            int value = 0;
            for (int in = 0; in < m_DICnt; ++in) {
                bool trig = IsTrig(in, buf, sizeof(buf), value);
                m_Attr.evtBufMapHdl.SetStatus(in, trig, value);
            }
        }
        timer.Delay();
    }
    ResetDIDetStatus();
    return 0;
}
