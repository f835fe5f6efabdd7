// The recorder's live-stream FIFO: the frames of one camera's live stream as
// media units, newest last, bounded in count and bytes (the oldest go first
// when a reader does not keep up), and the feeder that fills it from the
// camera's MJPEG stream (multipart/x-mixed-replace over the HTTP client).
#ifndef HOST_MEDIA_STREAMFIFO_H
#define HOST_MEDIA_STREAMFIFO_H

#include <stddef.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "interface/camerahost.h"
#include "interface/clock.h"
#include "interface/mediaunit.h"

// One frame handed to a reader. Holds its bytes by reference count, so the
// FIFO may drop the frame while a reader still parses it. Released through
// ReleaseMediaUnit.
class MediaUnit : public BRObjectBase {
public:
    MediaUnit(std::shared_ptr<const std::vector<unsigned char> > data, int position);
    ~MediaUnit() override;
    // MEDIA_UNIT_FUNC_*.
    virtual unsigned char* GetData();
    virtual unsigned long GetLength();
    virtual int GetPosition();

private:
    std::shared_ptr<const std::vector<unsigned char> > m_Data;
    int m_Position;
};

// Thread-safe: one feeder pushes, any number of readers ask.
class StreamFifo : public BRObjectBase {
public:
    static const size_t kDefaultMaxUnits = 16;
    static const size_t kDefaultMaxBytes = 32u * 1024 * 1024;

    StreamFifo(size_t maxUnits = kDefaultMaxUnits, size_t maxBytes = kDefaultMaxBytes);
    ~StreamFifo() override;

    // STREAM_FIFO_FUNC_NEXT_UNIT: the newest unit whose position is after
    // pos, as a new MediaUnit the caller releases; null when there is none.
    // Positions are the units' sequence numbers (from 1, increasing); a pos
    // the FIFO has not reached yet (a reader's first request, or one from a
    // stream before a restart) gets the newest unit. Readers that want every
    // frame are not served: detection wants the latest.
    virtual BRObjectBase* NextUnit(int pos);

    // Appends one frame (copied). A frame larger than maxBytes is refused
    // (false); older units are dropped until count and bytes fit.
    bool Push(const unsigned char* data, size_t len);
    // Drops every unit; positions go on from where they were.
    void Clear();

    size_t Units() const;
    size_t Bytes() const;
    // Position of the newest unit (0 before the first).
    int NewestPosition() const;
    // Waits until a unit newer than pos is there, or ms pass on the real
    // clock; true when there is one. For tools and tests.
    bool WaitNewer(int pos, int ms);

private:
    struct Unit {
        std::shared_ptr<const std::vector<unsigned char> > data;
        int position;
    };
    mutable std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::deque<Unit> m_Units;
    size_t m_Bytes;
    size_t m_MaxUnits;
    size_t m_MaxBytes;
    int m_Next;  // position of the next unit
};

// Feeds a StreamFifo from an MJPEG URL on its own thread: each part of the
// stream is one frame. Reconnects at once after a stream that ran, otherwise
// after a growing pause (1 s up to 30 s, interface/backoff.h, on the clock of
// its services, cut short by Stop). Parts that are not JPEG (no FF D8 start)
// are skipped, and frames beyond the fetcher's part limit break the stream
// and reconnect, so memory stays bounded whatever the camera sends.
// Credentials never reach the log.
class StreamFifoFeeder {
public:
    struct Source {
        std::string host, path, user, password;
        int port = 80;
        int timeoutSec = 10;
        bool blTls = false;  // https://
    };
    // Parses "http[s]://[user:password@]host[:port]/path"; false (and why)
    // when it is not such a URL.
    static bool ParseUrl(const std::string& url, Source& src, std::string& why);

    // Connects and waits through services (borrowed; they outlive the feeder).
    StreamFifoFeeder(StreamFifo& fifo, const Source& src,
                     BrellinOwned::CameraServices& services = BrellinOwned::DefaultCameraServices());
    ~StreamFifoFeeder();  // stops
    // Starts the thread; false when it could not be created.
    bool Start();
    // Ends the thread: every wait of its fetcher ends when this is called.
    void Stop();
    // Frames pushed, and connections that brought a part, so far.
    unsigned long Frames() const { return m_Frames.load(); }
    unsigned long Connects() const { return m_Connects.load(); }

private:
    void Run();
    StreamFifo& m_Fifo;
    Source m_Src;
    BrellinOwned::CameraServices& m_Services;
    std::thread m_Thread;
    std::atomic<bool> m_blRun;
    BrellinOwned::WakeUp m_StopWake;
    std::atomic<unsigned long> m_Frames;
    std::atomic<unsigned long> m_Connects;
};

#endif  // HOST_MEDIA_STREAMFIFO_H
