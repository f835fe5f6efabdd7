// The recorder's per-camera objects as the detectors see them: capability and
// camera-API objects (called through their virtual operations) and the
// handlers on the mediator, event buffers, stream FIFO and RTP fetcher (called
// by function ID through the recorder's tables).
#ifndef INTERFACE_CAMERAHOST_H
#define INTERFACE_CAMERAHOST_H

#include <map>
#include <string>

#include "interface/camservices.h"
#include "interface/handlerutils.h"
#include "interface/onvifrecords.h"

enum {
    DET_TYPE_MD = 1,
    DET_TYPE_DI = 2,
    DET_TYPE_TD = 3,
    DET_TYPE_AD = 4,
};

// Camera mediator function IDs; none takes arguments.
enum CAM_MEDIATOR_FUNC {
    CAM_MEDIATOR_FUNC_USER = 0,          // std::string login user
    CAM_MEDIATOR_FUNC_PASSWORD = 1,      // std::string login password
    CAM_MEDIATOR_FUNC_CHANNEL = 2,       // std::string channel or input number ("1" based)
    CAM_MEDIATOR_FUNC_NAME = 3,          // std::string camera name
    CAM_MEDIATOR_FUNC_VENDOR = 4,        // std::string manufacturer
    CAM_MEDIATOR_FUNC_MODEL = 5,         // std::string camera model
    CAM_MEDIATOR_FUNC_HOST = 6,          // std::string camera address
    CAM_MEDIATOR_FUNC_HTTP_PORT = 7,     // int HTTP port
    CAM_MEDIATOR_FUNC_RTSP_PORT = 8,     // int RTSP port
    CAM_MEDIATOR_FUNC_HTTPS_PORT = 9,    // int HTTPS port
    CAM_MEDIATOR_FUNC_STREAM_FORMAT = 10,  // int: 1 JPEG, 2 MPEG-4/H.264 over RTP, 3 H.265
    CAM_MEDIATOR_FUNC_STREAM_PROTOCOL = 11,  // int: 1 RTP over RTSP
    CAM_MEDIATOR_FUNC_CAM_ID = 12,       // int camera id
    CAM_MEDIATOR_FUNC_DI_COUNT = 13,     // int configured input count
    CAM_MEDIATOR_FUNC_FW_VERSION = 14,   // std::string firmware version
    CAM_MEDIATOR_FUNC_MAC = 15,          // std::string MAC address
    CAM_MEDIATOR_FUNC_COUNT = 16,
};

// Event buffer function IDs (one detector's status).
enum EVT_BUF_FUNC {
    EVT_BUF_FUNC_SET_STATUS = 0,  // int (bool trig, int value); (false, 0) clears the status
    EVT_BUF_FUNC_COUNT = 1,
};

// Per-port event buffer function IDs (a DI detector's inputs, ports from 0).
enum EVT_BUF_MAP_FUNC {
    EVT_BUF_MAP_FUNC_SET_STATUS = 0,  // int (int port, bool trig, int value); (port, false, 0) clears a port
    EVT_BUF_MAP_FUNC_COUNT = 1,
};

// Live-stream FIFO function IDs.
enum STREAM_FIFO_FUNC {
    STREAM_FIFO_FUNC_NEXT_UNIT = 0,  // BRObjectBase* (int pos): the next media unit after pos; null when none is ready
    STREAM_FIFO_FUNC_COUNT = 1,
};

// RTP fetcher function IDs. "Own": a fetcher the detector created through the
// recorder's factory (interface/rtpfetch.h); "shared": the recorder's fetcher
// of the live stream. The "current packet" is the one function 0 waited for
// (own) or the newest one the stream delivered, taken by function 1 (shared).
enum RTP_FETCH_FUNC {
    // int (unsigned int& extLen, int&): own fetcher: waits for the next packet and reports the
    // length of its header extension; non-zero on failure. The int is not read.
    RTP_FETCH_FUNC_WAIT_PACKET = 0,
    // unsigned int (): shared fetcher: the extension length of the current packet.
    RTP_FETCH_FUNC_CUR_EXT_LEN = 1,
    // int (unsigned char* buf, unsigned int len): copies len bytes of the current packet's
    // extension; non-zero on failure (no current packet, or len beyond its extension).
    RTP_FETCH_FUNC_COPY_EXT = 2,
    // void (): own fetcher: the last fetch failed; called before the back-off.
    RTP_FETCH_FUNC_FETCH_FAILED = 3,
    // void (): the detector could not allocate its extension buffer.
    RTP_FETCH_FUNC_OUT_OF_MEMORY = 4,
    // unsigned int (char* buf, unsigned int capacity, int&): copies the current extension (at most
    // capacity bytes of it) into buf; with the wait flag set it first waits, bounded, for a packet
    // newer than the last one read. The bytes copied, 0 when there are none. The int is not read.
    RTP_FETCH_FUNC_READ_EXT = 5,
    // void (bool wait): whether the next RTP_FETCH_FUNC_READ_EXT waits for a fresh packet; set
    // to true before every bounded read.
    RTP_FETCH_FUNC_SET_WAIT = 6,
    RTP_FETCH_FUNC_COUNT = 7,
};

// Function tables published by the recorder (libcamhost).
FuncTable* GetCamMediatorFuncTable();
FuncTable* GetEventBufFuncTable();
FuncTable* GetEventBufMapFuncTable();
FuncTable* GetStreamFifoFuncTable();
FuncTable* GetRtpFetchFuncTable();

// Handler on the camera mediator: functions CAM_MEDIATOR_FUNC_*.
class CamMediatorHandler : public BRSlotHandler<CAM_MEDIATOR_FUNC_COUNT> {
public:
    CamMediatorHandler() {}
    explicit CamMediatorHandler(BRObjectBase* obj) {
        SetHandlerBase(obj, GetCamMediatorFuncTable(), "CamMediatorHandler");
    }
    std::string GetString(int id) const { return Call<std::string>(id); }
    int GetInt(int id) const { return Call<int>(id); }
};

// Handler on one detector's event buffer.
class EventBufHandler : public BRSlotHandler<EVT_BUF_FUNC_COUNT> {
public:
    EventBufHandler() {}
    explicit EventBufHandler(BRObjectBase* obj) { SetHandlerBase(obj, GetEventBufFuncTable(), "EventBufHandler"); }
    int SetStatus(bool trig, int value) const { return Call<int, bool, int>(EVT_BUF_FUNC_SET_STATUS, trig, value); }
};

// Handler on the per-port event buffers.
class EventBufMapHandler : public BRSlotHandler<EVT_BUF_MAP_FUNC_COUNT> {
public:
    EventBufMapHandler() {}
    explicit EventBufMapHandler(BRObjectBase* obj) {
        SetHandlerBase(obj, GetEventBufMapFuncTable(), "EventBufMapHandler");
    }
    int SetStatus(int port, bool trig, int value) const {
        return Call<int, int, bool, int>(EVT_BUF_MAP_FUNC_SET_STATUS, port, trig, value);
    }
};

// Handler on the live-stream FIFO.
class StreamFifoHandler : public BRSlotHandler<STREAM_FIFO_FUNC_COUNT> {
public:
    StreamFifoHandler() {}
    explicit StreamFifoHandler(BRObjectBase* obj) {
        SetHandlerBase(obj, GetStreamFifoFuncTable(), "StreamFifoHandler");
    }
};

// Handler on an RTP fetcher: functions RTP_FETCH_FUNC_*. An extension is
// handed out as on the wire: its 4-byte head (the profile-defined 16 bits and
// the count of 32-bit words) followed by those words; a packet without one
// has length 0.
class RtpFetchHandler : public BRSlotHandler<RTP_FETCH_FUNC_COUNT> {
public:
    RtpFetchHandler() {}
    explicit RtpFetchHandler(BRObjectBase* obj) { SetHandlerBase(obj, GetRtpFetchFuncTable(), "RtpFetchHandler"); }
    int WaitPacket(unsigned int& extLen, int& arg) const {
        return Call<int, unsigned int&, int&>(RTP_FETCH_FUNC_WAIT_PACKET, extLen, arg);
    }
    unsigned int CurExtLen() const { return Call<unsigned int>(RTP_FETCH_FUNC_CUR_EXT_LEN); }
    // Non-zero also when the slot cannot be called (the call logs why).
    int CopyExt(unsigned char* buf, unsigned int len) const {
        const int rc = Call<int, unsigned char*, unsigned int>(RTP_FETCH_FUNC_COPY_EXT, buf, len);
        return Callable<int, unsigned char*, unsigned int>(RTP_FETCH_FUNC_COPY_EXT) ? rc : -1;
    }
    void FetchFailed() const { Call<void>(RTP_FETCH_FUNC_FETCH_FAILED); }
    void OutOfMemory() const { Call<void>(RTP_FETCH_FUNC_OUT_OF_MEMORY); }
    unsigned int ReadExt(char* buf, unsigned int capacity, int& arg) const {
        return Call<unsigned int, char*, unsigned int, int&>(RTP_FETCH_FUNC_READ_EXT, buf, capacity, arg);
    }
    void SetWait(bool wait) const { Call<void, bool>(RTP_FETCH_FUNC_SET_WAIT, wait); }
};

// What the recorder knows about one camera's API, as the detectors read it.
// Getters only, callable from any thread; the recorder fills its object
// before it asks for detectors.
class CameraCap : public BRObjectBase {
public:
    ~CameraCap() override;
    // The camera API key ("axisv3", "onvif", ...).
    virtual std::string GetAPI() = 0;
    // Number of digital inputs.
    virtual int GetDICnt() = 0;
    // True when the camera's API carries this capability word ("VMD", "GROUP11", ...).
    virtual bool IsApiSpecified(std::string word) = 0;
    virtual bool HasCapability(int cap) = 0;
    virtual OnvifVersion GetOnvifVersion() = 0;
    virtual OnvifServiceEnt GetOnvifServiceEnt() = 0;
    virtual std::string GetOnvifEvtTopicNs() = 0;
    virtual std::string GetOnvifVdoSrcConfToken() = 0;
    // The topic key of each detection kind; empty when none is configured.
    virtual std::string GetOnvifMdTopic() = 0;
    virtual std::string GetOnvifDiTopic() = 0;
    virtual std::string GetOnvifTdTopic() = 0;
    virtual std::string GetOnvifAdTopic() = 0;
};

// The recorder's camera-API object: what it knows of a model's paths, ports
// and settings. Virtual operations in this order; path getters and
// GetCamDiTrigValue return 0 and fill their out-arguments on success.
class CameraAPI : public BRObjectBase {
public:
    ~CameraAPI() override;
    // The stream a detector reads (format and protocol as the mediator gives
    // them). The result is not used.
    virtual int SetStreamInfo(int format, int protocol) = 0;
    // The factory of that kind calls one of these before it makes a detector,
    // unless the recorder's flag says not to; the result is not used.
    virtual int PrepareMD() = 0;
    virtual int PrepareDI() = 0;
    virtual int PrepareTD() = 0;
    virtual int PrepareAD() = 0;
    // Pushes detection parameters of one kind to the camera: 0 or 2 on success.
    virtual int ApplyCamDetParam(int kind, std::map<int, std::string>& params, int arg) = 0;
    virtual int GetJpgPathPort(std::string& path, int& port) = 0;
    virtual int GetDetPathPort(std::string& path, int& port) = 0;
    virtual int GetDIPathPort(std::string& path, int& port) = 0;
    // The input value that means "alarm".
    virtual int GetCamDiTrigValue(int& value) = 0;
    // Passed unread to the recorder's RTP fetcher factory.
    virtual std::string GetRtpFetchArg() = 0;
    virtual int GetDetPort() = 0;
    virtual std::string GetChannelStr() = 0;
    // The clock and the connections of this camera, for each of its
    // detectors and their clients (borrowed; they outlive the detectors).
    // On the camera-API object because that is the object that talks to the
    // camera; appended after the operations above, whose slots stay. Default:
    // BrellinOwned::DefaultCameraServices().
    virtual BrellinOwned::CameraServices& GetServices();
};

#endif  // INTERFACE_CAMERAHOST_H
