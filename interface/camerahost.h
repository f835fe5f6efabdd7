// The recorder's per-camera objects as the detectors see them: capability and
// camera-API objects (called through their virtual operations) and the
// handlers on the mediator, event buffers, stream FIFO and RTP fetcher (called
// by function ID through the recorder's tables).
#ifndef INTERFACE_CAMERAHOST_H
#define INTERFACE_CAMERAHOST_H

#include <map>
#include <set>
#include <string>

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
// recorder's factory; "shared": the recorder's fetcher of the live stream.
enum RTP_FETCH_FUNC {
    // int (unsigned int& extLen, int&): own fetcher: waits for the next packet and reports the
    // length of its header extension; non-zero on failure. The int is not read.
    RTP_FETCH_FUNC_WAIT_PACKET = 0,
    // unsigned int (): shared fetcher: the extension length of the current packet.
    RTP_FETCH_FUNC_CUR_EXT_LEN = 1,
    // int (unsigned char* buf, unsigned int len): copies the current packet's extension of that
    // length; non-zero on failure.
    RTP_FETCH_FUNC_COPY_EXT = 2,
    // void (): own fetcher: the last fetch failed; called before the back-off.
    RTP_FETCH_FUNC_FETCH_FAILED = 3,
    // void (): the detector could not allocate its extension buffer.
    RTP_FETCH_FUNC_OUT_OF_MEMORY = 4,
    // unsigned int (char* buf, unsigned int capacity, int&): copies the current extension into a
    // buffer of that capacity; the bytes copied, 0 when there are none.
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

// Handler on an RTP fetcher.
class RtpFetchHandler : public BRSlotHandler<RTP_FETCH_FUNC_COUNT> {
public:
    RtpFetchHandler() {}
    explicit RtpFetchHandler(BRObjectBase* obj) { SetHandlerBase(obj, GetRtpFetchFuncTable(), "RtpFetchHandler"); }
};

// What the recorder knows about one camera's API. Getters only, from any thread.
class CameraCap : public BRObjectBase {
public:
    CameraCap();
    ~CameraCap() override;
    virtual std::string GetAPI();
    virtual int GetDICnt();
    // True when the camera's API carries this capability word ("VMD", "GROUP11", ...).
    virtual bool IsApiSpecified(std::string word);
    virtual bool HasCapability(int cap);
    virtual OnvifVersion GetOnvifVersion();
    virtual OnvifServiceEnt GetOnvifServiceEnt();
    virtual std::string GetOnvifEvtTopicNs();
    virtual std::string GetOnvifVdoSrcConfToken();
    virtual std::string GetOnvifMdTopic();
    virtual std::string GetOnvifDiTopic();
    virtual std::string GetOnvifTdTopic();
    virtual std::string GetOnvifAdTopic();

    // Recorder-side set-up.
    void SetAPI(const std::string& api) { m_Api = api; }
    void SetDICnt(int n) { m_DICnt = n; }
    void AddApiWord(const std::string& word) { m_ApiWords.insert(word); }
    void AddCapability(int cap) { m_Caps.insert(cap); }
    void SetOnvifVersion(const OnvifVersion& v) { m_OnvifVersion = v; }
    void SetOnvifServiceEnt(const OnvifServiceEnt& e) { m_OnvifServiceEnt = e; }
    void SetOnvifEvtTopicNs(const std::string& s) { m_OnvifTopicNs = s; }
    void SetOnvifVdoSrcConfToken(const std::string& s) { m_OnvifVdoSrcConfToken = s; }
    // kind: DET_TYPE_MD .. DET_TYPE_AD
    void SetOnvifTopic(int kind, const std::string& key) { m_OnvifTopics[kind] = key; }

private:
    std::string m_Api;
    int m_DICnt;
    std::set<std::string> m_ApiWords;
    std::set<int> m_Caps;
    OnvifVersion m_OnvifVersion;
    OnvifServiceEnt m_OnvifServiceEnt;
    std::string m_OnvifTopicNs;
    std::string m_OnvifVdoSrcConfToken;
    std::map<int, std::string> m_OnvifTopics;
};

// The recorder's camera-API object: what it knows of a model's paths, ports
// and settings. Virtual operations in this order; path getters return 0 and
// fill their out-arguments on success.
class CameraAPI : public BRObjectBase {
public:
    explicit CameraAPI(CameraCap* cap = nullptr);
    ~CameraAPI() override;
    virtual int SetStreamInfo(int format, int protocol);
    virtual int PrepareMD();
    virtual int PrepareDI();
    virtual int PrepareTD();
    virtual int PrepareAD();
    // Pushes detection parameters to the camera: 0 or 2 on success.
    virtual int ApplyCamDetParam(int kind, std::map<int, std::string>& params, int arg);
    virtual int GetJpgPathPort(std::string& path, int& port);
    virtual int GetDetPathPort(std::string& path, int& port);
    virtual int GetDIPathPort(std::string& path, int& port);
    virtual int GetCamDiTrigValue(int& value);
    virtual std::string GetRtpFetchArg();
    virtual int GetDetPort();
    virtual std::string GetChannelStr();

    // Recorder-side set-up: the camera's HTTP port (default for path getters)
    // and user overrides of the per-key defaults.
    void SetHttpPort(int port) { m_HttpPort = port; }
    void OverrideDetPath(const std::string& path) { m_DetPath = path; m_blDetPathSet = true; }
    void OverrideDetPort(int port) { m_DetPort = port; }
    void SetChannelStr(const std::string& ch) { m_ChannelStr = ch; }
    void SetCamDiTrigValue(int v) { m_DiTrigValue = v; }

protected:
    std::string ApiKey() const;
    // Per-key default of a path getter ("det", "di", "jpg").
    virtual bool DefaultPathPort(const std::string& which, std::string& path, int& port) const;

    CameraCap* m_pCap;
    int m_HttpPort;
    std::string m_DetPath;
    bool m_blDetPathSet;
    int m_DetPort;  // 0: per-key default
    std::string m_ChannelStr;
    int m_DiTrigValue;
};

#endif  // INTERFACE_CAMERAHOST_H
