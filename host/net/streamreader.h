// The readers of the recorder's connections, written once over a byte
// source: line splitting, NUL-termination, the bounded read-ahead, and what
// a time-out leaves behind. OXSocket runs them over its descriptor,
// OXHttpClient over the body its transfer delivers, and the tests' scripted
// connections over their scripts, so a loop test reads through the same code
// as the camera's connection does.
#ifndef HOST_STREAMREADER_H
#define HOST_STREAMREADER_H

#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "host/net/httpparse.h"

namespace BrellinOwned {

class Clock;

// Where a reader's bytes come from.
class ByteSource {
public:
    // Receive results besides a byte count.
    static const int kEnd = 0;           // the stream ended normally
    static const int kError = -1;        // broken, or the thread's wake-up ended the wait
    static const int kTimedOut = -2;     // nothing came before the deadline
    static const int kBrokenEnd = -3;    // the stream ended abnormally (what came still counts)

    virtual ~ByteSource() {}
    // Waits until deadlineMs (on the reader's clock) for bytes and takes what
    // is there, at most max (max > 0): the count, or one of the results above.
    virtual int Receive(char* buf, size_t max, int64_t deadlineMs) = 0;
};

// Reads lines and raw bytes from one source. One owner thread; the clock and
// the source are borrowed and outlive the reader.
class StreamReader {
public:
    // lineBytes: the read-ahead of line reading; a line without its end that
    // fills it is cut there.
    StreamReader(ByteSource& source, Clock& clock, size_t lineBytes);
    ~StreamReader();

    // Raw bytes, at most max, not terminated: bytes read ahead by ReadLine
    // first, else whatever arrives within timeoutMs. The count; 0 at the end
    // of the stream; -2 when nothing came in time; -1 otherwise (an abnormal
    // end included).
    int ReadData(char* buf, int max, int64_t timeoutMs);
    // As ReadData, at most max - 1 bytes and NUL-terminated.
    int ReadText(char* buf, int max, int64_t timeoutMs);
    // One line (LF or CRLF ends it; an unterminated last line before the end
    // counts) into buf, without its end, NUL-terminated, at most max - 1
    // characters; a longer line is cut and its rest skipped. The length; or
    // negative (-2 nothing complete came in time, -1 otherwise), and then buf
    // is left exactly as it was: a caller may evaluate its last line again.
    // A partial line stays buffered for the next call.
    int ReadLine(char* buf, int max, int64_t timeoutMs);
    // Forgets everything buffered and the end (a new connection).
    void Reset();
    // True once the source said the stream ended.
    bool Ended() const { return m_blEnded; }

private:
    ByteSource& m_Source;
    Clock& m_Clock;
    const size_t m_LineBytes;
    std::unique_ptr<LineBuffer> m_Ahead;  // made by the first line read: raw readers need none
    bool m_blEnded;
    int m_EndRc;  // what ReadData says once ended and drained: 0, or -1 after an abnormal end
};

}  // namespace BrellinOwned

#endif  // HOST_STREAMREADER_H
