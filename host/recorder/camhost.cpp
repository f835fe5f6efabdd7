#include "host/recorder/camhost.h"

#include "host/recorder/camapidefaults.h"

// ---------------------------------------------------------------- mediator

CamMediator::CamMediator() {}
CamMediator::~CamMediator() {}
std::string CamMediator::GetUser() { return user; }
std::string CamMediator::GetPassword() { return password; }
std::string CamMediator::GetChannel() { return channel; }
std::string CamMediator::GetName() { return name; }
std::string CamMediator::GetVendor() { return vendor; }
std::string CamMediator::GetModel() { return model; }
std::string CamMediator::GetHost() { return host; }
int CamMediator::GetHttpPort() { return httpPort; }
int CamMediator::GetRtspPort() { return rtspPort; }
int CamMediator::GetHttpsPort() { return httpsPort; }
int CamMediator::GetStreamFormat() { return streamFormat; }
int CamMediator::GetStreamProtocol() { return streamProtocol; }
int CamMediator::GetCamId() { return camId; }
int CamMediator::GetDICount() { return diCount; }
std::string CamMediator::GetFwVersion() { return fwVersion; }
std::string CamMediator::GetMac() { return mac; }

FuncTable* GetCamMediatorFuncTable() {
    typedef MemFunc<std::string, CamMediator> S;
    typedef MemFunc<int, CamMediator> I;
    static S user(&CamMediator::GetUser), password(&CamMediator::GetPassword), channel(&CamMediator::GetChannel),
        name(&CamMediator::GetName), vendor(&CamMediator::GetVendor), model(&CamMediator::GetModel),
        host(&CamMediator::GetHost), fw(&CamMediator::GetFwVersion), mac(&CamMediator::GetMac);
    static I httpPort(&CamMediator::GetHttpPort), rtspPort(&CamMediator::GetRtspPort),
        httpsPort(&CamMediator::GetHttpsPort), format(&CamMediator::GetStreamFormat),
        protocol(&CamMediator::GetStreamProtocol), camId(&CamMediator::GetCamId), diCount(&CamMediator::GetDICount);
    static FuncTable table = {
        {CAM_MEDIATOR_FUNC_USER, &user},
        {CAM_MEDIATOR_FUNC_PASSWORD, &password},
        {CAM_MEDIATOR_FUNC_CHANNEL, &channel},
        {CAM_MEDIATOR_FUNC_NAME, &name},
        {CAM_MEDIATOR_FUNC_VENDOR, &vendor},
        {CAM_MEDIATOR_FUNC_MODEL, &model},
        {CAM_MEDIATOR_FUNC_HOST, &host},
        {CAM_MEDIATOR_FUNC_HTTP_PORT, &httpPort},
        {CAM_MEDIATOR_FUNC_RTSP_PORT, &rtspPort},
        {CAM_MEDIATOR_FUNC_HTTPS_PORT, &httpsPort},
        {CAM_MEDIATOR_FUNC_STREAM_FORMAT, &format},
        {CAM_MEDIATOR_FUNC_STREAM_PROTOCOL, &protocol},
        {CAM_MEDIATOR_FUNC_CAM_ID, &camId},
        {CAM_MEDIATOR_FUNC_DI_COUNT, &diCount},
        {CAM_MEDIATOR_FUNC_FW_VERSION, &fw},
        {CAM_MEDIATOR_FUNC_MAC, &mac},
    };
    return &table;
}

// ---------------------------------------------------------------- event buffers

EventBuf::EventBuf() {}
EventBuf::~EventBuf() {}

int EventBuf::SetStatus(bool trig, int value) {
    Listener l;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Trig = trig;
        m_Value = value;
        l = m_Listener;
    }
    if (l) l(trig, value);
    return 0;
}

void EventBuf::SetListener(Listener l) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Listener = l;
}
bool EventBuf::GetTrig() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Trig;
}
int EventBuf::GetValue() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Value;
}

EventBufMap::EventBufMap() {}
EventBufMap::~EventBufMap() {}

int EventBufMap::SetStatus(int port, bool trig, int value) {
    if (port < 0) return -1;
    Listener l;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Ports[port] = std::make_pair(trig, value);
        l = m_Listener;
    }
    if (l) l(port, trig, value);
    return 0;
}

void EventBufMap::SetListener(Listener l) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Listener = l;
}
bool EventBufMap::GetTrig(int port) const {
    std::lock_guard<std::mutex> g(m_Mutex);
    auto it = m_Ports.find(port);
    return it != m_Ports.end() && it->second.first;
}
int EventBufMap::GetValue(int port) const {
    std::lock_guard<std::mutex> g(m_Mutex);
    auto it = m_Ports.find(port);
    return it == m_Ports.end() ? 0 : it->second.second;
}

FuncTable* GetEventBufFuncTable() {
    static MemFunc<int, EventBuf, bool, int> setStatus(&EventBuf::SetStatus);
    static FuncTable table = {{EVT_BUF_FUNC_SET_STATUS, &setStatus}};
    return &table;
}

FuncTable* GetEventBufMapFuncTable() {
    static MemFunc<int, EventBufMap, int, bool, int> setStatus(&EventBufMap::SetStatus);
    static FuncTable table = {{EVT_BUF_MAP_FUNC_SET_STATUS, &setStatus}};
    return &table;
}

// ---------------------------------------------------------------- interface classes

// Defined here so that their vtables and type information are emitted once,
// in this library.
CameraCap::~CameraCap() {}
CameraAPI::~CameraAPI() {}
BrellinOwned::CameraServices& CameraAPI::GetServices() { return BrellinOwned::DefaultCameraServices(); }

// ---------------------------------------------------------------- capability

RecorderCameraCap::RecorderCameraCap() : m_DICnt(1) {}
RecorderCameraCap::~RecorderCameraCap() {}
std::string RecorderCameraCap::GetAPI() { return m_Api; }
int RecorderCameraCap::GetDICnt() { return m_DICnt; }
bool RecorderCameraCap::IsApiSpecified(std::string word) { return m_ApiWords.count(word) != 0; }
bool RecorderCameraCap::HasCapability(int cap) { return m_Caps.count(cap) != 0; }
OnvifVersion RecorderCameraCap::GetOnvifVersion() { return m_OnvifVersion; }
OnvifServiceEnt RecorderCameraCap::GetOnvifServiceEnt() { return m_OnvifServiceEnt; }
std::string RecorderCameraCap::GetOnvifEvtTopicNs() { return m_OnvifTopicNs; }
std::string RecorderCameraCap::GetOnvifVdoSrcConfToken() { return m_OnvifVdoSrcConfToken; }

static std::string TopicOf(const std::map<int, std::string>& topics, int kind) {
    auto it = topics.find(kind);
    return it == topics.end() ? std::string() : it->second;
}
std::string RecorderCameraCap::GetOnvifMdTopic() { return TopicOf(m_OnvifTopics, DET_TYPE_MD); }
std::string RecorderCameraCap::GetOnvifDiTopic() { return TopicOf(m_OnvifTopics, DET_TYPE_DI); }
std::string RecorderCameraCap::GetOnvifTdTopic() { return TopicOf(m_OnvifTopics, DET_TYPE_TD); }
std::string RecorderCameraCap::GetOnvifAdTopic() { return TopicOf(m_OnvifTopics, DET_TYPE_AD); }

// ---------------------------------------------------------------- camera API

RecorderCameraAPI::RecorderCameraAPI(CameraCap* cap)
    : m_pCap(cap), m_HttpPort(80), m_blDetPathSet(false), m_DetPort(0), m_ChannelStr("1"), m_DiTrigValue(1) {}

RecorderCameraAPI::~RecorderCameraAPI() {}

std::string RecorderCameraAPI::ApiKey() const { return m_pCap ? m_pCap->GetAPI() : std::string(); }

// The stream the detectors ask for and their preparation only matter to a
// recorder that configures its cameras; this one watches them as they are.
int RecorderCameraAPI::SetStreamInfo(int, int) { return 0; }
int RecorderCameraAPI::PrepareMD() { return 0; }
int RecorderCameraAPI::PrepareDI() { return 0; }
int RecorderCameraAPI::PrepareTD() { return 0; }
int RecorderCameraAPI::PrepareAD() { return 0; }

// Accepted as they are: pushing parameters to a real camera is model-specific
// configuration outside detection.
int RecorderCameraAPI::ApplyCamDetParam(int, std::map<int, std::string>&, int) { return 0; }

bool RecorderCameraAPI::DefaultPathPort(const std::string& which, std::string& path, int& port) const {
    const CamApiDefault* d = FindCamApiDefault(ApiKey(), which);
    if (!d) return false;
    path = d->path;
    port = d->port > 0 ? d->port : m_HttpPort;
    return true;
}

// Per-key default, then the user's overrides of path and port.
static int OverriddenPathPort(bool found, bool pathSet, const std::string& setPath, int setPort, int httpPort,
                              std::string& path, int& port) {
    if (pathSet) {
        path = setPath;
        found = true;
    }
    if (setPort > 0) {
        port = setPort;
        found = true;
    }
    if (found && port <= 0) port = httpPort;
    return found ? 0 : -1;
}

// The user's detection path and port stand for the frame stream as well.
int RecorderCameraAPI::GetJpgPathPort(std::string& path, int& port) {
    bool found = DefaultPathPort("jpg", path, port);
    return OverriddenPathPort(found, m_blDetPathSet, m_DetPath, m_DetPort, m_HttpPort, path, port);
}

int RecorderCameraAPI::GetDetPathPort(std::string& path, int& port) {
    bool found = DefaultPathPort("det", path, port);
    return OverriddenPathPort(found, m_blDetPathSet, m_DetPath, m_DetPort, m_HttpPort, path, port);
}

int RecorderCameraAPI::GetDIPathPort(std::string& path, int& port) {
    bool found = DefaultPathPort("di", path, port);
    return OverriddenPathPort(found, m_blDetPathSet, m_DetPath, m_DetPort, m_HttpPort, path, port);
}

int RecorderCameraAPI::GetCamDiTrigValue(int& value) {
    value = m_DiTrigValue;
    return 0;
}

std::string RecorderCameraAPI::GetRtpFetchArg() {
    std::string path;
    int port = 0;
    DefaultPathPort("rtp", path, port);
    return path;
}

int RecorderCameraAPI::GetDetPort() {
    if (m_DetPort > 0) return m_DetPort;
    std::string path;
    int port = 0;
    if (DefaultPathPort("det", path, port)) return port;
    return m_HttpPort;
}

std::string RecorderCameraAPI::GetChannelStr() { return m_ChannelStr; }

BrellinOwned::CameraServices& RecorderCameraAPI::GetServices() {
    return m_pServices ? *m_pServices : CameraAPI::GetServices();
}
