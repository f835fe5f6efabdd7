// Recorder-side objects for one camera: the camera mediator, the event
// buffers and the stream FIFO, each published through its function table so
// that detectors reach them exactly as a recorder's would.
#ifndef HOST_CAMHOST_H
#define HOST_CAMHOST_H

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

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
    int GetUpdateCount() const;

private:
    mutable std::mutex m_Mutex;
    Listener m_Listener;
    bool m_Trig = false;
    int m_Value = 0;
    int m_Updates = 0;
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
    int GetUpdateCount() const;

private:
    mutable std::mutex m_Mutex;
    Listener m_Listener;
    std::map<int, std::pair<bool, int> > m_Ports;
    int m_Updates = 0;
};

// The recorder's live-stream FIFO. Units come from whoever feeds the FIFO;
// this one is never fed.
class StreamFifo : public BRObjectBase {
public:
    StreamFifo();
    ~StreamFifo() override;
    // STREAM_FIFO_FUNC_NEXT_UNIT: the next media unit after position pos, or null.
    virtual BRObjectBase* NextUnit(int pos);
};

#endif  // HOST_CAMHOST_H
