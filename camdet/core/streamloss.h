// When a polled stream is lost: no usable unit (a frame that parses, a unit
// with data) within the time-out. A loop that takes its units from the
// recorder (the stream FIFO) cannot tell a camera that went away from one
// that has nothing new: the last frame stays the newest. Measured on the
// clock that paces those loops (the detector's). Owner thread only.
#ifndef CAMDET_STREAMLOSS_H
#define CAMDET_STREAMLOSS_H

#include <stdint.h>

#include "interface/clock.h"

class StreamLoss {
public:
    // clock is borrowed: it outlives this.
    StreamLoss(BrellinOwned::Clock& clock, int64_t timeoutMs) : m_Clock(clock), m_TimeoutMs(timeoutMs) {}

    // The stream (re)starts now: the time-out runs from here.
    void Start() {
        m_LastMs = m_Clock.NowMs();
        m_blLost = false;
    }
    // A usable unit came.
    void Unit() { Start(); }
    // True once per loss: when the time-out has passed since the last unit
    // (or the start) and the loss was not told before.
    bool NewlyLost() {
        if (m_blLost || m_Clock.NowMs() - m_LastMs < m_TimeoutMs) return false;
        m_blLost = true;
        return true;
    }

private:
    BrellinOwned::Clock& m_Clock;
    int64_t m_TimeoutMs;
    int64_t m_LastMs = 0;
    bool m_blLost = false;
};

#endif  // CAMDET_STREAMLOSS_H
