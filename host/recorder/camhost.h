// Recorder-side objects for one camera: the camera mediator, the event
// buffers and the stream FIFO, each published through its function table so
// that detectors reach them exactly as a recorder's would, and the recorder's
// capability and camera-API objects with their set-up.
#ifndef HOST_CAMHOST_H
#define HOST_CAMHOST_H

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/media/streamfifo.h"
#include "interface/camerahost.h"

// The camera's identity and login as the recorder holds it. Setters from the
// recorder's thread before detectors start; getters from any thread.
class CamMediator : public BRObjectBase {
public:
    CamMediator();
    ~CamMediator() override;

    virtual std::string GetUser();
    virtual std::string GetPassword();
    virtual std::string GetChannel();
    virtual std::string GetName();
    virtual std::string GetVendor();
    virtual std::string GetModel();
    virtual std::string GetHost();
    virtual int GetHttpPort();
    virtual int GetRtspPort();
    virtual int GetHttpsPort();
    virtual int GetStreamFormat();
    virtual int GetStreamProtocol();
    virtual int GetCamId();
    virtual int GetDICount();
    virtual std::string GetFwVersion();
    virtual std::string GetMac();

    std::string user, password, channel = "1", name, vendor, model, host = "127.0.0.1", fwVersion, mac;
    int httpPort = 80, rtspPort = 554, httpsPort = 443, streamFormat = 0, streamProtocol = 1, camId = 1, diCount = 1;
};

// One detector's status as the recorder reads it. Thread-safe.
class EventBuf : public BRObjectBase {
public:
    typedef std::function<void(bool trig, int value)> Listener;
    EventBuf();
    ~EventBuf() override;
    // EVT_BUF_FUNC_SET_STATUS: stores the status and tells the listener. Returns 0.
    virtual int SetStatus(bool trig, int value);
    void SetListener(Listener l);
    bool GetTrig() const;
    int GetValue() const;

private:
    mutable std::mutex m_Mutex;
    Listener m_Listener;
    bool m_Trig = false;
    int m_Value = 0;
};

// Per-port input status. Thread-safe.
class EventBufMap : public BRObjectBase {
public:
    typedef std::function<void(int port, bool trig, int value)> Listener;
    EventBufMap();
    ~EventBufMap() override;
    // EVT_BUF_MAP_FUNC_SET_STATUS: stores the port's status and tells the
    // listener. 0, or -1 for a negative port.
    virtual int SetStatus(int port, bool trig, int value);
    void SetListener(Listener l);
    bool GetTrig(int port) const;
    int GetValue(int port) const;

private:
    mutable std::mutex m_Mutex;
    Listener m_Listener;
    std::map<int, std::pair<bool, int> > m_Ports;
};

// The recorder's capability record of one camera. The set-up calls come from
// the recorder's thread before detectors are created; the getters from any
// thread after that.
class RecorderCameraCap : public CameraCap {
public:
    RecorderCameraCap();
    ~RecorderCameraCap() override;
    std::string GetAPI() override;
    int GetDICnt() override;
    bool IsApiSpecified(std::string word) override;
    bool HasCapability(int cap) override;
    OnvifVersion GetOnvifVersion() override;
    OnvifServiceEnt GetOnvifServiceEnt() override;
    std::string GetOnvifEvtTopicNs() override;
    std::string GetOnvifVdoSrcConfToken() override;
    std::string GetOnvifMdTopic() override;
    std::string GetOnvifDiTopic() override;
    std::string GetOnvifTdTopic() override;
    std::string GetOnvifAdTopic() override;

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

// The recorder's camera-API object: the per-key default paths and ports of
// camapidefaults, under the user's overrides. cap (borrowed, may be null)
// gives the camera API key. Set up from the recorder's thread before
// detectors are created.
class RecorderCameraAPI : public CameraAPI {
public:
    explicit RecorderCameraAPI(CameraCap* cap = nullptr);
    ~RecorderCameraAPI() override;
    int SetStreamInfo(int format, int protocol) override;
    int PrepareMD() override;
    int PrepareDI() override;
    int PrepareTD() override;
    int PrepareAD() override;
    int ApplyCamDetParam(int kind, std::map<int, std::string>& params, int arg) override;
    int GetJpgPathPort(std::string& path, int& port) override;
    int GetDetPathPort(std::string& path, int& port) override;
    int GetDIPathPort(std::string& path, int& port) override;
    int GetCamDiTrigValue(int& value) override;
    std::string GetRtpFetchArg() override;
    int GetDetPort() override;
    std::string GetChannelStr() override;
    // The services set by SetServices, or the default ones.
    BrellinOwned::CameraServices& GetServices() override;
    // Gives this camera's detectors other services (borrowed; null: the
    // default). Set before detectors are created: each takes them at its
    // construction.
    void SetServices(BrellinOwned::CameraServices* services) { m_pServices = services; }

    // The camera's HTTP port: the port of every default without its own.
    void SetHttpPort(int port) { m_HttpPort = port; }
    // User overrides of the per-key detection path and port (0: the default).
    void OverrideDetPath(const std::string& path) {
        m_DetPath = path;
        m_blDetPathSet = true;
    }
    void OverrideDetPort(int port) { m_DetPort = port; }
    void SetChannelStr(const std::string& ch) { m_ChannelStr = ch; }
    void SetCamDiTrigValue(int v) { m_DiTrigValue = v; }

private:
    std::string ApiKey() const;
    // Per-key default of a path getter ("det", "di", "jpg", "rtp").
    bool DefaultPathPort(const std::string& which, std::string& path, int& port) const;

    CameraCap* m_pCap;
    int m_HttpPort;
    std::string m_DetPath;
    bool m_blDetPathSet;
    int m_DetPort;  // 0: per-key default
    std::string m_ChannelStr;
    int m_DiTrigValue;
    BrellinOwned::CameraServices* m_pServices = nullptr;
};

#endif  // HOST_CAMHOST_H
