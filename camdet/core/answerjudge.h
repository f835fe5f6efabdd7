// Whether a camera's answers can be read, for the camera's health: a
// transport whose units are whole answers (a poll) tells the judge what the
// camera's detectors made of each one. An answer no test of the camera could
// read (an HTML login page, a truncated or foreign answer) twice in a row
// makes the camera `error`; the next answer read makes it ok. One odd answer
// among good ones changes nothing: a person would only see the state flicker.
#ifndef CAMDET_CORE_ANSWERJUDGE_H
#define CAMDET_CORE_ANSWERJUDGE_H

#include <stdint.h>

#include <string>

#include "camdet/core/eventdetector.h"
#include "interface/camhealth.h"

class AnswerJudge {
public:
    // The camera's health through its services (nothing is told without
    // one); host and port name the camera in texts. Owned by the loop's
    // thread; camId for the log line.
    AnswerJudge(BrellinOwned::CameraServices& services, const std::string& host, int port, int camId);
    AnswerJudge(const AnswerJudge&) = delete;
    AnswerJudge& operator=(const AnswerJudge&) = delete;

    // What the detectors made of one answer from path (its query, which may
    // carry a login, is left out of every text). After an untested one (a
    // failed exchange, which its client reports) the next answer read is
    // needed before the camera is ok again.
    void Tell(DET_UNIT_READ read, const std::string& path);

    static constexpr int kUnreadForError = 2;

private:
    BrellinOwned::Clock& m_Clock;
    std::string m_Address;  // "HOST:PORT", as the camera's clients name it
    BrellinOwned::HealthSource m_Src;
    int m_CamId;
    int m_Unread = 0;   // answers in a row that nothing could read
    int m_Told = BrellinOwned::CAM_HEALTH_CONNECTING;
    bool m_blLogged = false;
    int64_t m_LoggedMs = 0;  // camera-clock time of the last log line
};

#endif  // CAMDET_CORE_ANSWERJUDGE_H
