// Transport base for cameras that push their events on one long-lived HTTP
// response cut into parts (multipart server push). The recorder's fetcher does
// the HTTP work; this class reads part by part, hands each body to the vendor
// test and reports, for itself and for the detectors that share its stream.
// The tests (CamDetector::IsTrig) get the body buffer with its capacity as
// the length: the bytes after the body are zero, and buf[size] is always a
// zero byte; a part that could not be read is reported as no alarm.
#ifndef CAMDET_MULTIPARTDETECTOR_H
#define CAMDET_MULTIPARTDETECTOR_H

#include <string>

#include "camdet/core/eventdetector.h"
#include "interface/backoff.h"
#include "interface/hostservices.h"
#include "interface/mediafetch.h"

class MultipartDetector : public CamDetector {
public:
    // Creates the recorder's fetcher (idle); timeoutSec goes to it when the
    // stream is opened, version as its "HttpVersion" option.
    MultipartDetector(DET_BASE_ATTR attr, int timeoutSec, HTTP_VERSION version);
    // Releases the fetcher.
    ~MultipartDetector() override;

    // The worker loop: one fetcher opening, one part per pass.
    int DetMain() override;

    // 0 when path and port are set; anything else and the detector cannot run.
    virtual int GetPathPort(std::string& path, int& port) = 0;

    // Reads one part into buf (capacity size, grown to the part length when
    // needed, never shrunk). 0 when a part was read, -1 on any failure, 1
    // when the camera ended a stream that ran (nothing to report; the rules
    // keep what they hold). The first part after a failure comes on a new
    // connection: the camera's held states are cleared before it is tested.
    // When no part came the call waits before it returns: 1 s when no
    // stream could be opened; after a stream that ended, not at all when it
    // ran, else the back-off of interface/backoff.h.
    int Detect(char*& buf, unsigned int& size);
    // The loop's set-up (the loop is CamDetector::RunLoop): allocates the body
    // buffer, asks for path and port and opens the fetcher. False (status
    // reset) when the detector cannot run.
    bool OpenStream(char*& buf, unsigned int& size);

    int GetBodyMode() const { return m_BodyMode; }
    int GetTimeout() const { return m_Timeout; }
    HTTP_VERSION GetHttpVersion() const { return m_HttpVersion; }
    // The options map handed to the fetcher for an HTTP version (empty for an unknown one).
    static std::map<std::string, std::string> HttpVersionOptions(int version);

protected:
    MFHandler m_MFHandler;
    int m_BodyMode;  // 0 body only; 1 header lines (function 4); 2 Pragma lines (function 5)
    int m_Timeout;
    HTTP_VERSION m_HttpVersion;

private:
    int ReadOnePart(char*& buf, unsigned int& size);
    // Owner thread: the stream was dropped since the last part.
    bool m_blReopening;
    // Owner thread: the next part request opens a stream; when the current
    // one was opened (the camera's clock) and whether it gave a part.
    bool m_blNewStream;
    int64_t m_StreamStartMs;
    bool m_blStreamDelivered;
    BrellinOwned::ReconnectBackoff m_Backoff;
};

#endif  // CAMDET_MULTIPARTDETECTOR_H
