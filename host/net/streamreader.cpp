// The readers of the recorder's connections (see streamreader.h).
#include "host/net/streamreader.h"

#include <errno.h>
#include <string.h>

#include "interface/clock.h"

namespace BrellinOwned {

namespace {
// -2 (errno EAGAIN, which callers tell from a broken connection) for a
// time-out, -1 for anything else.
int TimedOutOr(int rc) {
    if (rc != ByteSource::kTimedOut) return -1;
    errno = EAGAIN;
    return -2;
}
}  // namespace

StreamReader::StreamReader(ByteSource& source, Clock& clock, size_t lineBytes)
    : m_Source(source), m_Clock(clock), m_LineBytes(lineBytes < 2 ? 2 : lineBytes), m_blEnded(false), m_EndRc(0) {}

StreamReader::~StreamReader() {}

void StreamReader::Reset() {
    if (m_Ahead) m_Ahead->Clear();
    m_blEnded = false;
    m_EndRc = 0;
}

int StreamReader::ReadData(char* buf, int max, int64_t timeoutMs) {
    if (buf == nullptr || max <= 0) return -1;
    if (m_Ahead && m_Ahead->Size() > 0) return (int)m_Ahead->Take(buf, (size_t)max);
    if (m_blEnded) return m_EndRc;
    const int n = m_Source.Receive(buf, (size_t)max, m_Clock.NowMs() + timeoutMs);
    if (n > 0) return n;
    if (n == ByteSource::kEnd || n == ByteSource::kBrokenEnd) {
        m_blEnded = true;
        m_EndRc = n == ByteSource::kEnd ? 0 : -1;
        return m_EndRc;
    }
    return TimedOutOr(n);
}

int StreamReader::ReadText(char* buf, int max, int64_t timeoutMs) {
    if (buf == nullptr || max < 2) return -1;
    const int n = ReadData(buf, max - 1, timeoutMs);
    if (n >= 0) buf[n] = '\0';
    return n;
}

int StreamReader::ReadLine(char* buf, int max, int64_t timeoutMs) {
    if (buf == nullptr || max < 2) return -1;
    if (!m_Ahead) m_Ahead.reset(new LineBuffer(m_LineBytes));
    const int64_t deadline = m_Clock.NowMs() + timeoutMs;
    for (;;) {
        // TakeLine writes buf only when it hands out a line.
        const int len = m_Ahead->TakeLine(buf, max, m_blEnded);
        if (len >= 0) return len;
        if (m_blEnded) return -1;
        size_t room = 0;
        char* tail = m_Ahead->Tail(room);
        if (room == 0) return -1;  // cannot happen: a full buffer gives a cut line
        const int n = m_Source.Receive(tail, room, deadline);
        if (n > 0) {
            m_Ahead->Commit((size_t)n);
        } else if (n == ByteSource::kEnd || n == ByteSource::kBrokenEnd) {
            m_blEnded = true;
            m_EndRc = n == ByteSource::kEnd ? 0 : -1;
        } else {
            return TimedOutOr(n);
        }
    }
}

}  // namespace BrellinOwned
