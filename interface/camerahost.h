// The recorder's per-camera objects as the detectors see them: capability and
// camera-API objects (called through their virtual operations) and the
// handlers on the mediator, event buffers, stream FIFO and RTP fetcher (called
// by function ID through the recorder's tables).
#ifndef INTERFACE_CAMERAHOST_H
#define INTERFACE_CAMERAHOST_H

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

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

// Function tables published by the recorder (libcamhost).
FuncTable* GetCamMediatorFuncTable();
FuncTable* GetEventBufFuncTable();
FuncTable* GetEventBufMapFuncTable();
FuncTable* GetStreamFifoFuncTable();
FuncTable* GetRtpFetchFuncTable();

// Handler on the camera mediator: 16 functions, IDs 0-15.
class CamMediatorHandler : public BRSlotHandler<16> {
public:
    CamMediatorHandler() {}
    explicit CamMediatorHandler(BRObjectBase* obj) { SetHandlerBase(obj, GetCamMediatorFuncTable(), "CamMediatorHandler"); }
    std::string GetString(int id) const { return Call<std::string>(id); }
    int GetInt(int id) const { return Call<int>(id); }
};

// Handler on one detector's event buffer: function 0 is int (bool trig, int value).
class EventBufHandler : public BRSlotHandler<1> {
public:
    EventBufHandler() {}
    explicit EventBufHandler(BRObjectBase* obj) { SetHandlerBase(obj, GetEventBufFuncTable(), "EventBufHandler"); }
    int SetStatus(bool trig, int value) const { return Call<int, bool, int>(0, trig, value); }
};

// Handler on the per-port event buffers: function 0 is int (int port, bool trig, int value).
class EventBufMapHandler : public BRSlotHandler<1> {
public:
    EventBufMapHandler() {}
    explicit EventBufMapHandler(BRObjectBase* obj) {
        SetHandlerBase(obj, GetEventBufMapFuncTable(), "EventBufMapHandler");
    }
    int SetStatus(int port, bool trig, int value) const { return Call<int, int, bool, int>(0, port, trig, value); }
};

// Handler on the live-stream FIFO: function 0 is BRObjectBase* (int).
class StreamFifoHandler : public BRSlotHandler<1> {
public:
    StreamFifoHandler() {}
    explicit StreamFifoHandler(BRObjectBase* obj) {
        SetHandlerBase(obj, GetStreamFifoFuncTable(), "StreamFifoHandler");
    }
};

// Handler on an RTP fetcher: functions 0-6.
class RtpFetchHandler : public BRSlotHandler<7> {
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
    int GetStreamFormat() const { return m_StreamFormat; }
    int GetStreamProtocol() const { return m_StreamProtocol; }
    // Every ApplyCamDetParam call, in order (kind, params, arg).
    struct AppliedParam {
        int kind;
        std::map<int, std::string> params;
        int arg;
    };
    std::vector<AppliedParam> GetAppliedParams() const;
    int GetPrepareCount(int kind) const;

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
    int m_StreamFormat;
    int m_StreamProtocol;
    int m_PrepareCount[5];
    std::vector<AppliedParam> m_Applied;
    mutable std::mutex m_Mutex;  // m_Applied and the counters: recorder and detector threads
};

#endif  // INTERFACE_CAMERAHOST_H
