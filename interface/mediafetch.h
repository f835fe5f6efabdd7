// The recorder's media and multipart stream fetcher as the detectors see it:
// one long-lived HTTP response cut into parts (multipart server push: event
// notifications, status reports or JPEG frames), reached by function ID
// through the recorder's table.
#ifndef INTERFACE_MEDIAFETCH_H
#define INTERFACE_MEDIAFETCH_H

#include <map>
#include <string>

#include "interface/handlerutils.h"

namespace BrellinOwned {
class CameraServices;
}

// Fetcher function IDs and their signatures.
enum MF_FUNC {
    // void (char* path, char* host, int port, char* user, char* password, int timeoutSec, int mode):
    // stores where to connect; the stream is opened by the next MF_FUNC_NEXT_PART.
    MF_FUNC_OPEN = 0,
    // int (unsigned int& len, char* text, unsigned int textSize, int& bodyLen): waits for the next
    // part; 0 and len set when one is ready, non-zero on failure (MF_NEXT_*; the connection is
    // then dropped and the next call reconnects). len is at least the body length and leaves
    // room for the part's header lines (functions 4 and 5); text receives the part's Content-Type.
    MF_FUNC_NEXT_PART = 2,
    // int (unsigned char* buf, unsigned int len): copies len bytes of the current part (its body,
    // zero-padded up to len); 0 on success.
    MF_FUNC_READ_PART = 3,
    // int (unsigned char* buf): writes every header line of the current part as "Name:value\n"
    // (blanks around the value dropped), NUL-terminated at the start of buf, within the len of
    // function 2; 0 on success.
    MF_FUNC_PART_HEADERS = 4,
    // int (unsigned char* buf): as 4, with only the part's Pragma lines, as "Pragma: value\n".
    MF_FUNC_PART_PRAGMA = 5,
    // void (): a fetch failed; the stream is dropped and the next function 2 reconnects.
    MF_FUNC_FAILED = 6,
    // void (): drops the stream; the next function 2 reconnects.
    MF_FUNC_DROP = 7,
    // void (const std::map<std::string, std::string>&): options ("HttpVersion": "HTTP_VER_DEF",
    // "HTTP_VER_1_0" or "HTTP_VER_1_1"), used from the next connection on.
    MF_FUNC_OPTIONS = 10,
    MF_FUNC_COUNT = 11,
};

// Failures of MF_FUNC_NEXT_PART: no stream could be opened (connect, login or response); an
// open stream was lost (cut off mid-part, reset, broken framing, no part within the time-out,
// or ended before its first part), which the camera's health hears of first; or the camera
// ended a stream that ran at a part boundary (its closing delimiter, or the end of the
// response between two parts): nothing was lost, and the next call reconnects. Other
// non-zero values count as the first.
enum MF_NEXT_FAILURE { MF_NEXT_NO_STREAM = -1, MF_NEXT_STREAM_ENDED = -2, MF_NEXT_STREAM_CLOSED = -3 };

// Published by the recorder (libcamhost).
FuncTable* GetMFFuncTable();
// Creates an idle fetcher (null when the recorder cannot make one) that
// connects and waits through services (borrowed, outliving the fetcher; null:
// the recorder's defaults). The caller owns it and gives it back through
// ReleaseMediaFetch.
BRObjectBase* MediaFetchFactory(BrellinOwned::CameraServices* services = nullptr);
// Destroys a fetcher from MediaFetchFactory (closing its stream); obj becomes null.
void ReleaseMediaFetch(BRObjectBase*& obj);

// Owning handler: construction creates the recorder's fetcher (idle, no stream
// yet) on the camera's services, destruction releases it. One owner thread at
// a time.
class MFHandler : public BRSlotHandler<MF_FUNC_COUNT> {
public:
    explicit MFHandler(BrellinOwned::CameraServices& services) {
        SetHandlerBase(MediaFetchFactory(&services), GetMFFuncTable(), "MFHandler");
    }
    ~MFHandler() override {
        BRObjectBase* obj = m_pObj;
        m_pObj = nullptr;
        if (obj) ReleaseMediaFetch(obj);
    }
    MFHandler(const MFHandler&) = delete;
    MFHandler& operator=(const MFHandler&) = delete;

    void Open(const std::string& path, const std::string& host, int port, const std::string& user,
              const std::string& password, int timeoutSec, int mode) const {
        Call<void, char*, char*, int, char*, char*, int, int>(
            MF_FUNC_OPEN, const_cast<char*>(path.c_str()), const_cast<char*>(host.c_str()), port,
            const_cast<char*>(user.c_str()), const_cast<char*>(password.c_str()), timeoutSec, mode);
    }
    int NextPart(unsigned int& len, char* text, unsigned int textSize, int& bodyLen) const {
        return Call<int, unsigned int&, char*, unsigned int, int&>(MF_FUNC_NEXT_PART, len, text, textSize, bodyLen);
    }
    int ReadPart(unsigned char* buf, unsigned int len) const {
        return Call<int, unsigned char*, unsigned int>(MF_FUNC_READ_PART, buf, len);
    }
    int PartHeaders(unsigned char* buf) const { return Call<int, unsigned char*>(MF_FUNC_PART_HEADERS, buf); }
    int PartPragma(unsigned char* buf) const { return Call<int, unsigned char*>(MF_FUNC_PART_PRAGMA, buf); }
    void Failed() const { Call<void>(MF_FUNC_FAILED); }
    void Drop() const { Call<void>(MF_FUNC_DROP); }
    void SetOptions(const std::map<std::string, std::string>& opts) const {
        Call<void, const std::map<std::string, std::string>&>(MF_FUNC_OPTIONS, opts);
    }
};

#endif  // INTERFACE_MEDIAFETCH_H
