// Reconnect pacing for long-lived camera connections (event streams, RTSP
// sessions, stream feeds). A camera that accepts a connection and ends it at
// once (a connection limit, firmware that closes the stream) must not be
// reconnected at network speed: each attempt costs it a login and the
// recorder a log line and a pair of status changes. A connection that ran is
// followed by an immediate reconnect, as a reset stream should be.
#ifndef INTERFACE_BACKOFF_H
#define INTERFACE_BACKOFF_H

#include <stdint.h>

namespace BrellinOwned {

class ReconnectBackoff {
public:
    // A connection counts as having run when it delivered something and
    // lasted at least kRanMs.
    static const int64_t kRanMs = 1000;
    static const int64_t kFirstMs = 1000;
    static const int64_t kMaxMs = 30000;

    // The wait before the next connection, given how the last one went:
    // 0 after one that ran, otherwise 1 s, doubling up to 30 s for each
    // further connection in a row that did not run.
    int64_t NextWaitMs(bool delivered, int64_t lastedMs) {
        if (delivered && lastedMs >= kRanMs) {
            m_NextMs = kFirstMs;
            return 0;
        }
        const int64_t wait = m_NextMs;
        m_NextMs = m_NextMs * 2 > kMaxMs ? kMaxMs : m_NextMs * 2;
        return wait;
    }
    void Reset() { m_NextMs = kFirstMs; }

private:
    int64_t m_NextMs = kFirstMs;
};

}  // namespace BrellinOwned

#endif  // INTERFACE_BACKOFF_H
