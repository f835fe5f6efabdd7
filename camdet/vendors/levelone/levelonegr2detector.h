// LevelOne GR2 motion: the camera's three motion windows are read once over
// HTTP ("cgi-bin/admin/param?action=list&group=Motion", lines such as
// "Motion.M0.Threshold=40"); then every poll connects to TCP port 19999 and
// reads one line of region levels ("R1=120,R2=30,R3=0"), region n belonging
// to window n - 1. The class runs its own loop.
#ifndef CAMDET_LEVELONEGR2DETECTOR_H
#define CAMDET_LEVELONEGR2DETECTOR_H

#include <memory>

#include "camdet/core/eventdetector.h"
#include "camdet/rules/ownlooprules.h"
#include "interface/camservices.h"

class LevelOneGr2MD : public CamDetector {
public:
    explicit LevelOneGr2MD(DET_BASE_ATTR attr);
    int DetMain() override;

    // Reads the motion windows: 0, or -1 when the camera did not answer
    // (the detector then does not poll).
    int GetMotionWin();
    // One line of region levels from port 19999 into buf (len bytes): 0 or -1.
    // Every poll is a new connection, on one socket object, so that a camera
    // that stays away is one log line, not one a poll.
    int ReadLine(char* buf, unsigned int len);
    // The windows' test of one line of region levels.
    bool IsTrig(char* buf, unsigned int len, int& value);

    const LEVELONE_MOTION_WIN* GetMotionWindows() const { return m_MotionWin; }

    static const int kLevelPort = 19999;

protected:
    LEVELONE_MOTION_WIN m_MotionWin[LEVELONE_WIN_COUNT];
    std::unique_ptr<BrellinOwned::CamSocket> m_LevelSocket;
};

#endif  // CAMDET_LEVELONEGR2DETECTOR_H
