// Cameras whose alarm state rides in the video frames the recorder already
// keeps in its live-stream FIFO: no request of their own. Once per poll
// interval the newest frame after the last one read is taken from the FIFO
// and tested:
//   Ipux     byte 24 the motion level (signed; 0..255 scaled to 0..99 except
//            on "ipux5m", which reports 0..100), byte 27 bits 0-2 the inputs;
//   StarDot  a "SDM0" block near the end of the frame, then 32 bytes of
//            motion flags.
// Each class runs its own loop and shares nothing.
#ifndef CAMDET_STMFIFODETECTOR_H
#define CAMDET_STMFIFODETECTOR_H

#include "camdet/core/eventdetector.h"

class IpuxStmFifoMD : public CamDetector {
public:
    explicit IpuxStmFifoMD(DET_BASE_ATTR attr);
    int DetMain() override;
    // The frame's motion level against motion parameter key 3.
    virtual bool IsTrig(char* buf, unsigned int len, int& value);

    int GetLevelScale() const { return m_LevelScale; }

protected:
    int m_LevelScale;  // 100 on "ipux5m" cameras, else 255
};

class IpuxStmFifoDI : public CamDetector {
public:
    explicit IpuxStmFifoDI(DET_BASE_ATTR attr);
    int DetMain() override;
    // Every input reads the same three frame bits.
    virtual bool IsTrig(int port, char* buf, unsigned int len, int& value);
};

class StarDotStmFifoMD : public CamDetector {
public:
    explicit StarDotStmFifoMD(DET_BASE_ATTR attr);
    int DetMain() override;
    virtual bool IsTrig(char* buf, unsigned int len, int& value);
};

#endif  // CAMDET_STMFIFODETECTOR_H
