// Transport base for cameras that push their events on one long-lived
// connection: an HTTP response that never ends, made of fixed-size binary
// records or of text lines, or a plain TCP connection that delivers text
// lines. The connection is kept until it fails; a bounded number of empty
// lines and of read failures is tolerated before it is rebuilt, at once when
// the stream ran, after a back-off (interface/backoff.h) when it ended at
// once. A line the rules cannot read (cut by a NUL, or one a vendor test says
// carries no data) is not reported: the status stays. Only the first detector
// of a camera reads; the others of the camera that linked for sharing are fed
// every record.
#ifndef CAMDET_BINSTREAMDETECTOR_H
#define CAMDET_BINSTREAMDETECTOR_H

#include <memory>
#include <string>

#include "camdet/core/eventdetector.h"
#include "interface/hostservices.h"

enum __tag_BIN_STREAM_TYPE {
    BIN_STREAM_HTTP_RECORD = 0,  // HTTP body of binary records of exactly the buffer size
    BIN_STREAM_HTTP_LINE = 1,    // HTTP body of text lines
    BIN_STREAM_SOCKET_LINE = 2,  // TCP connection to CameraAPI::GetDetPathPort's port; text lines
};

class BinStreamDetector : public CamDetector {
public:
    // path: the request of types 0 and 1; bufSize: the record size or the
    // line limit; timeoutSec: read time-out (also sets the failure budget);
    // httpFlag: the HTTP client's authentication flag.
    BinStreamDetector(DET_BASE_ATTR attr, std::string path, unsigned int bufSize, __tag_BIN_STREAM_TYPE type,
                      int timeoutSec, bool httpFlag);
    // Disconnects the socket of type 2.
    ~BinStreamDetector() override;

    // The worker loop; returns 0 at once for a follower. The tests
    // (CamDetector::IsTrig) get one record or line with the buffer size as
    // its length, not the bytes read; a line is NUL-terminated.
    int DetMain() override;

    // Opens the connection: 0, or -1 (connect, request, status or an empty
    // status line failed).
    int Connect();
    // Consecutive read failures tolerated before the connection is rebuilt:
    // 60 / timeout - 1, or 20 when that is not positive.
    static int FailureBudget(int timeoutSec);
    static const int kMaxEmptyLines = 30;

    unsigned int GetBufSize() const { return m_BufSize; }
    __tag_BIN_STREAM_TYPE GetStreamType() const { return m_StreamType; }
    int GetTimeout() const { return m_Timeout; }
    const std::string& GetPath() const { return m_Path; }
    bool GetHttpFlag() const { return m_blHttpFlag; }

    // The loop's own steps (the loop is CamDetector::RunLoop): set-up once,
    // and one read: a record or line (count >= 0: the bytes or the line
    // length), 0 for an empty line, negative when nothing could be read. A
    // record whose rest comes only after a pause is returned short.
    void OpenStream();
    virtual int ReadUnit(char* buf);
    // Reset after a broken stream: status (false, 0) and every input, for
    // this detector and its followers; the next pass reconnects.
    void ResetStream(char* buf);
    // "HOST:PORT/path" of the stream (its query left out), once opened.
    const std::string& StreamAddress() const { return m_Address; }

protected:
    // The recorder's clients through its interfaces, made by the camera's
    // services: a test hands in scripted ones.
    std::unique_ptr<BrellinOwned::CamSocket> m_Socket;
    int m_Timeout;
    unsigned int m_BufSize;
    std::string m_Path;
    std::unique_ptr<BrellinOwned::CamHttpClient> m_HttpClient;
    __tag_BIN_STREAM_TYPE m_StreamType;
    bool m_blHttpFlag;
    std::string m_Address;
};

#endif  // CAMDET_BINSTREAMDETECTOR_H
