// ACTi motion over the camera's binary event connection (a TCP port the
// camera API names):
//   -> 128-byte login: user (31 characters) at 0, the word 1 at 32, password
//      (63 characters) at 64, NUL-terminated;
//   <- 128-byte answer, accepted when its first word is 0;
//   <- 12-byte event headers: 4 bytes not read, event code, payload length,
//      then the payload (skipped whole; an impossible length rebuilds the
//      connection);
//   -> 12-byte keep-alive "ACTi", 0x30, 0, at most every 20 s.
// All integers are 32-bit little-endian. The class runs its own loop.
#ifndef CAMDET_ACTIDETECTOR_H
#define CAMDET_ACTIDETECTOR_H

#include <stdint.h>

#include "camdet/core/eventdetector.h"
#include "interface/hostservices.h"

class ActiMD : public CamDetector {
public:
    explicit ActiMD(DET_BASE_ATTR attr);
    ~ActiMD() override;

    // One pass per event header or socket time-out (1 s); a failed
    // connection or login is retried once a second; a connection that broke
    // is rebuilt at once when it ran, after a back-off when it ended at once.
    int DetMain() override;

    // A new connection: the camera API's stream set-up and detection port,
    // connect and login. The socket object is made once and kept across
    // connections, so that a camera that stays away is logged once. 0, or -1
    // (sock disconnected).
    int NewSocket(BrellinOwned::CamSocket*& sock);
    // Connect, keep-alive options, login packet and answer: 0 or -1.
    int ConnectWithAuth(BrellinOwned::CamSocket* sock);
    // The keep-alive packet when 20 s have passed since the last one (or
    // the login): 0, or -1 when it could not be written.
    int SendLiveReq(BrellinOwned::CamSocket* sock);
    // Reads one event header and skips its payload: 0 (trig and value set,
    // or quiet when nothing came within the time-out), -1 when the
    // connection is broken (read error, short header or payload, a payload
    // length no event has).
    int Detect(BrellinOwned::CamSocket* sock, bool& trig, int& value);
    // Deletes the socket; sock becomes null. 0.
    int ReleaseSocket(BrellinOwned::CamSocket*& sock);

    int32_t GetEventCode() const { return m_EventCode; }

    static const int kLiveIntervalMs = 20000;

protected:
    int32_t m_EventCode;
    int32_t m_LiveCmd;
    int64_t m_LastLiveTime;    // camera clock (ms) of the last keep-alive or login
    bool m_blLoginFailLogged;  // one log line per run of failed logins
};

#endif  // CAMDET_ACTIDETECTOR_H
