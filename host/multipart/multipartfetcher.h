// The recorder's multipart stream fetcher, published to the detectors through
// GetMFFuncTable (interface/mediafetch.h): opens the camera's long-lived HTTP
// response (Basic or Digest login), cuts it into parts with MultipartParser and
// hands them out one at a time. Reconnects on the next part request after any
// failure or drop. One owner thread at a time.
#ifndef HOST_MULTIPARTFETCHER_H
#define HOST_MULTIPARTFETCHER_H

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/multipart/multipartparser.h"
#include "interface/camhealth.h"
#include "interface/hostservices.h"
#include "interface/mediafetch.h"

struct MF_CONNECT_INFO {
    std::string path, host, user, password;
    int port = 0;
    int timeoutSec = 10;
    HTTP_VERSION version = HTTP_VER_DEF;
    bool blTls = false;  // an https:// address: TLS whatever the camera's scheme
};

// Where the stream bytes come from: the camera over HTTP, or a scripted
// source in tests.
class MFByteSource {
public:
    virtual ~MFByteSource() {}
    // Opens the stream: 0 and the response's Content-Type on success.
    virtual int Connect(const MF_CONNECT_INFO& info, std::string& contentType) = 0;
    // Bytes read (> 0) as soon as some are there; 0 at the end of the stream;
    // negative on error or when nothing came within the time-out.
    virtual int Read(char* buf, int max) = 0;
    virtual void Close() = 0;
    // True when the camera answered the request with an HTTP error status:
    // what follows is no stream, and the client has told the camera's health.
    virtual bool ErrorStatus() const { return false; }
};

// The camera over the HTTP client of its services.
class MFHttpSource : public MFByteSource {
public:
    explicit MFHttpSource(BrellinOwned::CameraServices& services) : m_Services(services) {}
    int Connect(const MF_CONNECT_INFO& info, std::string& contentType) override;
    int Read(char* buf, int max) override;
    void Close() override;
    bool ErrorStatus() const override { return m_blErrorStatus; }

private:
    BrellinOwned::CameraServices& m_Services;
    std::unique_ptr<BrellinOwned::CamHttpClient> m_Client;
    bool m_blErrorStatus = false;
};

class MultipartFetcher : public BRObjectBase {
public:
    typedef std::function<std::unique_ptr<MFByteSource>()> SourceMaker;
    // Process-wide: what new fetchers read from (empty: HTTP). For tests and tools.
    static void SetSourceMaker(SourceMaker maker);

    // Connects and waits through services (borrowed; they outlive the fetcher).
    explicit MultipartFetcher(BrellinOwned::CameraServices& services);
    ~MultipartFetcher() override;

    // MF_FUNC_OPEN: where to connect; drops a running stream.
    virtual void Open(char* path, char* host, int port, char* user, char* password, int timeoutSec, int mode);
    // MF_FUNC_NEXT_PART: connects when needed and waits (bounded by the
    // time-out) for the next part. 0 with len = max(body length, header text
    // length + 1); on failure MF_NEXT_NO_STREAM, MF_NEXT_STREAM_ENDED (the
    // camera's health told first) or MF_NEXT_STREAM_CLOSED, after which the
    // stream is dropped.
    virtual int NextPart(unsigned int& len, char* text, unsigned int textSize, int& bodyLen);
    // MF_FUNC_READ_PART: len bytes (at most the len of MF_FUNC_NEXT_PART): the body, zero-padded.
    virtual int ReadPart(unsigned char* buf, unsigned int len);
    // MF_FUNC_PART_HEADERS and MF_FUNC_PART_PRAGMA: the part's header lines,
    // NUL-terminated at the start of buf, within the len of MF_FUNC_NEXT_PART:
    // every line as "Name:value\n", or only the Pragma lines as "Pragma: value\n".
    virtual int PartHeaders(unsigned char* buf);
    virtual int PartPragma(unsigned char* buf);
    // MF_FUNC_FAILED and MF_FUNC_DROP: drop the stream; the next NextPart reconnects.
    virtual void Failed();
    virtual void Drop();
    // The stream is at an https:// address: TLS until the next Open (the
    // recorder's own use; detectors reach the camera's scheme through its
    // services).
    void RequireTls() { m_Info.blTls = true; }
    // MF_FUNC_OPTIONS: "HttpVersion".
    virtual void SetOptions(const std::map<std::string, std::string>& opts);

private:
    int Connect();
    // Drops the stream that ended (why: for the log line) and tells the
    // camera's health what was lost; the result for NextPart.
    int StreamEnded(const char* why, bool blClean);
    int WriteLines(unsigned char* buf, const std::string& lines);

    BrellinOwned::CameraServices& m_Services;
    MF_CONNECT_INFO m_Info;
    bool m_blOpened;
    std::unique_ptr<MFByteSource> m_Source;
    bool m_blConnected;
    bool m_blStreamParts;   // the open stream gave a part
    int64_t m_ConnectedMs;  // when the stream was opened, on the services' clock
    // One log line per outage: cleared only by a part of a stream that ran,
    // so a camera that ends every stream after a part is not logged each time.
    bool m_blFailLogged;
    BrellinOwned::MultipartParser m_Parser;
    BrellinOwned::MultipartPart m_Part;
    bool m_blHavePart;
    unsigned int m_PartLen;
    // Whether the stream can be read, for the camera's health (the HTTP
    // client tells whether it answers).
    BrellinOwned::HealthSource m_Health;
};

#endif  // HOST_MULTIPARTFETCHER_H
